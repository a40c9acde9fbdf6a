// Windows command-line rules, as pure functions so that every platform tests them.
#ifndef TARVELIN_PLATFORM_COMMAND_LINE_H_
#define TARVELIN_PLATFORM_COMMAND_LINE_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Splits a raw UTF-16 command line into the arguments after the program's own
// name. Blanks and tabs separate; double quotes group and are removed; \" is a
// literal quote; other backslashes stay; * and ? are plain characters. Every
// other unit, a surrogate pair's two halves included, is copied as it is, so a
// pair always stays one character.
std::vector<std::u16string> splitCommandLine(std::u16string_view commandLine);

// Returns the command processor to run "pause" with: COMSPEC when set, else
// the first CMD.EXE found in `currentDirectory`, then along PATH, as the path
// where it was found; empty when there is none. `environment` holds
// "NAME=value" entries, all text UTF-8.
std::string findCommandProcessor(const std::vector<std::string>& environment,
                                 std::string_view currentDirectory,
                                 const std::function<bool(const std::string&)>& fileExists);

}  // namespace platform

#endif  // TARVELIN_PLATFORM_COMMAND_LINE_H_
