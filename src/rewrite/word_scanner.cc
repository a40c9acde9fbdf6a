#include "rewrite/word_scanner.h"

#include <algorithm>
#include <cmath>

namespace {

// The letters of words that may move the tool sideways against the stock:
// X and Y, the other axes but W (which runs along Z), and an arc's.
constexpr uint32_t kSidewaysLetters = letterBits("XYABCUVIJKR");

// True iff `line` is too long to hold, or the rest of such a line: it comes in
// pieces, which cannot be read as words. `*midLine` says whether `line`
// continues one begun earlier, and is set to whether the next does.
bool isPiece(std::string_view line, bool* midLine) {
  if (!*midLine && line.size() <= WordScanner::kLongestLine) return false;
  *midLine = line.back() != '\n';
  return true;
}

}  // namespace

// Heights are rounded up to millionths, the places approach lines are
// written with, so that writing one never takes it below the first height or
// closer than the gap to the pass it goes down to.
WordScanner::WordScanner(const Heights& heights, const Outlook& outlook)
    : assumed_(outlook),
      heights_(inMillionths(heights)),
      rule_(heights_),
      firstHeight_(std::llround(heights_.first * 1e6)),
      mayJump_(outlook.jumps()) {
  firstLine_ = approachText_.format(heights_.first);
  // A subprogram runs in the modes of whoever calls it; a program that runs
  // again from its start, in those it ended in.
  if (outlook.returns()) beUnsure();
}

void Outlook::read(std::string_view text) {
  forEachLine(text, [this](size_t, std::string_view line) {
    if (!takePiece(line)) note(readJumps(line));
  });
}

bool Outlook::takePiece(std::string_view line) {
  if (!isPiece(line, &midLine_)) return false;
  jumps_ = returns_ = true;
  return true;
}

bool WordScanner::scanLine(std::string_view line) {
  note_.doubt = Doubt::none;
  note_.plunge = PlungeReason::none;
  const bool starts = !shown_.midLine();
  if (starts) ++note_.line;
  if (shown_.takePiece(line)) {
    if (starts) noteDoubt(Doubt::lineTooLong, {});
    retractWatch_ = false;
    beUnsure();
    return false;
  }
  const Block block = readBlock(line, motion_);
  shown_.note(block);
  return follow(block);
}

bool WordScanner::follow(const Block& block) {
  const bool afterApproach = retractWatch_;
  retractWatch_ = false;
  mayJump_ = mayJump_ || block.mayJump;
  // While a modal call is in force, a macro or subprogram runs after each
  // line, which may leave the tool anywhere and in any modes; an approach
  // line would run it too.
  if (callsAfterMoves_ && block.modalCall < 0) beUnsure();
  if (block.modalCall >= 0) callsAfterMoves_ = block.modalCall == 1;
  if (!block.understood() || (block.programNumber && started_)) {
    if (block.understood()) {
      noteDoubt(Doubt::programNumber, {});  // another program, run from anywhere
    } else {
      noteDoubt(block.doubt, block.doubted);
    }
    started_ = true;
    // A rotary axis named there may have turned anywhere; and its move may
    // be a feed sideways, unless the line itself says it is a rapid or a
    // canned cycle: where it names Z or W, at any height.
    rotaryNamed_ |= block.letters & kRotaryAxes;
    const Motion own = block.doubt == Doubt::twoMotions ? Motion::none : motionOf(block.motion);
    if ((block.letters & kSidewaysLetters) != 0 && own != Motion::rapid && own != Motion::cycle) {
      showStockTopOfUnfollowed(block);
    }
    beUnsure();
    return false;
  }
  // A program number where the program starts only names it.
  if (block.programNumber) {
    started_ = true;
    return false;
  }
  started_ = started_ || block.hasWords;
  // Once the program may jump, execution may land on any line with a block
  // number, from anywhere.
  if (mayJump_ && block.has('N')) {
    noteDoubt(Doubt::reachedByJump, {});
    beUnsure();
  }
  // An approach goes in front of its line, so it runs in the modes before the
  // line: none in front of a line that changes what its coordinates mean.
  const bool keepsModes = !block.forgetsPoints && !block.losesPlace && !block.toolChange &&
                          block.compensation < 0 &&
                          (block.distance < 0 || block.distance == distance_);
  applyModes(block);
  return move(block, afterApproach, keepsModes);
}

