#include "rewrite/word_scanner.h"

#include <cmath>
#include <cstring>

#include "rewrite/nc_text.h"

namespace {

// A number as written: `mantissa` / 10^`scale`, and its sign.
struct Number {
  uint64_t mantissa = 0;
  int scale = 0;
  bool negative = false;

  double value() const {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                         1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
    const double magnitude = static_cast<double>(mantissa) / kPowers[scale];
    return negative ? -magnitude : magnitude;
  }
  // Returns the code of a G or M word in tenths (G59.1 is 591), or -1.
  int code() const {
    if (negative || scale > 1 || mantissa > 100000) return -1;
    return static_cast<int>(scale == 0 ? mantissa * 10 : mantissa);
  }
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a number at `*p` ("5", "5.", ".5", "-0.5", "+5", blanks allowed
// inside), moving `*p` past it; returns false when there is none.
bool readNumber(const char** p, const char* end, Number* number) {
  const char* at = *p;
  while (at != end && isBlank(*at)) ++at;
  if (at != end && (*at == '-' || *at == '+')) number->negative = *at++ == '-';
  int digits = 0;
  bool point = false;
  for (; at != end; ++at) {
    if (isDigit(*at)) {
      if (++digits > 18) return false;
      number->mantissa = number->mantissa * 10 + static_cast<uint64_t>(*at - '0');
      number->scale += point ? 1 : 0;
    } else if (*at == '.' && !point) {
      point = true;
    } else if (!isBlank(*at)) {
      break;
    }
  }
  *p = at;
  return digits > 0;
}

}  // namespace

// What one line says, as far as the approach rule is concerned.
struct WordScanner::Block {
  int motion = -1;          // the motion word, in tenths: 0, 10, 20, 30, 800 or a canned cycle
  bool feedWord = false;    // an explicit G1
  int distance = -1;        // 0 for G90, 1 for G91
  int compensation = -1;    // 0 for G40, 1 for G41 or G42
  bool notAMove = false;    // G4, G10, G28, G30, G52, G53, G92: the axis words are no move of ours
  bool losesFrame = false;  // what X Y Z mean changes: units, offsets, coordinate systems
  bool losesPlace = false;  // the machine goes somewhere not written: G28, G30, G53
  bool toolChange = false;  // M6 or a T word
  bool otherAxis = false;   // A, B, C, U, V or W: the tool may turn
  bool hasX = false, hasY = false, hasZ = false;
  double x = 0, y = 0, z = 0;

  // Takes the G code `g` (in tenths); returns false for one the reader does not know.
  bool takeG(int g) {
    switch (g) {
      case 0:
      case 10:
      case 20:
      case 30:
      case 800:
      case 730:
      case 760:
      case 810:
      case 820:
      case 830:
      case 840:
      case 850:
      case 860:
      case 870:
      case 880:
      case 890:
        if (motion >= 0) return false;  // two motions in one block
        motion = g;
        feedWord = g == 10;
        return true;
      case 40:
        notAMove = true;
        return true;
      case 100:
      case 520:
      case 920:
      case 921:
      case 922:
      case 923:
        notAMove = losesFrame = true;
        return true;
      case 280:
      case 281:
      case 300:
      case 301:
      case 530:
        notAMove = losesPlace = true;
        return true;
      case 200:
      case 210:
      case 430:
      case 431:
      case 432:
      case 440:
      case 490:
      case 540:
      case 541:
      case 550:
      case 560:
      case 570:
      case 580:
      case 590:
      case 591:
      case 592:
      case 593:
        losesFrame = true;
        return true;
      case 400:
        compensation = 0;
        return true;
      case 410:
      case 411:
      case 420:
      case 421:
        compensation = 1;
        return true;
      case 900:
        distance = 0;
        return true;
      case 910:
        distance = 1;
        return true;
      case 170:
      case 171:
      case 180:
      case 181:
      case 190:
      case 191:
      case 610:
      case 611:
      case 640:
      case 901:
      case 911:
      case 930:
      case 940:
      case 950:
      case 960:
      case 970:
      case 980:
      case 990:
        return true;
      default:
        return false;
    }
  }

