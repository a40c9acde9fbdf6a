// Windows command-line handling, as pure functions so that every platform tests them.
#ifndef TARVELIN_APP_COMMAND_LINE_H_
#define TARVELIN_APP_COMMAND_LINE_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

// Splits a raw command line into the arguments after the program's own name.
// Blanks and tabs separate; double quotes group and are removed; \" is a
// literal quote; other backslashes stay; a lead byte and its second byte are
// copied as one character; * and ? are plain characters.
std::vector<std::string> splitCommandLine(std::string_view commandLine,
                                          const platform::LeadByteTable& leadBytes);

// Returns the command processor to run "pause" with: COMSPEC when set, else
// the first CMD.EXE found in the current directory, then along PATH; empty
// when there is none. `environment` holds "NAME=value" entries.
std::string findCommandProcessor(const std::vector<std::string>& environment,
                                 const std::function<bool(const std::string&)>& fileExists);

#endif  // TARVELIN_APP_COMMAND_LINE_H_
