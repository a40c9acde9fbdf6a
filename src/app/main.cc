// Tarvelin: rewrites each NC program named on the command line into a copy
// with rapid approach moves in front of its feed-rate plunges.
#include <initializer_list>
#include <string>
#include <vector>

#include "app/messages.h"
#include "platform/platform.h"
#include "rewrite/file_pass.h"

// Prints the messages, waits for a key and ends the run with status -1.
[[noreturn]] static void stopRun(std::initializer_list<std::string_view> messages) {
  for (const std::string_view message : messages) platform::printMessage(message);
  platform::waitForKey();
  platform::exitProcess(-1);
}

// Rewrites the files in order; the first failure ends the run there.
static void rewriteAll(const std::vector<std::string>& files) {
  const platform::PathRules rules = platform::pathRules();
  for (const std::string& path : files) {
    const PassResult result = processFile(platform::systemFileSystem(), path, rules);
    if (result != PassResult::done) stopRun({failureMessage(result)});
    platform::printName(echoNameFor(path, rules));
    platform::printMessage("\n");
  }
}

int main(int argc, char** argv) {
  const std::vector<std::string> files = platform::arguments(argc, argv);
  platform::printMessage(kBanner);
  if (files.empty()) stopRun({kUsage[0], kUsage[1], kUsage[2]});
  rewriteAll(files);
  platform::printMessage(kAllDone);
  platform::waitForKey();
  platform::exitProcess(0);
}