void WordScanner::applyModes(const Block& block) {
  if (block.toolChange) {
    // Points cut by another tool say nothing about this one.
    rule_.newSeries();
    fed_.forget();
    losePosition();
  }
  if (block.forgetsPoints || block.movesOtherAxes()) {
    fed_.forget();
    losePosition();
  }
  if (block.losesPlace) losePosition();
  if (block.distance >= 0) distance_ = int{block.distance};
  if ((block.letters & kRotaryAxes) != 0 || block.homes) turnAxes(block);
  if (block.feedMode != FeedMode::none || block.units != Units::none) changeFeed(block);
  if (block.has('F')) {
    feedRate_ = feedMode_ == FeedMode::perMinute && block.feed > 0 ? block.feed : 0;
  }
  // A G41 or G42 turns radius compensation on, or on again before the move
  // that was to end it; it stays in force until the move after G40 has led
  // the tool back onto the programmed path.
  if (block.compensation == 1) compensation_ = Compensation::on;
  if (block.compensation == 0 &&
      (compensation_ == Compensation::on || compensation_ == Compensation::unknown)) {
    compensation_ = Compensation::ending;
  }
  if (block.motion >= 0) motion_ = motionOf(block.motion);
}

void WordScanner::turnAxes(const Block& block) {
  const uint32_t named = block.letters & kRotaryAxes;
  rotaryNamed_ |= named;
  if (block.homes) {
    tilted_ |= rotaryNamed_;  // home is wherever the machine has it
  } else if (block.notAMove) {
    tilted_ |= named;  // a new offset (G92 A0) or a place not followed
  } else if (distance_ == 0) {
    tilted_ = (tilted_ & ~named) | block.turned;
  } else {
    tilted_ |= block.turned;  // turned by a distance, or in a mode not known
  }
}

void WordScanner::changeFeed(const Block& block) {
  // A feed mode word, even the one in force, asks for F anew, as LinuxCNC
  // has it; an F of other units is no rate either.
  if (block.feedMode != FeedMode::none ||
      (block.units != Units::none && units_ != Units::none && block.units != units_)) {
    feedRate_ = 0;
  }
  if (block.feedMode != FeedMode::none) feedMode_ = block.feedMode;
  if (block.units != Units::none) changeUnits(block.units);
}

void WordScanner::changeUnits(Units units) {
  if (sidewaysTop_ > -kFarthest && sidewaysTopUnits_ != units) {
    // Rounded up, and no higher than kFarthest, which is above any first height.
    const auto up = [](int64_t z, int64_t times, int64_t by) {
      const int64_t scaled = std::min(z, kFarthest) * times;
      return scaled / by + (scaled % by > 0 ? 1 : 0);
    };
    const int64_t converted =
        units == Units::millimetres ? up(sidewaysTop_, 254, 10) : up(sidewaysTop_, 10, 254);
    // A height fed to in units not named may have been in either.
    sidewaysTop_ = sidewaysTopUnits_ == Units::none ? std::max(sidewaysTop_, converted) : converted;
    sidewaysTopUnits_ = units;
    if (sidewaysTop_ > firstHeight_ && fedAboveFirstOn_ == 0) fedAboveFirstOn_ = note_.line;
  }
  units_ = units;
}

void WordScanner::showStockTopOfUnfollowed(const Block& block) {
  showStockTop(tool_.zKnown && (block.letters & letterBits("ZW")) == 0, tool_.z);
}

void WordScanner::showStockTop(bool known, int64_t z) {
  if (known) {
    // Heights in units other than the highest's make one that may be in either.
    if (sidewaysTop_ == -kFarthest) sidewaysTopUnits_ = units_;
    if (sidewaysTopUnits_ != units_) sidewaysTopUnits_ = Units::none;
    sidewaysTop_ = std::max(sidewaysTop_, std::min(z, kFarthest));
  }
  if ((!known || z > firstHeight_) && fedAboveFirstOn_ == 0) fedAboveFirstOn_ = note_.line;
}

