// What the program's front end needs of the rewrite without the rewrite
// itself: the version, the settings of a rewrite, and how a file pass ended.
#ifndef TARVELIN_REWRITE_SETTINGS_H_
#define TARVELIN_REWRITE_SETTINGS_H_

#include <cstdint>
#include <string_view>

#include "platform/platform.h"
#include "rewrite/approach_rule.h"

// TARVELIN_VERSION comes from the build, which takes it from the project version.
inline constexpr std::string_view kVersion = TARVELIN_VERSION;

// How a file pass ended and, when it failed, which file it was and why.
struct PassResult {
  // What failed; textAfterEnd: a 0x1A with more of the program after it;
  // unicodeText: a program saved as UTF-16 or UTF-32.
  enum class Ending : uint8_t {
    done,
    openFailed,
    readFailed,
    writeFailed,
    inputChanged,
    textAfterEnd,
    unicodeText
  };
  using enum Ending;
  // The file that the failure concerns.
  enum class Subject : uint8_t { input, output, standardOutput };
  // What the pass itself found wrong, where the system reported nothing.
  enum class Finding : uint8_t { none, outputIsInput, standardOutputIsInput, heldForWriting };

  // A pass that ended so; not explicit, so that a pass may `return PassResult::done`.
  PassResult(Ending how) : ending(how) {}  // cppcheck-suppress noExplicitConstructor
  // A failure of the system's on `subject`.
  PassResult(Ending how, Subject subject, platform::Error error)
      : ending(how), subject(subject), error(error) {}
  // A failure on `subject` that the pass found itself.
  PassResult(Ending how, Subject subject, Finding finding)
      : ending(how), subject(subject), finding(finding) {}
  bool operator==(const PassResult&) const = default;

  Ending ending;
  Subject subject = Subject::input;
  platform::Error error;            // the system's reason, where it gave one
  Finding finding = Finding::none;  // the pass's own reason, where it found one
  uint64_t line = 0;                // textAfterEnd: the line of the first 0x1A from 1; 0: unknown
};

// How a program is rewritten; the defaults give the compact-style rewrite.
struct RewriteSettings {
  bool words = false;  // read the moves word by word instead of as compact-style text
  Heights heights;
};

#endif  // TARVELIN_REWRITE_SETTINGS_H_