  // Takes the word `letter` `number`; returns false for one the reader does not know.
  bool take(char letter, const Number& number) {
    switch (letter) {
      case 'G':
        return takeG(number.code());
      case 'M': {
        const int m = number.code();
        if (m == 60) toolChange = true;
        // Subprogram calls and returns, program ends: what runs next is not what follows.
        return m >= 0 && m != 20 && m != 300 && m != 970 && m != 980 && m != 990;
      }
      case 'X':
        return set(&hasX, &x, number);
      case 'Y':
        return set(&hasY, &y, number);
      case 'Z':
        return set(&hasZ, &z, number);
      case 'T':
        toolChange = true;
        return true;
      case 'A':
      case 'B':
      case 'C':
      case 'U':
      case 'V':
      case 'W':
        otherAxis = true;
        return true;
      case 'D':
      case 'E':
      case 'F':
      case 'H':
      case 'I':
      case 'J':
      case 'K':
      case 'L':
      case 'N':
      case 'P':
      case 'Q':
      case 'R':
      case 'S':
        return true;
      default:  // O words (programs, subroutines, loops) and anything else
        return false;
    }
  }

  // Stores an axis word; false when the block has it already.
  static bool set(bool* has, double* value, const Number& number) {
    if (*has) return false;
    *has = true;
    *value = number.value();
    return true;
  }