bool WordScanner::move(const Block& block, bool afterApproach, bool keepsModes) {
  const bool hasX = block.has('X');
  const bool hasY = block.has('Y');
  const bool hasZ = block.has('Z');
  // An arc feeds sideways even where it has no X or Y: a helix, or a full
  // circle written with its centre alone, which ends where it started.
  const bool arc = motion_ == Motion::arc;
  if (!(hasX || hasY || hasZ || (arc && (block.letters & letterBits("IJKR")) != 0))) return false;
  if (block.notAMove || block.movesOtherAxes()) {
    // Some controllers move the tool to the axis words of a dwell, and G53
    // moves it in the machine's coordinates: in the motion in force, as a
    // feed with other axes does, sideways; where it names Z or W, at any
    // height. The axis words of new offsets and of a move home are no feed.
    const bool feeds = motion_ != Motion::rapid && motion_ != Motion::cycle;
    // G10, G43.1, G52 and G92 (new offsets), G28 and G30 (home).
    const bool newOffsetsOrHome = block.notAMove && block.forgetsPoints;
    if (!newOffsetsOrHome && feeds && (arc || (block.letters & kSidewaysLetters) != 0)) {
      showStockTopOfUnfollowed(block);
    }
    losePosition();
    return false;
  }
  const Place from = tool_;
  // Returns where an axis at `at` goes.
  const auto goTo = [&](char letter, int64_t at, bool* known) {
    const int64_t word = block.axis(letter);
    if (distance_ == 0) {
      *known = true;
      return word;
    }
    // Incremental moves that add up to a billion units lose the place, which
    // keeps the sums from overflowing; so does a distance rounded to
    // millionths, whose error many such moves would add up.
    const int64_t sum = at + word;
    const bool near = sum > -kFarthest && sum < kFarthest;
    *known = distance_ == 1 && *known && near && !block.rounded[letter - 'X'];
    return near ? sum : 0;
  };
  if (hasX) tool_.x = goTo('X', tool_.x, &tool_.xKnown);
  if (hasY) tool_.y = goTo('Y', tool_.y, &tool_.yKnown);
  if (hasZ) {
    tool_.z = goTo('Z', tool_.z, &tool_.zKnown);
    // A Z without a point may be read in least increments: how deep it goes
    // is not known to the unit, nor is a height a distance from it.
    tool_.zWithoutPoint = block.zWithoutPoint || (distance_ != 0 && tool_.zWithoutPoint);
  }
  const bool up = hasZ && block.axis('Z') >= 0;
  // The move after G40 leads the tool back onto its programmed path.
  const auto endCompensation = [&] {
    if (compensation_ == Compensation::ending && (hasX || hasY)) compensation_ = Compensation::off;
  };
  switch (motion_) {
    case Motion::rapid:
      if (up) {
        rule_.clearance();
        // A retract right after an approached plunge ends the series.
        if (afterApproach) rule_.newSeries();
      }
      if (hasX || hasY) rule_.rapidXY();
      if (distance_ == 0 && hasX && hasY && block.axis('X') == 0 && block.axis('Y') == 0) {
        rule_.clearance();
      }
      endCompensation();
      return false;
    case Motion::feed:
    case Motion::arc: {
      bool approach = false;
      // A plunge goes straight down; a feed move with X or Y is a ramp, whose
      // path an approach in front would change.
      if (block.motion == 10 && hasZ && !up && !hasX && !hasY) {
        if (distance_ != 0) {
          rule_.incrementalPlunge();  // relative, or a mode the reader is unsure of
          note_.plunge = distance_ == 1 ? PlungeReason::incremental : PlungeReason::distanceUnknown;
        } else {
          // Under inverse time the F word says how long the plunge takes: a
          // shorter one would be fed faster.
          const PlungeReason barred =
              !keepsModes                              ? PlungeReason::lineChangesModes
              : compensation_ == Compensation::unknown ? PlungeReason::compensationUnknown
              : compensation_ != Compensation::off     ? PlungeReason::compensation
              : feedMode_ == FeedMode::inverseTime     ? PlungeReason::inverseTime
              : feedMode_ == FeedMode::none            ? PlungeReason::feedModeUnknown
                                                       : PlungeReason::none;
          approach = plunge(static_cast<double>(block.axis('Z')) / 1e6, barred, from);
        }
      }
      // The stock's top is at least as high as the program feeds sideways.
      if (hasX || hasY || arc) showStockTop(tool_.zKnown, tool_.z);
      // A tool change or a stop on the line runs after its move, on many
      // controllers: the point it reaches was cut by the tool before. With
      // the tool tilted, its shank did not stand over the point it cut.
      if (tool_.xKnown && tool_.yKnown && tool_.zKnown && compensation_ == Compensation::off &&
          !block.toolChange && tilted_ == 0) {
        fed_.add(tool_.x, tool_.y, tool_.z, tool_.zWithoutPoint);
      }
      endCompensation();
      return approach;
    }
    case Motion::none:
      // With no motion known to be in force (after a line not understood, or
      // G80, which leaves G1 in force on many controllers), a move may be a
      // feed, sideways too.
      if (hasX || hasY) showStockTop(tool_.zKnown, tool_.z);
      [[fallthrough]];
    case Motion::cycle:
      // A canned cycle ends at its R plane or where it started, and may be
      // repeated (L, K): where it leaves the tool is not written; nor is
      // where a move goes with no motion known to be in force.
      losePosition();
      return false;
  }
  return false;
}

