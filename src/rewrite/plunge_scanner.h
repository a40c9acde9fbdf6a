// The approach rule: decides, line by line, where a rapid move down to just
// above the previous pass goes in front of a feed-rate plunge.
#ifndef TARVELIN_REWRITE_PLUNGE_SCANNER_H_
#define TARVELIN_REWRITE_PLUNGE_SCANNER_H_

#include <cstddef>
#include <string_view>

// The state of one NC program, fed its lines in order. Pure: no I/O.
class PlungeScanner {
 public:
  // Takes one NC line, which holds no line feed except possibly as its last
  // byte (a carriage return just before that one changes nothing). Returns
  // the approach line (without line end) to write in front of it, or an empty
  // view when the line is written alone. The view stays valid until the next call.
  std::string_view scanLine(std::string_view line);

  // Takes a run of whole NC lines and scans them in order, as scanLine would
  // one by one, until a line gets an approach: returns that line's offset,
  // with approachLine() holding the approach and `*lineEnd` the offset just
  // past the line, where the scan goes on with the next call. Returns
  // text.size() when no line gets one.
  size_t scanLines(std::string_view text, size_t* lineEnd);

  std::string_view approachLine() const { return approachLine_; }
  float lastDepth() const { return lastDepth_; }
  float previousDepth() const { return previousDepth_; }
  float plungeDepth() const { return plungeDepth_; }

 private:
  // Handles the plunge "G01Z-" at `at`; returns true iff it gets an approach.
  bool plunge(const char* textBegin, const char* at, const char* lineEnd);
  // Builds the approach line from `previousDepth_`.
  void formatApproach();
  void resetDepths() { lastDepth_ = previousDepth_ = kStartDepth; }

  static constexpr float kStartDepth = 0.03f;

  float lastDepth_ = kStartDepth;      // deepest plunge of the current series
  float previousDepth_ = kStartDepth;  // the pass before it; approaches go 0.02 above
  float plungeDepth_ = 0.0f;           // depth read from the latest plunge
  bool clearanceSeen_ = false;         // retract or XY origin since the last plunge
  bool rapidXYSeen_ = false;           // rapid X or Y move since the last plunge
  bool retractWatch_ = false;          // an approach was just inserted: watch the next line's start
  bool incremental_ = false;           // G91 in force: coordinates are relative
  char approach_[64] = {};
  std::string_view approachLine_;
};

#endif  // TARVELIN_REWRITE_PLUNGE_SCANNER_H_
