// The compact-style reader: finds the moves of the approach rule as literal
// text ("G01Z-", "G00Z5.", "G00X", "X0.000Y0.000") and decides, line by line,
// where an approach line goes.
#ifndef TARVELIN_REWRITE_PLUNGE_SCANNER_H_
#define TARVELIN_REWRITE_PLUNGE_SCANNER_H_

#include <cstddef>
#include <string_view>

#include "rewrite/approach_rule.h"
#include "rewrite/savings.h"

// The state of one NC program, fed its text in order. Pure: no I/O.
class PlungeScanner {
 public:
  // With heights other than the defaults, depths are read to the millionth,
  // rounded up, and the heights rounded up to millionths, so that an
  // approach ends at least the gap above the pass below it, in the places it
  // is written with. With the defaults, depths are rounded to the nearest
  // float, which gives the approach heights this program has always given.
  explicit PlungeScanner(const Heights& heights = {})
      : exact_(!(heights == Heights{})), rule_(exact_ ? inMillionths(heights) : heights) {}

  // Takes one NC line, which holds no line feed except possibly as its last
  // byte (a carriage return just before that one changes nothing). Returns
  // the approach line (without line end) to write in front of it, or an empty
  // view when the line is written alone. The view stays valid until the next call.
  std::string_view scanLine(std::string_view line);

  // Takes the next stretch of the program's text and scans its lines in
  // order until one gets an approach: returns that line's offset, with
  // approachLine() holding the approach and `*lineEnd` the offset just past
  // the line, where the scan goes on with the next call. Returns text.size()
  // when no line gets one. A stretch normally ends with a line end; one that
  // does not (a piece of an over-long line) is continued by the next, and a
  // plunge in such a continuation gets no approach, since the start of its
  // line has been written already.
  size_t scanLines(std::string_view text, size_t* lineEnd);

  // Scans all of `text` as scanLines does, calling onApproach(offset,
  // approachLine) for each line that gets an approach.
  template <typename OnApproach>
  void scanRun(std::string_view text, OnApproach&& onApproach) {
    size_t lineEnd = 0;
    for (size_t done = 0, at; (at = scanLines(text.substr(done), &lineEnd)) != text.size() - done;
         done += lineEnd) {
      onApproach(done + at, approachLine_);
    }
  }

  std::string_view approachLine() const { return approachLine_; }
  const ApproachRule& rule() const { return rule_; }
  // Returns what the approaches so far save: the compact style tells only
  // how many there are.
  const Savings& savings() const { return savings_; }

 private:
  struct Range;
  // Scans the lines in [from, to) until one gets an approach; returns where
  // that line starts, or nullptr, with `*lineEnd` just past it. `continuation`
  // says that [from, to) ends a line begun in an earlier stretch, which gets
  // no approach.
  const char* scanRange(const char* from, const char* to, bool continuation, const char** lineEnd);
  // Handles the plunge "G01Z-" at `at`; returns true iff it gets an approach.
  bool plunge(Range& range, const char* at);

  bool exact_;  // depths to the millionth, rounded up, instead of to the nearest float
  ApproachRule rule_;
  Savings savings_;
  ApproachText approachText_;
  std::string_view approachLine_;
  bool retractWatch_ = false;  // an approach was just inserted: watch the next line's start
  bool incremental_ = false;   // G91 in force: coordinates are relative
  bool midLine_ = false;       // the next stretch continues a line begun earlier
  bool inComment_ = false;     // where the last stretch ended mid-line, inside parentheses
};

#endif  // TARVELIN_REWRITE_PLUNGE_SCANNER_H_