bool WordScanner::plunge(double depth, PlungeReason barred, const Place& from) {
  // Below the first height only straight down onto a point where this tool
  // has already been fed at least that deep.
  const PlungeDecision decision =
      rule_.plunge(depth, [&](double reached) { return fedThere(from, reached); });
  const auto& height = decision.height;
  // Only ever down: where the tool already is at or below the approach's
  // end, or may be, the plunge is left as it is.
  const bool stockTopAbove = decision.first && fedAboveFirstOn_ != 0;
  const PlungeReason refused = !height                                 ? decision.reason
                               : barred != PlungeReason::none          ? barred
                               : stockTopAbove                         ? PlungeReason::stockTopAbove
                               : !from.zKnown                          ? PlungeReason::heightUnknown
                               : std::llround(*height * 1e6) >= from.z ? PlungeReason::notGoingDown
                                                                       : PlungeReason::none;
  if (refused != PlungeReason::none) {
    note_.plunge = refused;
    note_.stockTopShownOn = fedAboveFirstOn_;
    return false;
  }
  note_.plunge = decision.reason;  // none, or why the approach goes only to the first height
  const std::string_view line = approachText_.format(*height);
  const bool twoSteps = std::llround(*height * 1e6) < firstHeight_ && from.z > firstHeight_;
  approachSteps_ = twoSteps ? 2 : 1;
  approachLines_[0] = twoSteps ? std::string_view(firstLine_) : line;
  approachLines_[1] = line;
  retractWatch_ = true;
  save(*height, from);
  return true;
}

PlungeReason WordScanner::fedThere(const Place& at, double depth) {
  if (tilted_ != 0) return PlungeReason::tiltedTool;
  if (!(at.xKnown && at.yKnown)) return PlungeReason::notFedThere;
  switch (fed_.reached(at.x, at.y, depth)) {
    case FedPoints::Reach::yes:
      return PlungeReason::none;
    case FedPoints::Reach::withoutPoint:
      return PlungeReason::withoutPoint;
    case FedPoints::Reach::no:
      break;
  }
  return PlungeReason::notFedThere;
}

void WordScanner::save(double height, const Place& from) {
  ++savings_.approaches;
  if (height < heights_.first) ++savings_.belowFirst;
  const double travel = static_cast<double>(from.z) / 1e6 - height;
  double& total = units_ == Units::millimetres ? savings_.millimetres
                  : units_ == Units::inches    ? savings_.inches
                                               : savings_.unnamedUnits;
  total += travel;
  if (feedMode_ == FeedMode::perMinute && feedRate_ > 0) {
    savings_.minutes += travel / (static_cast<double>(feedRate_) / 1e6);
  } else {
    savings_.timeUnknown = true;
  }
}

void WordScanner::beUnsure() {
  fed_.forget();
  losePosition();
  motion_ = Motion::none;
  distance_ = -1;
  feedMode_ = FeedMode::none;
  feedRate_ = 0;
  units_ = Units::none;
  compensation_ = Compensation::unknown;
  tilted_ |= rotaryNamed_;
}
