#include "rewrite/word_scanner.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <numeric>
#include <type_traits>
#include <utility>

#include "rewrite/byte_search.h"
#include "rewrite/nc_text.h"

// The loops over lines are built twice: for any x86-64 processor, and with
// the bit instructions (BMI, BMI2) that find and shift a line's bits in one
// step each, chosen at run time. What they call is always inlined, and so
// built both ways.
#if defined(__GNUC__) && defined(__x86_64__)
#define TARVELIN_BIT_INSTRUCTIONS 1
#define TARVELIN_TARGET_BITS __attribute__((target("bmi,bmi2")))
#endif
#if defined(__GNUC__)
#define TARVELIN_INLINE __attribute__((always_inline)) inline
#define TARVELIN_INLINE_LAMBDA __attribute__((always_inline))
#else
#define TARVELIN_INLINE inline
#define TARVELIN_INLINE_LAMBDA
#endif

namespace {

std::atomic<bool> bitInstructionsAllowed{true};

// Tells a loop whether it is built with the bit instructions, and may use
// SSSE3, which every processor with them has.
using WithBits = std::true_type;
using WithoutBits = std::false_type;

#if defined(TARVELIN_BIT_INSTRUCTIONS)
// Runs `loop` built with the bit instructions.
template <typename Loop>
TARVELIN_TARGET_BITS void runWithBits(const Loop& loop) {
  loop(WithBits{});
}
#endif

// Runs `loop`, with the bit instructions where this processor has them.
template <typename Loop>
void runFast(const Loop& loop) {
#if defined(TARVELIN_BIT_INSTRUCTIONS)
  static const bool hasBits = __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
                              __builtin_cpu_supports("ssse3");
  if (hasBits && bitInstructionsAllowed.load(std::memory_order_relaxed)) return runWithBits(loop);
#endif
  loop(WithoutBits{});
}

// Returns 10 to the powers 0 to 19.
constexpr std::array<uint64_t, 20> makePowers() {
  std::array<uint64_t, 20> powers{1};
  for (size_t i = 1; i < powers.size(); ++i) powers[i] = powers[i - 1] * 10;
  return powers;
}
constexpr std::array<uint64_t, 20> kPowers = makePowers();

// Places are kept in millionths below a billion units, so that sums of them stay exact.
constexpr uint64_t kFarthest = kPowers[15];

// The most digits a mantissa keeps, from the first that is not zero on, and
// the most it keeps after the point.
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
    if (magnitude >= kFarthest) return false;
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

// Returns the number whose `count` digits (1 to 8) are the bytes 0x00 to
// 0x09 at the low end of `digits`, the first digit lowest; what lies above
// them does not matter.
TARVELIN_INLINE uint64_t combineDigits(uint64_t digits, int count) {
  digits <<= 8 * (8 - count);  // the digits last of eight, after zeros
  digits = digits * 10 + (digits >> 8);
  return (((digits & 0x000000FF000000FFu) * (100 + (uint64_t{1000000} << 32))) +
          (((digits >> 16) & 0x000000FF000000FFu) * (1 + (uint64_t{10000} << 32)))) >>
         32;
}

// Reads a number ("5", "5.", ".5", "-0.5", "+5", blanks allowed inside) at
// `*p` in a line ended by a line feed, a digit at a time, with as many
// digits as a program writes ("0.007614213197969543"); moves `*p` past it
// and returns false when there is none, or when its whole part has more
// digits than a mantissa keeps.
bool readNumberSlowly(const char** p, Number* number) {
  const char* at = *p;
  while (isBlank(*at)) ++at;
  if (*at == '-' || *at == '+') number->negative = *at++ == '-';
  int digits = 0;
  int kept = 0;  // digits in the mantissa from the first that is not zero on
  bool point = false;
  for (;; ++at) {
    if (isDigit(*at)) {
      ++digits;
      const auto digit = static_cast<uint64_t>(*at - '0');
      const bool full = kept == kMostDigits || number->scale == kMostDigits;
      if (full && !point) return false;  // no place or code has a whole part that long
      if (full) {
        number->dropped = number->dropped || digit != 0;
        continue;
      }
      number->mantissa = number->mantissa * 10 + digit;
      kept += static_cast<int>(number->mantissa != 0);
      number->scale += static_cast<int>(point);
    } else if (*at == '.' && !point) {
      point = true;
    } else if (!isBlank(*at)) {
      break;
    }
  }
  // Blanks after the number are not part of it.
  while (at != *p && isBlank(at[-1])) --at;
  *p = at;
  return digits > 0;
}

// Returns the number of the `length` bytes (one to eight) at `digits`, all
// digits but for the `point`th, the point, when it lies within them; and its sign.
TARVELIN_INLINE Number numberAt(const char* digits, int length, int point, bool negative) {
  uint64_t chunk = 0;
  std::memcpy(&chunk, digits, sizeof chunk);
  chunk ^= 0x3030303030303030u;  // digits become 0 to 9
  Number number;
  number.negative = negative;
  if (point < length) {
    // The fraction's digits moved down over the point.
    const uint64_t low = (uint64_t{1} << (8 * point)) - 1;
    chunk = (chunk & low) | ((chunk >> 8) & ~low);
    number.scale = length - point - 1;
    --length;
  }
  number.mantissa = combineDigits(chunk, length);
  return number;
}

#if defined(TARVELIN_BIT_INSTRUCTIONS)
// Returns, for each number of `length` digits and point (zero to eight) whose
// point is its `point`th byte (`length` for none), at [length * 9 + point],
// where each byte of sixteen takes its digit from (0x80 for none): the
// millionths digit last, the others before it by their powers of ten.
constexpr std::array<std::array<uint8_t, 16>, 81> makeDigitPlaces() {
  std::array<std::array<uint8_t, 16>, 81> places{};
  for (int length = 0; length <= 8; ++length) {
    for (int point = 0; point <= length; ++point) {
      auto& from = places[static_cast<size_t>(length) * 9 + static_cast<size_t>(point)];
      from.fill(0x80);
      for (int at = 0; at < length; ++at) {
        // The power of ten of the digit at `at`, in millionths.
        const int power = at < point ? 6 + point - 1 - at : 6 - (at - point);
        if (at != point && power >= 0)
          from[static_cast<size_t>(15 - power)] = static_cast<uint8_t>(at);
      }
    }
  }
  return places;
}
alignas(16) constexpr std::array<std::array<uint8_t, 16>, 81> kDigitPlaces = makeDigitPlaces();

// Returns the millionths of the number of `length` digits and point (one to
// eight) at `digits`, whose point, if any, is its `point`th byte and has six
// digits at most after it; sixteen bytes at `digits` are readable. The
// digits go to their places in sixteen bytes, which are then put together
// two, four and eight at a time. For the loops built with the bit
// instructions only, where SSSE3 is there.
TARVELIN_INLINE uint64_t millionthsAt(const char* digits, int length, int point) {
  __m128i bytes = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(digits)),
                                _mm_set1_epi8(0x30));  // digits become 0 to 9
  const __m128i places = _mm_load_si128(reinterpret_cast<const __m128i*>(
      kDigitPlaces[static_cast<size_t>(length) * 9 + static_cast<size_t>(std::min(point, length))]
          .data()));
  // pshufb and pmaddubsw, SSSE3 instructions, written out: their functions
  // may be called only where the whole function is built for SSSE3.
  asm("pshufb %1, %0\n\tpmaddubsw %2, %0" : "+x"(bytes) : "x"(places), "x"(_mm_set1_epi16(0x010A)));
  const __m128i fours = _mm_madd_epi16(bytes, _mm_set1_epi32(0x00010064));
  // Four digits fit in 16 bits: the first eight digits, and the last eight.
  const __m128i eights = _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32(0x00012710));
  const auto both = static_cast<uint64_t>(_mm_cvtsi128_si64(eights));
  return (both & 0xFFFFFFFFu) * 100000000 + (both >> 32);
}
#endif

