// Every console text, in each language the program speaks: one table per
// language, side by side in texts.cc, chosen once when the run starts. A
// text with places to fill has "%1", "%2"... where the values go, so that
// each language may put them in its own order.
#ifndef TARVELIN_APP_TEXTS_H_
#define TARVELIN_APP_TEXTS_H_

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/platform.h"

// One text of a table, in UTF-8. It has no default, so that a table that
// leaves a text out does not compile: a text is added in every language.
class Text {
 public:
  // Not explicit, so that a table lists plain literals.
  consteval Text(const char* text) : text_(text) {}  // cppcheck-suppress noExplicitConstructor
  constexpr operator std::string_view() const { return text_; }

 private:
  std::string_view text_;
};

struct Texts {
  platform::Language language;  // the language of the table, for the system's own words
  // The run.
  Text banner;              // first on every run, an empty line after it
  Text usage;               // no file given
  Text allDone;             // after the last file
  Text keyPrompt;           // the wait for a key, where the system has no prompt of its own
  Text help;                // --help
  Text version;             // --version
  Text stdoutNeedsOneFile;  // --stdout with no file or more than one
  // Options and the settings file.
  Text unknownOption;       // %1: the option as given
  Text badValue;            // %1: the option as given
  Text unreadableSettings;  // %1: the settings file's path; a cause line follows
  Text badSetting;          // %1: the settings file's path, %2: the line
  // A failed file: first a line on what failed...
  Text openFailed;
  Text readFailed;
  Text writeFailed;
  Text inputChanged;
  Text textAfterEnd;
  Text unicodeText;
  // ...then the cause line: which file, and why.
  Text causeLine;       // %1: the file's path as given, %2: the cause
  Text standardOutput;  // the name of standard output in a cause line
  Text noSuchFile;
  Text noPermission;
  Text folder;
  Text notAFile;
  Text brokenLink;
  Text badName;
  Text noSpace;
  Text readOnlyDisk;
  Text inUse;
  Text readOnlyFile;
  Text hiddenFile;
  Text strangersLink;
  Text tooLarge;
  Text systemError;            // %1: the error's number, where the system has no words for it
  Text outputIsInput;          // on the output's name
  Text standardOutputIsInput;  // on the input's
  Text changedWhileRead;
  Text heldForWriting;
  Text savedAsUnicode;
  Text shortcut;  // a Windows shortcut read as a program
  Text shortcutToFolder;
  Text shortcutToNothing;
  Text shortcutToShortcut;
  Text textAfterEndOnLine;     // %1: the line of the 0x1A
  Text textAfterEndSomewhere;  // where the line cannot be told (a pipe)
  // Two files of a run that would meet: a line on what, then a cause line.
  Text sameOutput;            // two inputs, one output; its cause line names the output
  Text outputIsAnotherInput;  // its cause line names the input that is an output
  Text copyOfBoth;            // %1, %2: the two inputs as given
  Text alsoCopyOf;            // %1: the input whose output it is, as given
  // The summary line (--summary).
  Text noApproach;         // the whole line when no approach went in
  Text oneApproach;        // %1: 1
  Text approaches;         // %1: the count
  Text belowFirst;         // %1: the count, where not 0
  Text saving;             // %1: the approaches, %2: the travel, %3: the time
  Text savingTimeUnknown;  // %1: the approaches, %2: the travel
  Text millimetres;        // %1: the length
  Text inches;             // %1: the length
  Text programUnits;       // %1: the length, in units the program never named
  Text about;              // %1: a time rounded to the nearest second or minute
  Text atLeast;            // %1: a time rounded down, where some is not known
  Text underASecond;
  Text seconds;         // %1
  Text minutesSeconds;  // %1: minutes, %2: seconds
  Text hoursMinutes;    // %1: hours, %2: minutes
  // The explanation (--explain): what the rewrite of a file left alone, and
  // why, a line for each group. In a group's line, %1 is the count (below),
  // %2 the plunges' lines, and %3, %4 what else it names.
  Text nothingLeftAlone;  // the word mode, when no plunge was left alone
  Text noPlunge;          // the word mode, when it found no plunge at all
  Text onePlungeLeft;     // the count of plunges left alone
  Text plungesLeft;       // %1: the count
  Text oneFirstOnly;      // the count of approaches that went only to the first height
  Text firstOnly;         // %1: the count
  Text oneLine;           // %1: a line's number
  Text someLines;         // %1: line numbers
  Text moreLines;         // %1: the first few line numbers of more
  Text lineSeparator;     // between line numbers
  Text afterDoubt;        // %3: what was not understood, one of the doubts below
  Text fromStart;         // %3: the M99, %4: its line
  Text fromStartUnread;   // a program that could not be read through first
  Text notUnderstood;     // %1: the doubts no plunge was left alone after
  Text doubtSeparator;    // between them
  Text doubtMore;         // after them, where there were more
  // What was not understood, in the lines above: %1 the word, %2 its lines,
  // %3 and %4 the word that may jump and its line.
  Text doubtUnknownCode;
  Text doubtLetterOutOfContext;
  Text doubtRepeatedWord;
  Text doubtTwoMotions;
  Text doubtNoNumber;
  Text doubtExponent;
  Text doubtNumberTooLong;
  Text doubtPlaceTooFar;
  Text doubtStrayCharacter;
  Text doubtParameter;
  Text doubtExpression;
  Text doubtKeyword;
  Text doubtProgramNumber;
  Text doubtJump;
  Text doubtCall;
  Text doubtReturns;
  Text doubtLineTooLong;
  Text doubtReachedByJump;        // %3, %4: the word that may jump, and its line
  Text doubtReachedByJumpUnread;  // a program that could not be read through first
  Text doubtOthers;               // the lines past those named
  Text wordsLike;                 // %1: the first of different words doubted alike
  // Plunges left alone, or approaches that went only to the first height, by reason.
  Text leftNoClearance;
  Text leftNoRapidXY;
  Text leftNotAbovePlunge;
  Text leftIncremental;
  Text leftInverseTime;
  Text leftCompensation;
  Text leftLineChangesModes;
  Text leftHeightUnknown;
  Text leftNotGoingDown;
  Text leftStockTopAbove;  // %3: the line that fed above the first height
  Text leftNotFedThere;
  Text leftWithoutPoint;
  Text leftTiltedTool;
  // The compact mode.
  Text oneOtherStyle;  // %1: 1, %2: its line, %3: the plunge
  Text otherStyle;     // %1: the count, %2: the lines, %3: the first plunge
  Text noOtherStyle;
};

// Returns the table of `language`.
const Texts& textsIn(platform::Language language);

// Returns `pattern` with each "%1" to "%9" in it replaced by that value of `values`.
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values);

#endif  // TARVELIN_APP_TEXTS_H_
