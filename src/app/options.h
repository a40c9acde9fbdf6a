// The command-line options and the settings file, read as pure functions:
// text in, choices or a message out.
#ifndef TARVELIN_APP_OPTIONS_H_
#define TARVELIN_APP_OPTIONS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rewrite/settings.h"

// What a run does: how each program is rewritten, and whether a line on what
// its approaches save follows its name.
struct RunSettings {
  RewriteSettings rewrite;
  bool summary = false;
};

// The settings one source chose; what it leaves open comes from the one before.
struct SettingChoices {
  std::optional<bool> words;
  std::optional<double> gap;
  std::optional<double> first;
  std::optional<bool> summary;

  // Overwrites in `settings` what was chosen here.
  void applyTo(RunSettings* settings) const;
};

struct CommandLine {
  SettingChoices choices;
  bool toStandardOutput = false;  // --stdout
  bool help = false;              // --help
  bool version = false;           // --version
  std::vector<std::string> files;
};

// Reads the options, the arguments that start with "--", wherever they stand
// among the file names; after an argument "--" every argument is a file name.
// Returns an empty string, or the message naming the first bad option.
std::string readCommandLine(const std::vector<std::string>& arguments, CommandLine* line);

// Reads the settings file at `path`, whose bytes are `file`: "key = value"
// lines with the keys words and summary (yes or no), gap and first; blank
// lines and lines that start with ';' or '#' are skipped. The file is UTF-8
// (with or without a byte order mark) or code page 932, or UTF-16 of either
// byte order with a byte order mark. Returns an empty string, or the message
// naming the file and the first bad line.
std::string readSettings(std::string_view file, const std::string& path, SettingChoices* choices);

#endif  // TARVELIN_APP_OPTIONS_H_