// Reads a number as readNumberSlowly does, eight bytes at a time, when its
// digits and point fit in seven bytes; returns false, moving nothing, when
// they do not. With `value` false the number is only passed over.
template <bool value>
bool readNumberQuickly(const char** p, Number* number) {
  if constexpr (std::endian::native == std::endian::little) {
    const char* at = *p;
    const bool negative = *at == '-';
    at += static_cast<int>(negative || *at == '+');
    uint64_t chunk = 0;
    std::memcpy(&chunk, at, sizeof chunk);
    chunk ^= 0x3030303030303030u;  // digits become 0 to 9, with no borrow between bytes
    // The top bit of each byte that is no digit (0x30 to 0x39).
    const uint64_t other = (chunk | (chunk + 0x7676767676767676u)) & 0x8080808080808080u;
    const int whole = std::countr_zero(other) / 8;  // 8 when all are digits
    // Seven bytes at most, so that nothing is left beyond the eight read; and
    // the fraction's digits are looked for within those eight.
    if (whole >= 7) return false;
    int fraction = 0;
    const char* end = at + whole;
    const bool point = *end == '.';
    if (point) {
      fraction = std::countr_zero(other >> (8 * whole + 8)) / 8;
      end += 1 + fraction;
    }
    if (whole + fraction >= 7 || whole + fraction == 0) return false;
    if (isBlank(*end)) {
      // Blanks may stand inside a number: leave it to be read slowly if it goes on.
      const char* next = end;
      while (isBlank(*next)) ++next;
      if (isDigit(*next) || (*next == '.' && !point)) return false;
    }
    if constexpr (value) {
      const auto length = static_cast<int>(end - at);
      *number = numberAt(at, length, point ? whole : length, negative);
    }
    *p = end;
    return true;
  }
  return false;
}

// Reads the number after a word's letter at `*p` as a place in millionths,
// rounded up iff `up`, and whether it was rounded to get there, moving `*p`
// past it; returns false when there is none, or one too large to be a place.
bool readPlace(const char** p, int64_t* millionths, bool* rounded, bool up) {
  Number number;
  if (!readNumberQuickly<true>(p, &number) && !readNumberSlowly(p, &number)) return false;
  return number.millionths(millionths, rounded, up);
}

// Moves `*p` past the number at it, whose value does not matter; returns
// false when there is none.
bool skipNumber(const char** p) {
  Number ignored;
  return readNumberQuickly<false>(p, &ignored) || readNumberSlowly(p, &ignored);
}

// Reads the number of a G or M word at `*p`, moving `*p` past it; returns
// its code in tenths (G59.1 is 591), or -1 when it is none.
int readCode(const char** p) {
  const char* at = *p;
  // The usual one or two digits, and maybe a point and one more.
  if (isDigit(at[0]) && !isBlank(at[1])) {
    int code = at[0] - '0';
    at += 1;
    if (isDigit(*at)) code = code * 10 + (*at++ - '0');
    code *= 10;
    if (*at == '.' && isDigit(at[1])) {
      code += at[1] - '0';
      at += 2;
    }
    if (!isDigit(*at) && *at != '.' && !isBlank(*at)) {
      *p = at;
      return code;
    }
  }
  Number number;
  if (!readNumberSlowly(p, &number)) return -1;
  return number.code();
}

