// The console messages made of more than one text: what failed, the file it
// concerns and why, and what is wrong with an option or the settings file.
#ifndef TARVELIN_APP_MESSAGES_H_
#define TARVELIN_APP_MESSAGES_H_

#include <string>
#include <string_view>
#include <vector>

#include "app/options.h"
#include "app/texts.h"
#include "platform/platform.h"
#include "rewrite/run_files.h"
#include "rewrite/settings.h"

// Returns the line that reports a failed file pass, as it always read.
std::string_view failureMessage(const Texts& texts, const PassResult& result);

// Returns the words for why the file pass failed.
std::string causeOf(const Texts& texts, const PassResult& result);

// Returns the words for the failure `error`: the program's own where it has
// them, else the system's, else its number.
std::string errorText(const Texts& texts, platform::Error error);

// Returns the line that follows a failure's message: the file's `path`, as
// the user gave it or as it was made from that, and the `cause`.
std::string causeLine(const Texts& texts, std::string_view path, std::string_view cause);

// Returns the message for a run stopped before any file was touched, where
// two of its `files` would meet at `output`, the output of the clash's first
// file: a line on what, and the line that names where.
std::string clashMessage(const Texts& texts, const Clash& clash, const std::vector<RunFile>& files,
                         std::string_view output);

// Returns the message for what is wrong with an option, or with a line of
// the settings file at `settingsPath`.
std::string badChoiceMessage(const Texts& texts, const BadChoice& problem,
                             std::string_view settingsPath);

#endif  // TARVELIN_APP_MESSAGES_H_
