// What the rewrite of one program left alone, and why, for --explain: in
// the word mode, each plunge that got no approach, or one only to the first
// height, grouped by reason, and the lines not understood that plunges were
// left alone after; in the compact mode, the lines that look like plunges
// written in another style. Gathered while the program is read, in memory
// of a fixed size whatever the program: a group keeps a count and its first
// few line numbers, and there are never more than a few groups.
#ifndef TARVELIN_REWRITE_EXPLANATION_H_
#define TARVELIN_REWRITE_EXPLANATION_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "rewrite/approach_rule.h"
#include "rewrite/block_reader.h"
#include "rewrite/word_scanner.h"

// Lines of a program, in order: how many, and the first few of them.
struct LineList {
  static constexpr size_t kKept = 3;

  uint64_t count = 0;
  uint64_t first[kKept] = {};

  // Adds the line `line`, counting from 1.
  void add(uint64_t line) {
    if (count < kKept) first[count] = line;
    ++count;
  }
  // Returns how many of the first lines are kept.
  size_t kept() const { return count < kKept ? static_cast<size_t>(count) : kKept; }
};

// A few bytes of a program's text, such as a word: the first kMost of them.
class Snippet {
 public:
  static constexpr size_t kMost = 16;

  Snippet() = default;
  explicit Snippet(std::string_view text);

  std::string_view view() const { return {text_, size_}; }
  bool operator==(const Snippet& other) const { return view() == other.view(); }

 private:
  char text_[kMost] = {};
  uint8_t size_ = 0;
};

// Lines not understood that doubt the same thing (a code, a letter out of
// place, a keyword...), and the plunges left alone after them, while the
// modes they left unknown were not set again.
struct DoubtGroup {
  Doubt doubt = Doubt::none;  // none for the group of all the doubts past kMostDoubts
  Snippet key;                // what tells it from other groups of the same doubt
  Snippet word;               // the first word doubted, as written; empty for a whole line
  bool varied = false;        // the words of its lines are not all that one
  LineList lines;             // where the lines stand
  LineList plunges;           // the plunges left alone after them
};

struct Explanation {
  // The most groups of lines not understood; the doubts past them are counted together.
  static constexpr size_t kMostDoubts = 8;
  static constexpr size_t kReasons = static_cast<size_t>(PlungeReason::tiltedTool) + 1;

  // Takes what the word scanner tells of `line` (LineNote).
  void take(const LineNote& note, std::string_view line);
  // Looks through a run of whole lines of a program read in the compact
  // style, the program's next, for lines that look like plunges of another
  // style ("G1 Z-1.5"); a run that ends without a line end is continued by
  // the next.
  void lookAtCompactRun(std::string_view lines);

  // The word mode. Plunges by reason; those left alone in modes not known
  // (distanceUnknown, feedModeUnknown, compensationUnknown) are counted with
  // the line not understood before them instead.
  LineList plunges[kReasons];
  uint64_t stockTopShownOn =
      0;  // stockTopAbove: the line that showed the stock's top may be higher
  DoubtGroup doubts[kMostDoubts];
  size_t doubtCount = 0;
  DoubtGroup otherDoubts;      // the doubts there was no room for
  bool doubtsDropped = false;  // groups that no plunge was counted with gave way to others
  // Plunges left alone from the program's start, in modes not known: it
  // returns (M99), and runs in modes set by whoever calls it, or could not
  // be read through first.
  LineList fromStart;
  Snippet jumpWord;  // the first word that may jump or call (GOTO, M98...)
  uint64_t jumpLine = 0;
  Snippet returnWord;  // the first M99
  uint64_t returnLine = 0;

  // The compact mode: the lines that look like plunges of another style,
  // and the first of those plunges as written.
  LineList otherStyle;
  Snippet otherStyleExample;

 private:
  // Returns the group for the doubt of `note` on `line`, made if need be.
  DoubtGroup& groupFor(const LineNote& note, std::string_view line);

  // The group that plunges left alone in modes not known count with: an
  // index into doubts, kOthers, or kStart before any line not understood.
  static constexpr size_t kOthers = kMostDoubts;
  static constexpr size_t kStart = kMostDoubts + 1;
  size_t current_ = kStart;
  uint64_t compactLines_ = 0;  // the line ends in the compact runs so far
};

#endif  // TARVELIN_REWRITE_EXPLANATION_H_
