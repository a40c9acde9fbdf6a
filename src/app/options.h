// The command-line options and the settings file, read as pure functions:
// text in, choices or what is wrong with them out.
#ifndef TARVELIN_APP_OPTIONS_H_
#define TARVELIN_APP_OPTIONS_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "rewrite/settings.h"

// What a run does: how each program is rewritten, whether a line on what
// its approaches save and the lines on what it left alone follow its name,
// and the language it speaks.
struct RunSettings {
  RewriteSettings rewrite;
  bool summary = false;
  bool explain = false;
  platform::Language language = platform::Language::english;
};

// The settings one source chose; what it leaves open comes from the one before.
struct SettingChoices {
  std::optional<bool> words;
  std::optional<double> gap;
  std::optional<double> first;
  std::optional<bool> summary;
  std::optional<bool> explain;
  std::optional<platform::Language> language;

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

// The first thing wrong with the options or with the settings file, if any.
struct BadChoice {
  enum class Kind : uint8_t { none, unknownOption, badValue, badLine };
  Kind kind = Kind::none;
  std::string option;  // unknownOption, badValue: the option as given
  int line = 0;        // badLine: the line of the settings file, from 1

  // True iff something is wrong.
  explicit operator bool() const { return kind != Kind::none; }
};

// Reads the options, the arguments that start with "--", wherever they stand
// among the file names; after an argument "--" every argument is a file name.
// Returns what is wrong with the first bad option, if any.
BadChoice readCommandLine(const std::vector<std::string>& arguments, CommandLine* line);

// Reads the settings file whose bytes are `file`: "key = value" lines with the
// keys words, summary and explain (yes or no), gap and first (numbers), and language
// (ja or en); blank lines and lines that start with ';' or '#' are skipped.
// The file is UTF-8 (with or without a byte order mark) or code page 932, or
// UTF-16 of either byte order with a byte order mark. Returns the first bad
// line, if any.
BadChoice readSettings(std::string_view file, SettingChoices* choices);

#endif  // TARVELIN_APP_OPTIONS_H_