// Returns where the line feed that ends the line holding `p` is.
const char* endOfLine(const char* p) {
  while (*p != '\n') ++p;
  return p;
}

// The letters of words, as bits.
constexpr uint32_t letterBit(char letter) { return uint32_t{1} << (letter - 'A'); }
constexpr uint32_t letterBits(std::string_view letters) {
  return std::accumulate(letters.begin(), letters.end(), uint32_t{0},
                         [](uint32_t bits, char letter) { return bits | letterBit(letter); });
}
// Words whose numbers say nothing to the approach rule.
constexpr uint32_t kIgnoredLetters = letterBits("DEFHIJKLNPQRS");
// Axes that may turn or shift the tool: what X Y Z say of its place no longer holds.
constexpr uint32_t kOtherAxes = letterBits("ABCUVW");
constexpr uint32_t kKnownLetters = kIgnoredLetters | kOtherAxes | letterBits("GMTXYZ");

// What a G code does to what the reader follows.
enum class Effect : uint8_t {
  unknown,      // anything the reader does not know
  none,         // planes, path control, feed and spindle modes, cycle return
  motion,       // G0 G1 G2 G3 G80 and the canned cycles
  notAMove,     // G4: the axis words are a dwell's time, or a move the reader does not follow
  newFrame,     // G10 G52 G92: offsets change and the axis words are no move
  newPlace,     // G28 G30 G53: the machine goes somewhere not written
  frame,        // units, tool length offsets, coordinate systems
  absolute,     // G90
  incremental,  // G91
  compensationOff,
  compensationOn,
};

// Returns the effect of each G code, indexed in tenths (G59.1 is 591).
constexpr std::array<Effect, 1000> makeEffects() {
  std::array<Effect, 1000> effects{};
  const auto set = [&](Effect effect, std::initializer_list<int> codes) {
    for (const int code : codes) effects[static_cast<size_t>(code)] = effect;
  };
  set(Effect::none,
      {170, 171, 180, 181, 190, 191, 610, 611, 640, 901, 911, 930, 940, 950, 960, 970, 980, 990});
  set(Effect::motion, {0, 10, 20, 30, 730, 760, 800, 810, 820, 830, 840, 850, 860, 870, 880, 890});
  set(Effect::notAMove, {40});
  // G43.1 and G43.2 take their tool length offsets from the axis words.
  set(Effect::newFrame, {100, 431, 432, 520, 920, 921, 922, 923});
  set(Effect::newPlace, {280, 281, 300, 301, 530});
  set(Effect::frame, {200, 210, 430, 440, 490, 540, 541, 550, 560, 570, 580, 590, 591, 592, 593});
  set(Effect::absolute, {900});
  set(Effect::incremental, {910});
  set(Effect::compensationOff, {400});
  set(Effect::compensationOn, {410, 411, 420, 421});
  return effects;
}
constexpr std::array<Effect, 1000> kEffects = makeEffects();

// Calls visit(line, lineFeed, classes) for the whole lines in [begin, end),
// after which kPadding bytes are readable, in order, each with the classes
// of the 64 bytes from its start, until it returns false; returns where the
// lines not visited start. Uses `classes` for those of `batch` blocks at a
// time, and of the one after them.
template <typename Visit>
TARVELIN_INLINE const char* forEachLine(const char* begin, const char* end, ByteClasses* classes,
                                        size_t batch, Visit&& visit) {
  // The classes of each line are put together from those of the 64-byte
  // blocks it starts in and after, which are found a batch at a time.
  const char* line = begin;
  const auto size = static_cast<size_t>(end - begin);
  const size_t blocks = (size + 63) / 64;
  ByteClasses before;  // of the 64 bytes before the block at hand
  for (size_t first = 0; first < blocks; first += batch) {
    const size_t count = std::min(batch, blocks - first);
    classifyBlocks(begin + 64 * first, count + 1, classes);
    for (size_t i = 0; i < count; ++i) {
      const char* block = begin + 64 * (first + i);
      // The next batch is fetched into the cache while this one is read.
      __builtin_prefetch(begin + std::min(64 * (first + i + batch), size));
      uint64_t lineFeeds = classes[i].lineFeeds;
      if (end - block < 64) lineFeeds &= (uint64_t{1} << (end - block)) - 1;
      for (; lineFeeds != 0; lineFeeds &= lineFeeds - 1) {
        const char* lineFeed = block + std::countr_zero(lineFeeds);
        const auto at = static_cast<int>(line - block);
        // A line that starts further back is too long to be read by its classes.
        const ByteClasses lineClasses = at >= 0     ? classesFrom(classes[i], classes[i + 1], at)
                                        : at >= -64 ? classesFrom(before, classes[i], at + 64)
                                                    : ByteClasses{};
        if (!visit(line, lineFeed, lineClasses)) return line;
        line = lineFeed + 1;
      }
      before = classes[i];
    }
  }
  return end;
}

// Where the numbers are in a line read quickly that may change with nothing
// else read differently: those of the axis words, and those whose values
// are not read.
struct QuickWords {
  struct Axis {
    int8_t axis;  // 0 for X, 1 for Y, 2 for Z
    int8_t from;
    int8_t length;
    int8_t point;
    bool negative;
  };
  uint64_t numbers = 0;  // the bits of those numbers' bytes
  int axisCount = 0;
  Axis axes[3] = {};
};

}  // namespace