  // Reads the words of one line; returns false when it holds anything not understood.
  bool read(const char* p, const char* end) {
    while (p != end && isBlank(*p)) ++p;
    if (p != end && *p == '%') return true;  // the program's start or end mark
    while (p != end) {
      char c = *p++;
      if (isBlank(c)) continue;
      if (c == ';') return true;  // the rest of the line is a comment
      if (c == '(') {
        const void* close = std::memchr(p, ')', static_cast<size_t>(end - p));
        p = close != nullptr ? static_cast<const char*>(close) + 1 : end;
        continue;
      }
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      Number number;
      if (c < 'A' || c > 'Z' || !readNumber(&p, end, &number) || !take(c, number)) return false;
    }
    return true;
  }
};

FedPoints::FedPoints() : points_(new Point[kSize]()) {}

size_t FedPoints::slotFor(int64_t x, int64_t y) const {
  const auto mixed = static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15u ^ static_cast<uint64_t>(y);
  return static_cast<size_t>((mixed * 0xBF58476D1CE4E5B9u) >> 48) & (kSize - 1);
}

// Returns `v` in ten-thousandths, or false when it is too large to be a place.
static bool tenThousandths(double v, int64_t* out) {
  if (!(std::fabs(v) < 1e12)) return false;
  *out = std::llround(v * 10000.0);
  return true;
}

void FedPoints::add(double x, double y, float z) {
  int64_t qx = 0;
  int64_t qy = 0;
  if (!tenThousandths(x, &qx) || !tenThousandths(y, &qy)) return;
  Point& point = points_[slotFor(qx, qy)];
  if (point.generation == generation_ && point.x == qx && point.y == qy) {
    point.z = std::fmin(point.z, z);
  } else {
    point = Point{qx, qy, z, generation_};
  }
}

bool FedPoints::reached(double x, double y, float depth) const {
  int64_t qx = 0;
  int64_t qy = 0;
  if (!tenThousandths(x, &qx) || !tenThousandths(y, &qy)) return false;
  const Point& point = points_[slotFor(qx, qy)];
  return point.generation == generation_ && point.x == qx && point.y == qy && point.z <= depth;
}

size_t WordScanner::scanLines(std::string_view text, size_t* lineEnd) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  for (const char* line = begin; line != end;) {
    const auto* lf =
        static_cast<const char*>(std::memchr(line, '\n', static_cast<size_t>(end - line)));
    const char* next = lf != nullptr ? lf + 1 : end;
    // The pieces of a line over the reader's limit cannot be read as words.
    const bool piece =
        midLine_ || (lf == nullptr && static_cast<size_t>(end - line) > NcReader::kMaxLine);
    midLine_ = lf == nullptr && piece;
    if (piece) {
      retractWatch_ = false;
      beUnsure();
    } else if (scanLine(line, lf != nullptr ? lf : end)) {
      *lineEnd = static_cast<size_t>(next - begin);
      return static_cast<size_t>(line - begin);
    }
    line = next;
  }
  return text.size();
}

bool WordScanner::scanLine(const char* begin, const char* end) {
  const bool afterApproach = retractWatch_;
  retractWatch_ = false;
  Block block;
  if (!block.read(begin, end)) {
    beUnsure();
    return false;
  }
  applyModes(block);
  return move(block, afterApproach);
}

void WordScanner::applyModes(const Block& block) {
  if (block.toolChange) {
    // Points cut by another tool say nothing about this one.
    rule_.newSeries();
    fed_.forget();
    losePosition();
  }
  if (block.losesFrame || block.otherAxis) {
    fed_.forget();
    losePosition();
  }
  if (block.losesPlace) losePosition();
  if (block.distance >= 0) distance_ = block.distance;
  if (block.compensation >= 0) compensation_ = block.compensation == 1;
  if (block.motion >= 0) {
    const int m = block.motion;
    motion_ = m == 0     ? Motion::rapid
              : m == 10  ? Motion::feed
              : m <= 30  ? Motion::arc
              : m == 800 ? Motion::none
                         : Motion::cycle;
  }
}

bool WordScanner::move(const Block& block, bool afterApproach) {
  if (block.notAMove || block.otherAxis || !(block.hasX || block.hasY || block.hasZ)) return false;
  const double fromX = x_;
  const double fromY = y_;
  const bool fromKnown = xKnown_ && yKnown_;
  const auto follow = [&](bool has, double word, double* at, bool* known) {
    if (!has) return;
    *known = distance_ == 0 || (distance_ == 1 && *known);
    *at = distance_ == 0 ? word : *at + word;
  };
  follow(block.hasX, block.x, &x_, &xKnown_);
  follow(block.hasY, block.y, &y_, &yKnown_);
  follow(block.hasZ, block.z, &z_, &zKnown_);
  bool approach = false;
  switch (motion_) {
    case Motion::rapid:
      if (block.hasZ && block.z >= 0) {
        rule_.clearance();
        // A retract right after an approached plunge ends the series.
        if (afterApproach) rule_.newSeries();
      }
      if (block.hasX || block.hasY) rule_.rapidXY();
      if (distance_ == 0 && block.hasX && block.hasY && block.x == 0 && block.y == 0) {
        rule_.clearance();
      }
      return false;
    case Motion::feed:
      // A plunge goes straight down; a feed move with X or Y is a ramp, whose
      // path an approach in front would change.
      if (block.feedWord && block.hasZ && block.z < 0 && !block.hasX && !block.hasY) {
        if (distance_ != 0) {
          rule_.incrementalPlunge();  // relative, or a mode the reader is unsure of
        } else {
          approach = plunge(static_cast<float>(block.z), fromKnown, fromX, fromY);
        }
      }
      [[fallthrough]];
    case Motion::arc:
      if (xKnown_ && yKnown_ && zKnown_ && !compensation_) {
        fed_.add(x_, y_, static_cast<float>(z_));
      }
      return approach;
    case Motion::cycle:
      zKnown_ = false;  // a canned cycle ends at its R plane or where it started
      return false;
    case Motion::none:
      losePosition();
      return false;
  }
  return false;
}

bool WordScanner::plunge(float depth, bool known, double x, double y) {
  // Below the first height only straight down onto a point where this tool
  // has already been fed at least that deep; the tool is at X Y only when
  // no radius compensation may shift it.
  const auto height = rule_.plunge(
      depth, [&](float reached) { return known && !compensation_ && fed_.reached(x, y, reached); });
  if (!height) return false;
  approachLine_ = approachText_.format(*height);
  retractWatch_ = true;
  return true;
}

void WordScanner::beUnsure() {
  fed_.forget();
  losePosition();
  motion_ = Motion::none;
  distance_ = -1;
  compensation_ = true;
}
