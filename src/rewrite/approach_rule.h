// The approach rule: follows the series of plunge depths of one NC program
// and decides which plunges get a rapid approach move in front, and how deep
// it goes. Pure: it is told what the program does and knows nothing of text.
#ifndef TARVELIN_REWRITE_APPROACH_RULE_H_
#define TARVELIN_REWRITE_APPROACH_RULE_H_

#include <cstdint>
#include <optional>
#include <string_view>

// How far down approaches go, in the program's own units.
struct Heights {
  double gap = 0.02;    // a deeper pass's approach ends this far above the previous pass
  double first = 0.05;  // where an approach that starts a series ends
  bool operator==(const Heights&) const = default;
};

// Returns `height` rounded up to millionths, the places approach lines are
// written with; one with six decimals or fewer stays as it is.
double upToMillionths(double height);

// Returns `heights` with each rounded up to millionths.
Heights inMillionths(const Heights& heights);

// Why a plunge gets no approach, or one only to the first height where its
// series would take it deeper.
enum class PlungeReason : uint8_t {
  none,
  // No approach:
  noClearance,          // no retract or move to the XY origin since the last plunge
  noRapidXY,            // no rapid move in X or Y since the last plunge
  notAbovePlunge,       // the approach would not end above the plunge's own depth
  incremental,          // G91: the plunge has no depth of its own
  distanceUnknown,      // absolute or incremental is not known since a line not understood
  inverseTime,          // G93: F says how long the plunge takes
  feedModeUnknown,      // how F is read is not known since a line not understood
  compensation,         // radius compensation is on (G41, G42), or not yet led off after G40
  compensationUnknown,  // compensation may be on since a line not understood
  lineChangesModes,     // the line changes the distance mode, units, an offset, compensation or the
                        // tool
  heightUnknown,        // where the tool is in Z is not known
  notGoingDown,         // the tool is already at or below where the approach would end
  stockTopAbove,        // the program has fed sideways above the first height: the stock is there
  // Only to the first height:
  notFedThere,   // no point fed that deep at that spot
  withoutPoint,  // fed that deep there only to a Z written without a decimal point
  tiltedTool,    // a rotary axis may stand off 0: no point is learned
};

// What the rule makes of a plunge.
struct PlungeDecision {
  std::optional<double> height;  // where its approach ends, or none
  bool first = false;            // the approach goes to the first height
  // Why it gets none, or why it goes only to the first height.
  PlungeReason reason = PlungeReason::none;
};

// Depths are kept as doubles. In the word mode depths that float would merge
// must stay apart, or a deep approach could end below a pass it takes for as
// deep; the compact mode with the default heights gives it depths rounded to
// float, whose approach heights are those that single precision gives.
class ApproachRule {
 public:
  explicit ApproachRule(const Heights& heights = {}) : heights_(heights) {}

  // A retract, or a move to the XY origin.
  void clearance() { clearanceSeen_ = true; }
  // A rapid move in X or Y.
  void rapidXY() { rapidXYSeen_ = true; }
  // Starts a new series of passes: the next approach goes to the first height.
  void newSeries() { lastDepth_ = previousDepth_ = kStartDepth; }

  // Takes a plunge to `depth`; one whose depth cannot be read counts as a
  // plunge to the last depth read. Decides the height of its approach, if it
  // gets one: it needs a clearance and a rapid XY move since the previous
  // plunge, and must end above the plunge's own depth. An approach below the
  // first height is made only where `reached(depth)` says the tool has
  // already been fed at least that deep right there: it returns
  // PlungeReason::none for that, and otherwise why not.
  template <typename Reached>
  PlungeDecision plunge(std::optional<double> depth, Reached&& reached) {
    if (depth) plungeDepth_ = *depth;
    const PlungeReason unqualified = !clearanceSeen_ ? PlungeReason::noClearance
                                     : !rapidXYSeen_ ? PlungeReason::noRapidXY
                                                     : PlungeReason::none;
    clearanceSeen_ = rapidXYSeen_ = false;
    if (!(lastDepth_ >= plungeDepth_)) newSeries();  // shallower: a new series
    if (lastDepth_ > plungeDepth_) {
      previousDepth_ = lastDepth_;
      lastDepth_ = plungeDepth_;
    }
    if (unqualified != PlungeReason::none) return {std::nullopt, false, unqualified};
    const PlungeReason shallow =
        previousDepth_ == kStartDepth ? PlungeReason::none : reached(previousDepth_);
    const bool first = previousDepth_ == kStartDepth || shallow != PlungeReason::none;
    const double height = first ? heights_.first : previousDepth_ + heights_.gap;
    if (!(height > plungeDepth_)) return {std::nullopt, first, PlungeReason::notAbovePlunge};
    return {height, first, shallow};
  }

  // Takes a plunge in incremental coordinates: it has no depth of its own, and
  // an absolute approach in front of it would shift every later position, so
  // it gets none and the next series starts from the top.
  void incrementalPlunge() {
    clearanceSeen_ = rapidXYSeen_ = false;
    newSeries();
  }

  double lastDepth() const { return lastDepth_; }
  double previousDepth() const { return previousDepth_; }
  double plungeDepth() const { return plungeDepth_; }

 private:
  // The depths a series starts from, the float 0.03 widened: no pass yet.
  static constexpr double kStartDepth = 0.03f;

  Heights heights_;
  double lastDepth_ = kStartDepth;      // deepest plunge of the current series
  double previousDepth_ = kStartDepth;  // the pass before it; approaches go `gap` above
  double plungeDepth_ = 0.0;            // depth read from the latest plunge
  bool clearanceSeen_ = false;          // retract or XY origin since the last plunge
  bool rapidXYSeen_ = false;            // rapid X or Y move since the last plunge
};

// Holds the text of approach lines, "G00 Z" and the height with six
// decimals, for the heights met lately: a program has few.
class ApproachText {
 public:
  // Formats `height`; the view stays valid until the next call.
  std::string_view format(double height);

 private:
  struct Line {
    uint64_t height = ~uint64_t{0};  // the bits of the height, or none
    uint8_t size = 0;
    char text[55] = {};  // room for any double with six decimals the rule can make
  };
  Line lines_[16];
};

#endif  // TARVELIN_REWRITE_APPROACH_RULE_H_