// What one line says, as far as the approach rule is concerned.
struct WordScanner::Block {
  // Small, so that the lines the helper reads take little room on their way
  // to this thread.
  uint32_t letters = 0;      // the letters of the words, G and M aside
  int16_t motion = -1;       // the motion word, in tenths: 0, 10, 20, 30, 800 or a canned cycle
  int8_t distance = -1;      // 0 for G90, 1 for G91
  int8_t compensation = -1;  // 0 for G40, 1 for G41 or G42
  bool notAMove = false;     // G4, G10, G28, G30, G52, G53, G92: the axis words are no move of ours
  bool losesFrame = false;   // what X Y Z mean changes: units, offsets, coordinate systems
  bool losesPlace = false;   // the machine goes somewhere not written: G28, G30, G53
  bool toolChange = false;   // M6, M61, a T word, or a stop where a tool may be changed by hand
  bool rounded[3] = {};      // X, Y, Z had places below a millionth
  bool usual = false;        // none of the above, nor other axes: a move in the modes in force
  // X, Y, Z in millionths. Z is rounded up, so that no pass counts as deeper
  // than it was and an approach over it keeps the whole gap.
  int64_t axes[3] = {};

  bool has(char letter) const { return (letters & letterBit(letter)) != 0; }
  int64_t axis(char letter) const { return axes[letter - 'X']; }
  // Notes whether the block read is usual, so that following it can pass
  // over what it does not change; returns true.
  bool settle() {
    usual = !notAMove && !losesFrame && !losesPlace && !toolChange && distance < 0 &&
            compensation < 0 && (letters & kOtherAxes) == 0;
    return true;
  }

  // Takes the G code `g` (in tenths); returns false for one the reader does not know.
  TARVELIN_INLINE bool takeG(int g) {
    // The motions of almost every line, without the table.
    if ((g == 0 || g == 10 || g == 20 || g == 30) && motion < 0) {
      motion = static_cast<int16_t>(g);
      return true;
    }
    switch (g < 0 || g >= 1000 ? Effect::unknown : kEffects[static_cast<size_t>(g)]) {
      case Effect::unknown:
        return false;
      case Effect::none:
        return true;
      case Effect::motion:
        // G80 beside another motion word only ends the canned cycle, as the
        // many controllers that keep it in a group of its own read it.
        if (g == 800 || motion == 800) {
          motion = motion < 0 || motion == 800 ? static_cast<int16_t>(g) : motion;
          return true;
        }
        if (motion >= 0) return false;  // two motions in one block
        motion = static_cast<int16_t>(g);
        return true;
      case Effect::notAMove:
        notAMove = true;
        return true;
      case Effect::newFrame:
        notAMove = losesFrame = true;
        return true;
      case Effect::newPlace:
        notAMove = losesPlace = true;
        return true;
      case Effect::frame:
        losesFrame = true;
        return true;
      case Effect::absolute:
      case Effect::incremental:
        distance = static_cast<int8_t>(g == 910 ? 1 : 0);
        return true;
      case Effect::compensationOff:
      case Effect::compensationOn:
        compensation = static_cast<int8_t>(g == 400 ? 0 : 1);
        return true;
    }
    return false;
  }

  // Takes the M code `m` (in tenths); returns false for the codes after which
  // the reader cannot tell what runs next, or in which modes: program ends,
  // subprogram calls and returns, restored modal state, pallet changes, and
  // the codes a machine may give any meaning.
  bool takeM(int m) {
    switch (m) {
      case 0:
      case 10:   // M0, M1: a pause, where many machines have their tools changed by hand
      case 60:   // M6
      case 610:  // M61: the spindle holds another tool
        toolChange = true;
        return true;
      case 30:
      case 40:
      case 50:
      case 70:
      case 80:
      case 90:  // spindle, coolant
      case 190:
      case 480:
      case 490:
      case 500:
      case 510:
      case 520:
      case 530:  // orient, overrides
      case 620:
      case 630:
      case 640:
      case 650:
      case 660:
      case 670:
      case 680:  // outputs, inputs
      case 700:
      case 710:  // save or forget the modal state
        return true;
      default:
        return false;
    }
  }

  // Takes the letter of a word other than G and M (upper case); returns false
  // for one the reader does not know.
  TARVELIN_INLINE bool takeLetter(char letter) {
    const uint32_t bit = letterBit(letter);
    if ((kKnownLetters & bit) == 0 || (letters & bit & ~kIgnoredLetters) != 0) {
      return false;  // O words (programs, subroutines, loops), others, and twice the same axis
    }
    letters |= bit;
    toolChange = toolChange || letter == 'T';
    return true;
  }

  // Takes the word `letter` (upper case) and its number at `*p`, moving `*p`
  // past it; returns false for a word the reader does not know.
  bool take(char letter, const char** p) {
    if (letter == 'G') return takeG(readCode(p));
    if (letter == 'M') return takeM(readCode(p));
    if (!takeLetter(letter)) return false;
    if (letter < 'X') return skipNumber(p);
    return readPlace(p, &axes[letter - 'X'], &rounded[letter - 'X'], letter == 'Z');
  }

