#include "rewrite/block_reader.h"

#include <array>
#include <initializer_list>

namespace {

// Returns 10 to the powers 0 to 19.
constexpr std::array<uint64_t, 20> makePowers() {
  std::array<uint64_t, 20> powers{1};
  for (size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
  return powers;
}
constexpr std::array<uint64_t, 20> kPowers = makePowers();

// The most digits a number keeps, leading zeros included: past them, a whole
// part is too long to be a place or a code, and a fraction's digits only
// round the place.
constexpr int kMostDigits = 18;

// A number as written: `mantissa` / 10^`scale`, and its sign; digits of the
// fraction past those a mantissa keeps are left out, and `dropped` says
// whether any of them was not zero.
struct Number {
  uint64_t mantissa = 0;
  int scale = 0;
  bool negative = false;
  bool dropped = false;

  // Stores the value in millionths in `*out`, in whole numbers so that every
  // spelling of a place gives the same: a half rounded away from zero, or,
  // iff `up`, rounded up; and in `*rounded` whether that changed it. False
  // for a billion units or more, too far out to be a place.
  bool millionths(int64_t* out, bool* rounded, bool up) const {
    uint64_t magnitude = 0;
    uint64_t rest = 0;  // below a millionth, in units of the last digit kept
    uint64_t unit = 1;
    if (scale <= 6) {
      if (mantissa >= kPowers[9 + static_cast<size_t>(scale)]) return false;
      magnitude = mantissa * kPowers[static_cast<size_t>(6 - scale)];
    } else {
      unit = kPowers[static_cast<size_t>(scale - 6)];
      magnitude = mantissa / unit;
      rest = mantissa % unit;
    }
    *rounded = dropped || rest != 0;
    // Digits left out never turn a half: they come after the digits kept.
    magnitude += static_cast<uint64_t>(up ? !negative && *rounded : rest * 2 >= unit);
    if (magnitude >= static_cast<uint64_t>(kFarthest)) return false;
    *out = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
  }
  // Returns the code of a G or M word in tenths (G59.1 is 591), or -1.
  int code() const {
    if (negative || scale > 1 || mantissa > 100000) return -1;
    return static_cast<int>(scale == 0 ? mantissa * 10 : mantissa);
  }
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char upper(char c) { return static_cast<char>(c & ~0x20); }
bool isLetter(char c) { return upper(c) >= 'A' && upper(c) <= 'Z'; }

// Words whose numbers say nothing to the approach rule.
constexpr uint32_t kIgnoredLetters = letterBits("DEFHIJKLNPQRS");
constexpr uint32_t kKnownLetters = kIgnoredLetters | kOtherAxes | letterBits("TXYZ");

// What a G code does to what the reader follows.
enum class Effect : uint8_t {
  unknown,      // anything the reader does not know
  none,         // planes, path control, spindle modes, cycle return
  motion,       // G0 G1 G2 G3 G80 and the canned cycles
  notAMove,     // G4: the axis words are a dwell's time, or a move the reader does not follow
  newFrame,     // G10 G43.1 G52 G92: offsets change and the axis words are no move
  home,         // G28 G30: every axis, rotary ones included, goes home or to a stored place
  newPlace,     // G28.1 G30.1 G53: the machine goes somewhere not written
  call,         // G65 G66 G66.1: a macro call, which may return to a block number here
  units,        // G20 G21
  frame,        // tool length offsets, coordinate systems
  absolute,     // G90
  incremental,  // G91
  compensationOff,
  compensationOn,
  feedMode,  // G93 G94 G95: how the F word is read
};

// Returns the effect of each G code, indexed in tenths (G59.1 is 591).
constexpr std::array<Effect, 1000> makeEffects() {
  std::array<Effect, 1000> effects{};
  const auto set = [&](Effect effect, std::initializer_list<int> codes) {
    for (const int code : codes) effects[static_cast<size_t>(code)] = effect;
  };
  set(Effect::none, {170, 171, 180, 181, 190, 191, 610, 611, 640, 901, 911, 960, 970, 980, 990});
  set(Effect::motion, {0, 10, 20, 30, 730, 760, 800, 810, 820, 830, 840, 850, 860, 870, 880, 890});
  set(Effect::notAMove, {40});
  // G43.1 and G43.2 take their tool length offsets from the axis words.
  set(Effect::newFrame, {100, 431, 432, 520, 920, 921, 922, 923});
  set(Effect::home, {280, 300});
  set(Effect::newPlace, {281, 301, 530});
  set(Effect::call, {650, 660, 661});
  set(Effect::units, {200, 210});
  set(Effect::frame, {430, 440, 490, 540, 541, 550, 560, 570, 580, 590, 591, 592, 593});
  set(Effect::absolute, {900});
  set(Effect::incremental, {910});
  set(Effect::compensationOff, {400});
  set(Effect::compensationOn, {410, 411, 420, 421});
  set(Effect::feedMode, {930, 940, 950});
  return effects;
}
constexpr std::array<Effect, 1000> kEffects = makeEffects();

// Reads one line into a block, a word at a time, to its end: a line not
// understood is read on, for the words that may make the program jump.
class LineReader {
 public:
  // Reads `line` into `*block`, a block made anew.
  LineReader(std::string_view line, Block* block)
      : p_(line.data()), end_(line.data() + line.size()), block_(*block) {}

  // Reads what the line says.
  void read();

 private:
  // Reads the word of `letter` (upper case), whose number comes next; every
  // word has one, even where its value does not matter.
  void readWord(char letter);
  // Passes over the run of letters from `start`, a keyword of a macro
  // language, which the reader does not know; notes one that may jump.
  void readKeyword(const char* start);
  // Reads a number ("5", "5.", ".5", "-0.5", "+5", blanks allowed inside)
  // with as many digits as a program writes ("0.007614213197969543"), and
  // moves past it; false when there is none, or when its whole part has more
  // digits than a mantissa keeps.
  bool readNumber(Number* number);
  // Takes `number` as the place of the axis `letter`, X Y or Z; false for
  // one too far out.
  bool takePlace(char letter, const Number& number);
  // Takes the G code `g`; false for one the reader does not know.
  bool takeG(int g);
  // Takes the M code `m`; false for the codes after which the reader cannot
  // tell what runs next, or in which modes.
  bool takeM(int m);
  // Takes the letter of a word other than G, M and O; false for one the
  // reader does not know, and for an axis or T word given twice.
  bool takeLetter(char letter);

  const char* p_;
  const char* end_;
  Block& block_;
};

void LineReader::read() {
  while (p_ < end_ && isBlank(*p_)) ++p_;
  if (p_ < end_ && *p_ == '%') return;  // the program's start or end mark
  while (p_ < end_) {
    const char c = *p_++;
    if (isLetter(c)) {
      if (p_ < end_ && isLetter(*p_)) {
        readKeyword(p_ - 1);
      } else {
        readWord(upper(c));
      }
    } else if (c == '(') {
      while (p_ < end_ && *p_ != ')') ++p_;
      p_ += p_ < end_ ? 1 : 0;
    } else if (c == ';') {
      break;  // a comment to the end of the line
    } else if (!isBlank(c) && c != '\n') {
      block_.understood = false;
    }
  }
  // M99 with a P word returns to a block number.
  block_.mayJump = block_.mayJump || (block_.returns && block_.has('P'));
}

void LineReader::readWord(char letter) {
  const bool first = !block_.hasWords;
  block_.hasWords = true;
  Number number;
  const bool hasNumber = readNumber(&number);
  bool known = false;
  if (letter == 'G') {
    known = hasNumber && takeG(number.code());
  } else if (letter == 'M') {
    known = hasNumber && takeM(number.code());
  } else if (letter == 'O') {
    known = block_.programNumber = first && hasNumber;
  } else {
    known = takeLetter(letter) && hasNumber && (letter < 'X' || takePlace(letter, number));
    bool rounded = false;
    if (letter == 'F' && !number.millionths(&block_.feed, &rounded, false)) block_.feed = 0;
  }
  // A program number is alone on its line.
  if (!known || (block_.programNumber && letter != 'O')) block_.understood = false;
}

void LineReader::readKeyword(const char* start) {
  while (p_ < end_ && isLetter(*p_)) ++p_;
  const std::string_view keyword(start, static_cast<size_t>(p_ - start));
  for (const std::string_view jump : {"GOTO", "GOTOF", "GOTOB", "GOTOC", "GOTOS", "IF", "WHILE",
                                      "REPEAT", "CALL", "PCALL", "MCALL"}) {
    bool same = keyword.size() == jump.size();
    for (size_t i = 0; same && i < jump.size(); ++i) same = upper(keyword[i]) == jump[i];
    block_.mayJump = block_.mayJump || same;
  }
  block_.hasWords = true;
  block_.understood = false;
}

bool LineReader::readNumber(Number* number) {
  const char* at = p_;
  while (at < end_ && isBlank(*at)) ++at;
  Number found;
  if (at < end_ && (*at == '-' || *at == '+')) found.negative = *at++ == '-';
  int taken = 0;   // digits in the mantissa
  int whole = -1;  // of them, those before the point, once it has come
  for (; at < end_; ++at) {
    const auto digit = static_cast<unsigned>(*at - '0');
    if (digit < 10) {
      if (taken < kMostDigits) {
        found.mantissa = found.mantissa * 10 + digit;
        ++taken;
      } else if (whole < 0) {
        return false;  // no place or code has a whole part that long
      } else {
        found.dropped = found.dropped || digit != 0;
      }
    } else if (*at == '.' && whole < 0) {
      whole = taken;
    } else if (isBlank(*at)) {
      // Blanks may stand inside a number, before more of its digits or its
      // point; blanks after it are not part of it.
      const char* next = at + 1;
      while (next < end_ && isBlank(*next)) ++next;
      if (next == end_ || !(isDigit(*next) || (*next == '.' && whole < 0))) break;
      at = next - 1;
    } else {
      break;
    }
  }
  found.scale = whole < 0 ? 0 : taken - whole;
  p_ = at;
  *number = found;
  return taken > 0;
}

bool LineReader::takePlace(char letter, const Number& number) {
  const auto axis = static_cast<size_t>(letter - 'X');
  return number.millionths(&block_.axes[axis], &block_.rounded[axis], letter == 'Z');
}

bool LineReader::takeG(int g) {
  Block& b = block_;
  switch (g < 0 || g >= 1000 ? Effect::unknown : kEffects[static_cast<size_t>(g)]) {
    case Effect::unknown:
      return false;
    case Effect::none:
      return true;
    case Effect::motion:
      // G80 beside another motion word only ends the canned cycle, as the
      // many controllers that keep it in a group of its own read it.
      if (g == 800 || b.motion == 800) {
        b.motion = b.motion < 0 || b.motion == 800 ? static_cast<int16_t>(g) : b.motion;
        return true;
      }
      if (b.motion >= 0) return false;  // two motions in one block
      b.motion = static_cast<int16_t>(g);
      return true;
    case Effect::notAMove:
      b.notAMove = true;
      return true;
    case Effect::newFrame:
      b.notAMove = b.forgetsPoints = true;
      return true;
    case Effect::home:
      b.notAMove = b.forgetsPoints = b.losesPlace = true;
      return true;
    case Effect::call:
      b.mayJump = true;
      return false;
    case Effect::newPlace:
      b.notAMove = b.losesPlace = true;
      return true;
    case Effect::units:
      b.units = g == 200 ? Units::inches : Units::millimetres;
      b.forgetsPoints = true;
      return true;
    case Effect::frame:
      b.forgetsPoints = true;
      return true;
    case Effect::absolute:
    case Effect::incremental:
      b.distance = static_cast<int8_t>(g == 910 ? 1 : 0);
      return true;
    case Effect::compensationOff:
    case Effect::compensationOn:
      b.compensation = static_cast<int8_t>(g == 400 ? 0 : 1);
      return true;
    case Effect::feedMode:
      b.feedMode = g == 930   ? FeedMode::inverseTime
                   : g == 940 ? FeedMode::perMinute
                              : FeedMode::perRevolution;
      return true;
  }
  return false;
}

bool LineReader::takeM(int m) {
  switch (m) {
    case 0:
    case 10:   // M0, M1: a pause, where many machines have their tools changed by hand
    case 60:   // M6
    case 610:  // M61: the spindle holds another tool
      block_.toolChange = true;
      return true;
    case 30:
    case 40:
    case 50:  // the spindle
    case 70:
    case 80:
    case 90:  // coolant
      return true;
    case 970:  // a jump to a block number and back
    case 980:  // a call, which may return to a block number here
      block_.mayJump = true;
      return false;
    case 990:  // a return, to a block number where a P word says
      block_.returns = true;
      return false;
    default:
      // Program ends, calls, and the codes a machine gives meanings of its
      // own: pallet changes, indexers, clamps, macros.
      return false;
  }
}

bool LineReader::takeLetter(char letter) {
  const uint32_t bit = letterBit(letter);
  if ((kKnownLetters & bit) == 0 || (block_.letters & bit & ~kIgnoredLetters) != 0) return false;
  block_.letters |= bit;
  block_.toolChange = block_.toolChange || letter == 'T';
  return true;
}

}  // namespace

Block readBlock(std::string_view line) {
  Block block;
  LineReader(line, &block).read();
  return block;
}
