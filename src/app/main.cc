// Tarvelin: rewrites each NC program named on the command line into a copy
// with rapid approach moves in front of its feed-rate plunges.
#include <charconv>
#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/explain.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/progress_line.h"
#include "app/summary.h"
#include "app/texts.h"
#include "platform/platform.h"
#include "rewrite/explanation.h"
#include "rewrite/file_pass.h"
#include "rewrite/run_files.h"

using Found = platform::FileSystem::Found;

// False when standard output carries a program: nobody is there to press a key.
static bool waitAtEnd = true;

// The texts of the run's language, chosen once the options and the settings
// file have been read; the user's until then.
static const Texts* texts = nullptr;

// Prints the messages, waits for a key and ends the run with status -1.
[[noreturn]] static void stopRun(std::initializer_list<std::string_view> messages) {
  for (const std::string_view message : messages) platform::printMessage(message);
  if (waitAtEnd) platform::waitForKey(texts->keyPrompt);
  platform::exitProcess(-1);
}

// The settings file: what it chose, or why it cannot be used.
struct SettingsFile {
  std::string path;  // empty when there is no place for one
  Found found = Found::nothing;
  platform::Error error;  // unreadable: why
  BadChoice problem;      // its first bad line
  SettingChoices choices;

  bool usable() const { return found != Found::unreadable && !problem; }
};

// Reads the settings file, if there is one.
static SettingsFile readSettingsFile() {
  SettingsFile file;
  file.path = platform::settingsPath();
  if (file.path.empty()) return file;
  std::string text;
  file.found = platform::readWholeFile(platform::systemFileSystem(), file.path, &text, &file.error);
  if (file.found == Found::file) file.problem = readSettings(text, &file.choices);
  return file;
}

// Ends the run where the settings file is there but cannot be used: a bad
// file, or one that cannot be read, must not pass for none.
static void checkSettings(const SettingsFile& file) {
  if (file.found == Found::unreadable) {
    stopRun({fill(texts->unreadableSettings, {file.path}),
             causeLine(*texts, file.path, errorText(*texts, file.error))});
  }
  if (file.problem) stopRun({badChoiceMessage(*texts, file.problem, file.path)});
}

// Ends the run with the message for a failed pass over `path`, and the line
// that names the file it failed on and why.
[[noreturn]] static void stopWith(const PassResult& result, const std::string& path) {
  std::string name = path;
  if (result.subject == PassResult::Subject::output) {
    name = outputPathFor(path, platform::pathRules());
  } else if (result.subject == PassResult::Subject::standardOutput) {
    name = texts->standardOutput;
  }
  stopRun({failureMessage(*texts, result), causeLine(*texts, name, causeOf(*texts, result))});
}

// Prints the name of a file done, and what its rewrite saves and what it
// left alone, if so chosen.
static void reportDone(std::string_view name, const Savings& savings,
                       const Explanation& explanation, const RunSettings& settings) {
  platform::printName(name);
  platform::printMessage("\n");
  if (settings.summary) {
    platform::printMessage(summaryLine(savings, settings.rewrite.words, *texts));
  }
  if (settings.explain) {
    platform::printMessage(explanationLines(explanation, savings, settings.rewrite.words, *texts));
  }
}

// Returns the seconds since some fixed time.
static double secondsNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Ends the run where `file` leads to no file to read (a shortcut to a folder, say).
static void checkLeadsToAFile(const RunFile& file) {
  if (file.error) {
    stopWith({PassResult::openFailed, PassResult::Subject::input, file.error}, file.given);
  }
}