  // Reads the line at `line` as read() does, when it is words alone, each a
  // letter right before its number of eight digits and point at most, with
  // blanks only between words, and it ends within the 64 bytes whose
  // `classes` are given. Returns false to leave the line to read(), on a block
  // made anew.
  template <typename Bits>
  TARVELIN_INLINE bool readQuickly(const char* line, const char* lineFeed,
                                   const ByteClasses& classes, QuickWords* quick = nullptr) {
    if (std::endian::native != std::endian::little || lineFeed - line >= 64) return false;
    const uint64_t inLine = (uint64_t{1} << (lineFeed - line)) - 1;
    const uint64_t starts = classes.letters & inLine;
    const uint64_t numbers = classes.numbers & inLine;
    const uint64_t points = classes.points & inLine;
    const uint64_t signs = classes.signs & inLine;
    if (!wordsAlone(starts, numbers, points, signs, classes.blanks | ~inLine)) return false;
    for (uint64_t words = starts; words != 0; words &= words - 1) {
      const int at = std::countr_zero(words);
      const auto letter = static_cast<char>(line[at] & ~0x20);
      const int from = at + 1 + static_cast<int>((signs >> (at + 1)) & 1);
      const int length = std::countr_zero(~numbers >> from);
      // The first point from the number on, which may be a later number's.
      const int point = std::countr_zero(points >> from);
      // With no sign, the byte after the letter is a digit or the point.
      const bool negative = line[at + 1] == '-';
      const uint64_t bytes = ((uint64_t{1} << length) - 1) << from;
      if (letter >= 'X') {
        if (!takeAxis<Bits>(letter, line + from, length, point, negative)) return false;
        if (quick != nullptr) {
          quick->axes[quick->axisCount++] =
              QuickWords::Axis{static_cast<int8_t>(letter - 'X'), static_cast<int8_t>(from),
                               static_cast<int8_t>(length), static_cast<int8_t>(point), negative};
          quick->numbers |= bytes;
        }
      } else if (letter == 'G' || letter == 'M') {
        const int code = codeAt(line + from, length, point, negative);
        if (!(letter == 'G' ? takeG(code) : takeM(code))) return false;
      } else if (!takeLetter(letter)) {
        return false;
      } else if (quick != nullptr) {
        quick->numbers |= bytes;
      }
    }
    return settle();
  }

  // True iff the bytes of a line, given by the masks of its letters, number
  // bytes, points, signs and of what else it may hold (blanks, and what lies
  // past its end), are words alone, each a letter right before its number:
  // a sign only first, then eight digits and point at most, with a digit
  // and no second point.
  TARVELIN_INLINE static bool wordsAlone(uint64_t starts, uint64_t numbers, uint64_t points,
                                         uint64_t signs, uint64_t others) {
    // Comments, marks and other bytes; a number or its piece after a blank
    // or first; a sign inside a number; a letter with no number after it.
    if ((~(starts | numbers | others) | (numbers & ~((starts | numbers) << 1)) |
         (signs & ~(starts << 1)) | ((starts << 1) & ~numbers)) != 0) {
      return false;
    }
    // A number of a sign and points alone: a carry from its first byte runs
    // through it and out past its end. A second point in a number: a carry
    // from the first point runs through the rest, and stops at the second.
    const uint64_t noDigits = numbers & (points | signs);
    if (((noDigits + (noDigits & ~(numbers << 1))) & ~numbers) != 0 ||
        ((numbers + points) & points) != 0) {
      return false;
    }
    // Nine digits and points in a row.
    const uint64_t body = numbers & ~signs;
    uint64_t run = body & (body >> 1);
    run &= run >> 2;
    run &= run >> 4;
    return (run & (body >> 8)) == 0;
  }

  // Takes the axis word `letter` whose number of `length` digits and point
  // is at `digits`, its point, if any, the `point`th byte; returns false for
  // an axis given twice or a place below a millionth.
  template <typename Bits>
  TARVELIN_INLINE bool takeAxis(char letter, const char* digits, int length, int point,
                                bool negative) {
    const uint32_t bit = letterBit(letter);
    if ((letters & bit) != 0) return false;
    letters |= bit;
    // Exact: eight digits at most, none below a millionth.
    if (point < length && length - point - 1 > 6) return false;
    const auto millionths = static_cast<int64_t>(placeAt<Bits>(digits, length, point));
    axes[letter - 'X'] = negative ? -millionths : millionths;
    return true;
  }

  // Returns the millionths of the number of `length` digits and point
  // (eight at most) at `digits`, without its sign, whose point, if any, is
  // its `point`th byte and has six digits at most after it.
  template <typename Bits>
  TARVELIN_INLINE static uint64_t placeAt(const char* digits, int length, int point) {
#if defined(TARVELIN_BIT_INSTRUCTIONS)
    if constexpr (Bits::value) return millionthsAt(digits, length, point);
#endif
    const Number number = numberAt(digits, length, point, false);
    return number.mantissa * kPowers[static_cast<size_t>(6 - number.scale)];
  }

  // Returns the code in tenths of the G or M word whose number of `length`
  // digits and point is at `digits`, as Number::code() does.
  TARVELIN_INLINE static int codeAt(const char* digits, int length, int point, bool negative) {
    if (!negative && length <= 2 && point >= length) {
      const int first = digits[0] - '0';
      return 10 * (length == 1 ? first : 10 * first + digits[1] - '0');
    }
    return numberAt(digits, length, point, negative).code();
  }

  // Reads the words of the line at `p`, whose line feed has at least eight
  // readable bytes after it; returns where that is, or nullptr when it holds
  // anything not understood.
  const char* read(const char* p) {
    while (isBlank(*p)) ++p;
    if (*p == '%') return endOfLine(p);  // the program's start or end mark
    for (;;) {
      const char c = *p++;
      const auto upper = static_cast<char>(c & ~0x20);
      if (upper >= 'A' && upper <= 'Z') {
        if (!take(upper, &p)) return nullptr;
      } else if (c == '\n') {
        return p - 1;
      } else if (c == ';') {
        return endOfLine(p);  // a comment to the end of the line
      } else if (c == '(') {
        while (*p != ')' && *p != '\n') ++p;
        if (*p == ')') ++p;
      } else if (!isBlank(c)) {
        return nullptr;
      }
    }
  }
};

struct WordScanner::Record {
  uint32_t at;  // where the line starts, from the start of the lines read ahead
  bool understood;
  Block block;
};

