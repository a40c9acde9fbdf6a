// Tarvelin: rewrites each NC program named on the command line into a copy
// with rapid approach moves in front of its feed-rate plunges.
#include <charconv>
#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/options.h"
#include "app/progress_line.h"
#include "app/summary.h"
#include "platform/platform.h"
#include "rewrite/file_pass.h"

// False when standard output carries a program: nobody is there to press a key.
static bool waitAtEnd = true;

// Prints the messages, waits for a key and ends the run with status -1.
[[noreturn]] static void stopRun(std::initializer_list<std::string_view> messages) {
  for (const std::string_view message : messages) platform::printMessage(message);
  if (waitAtEnd) platform::waitForKey();
  platform::exitProcess(-1);
}

// Returns the settings of the settings file, if there is one, overridden by
// the command line; a bad file, or one that is there but cannot be read, ends
// the run.
static RunSettings chooseSettings(const CommandLine& line) {
  using Found = platform::FileSystem::Found;
  RunSettings settings;
  const std::string path = platform::settingsPath();
  std::string text;
  const Found found = path.empty()
                          ? Found::nothing
                          : platform::readWholeFile(platform::systemFileSystem(), path, &text);
  if (found == Found::unreadable) stopRun({unreadableSettingsMessage(path)});
  if (found == Found::file) {
    SettingChoices choices;
    const std::string problem = readSettings(text, path, &choices);
    if (!problem.empty()) stopRun({problem});
    choices.applyTo(&settings);
  }
  line.choices.applyTo(&settings);
  return settings;
}

// Prints the name of a file done, and what its rewrite saves if so chosen.
static void reportDone(std::string_view name, const Savings& savings, const RunSettings& settings) {
  platform::printName(name);
  platform::printMessage("\n");
  if (settings.summary) platform::printMessage(summaryLine(savings, settings.rewrite.words));
}

// Returns the seconds since some fixed time.
static double secondsNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Rewrites the files in order; the first failure ends the run there. Where
// standard error is a terminal, a file that takes more than a second shows
// how much of it has been read.
static void rewriteAll(const std::vector<std::string>& files, const RunSettings& settings) {
  const platform::PathRules rules = platform::pathRules();
  const bool terminal = platform::standardErrorIsTerminal();
  for (const std::string& path : files) {
    Savings savings;
    ProgressLine progress(secondsNow, platform::printOnStandardError);
    ProgressMeter::Report report = nullptr;
    if (terminal) report = [&progress](int percent) { progress.show(percent); };
    const PassResult result =
        processFile(platform::systemFileSystem(), path, rules, settings.rewrite, &savings, report);
    progress.clear();
    if (result != PassResult::done) stopRun({failureMessage(result)});
    reportDone(echoNameFor(path, rules), savings, settings);
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
static void rewriteToStandardOutput(const std::vector<std::string>& files,
                                    const RunSettings& settings) {
  if (files.size() != 1) stopRun({kStdoutNeedsOneFile});
  Savings savings;
  const ProgressMeter::Report report =
      platform::hasEnvironmentVariable("AXIS_PROGRESS_BAR") ? printProgress : nullptr;
  const PassResult result =
      streamFile(platform::systemFileSystem(), files[0], settings.rewrite, &savings, report);
  if (result != PassResult::done) stopRun({failureMessage(result)});
  reportDone(echoNameFor(files[0], platform::pathRules()), savings, settings);
}

int main(int argc, char** argv) {
  CommandLine line;
  const std::string problem = readCommandLine(platform::arguments(argc, argv), &line);
  if (line.toStandardOutput) {
    platform::messagesToStandardError();
    waitAtEnd = false;
  }
  if (problem.empty() && (line.help || line.version)) {
    platform::printMessage(line.help ? kHelp : kVersionText);
    platform::exitProcess(0);
  }
  platform::printMessage(kBanner);
  if (!problem.empty()) stopRun({problem});
  const RunSettings settings = chooseSettings(line);
  if (line.toStandardOutput) {
    rewriteToStandardOutput(line.files, settings);
  } else {
    if (line.files.empty()) stopRun({kUsage[0], kUsage[1], kUsage[2]});
    rewriteAll(line.files, settings);
  }
  platform::printMessage(kAllDone);
  if (waitAtEnd) platform::waitForKey();
  platform::exitProcess(0);
}
