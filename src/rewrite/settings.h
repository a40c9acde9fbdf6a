// What the program's front end needs of the rewrite without the rewrite
// itself: the version, the settings of a rewrite, and how a file pass ended.
#ifndef TARVELIN_REWRITE_SETTINGS_H_
#define TARVELIN_REWRITE_SETTINGS_H_

#include <string_view>

#include "rewrite/approach_rule.h"

// TARVELIN_VERSION comes from the build, which takes it from the project version.
inline constexpr std::string_view kVersion = TARVELIN_VERSION;

// How a file pass ended; textAfterEnd: a 0x1A with more of the program after it.
enum class PassResult { done, openFailed, readFailed, writeFailed, inputChanged, textAfterEnd };

// How a program is rewritten; the defaults give the compact-style rewrite.
struct RewriteSettings {
  bool words = false;  // read the moves word by word instead of as compact-style text
  Heights heights;
};

#endif  // TARVELIN_REWRITE_SETTINGS_H_
