// The word-by-word reader: reads each line as G-code words in any common style
// ("G1 Z-1.5 F300", "g1z-.5", "G0X10Y5"), follows the modal state and where the
// tool is, and applies the approach rule. A deep approach is made only onto a
// point where the same tool has already been fed at least that deep; wherever
// the reader is unsure of what the machine does, it assumes nothing.
#ifndef TARVELIN_REWRITE_WORD_SCANNER_H_
#define TARVELIN_REWRITE_WORD_SCANNER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "rewrite/approach_rule.h"

// The end points of recent feed moves, each with the deepest Z fed to there.
// Bounded: a new point may push out an old one, which only costs a deep approach.
class FedPoints {
 public:
  FedPoints();
  // Records that the tool was fed to `z` at (`x`, `y`).
  void add(double x, double y, float z);
  // True iff the tool was fed to `depth` or deeper at (`x`, `y`), to 0.0001.
  bool reached(double x, double y, float depth) const;
  // Forgets every point.
  void forget() { ++generation_; }

 private:
  struct Point {
    int64_t x;
    int64_t y;
    float z;
    uint32_t generation;  // the point counts only in the generation it was added in
  };
  static constexpr size_t kSize = size_t{1} << 16;
  // Returns the slot for the point at (`x`, `y`) in ten-thousandths.
  size_t slotFor(int64_t x, int64_t y) const;

  std::unique_ptr<Point[]> points_;
  uint32_t generation_ = 1;
};

class WordScanner {
 public:
  explicit WordScanner(const Heights& heights = {}) : rule_(heights) {}

  // As PlungeScanner::scanLines: scans the lines of `text` until one gets an
  // approach and returns its offset, with `*lineEnd` just past it; returns
  // text.size() when none does.
  size_t scanLines(std::string_view text, size_t* lineEnd);
  std::string_view approachLine() const { return approachLine_; }

 private:
  struct Block;
  enum class Motion { none, rapid, feed, arc, cycle };

  // Takes one line without its line end; returns true iff it gets an approach.
  bool scanLine(const char* begin, const char* end);
  // Applies what a readable block does to the modal state.
  void applyModes(const Block& block);
  // Follows the move of a block; returns true iff it is a plunge that gets an approach.
  bool move(const Block& block, bool afterApproach);
  // Decides the approach of a plunge to `depth` at (`x`, `y`), where `known`
  // says whether the tool is known to be there; true iff it gets one.
  bool plunge(float depth, bool known, double x, double y);
  // Forgets where the tool is.
  void losePosition() { xKnown_ = yKnown_ = zKnown_ = false; }
  // After a line the reader does not understand, assumes nothing.
  void beUnsure();

  ApproachRule rule_;
  ApproachText approachText_;
  std::string_view approachLine_;
  FedPoints fed_;
  Motion motion_ = Motion::none;
  int distance_ = 0;           // 0 absolute (G90), 1 incremental (G91), -1 unknown
  bool compensation_ = false;  // cutter radius compensation may be on: the tool is not at X Y
  double x_ = 0, y_ = 0, z_ = 0;
  bool xKnown_ = false, yKnown_ = false, zKnown_ = false;
  bool retractWatch_ = false;  // an approach was just inserted: watch the next line
  bool midLine_ = false;       // the next stretch continues an over-long line
};

#endif  // TARVELIN_REWRITE_WORD_SCANNER_H_