// The last line read quickly, as a shape: most lines of a CAM program have
// the shape of the one before them, the same words with as many digits each,
// and are read by putting together the digits of their axes alone.
struct WordScanner::LineShape {
  int length = -1;                   // none yet
  uint64_t numbers = 0, points = 0;  // the bytes of numbers, and points
  uint64_t fixed = 0;  // the bytes that must be as in `bytes`: all but the numbers in `words`
  char bytes[64] = {};
  QuickWords words;
  Block block;  // what the line says, but for its axes
  // Shapes kept in a row that no line had again, and lines not kept since:
  // where shapes seldom come again, only some are kept.
  unsigned fruitless = 0;
  unsigned passed = 0;

  // Reads the line from `line` to its `lineFeed`, of the `classes` given,
  // into `*out` when it has this shape; returns false, moving nothing, when not.
  template <typename Bits>
  TARVELIN_INLINE bool read(const char* line, const char* lineFeed, const ByteClasses& classes,
                            Block* out) {
    const auto size = static_cast<int>(lineFeed - line);
    if (size != length) return false;
    const uint64_t inLine = (uint64_t{1} << (size & 63)) - 1;  // a line kept is shorter than 64
    // Letters, signs and blanks are among the bytes that must be as they
    // were: a byte of a number in a number's place, a point in a point's,
    // and the same bytes in the rest make the same words.
    if ((((classes.numbers & inLine) ^ numbers) | ((classes.points & inLine) ^ points) |
         (fixed & ~equalBytes(line, bytes, size))) != 0) {
      return false;
    }
    *out = block;
    fruitless = 0;
    for (int i = 0; i < words.axisCount; ++i) {
      const QuickWords::Axis& axis = words.axes[i];
      // The same digits and point as a number read quickly: a place.
      const auto millionths =
          static_cast<int64_t>(Block::placeAt<Bits>(line + axis.from, axis.length, axis.point));
      out->axes[axis.axis] = axis.negative ? -millionths : millionths;
    }
    return true;
  }

  // Reads the line from `line` to its `lineFeed`, of the `classes` given,
  // quickly into `*out`, a block made anew, and keeps its shape; returns
  // false, with no shape kept, when the line is not read quickly.
  template <typename Bits>
  TARVELIN_INLINE bool readAnew(const char* line, const char* lineFeed, const ByteClasses& classes,
                                Block* out) {
    words = QuickWords{};
    if (!out->readQuickly<Bits>(line, lineFeed, classes, &words)) {
      length = -1;
      return false;
    }
    length = static_cast<int>(lineFeed - line);
    const uint64_t inLine = (uint64_t{1} << length) - 1;
    numbers = classes.numbers & inLine;
    points = classes.points & inLine;
    fixed = inLine & ~words.numbers;
    std::memcpy(bytes, line, sizeof bytes);
    block = *out;
    return true;
  }
};

WordScanner::WordScanner(const Heights& heights, Background* helper,
                         std::function<void()> helperStarted)
    : rule_(inMillionths(heights)), helperStarted_(std::move(helperStarted)) {
  if (helper == nullptr) return;
  background_ = helper;
  records_.reserve(kRecords);
  helper_ = std::make_unique<Background::Lane>(*helper);
}

WordScanner::~WordScanner() = default;

void WordScanner::useBitInstructions(bool use) {
  bitInstructionsAllowed.store(use, std::memory_order_relaxed);
}

// Points and their links are read only once written: only the slots start empty.
FedPoints::FedPoints()
    : points_(new Point[kSize]), before_(new uint32_t[kSize]), slots_(new uint32_t[kSlots]()) {}

bool FedPoints::reached(int64_t x, int64_t y, double depth) const {
  int32_t qx = 0;
  int32_t qy = 0;
  if (!tenThousandths(x, &qx) || !tenThousandths(y, &qy)) return false;
  // Points up to this number are forgotten, or replaced by later ones.
  const uint32_t gone =
      std::max(kept_, count_ > kSize ? static_cast<uint32_t>(count_ - kSize) : 0u);
  uint32_t number = slots_[slotFor(qx, qy)];
  for (int look = 0; look < kLooks && number > gone; ++look) {
    const size_t at = (number - 1) & (kSize - 1);
    const Point& point = points_[at];
    if (point.x == qx && point.y == qy && static_cast<double>(point.z) / 1e6 <= depth) return true;
    number = before_[at];
  }
  return false;
}

void FedPoints::startAfresh() {
  std::fill_n(slots_.get(), kSlots, 0u);
  count_ = kept_ = 0;
}

size_t WordScanner::linesWithRoomAfter(std::string_view text) {
  if (text.size() <= kPadding) return 0;
  const size_t lineFeed = text.rfind('\n', text.size() - kPadding - 1);
  return lineFeed == std::string_view::npos ? 0 : lineFeed + 1;
}

size_t WordScanner::copyLines(std::string_view text, size_t from) {
  std::string_view rest = text.substr(from);
  if (rest.size() > kChunk) {
    // Whole lines only: up to the last line end in the chunk, or else to the
    // end of the one line that fills it.
    size_t size = kChunk;
    while (size > 0 && rest[size - 1] != '\n') --size;
    if (size == 0) size = std::min(rest.find('\n'), rest.size() - 1) + 1;
    rest = rest.substr(0, size);
  }
  if (rest.back() != '\n' && rest.size() > NcReader::kMaxLine) {
    // A piece of a line over the reader's limit cannot be read as words.
    retractWatch_ = false;
    midLine_ = true;
    beUnsure();
    return 0;
  }
  if (lines_.size() < rest.size() + kPadding) lines_.resize(rest.size() + kPadding);
  std::memcpy(lines_.data(), rest.data(), rest.size());
  std::memset(lines_.data() + rest.size(), '\n', kPadding);
  return rest.size();
}