// Rewrites the files in order; the first failure ends the run there. Where
// two of them would meet (two inputs with one output, or an output that is
// another input), the run ends before any file is touched. Where standard
// error is a terminal, a file that takes more than a second shows how much
// of it has been read.
static void rewriteAll(const std::vector<std::string>& names, const RunSettings& settings) {
  platform::FileSystem& fileSystem = platform::systemFileSystem();
  const platform::PathRules rules = platform::pathRules();
  const std::vector<RunFile> files = runFiles(fileSystem, names);
  if (const Clash clash = findClash(fileSystem, files, rules)) {
    stopRun({clashMessage(*texts, clash, files, outputPathFor(files[clash.first].path, rules))});
  }
  const bool terminal = platform::standardErrorIsTerminal();
  for (const RunFile& file : files) {
    checkLeadsToAFile(file);
    Savings savings;
    Explanation explanation;
    ProgressLine progress(secondsNow, platform::printOnStandardError);
    ProgressMeter::Report report = nullptr;
    if (terminal) report = [&progress](int percent) { progress.show(percent); };
    const PassResult result = processFile(fileSystem, file.path, rules, settings.rewrite, &savings,
                                          report, settings.explain ? &explanation : nullptr);
    progress.clear();
    if (result != PassResult::done) stopWith(result, file.path);
    reportDone(echoNameFor(file.path, rules), savings, explanation, settings);
  }
}

// Prints the line "FILTER_PROGRESS=N" at once, which LinuxCNC's AXIS reads
// from a filter's standard error for its progress bar.
static void printProgress(int percent) {
  char line[32] = "FILTER_PROGRESS=";
  constexpr size_t kStart = sizeof "FILTER_PROGRESS=" - 1;
  char* end = std::to_chars(line + kStart, line + sizeof line - 1, percent).ptr;
  *end++ = '\n';
  platform::printMessage(std::string_view(line, static_cast<size_t>(end - line)));
  platform::flushConsole();
}

// Rewrites the one file named to standard output; reports the reading's
// progress where AXIS asks for it, by setting AXIS_PROGRESS_BAR.
static void rewriteToStandardOutput(const std::vector<std::string>& names,
                                    const RunSettings& settings) {
  if (names.size() != 1) stopRun({texts->stdoutNeedsOneFile});
  platform::FileSystem& fileSystem = platform::systemFileSystem();
  const RunFile file = runFiles(fileSystem, names)[0];
  checkLeadsToAFile(file);
  Savings savings;
  Explanation explanation;
  const ProgressMeter::Report report =
      platform::hasEnvironmentVariable("AXIS_PROGRESS_BAR") ? printProgress : nullptr;
  const PassResult result = streamFile(fileSystem, file.path, settings.rewrite, &savings, report,
                                       settings.explain ? &explanation : nullptr);
  if (result != PassResult::done) stopWith(result, file.path);
  reportDone(echoNameFor(file.path, platform::pathRules()), savings, explanation, settings);
}

int main(int argc, char** argv) {
  CommandLine line;
  const BadChoice problem = readCommandLine(platform::arguments(argc, argv), &line);
  if (line.toStandardOutput) {
    platform::messagesToStandardError();
    waitAtEnd = false;
  }
  // A bad option stops the run before the settings file is read.
  const SettingsFile file = problem ? SettingsFile{} : readSettingsFile();
  // The user's language, the settings file's where it can be used, the command line's.
  RunSettings settings;
  settings.language = platform::userLanguage();
  if (file.usable()) file.choices.applyTo(&settings);
  line.choices.applyTo(&settings);
  texts = &textsIn(settings.language);
  if (!problem && (line.help || line.version)) {
    platform::printMessage(line.help ? texts->help : texts->version);
    platform::exitProcess(0);
  }
  platform::printMessage(texts->banner);
  if (problem) stopRun({badChoiceMessage(*texts, problem, file.path)});
  checkSettings(file);
  if (line.toStandardOutput) {
    rewriteToStandardOutput(line.files, settings);
  } else {
    if (line.files.empty()) stopRun({texts->usage});
    rewriteAll(line.files, settings);
  }
  platform::printMessage(texts->allDone);
  if (waitAtEnd) platform::waitForKey(texts->keyPrompt);
  platform::exitProcess(0);
}