size_t WordScanner::skipPiece(std::string_view text) {
  beUnsure();
  const size_t lineFeed = text.find('\n');
  midLine_ = lineFeed == std::string_view::npos;
  return midLine_ ? text.size() : lineFeed + 1;
}

template <typename Bits>
TARVELIN_INLINE bool WordScanner::readBlock(const char* line, const char* lineFeed,
                                            const ByteClasses& classes, LineShape* shape,
                                            Block* block) {
  if (shape->read<Bits>(line, lineFeed, classes, block)) return true;
  if (shape->fruitless < 4 || ++shape->passed % 8 == 0) {
    ++shape->fruitless;
    if (shape->readAnew<Bits>(line, lineFeed, classes, block)) return true;
  } else {
    // A shape left unused is dropped, so that the next lines fail at its length.
    shape->length = -1;
    if (block->readQuickly<Bits>(line, lineFeed, classes)) return true;
  }
  *block = Block{};
  return block->read(line) != nullptr && block->settle();
}

template <typename Bits>
TARVELIN_INLINE bool WordScanner::scanLine(const char* line, const char* lineFeed,
                                           const ByteClasses& classes, LineShape* shape) {
  Block block;
  return followBlock(readBlock<Bits>(line, lineFeed, classes, shape, &block) ? &block : nullptr);
}

const char* WordScanner::readAhead(const char* begin, const char* end, ByteClasses* classes,
                                   std::vector<Record>* records) {
  records->clear();
  const char* rest = end;
  runFast([&](auto bits) TARVELIN_INLINE_LAMBDA {
    using Bits = decltype(bits);
    LineShape shape;
    rest = forEachLine(begin, end, classes, kBatch,
                       [&](const char* line, const char* lineFeed, const ByteClasses& lineClasses)
                           TARVELIN_INLINE_LAMBDA {
                             if (records->size() == kRecords) return false;
                             Record& record = records->emplace_back();
                             record.at = static_cast<uint32_t>(line - begin);
                             record.understood = readBlock<Bits>(line, lineFeed, lineClasses,
                                                                 &shape, &record.block);
                             return true;
                           });
  });
  return rest;
}

void WordScanner::scanLines(const char* begin, const char* end, size_t from, const Found& found) {
  runFast([&](auto bits) TARVELIN_INLINE_LAMBDA {
    using Bits = decltype(bits);
    LineShape shape;
    forEachLine(begin, end, classes_, kBatch,
                [&](const char* line, const char* lineFeed, const ByteClasses& classes)
                    TARVELIN_INLINE_LAMBDA {
                      if (scanLine<Bits>(line, lineFeed, classes, &shape)) {
                        found(from + static_cast<size_t>(line - begin), approachLine_);
                      }
                      return true;
                    });
  });
}

void WordScanner::scanText(std::string_view text, const Found& found) {
  size_t from = midLine_ ? skipPiece(text) : 0;
  // Most lines are read where they are; only the last few need line feeds put after them.
  const size_t inPlace = linesWithRoomAfter(text);
  const size_t middle = from < inPlace ? startHelper(text, from, inPlace) : inPlace;
  if (helperStarted_) helperStarted_();
  // What the thread beside was given by now: the helper's task, the next read.
  const uint64_t given = background_ != nullptr ? background_->latest() : 0;
  if (from < inPlace) {
    scanLines(text.data() + from, text.data() + middle, from, found);
    if (middle < inPlace) {
      const bool helperWasDone = helperDone_.load(std::memory_order_relaxed);
      const size_t rest = finishHelper(text);
      // The helper's records were written on the other processor: fetching
      // them some way ahead overlaps the transfers.
      const Record* records = records_.data();
      const size_t count = records_.size();
      for (size_t i = 0; i < count; ++i) {
        __builtin_prefetch(records + std::min(i + kRecordsAhead, count - 1));
        const Record& record = records[i];
        if (followBlock(record.understood ? &record.block : nullptr)) {
          found(middle + record.at, approachLine_);
        }
      }
      scanLines(text.data() + rest, text.data() + inPlace, rest, found);
      // The helper gets more of the next stretch when it finished its share
      // first and the thread beside has also done what it was given with it
      // (above all the next block's read); less when this thread waited or
      // will wait.
      helperShare_ = helperWasDone && background_->ended(given) ? std::min(helperShare_ + 1, 48u)
                                                                : std::max(helperShare_ - 1, 16u);
    }
    from = inPlace;
  }
  while (from < text.size()) {
    const size_t copied = copyLines(text, from);
    if (copied == 0) return;
    scanLines(lines_.data(), lines_.data() + copied, from, found);
    from += copied;
  }
}

size_t WordScanner::startHelper(std::string_view text, size_t from, size_t inPlace) {
  if (!helper_ || inPlace - from < kTwoThreads) return inPlace;
  // From the first line after the helper's share of the stretch, from its end.
  const size_t split = text.find('\n', inPlace - (inPlace - from) * helperShare_ / 64);
  if (split >= inPlace - 1) return inPlace;
  const char* begin = text.data() + split + 1;
  const char* end = text.data() + inPlace;
  helperDone_.store(false, std::memory_order_relaxed);
  helper_->start([this, begin, end] {
    helperEnd_ = readAhead(begin, end, helperClasses_, &records_);
    helperDone_.store(true, std::memory_order_relaxed);
  });
  return split + 1;
}

size_t WordScanner::finishHelper(std::string_view text) {
  helper_->wait();
  return static_cast<size_t>(helperEnd_ - text.data());
}

TARVELIN_INLINE bool WordScanner::followBlock(const Block* block) {
  const bool afterApproach = retractWatch_;
  retractWatch_ = false;
  if (block == nullptr) {
    beUnsure();
    return false;
  }
  // An approach goes in front of its line, so it runs in the modes before the
  // line: none in front of a line that changes what its coordinates mean.
  const bool keepsModes = block->usual || (!block->losesFrame && !block->losesPlace &&
                                           !block->toolChange && block->compensation < 0 &&
                                           (block->distance < 0 || block->distance == distance_));
  applyModes(*block);
  return move(*block, afterApproach, keepsModes);
}

TARVELIN_INLINE void WordScanner::applyModes(const Block& block) {
  if (!block.usual) applyUnusual(block);
  // Radius compensation stays in force until the move after G40 has led the
  // tool back onto the programmed path.
  compensationEnding_ =
      compensation_ && (block.compensation == 0 || (compensationEnding_ && block.compensation < 0));
  if (block.motion >= 0) {
    const int m = block.motion;
    motion_ = m == 0     ? Motion::rapid
              : m == 10  ? Motion::feed
              : m <= 30  ? Motion::arc
              : m == 800 ? Motion::none
                         : Motion::cycle;
  }
}

void WordScanner::applyUnusual(const Block& block) {
  if (block.toolChange) {
    // Points cut by another tool say nothing about this one.
    rule_.newSeries();
    fed_.forget();
    losePosition();
  }
  if (block.losesFrame || (block.letters & kOtherAxes) != 0) {
    fed_.forget();
    losePosition();
  }
  if (block.losesPlace) losePosition();
  if (block.distance >= 0) distance_ = int{block.distance};
  // A G41 or G42 turns radius compensation on, or on again before the move
  // that was to end it.
  if (block.compensation == 1) compensation_ = true;
}

TARVELIN_INLINE bool WordScanner::move(const Block& block, bool afterApproach, bool keepsModes) {
  const bool hasX = block.has('X');
  const bool hasY = block.has('Y');
  const bool hasZ = block.has('Z');
  if (!(hasX || hasY || hasZ)) return false;
  if (!block.usual && (block.notAMove || (block.letters & kOtherAxes) != 0)) {
    // Some controllers move the tool to the axis words of a dwell.
    losePosition();
    return false;
  }
  const int64_t fromX = x_;
  const int64_t fromY = y_;
  const bool fromKnown = xKnown_ && yKnown_;
  // Returns where an axis at `at` goes; the place stays in a register for the
  // feed points below, which reading it back just after storing it would stall.
  const auto follow = [&](char letter, bool has, int64_t at, bool* known) {
    if (!has) return at;
    const int64_t word = block.axis(letter);
    if (distance_ == 0) {
      *known = true;
      return word;
    }
    // Incremental moves that add up to a billion units lose the place, which
    // keeps the sums from overflowing; so does a distance rounded to
    // millionths, whose error many such moves would add up.
    const int64_t sum = at + word;
    const bool near =
        sum > -static_cast<int64_t>(kFarthest) && sum < static_cast<int64_t>(kFarthest);
    *known = distance_ == 1 && *known && near && !block.rounded[letter - 'X'];
    return near ? sum : 0;
  };
  const int64_t x = x_ = follow('X', hasX, x_, &xKnown_);
  const int64_t y = y_ = follow('Y', hasY, y_, &yKnown_);
  const int64_t z = z_ = follow('Z', hasZ, z_, &zKnown_);
  const bool up = hasZ && block.axis('Z') >= 0;
  bool approach = false;
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
      if (compensationEnding_ && (hasX || hasY)) compensation_ = compensationEnding_ = false;
      return false;
    case Motion::feed:
      // A plunge goes straight down; a feed move with X or Y is a ramp, whose
      // path an approach in front would change.
      if (block.motion == 10 && hasZ && !up && !hasX && !hasY) {
        if (distance_ != 0) {
          rule_.incrementalPlunge();  // relative, or a mode the reader is unsure of
        } else {
          const double depth = static_cast<double>(block.axis('Z')) / 1e6;
          approach = plunge(depth, keepsModes && !compensation_, fromKnown, fromX, fromY);
        }
      }
      [[fallthrough]];
    case Motion::arc:
      if (xKnown_ && yKnown_ && zKnown_ && !compensation_) {
        fed_.add(x, y, z);
      }
      if (compensationEnding_ && (hasX || hasY)) compensation_ = compensationEnding_ = false;
      return approach;
    case Motion::cycle:
    case Motion::none:
      // A canned cycle ends at its R plane or where it started, and may be
      // repeated (L, K): where it leaves the tool is not written; nor is
      // where a move goes with no motion known to be in force.
      losePosition();
      return false;
  }
  return false;
}

bool WordScanner::plunge(double depth, bool allowed, bool known, int64_t x, int64_t y) {
  // Below the first height only straight down onto a point where this tool
  // has already been fed at least that deep.
  const auto height =
      rule_.plunge(depth, [&](double reached) { return known && fed_.reached(x, y, reached); });
  if (!height || !allowed) return false;
  approachLine_ = approachText_.format(*height);
  retractWatch_ = true;
  return true;
}

Heights WordScanner::inMillionths(const Heights& heights) {
  // A height of six decimals or fewer is the double nearest to its millionths,
  // and stays as it is.
  const auto up = [](double height) {
    const double millionths = std::round(height * 1e6);
    return millionths / 1e6 < height ? (millionths + 1) / 1e6 : millionths / 1e6;
  };
  return Heights{up(heights.gap), up(heights.first)};
}

void WordScanner::beUnsure() {
  fed_.forget();
  losePosition();
  motion_ = Motion::none;
  distance_ = -1;
  compensation_ = true;
  compensationEnding_ = false;
}
