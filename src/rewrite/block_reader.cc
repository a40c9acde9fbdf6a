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
  bool point = false;  // written with a decimal point

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

// Where a word's meaning is known, besides anywhere: the codes of its own
// line, or the motion in force, that say what its number is.
enum Context : uint16_t {
  kArc = 1 << 0,                 // G2 G3: I J K the centre, R the radius
  kCycle = 1 << 1,               // canned cycles: R, P, Q, L, K, I, J
  kRadiusCompensation = 1 << 2,  // G41 G42: D the tool's radius or its number
  kLengthOffset = 1 << 3,        // G43 G43.2 G44: H the offset's number
  kDwell = 1 << 4,               // G4: P the time
  kSetOffsets = 1 << 5,          // G10: L the kind, P the number, R a rotation
  kBlending = 1 << 6,            // G64: P and Q the tolerances
  kNumberedOffsets = 1 << 7,     // G54.1: P the number
  kToolNumber = 1 << 8,          // M61: Q the tool
  kAnywhere = 0xFFFF,
};

// Returns where the meaning of a word of `letter` (neither G, M nor O) is
// known on every common controller. Elsewhere H or D may select another
// length offset or cutting edge, and E is an exponent, an extruder or a
// fixture offset.
constexpr uint16_t knownIn(char letter) {
  switch (letter) {
    case 'D':
      return kRadiusCompensation;
    case 'E':
      return 0;
    case 'H':
      return kLengthOffset;
    case 'I':
    case 'J':
    case 'K':
      return kArc | kCycle;
    case 'L':
      return kCycle | kSetOffsets;
    case 'P':
      return kCycle | kDwell | kSetOffsets | kBlending | kNumberedOffsets;
    case 'Q':
      return kCycle | kBlending | kToolNumber;
    case 'R':
      return kArc | kCycle | kSetOffsets;
    default:
      return kAnywhere;  // the axes, F, N, S, T
  }
}

// Returns the letters whose meaning is known only in some contexts.
constexpr uint32_t lettersInContext() {
  uint32_t bits = 0;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (knownIn(letter) != kAnywhere) bits |= letterBit(letter);
  }
  return bits;
}
constexpr uint32_t kLettersInContext = lettersInContext();

// The contexts a line can give, as bits, and the letters whose meaning each
// combination of them makes known: a table, so that a line with words of
// such letters is checked at once.
constexpr size_t kContexts = size_t{1} << 9;
constexpr std::array<uint32_t, kContexts> makeLettersKnown() {
  std::array<uint32_t, kContexts> known{};
  for (size_t contexts = 0; contexts < kContexts; ++contexts) {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
      if ((knownIn(letter) & contexts) != 0) known[contexts] |= letterBit(letter);
    }
  }
  return known;
}
constexpr std::array<uint32_t, kContexts> kLettersKnown = makeLettersKnown();
static_assert(kToolNumber < kContexts, "every context has a bit in the table");

// Returns the context a G code gives the words of its line; takeG asks only
// for the codes whose effect may give one.
constexpr uint16_t contextOf(int g) {
  switch (g) {
    case 40:
      return kDwell;
    case 100:
      return kSetOffsets;
    case 410:
    case 411:
    case 420:
    case 421:
      return kRadiusCompensation;
    case 430:
    case 432:
    case 440:
      return kLengthOffset;
    case 541:
      return kNumberedOffsets;
    case 640:
      return kBlending;
    default:
      return 0;
  }
}

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
  callEnd,      // G67: G66 and G66.1 end
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
  set(Effect::callEnd, {670});
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
// understood is read on, for the words that may make the program jump. With
// `kJumpsOnly`, for the reading ahead, it reads no more than those: no
// places, letters or contexts, which say nothing of them.
template <bool kJumpsOnly>
class LineReader {
 public:
  // Reads `line` into `*block`, a block made anew.
  // cppcheck-suppress uninitMemberVar
  LineReader(std::string_view line, Motion inForce, Block* block)
      : line_(line.data()),
        p_(line.data()),
        end_(line.data() + line.size()),
        inForce_(inForce),
        block_(*block) {}

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
  // with as many digits as a program writes ("0.007614213197969543") into
  // `*number`, one made anew, and moves past it. Returns why there is none:
  // no digits, a whole part with more digits than a mantissa keeps, or an
  // exponent.
  Doubt readNumber(Number* number);
  // Takes `number` as the place of the axis `letter`, X Y or Z.
  Doubt takePlace(char letter, const Number& number);
  // Takes the G code `g`.
  Doubt takeG(int g);
  // Takes the M code `m`: unknown for the codes after which the reader
  // cannot tell what runs next, or in which modes.
  Doubt takeM(int m);
  // Takes the letter of a word other than G, M and O, which starts at
  // `start` and ends where the reader is: a word given twice is one too many.
  Doubt takeLetter(char letter, const char* start);
  // Doubts the first word whose meaning is not known in the contexts of the line.
  void checkContexts();
  // Notes that the reader doubts the line for `doubt`, because of the word
  // at `word`: the first doubt of a line is kept, but a word that may jump
  // outweighs any other.
  void noteDoubt(Doubt doubt, WordSpan word);

  // Returns the span of the text in [from, to).
  WordSpan spanOf(const char* from, const char* to) const {
    return {static_cast<uint32_t>(from - line_), static_cast<uint32_t>(to - from)};
  }

  const char* line_;
  const char* p_;
  const char* end_;
  Motion inForce_;
  Block& block_;
  int words_ = 0;          // the words read, keywords aside
  WordSpan programWord_;   // where the O word stands
  uint16_t contexts_ = 0;  // the contexts the line's codes give
  // Where the word of each letter in Block::letters and kLettersInContext
  // stands; the others are never read, and are left unset, since a line is
  // read in the time it would take to clear them.
  uint32_t wordAt_[26];
  uint32_t wordLength_[26];
};

// The keywords of macro languages that may jump (GOTO to REPEAT) or call
// (CALL, PCALL, MCALL: those ending in L).
constexpr std::string_view kJumpKeywords[] = {"GOTO",  "GOTOF",  "GOTOB", "GOTOC", "GOTOS", "IF",
                                              "WHILE", "REPEAT", "CALL",  "PCALL", "MCALL"};

// Returns true iff `doubt` is a word that may make the program go on elsewhere.
bool mayGoElsewhere(Doubt doubt) {
  return doubt == Doubt::jump || doubt == Doubt::call || doubt == Doubt::returns;
}

template <bool kJumpsOnly>
void LineReader<kJumpsOnly>::read() {
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
      noteDoubt(c == '#'   ? Doubt::parameter
                : c == '[' ? Doubt::expression
                           : Doubt::strayCharacter,
                spanOf(p_ - 1, p_));
    }
  }
  // A program number is alone on its line.
  if (block_.programNumber && words_ > 1) noteDoubt(Doubt::programNumber, programWord_);
  if (!kJumpsOnly) checkContexts();
  // M99 with a P word returns to a block number.
  if (block_.returns && block_.has('P')) {
    block_.mayJump = true;
    if (block_.doubt == Doubt::returns) block_.doubt = Doubt::jump;
  }
}

template <bool kJumpsOnly>
void LineReader<kJumpsOnly>::readWord(char letter) {
  const char* start = p_ - 1;
  const bool first = words_++ == 0;
  block_.hasWords = true;
  Number number;
  Doubt doubt = readNumber(&number);
  if (letter == 'G') {
    if (doubt == Doubt::none) doubt = takeG(number.code());
  } else if (letter == 'M') {
    if (doubt == Doubt::none) doubt = takeM(number.code());
  } else if (letter == 'O') {
    block_.programNumber = first && doubt == Doubt::none;
    programWord_ = spanOf(start, p_);
    if (!block_.programNumber && doubt == Doubt::none) doubt = Doubt::programNumber;
  } else if (kJumpsOnly) {
    if (letter == 'P') block_.letters |= letterBit('P');
  } else {
    const Doubt taken = takeLetter(letter, start);
    if (doubt == Doubt::none) doubt = taken;
    if (letter >= 'X') {
      if (doubt == Doubt::none) doubt = takePlace(letter, number);
    } else if (letter <= 'C') {
      if (number.mantissa != 0) block_.turned |= letterBit(letter);
    } else if (letter == 'F') {
      bool rounded = false;
      if (!number.millionths(&block_.feed, &rounded, false)) block_.feed = 0;
    }
  }
  if (doubt != Doubt::none) noteDoubt(doubt, spanOf(start, p_));
}

template <bool kJumpsOnly>
void LineReader<kJumpsOnly>::readKeyword(const char* start) {
  while (p_ < end_ && isLetter(*p_)) ++p_;
  const std::string_view keyword(start, static_cast<size_t>(p_ - start));
  bool jumps = false;
  bool calls = false;
  for (const std::string_view word : kJumpKeywords) {
    bool same = keyword.size() == word.size();
    for (size_t i = 0; same && i < word.size(); ++i) same = upper(keyword[i]) == word[i];
    jumps = jumps || (same && word.back() != 'L');
    calls = calls || (same && word.back() == 'L');
  }
  block_.mayJump = block_.mayJump || jumps || calls;
  if (calls && upper(keyword[0]) == 'M') {
    // MCALL with a call makes it modal; alone, it ends the modal call.
    const char* next = p_;
    while (next < end_ && isBlank(*next)) ++next;
    const bool alone = next == end_ || *next == '\n' || *next == ';' || *next == '(';
    block_.modalCall = alone ? 0 : 1;
  }
  block_.hasWords = true;
  noteDoubt(jumps ? Doubt::jump : calls ? Doubt::call : Doubt::keyword, spanOf(start, p_));
}

template <bool kJumpsOnly>
Doubt LineReader<kJumpsOnly>::readNumber(Number* number) {
  const char* at = p_;
  const char* const end = end_;
  while (at < end && isBlank(*at)) ++at;
  bool negative = false;
  if (at < end && (*at == '-' || *at == '+')) negative = *at++ == '-';
  uint64_t mantissa = 0;
  bool dropped = false;  // a digit past those kept was not zero
  int taken = 0;         // digits in the mantissa
  int whole = -1;        // of them, those before the point, once it has come
  for (; at < end; ++at) {
    const auto digit = static_cast<unsigned>(*at - '0');
    if (digit < 10) {
      if (taken < kMostDigits) {
        mantissa = mantissa * 10 + digit;
        ++taken;
      } else if (whole < 0) {
        // No place or code has a whole part that long.
        while (at < end && isDigit(*at)) ++at;
        p_ = at;
        return Doubt::numberTooLong;
      } else {
        dropped = dropped || digit != 0;
      }
    } else if (*at == '.' && whole < 0) {
      whole = taken;
    } else if (isBlank(*at)) {
      // Blanks may stand inside a number, before more of its digits or its
      // point; blanks after it are not part of it.
      const char* next = at + 1;
      while (next < end && isBlank(*next)) ++next;
      if (next == end || !(isDigit(*next) || (*next == '.' && whole < 0))) break;
      at = next - 1;
    } else {
      break;
    }
  }
  p_ = at;
  *number = Number{mantissa, whole < 0 ? 0 : taken - whole, negative, dropped, whole >= 0};
  if (taken == 0) {
    // What stands where the number should is named for what it is.
    while (at < end && isBlank(*at)) ++at;
    if (at == end) return Doubt::noNumber;
    return *at == '#' ? Doubt::parameter : *at == '[' ? Doubt::expression : Doubt::noNumber;
  }
  if (at < end && upper(*at) == 'E') {
    // An exponent, or an E word run into the number: read the way a
    // controller that reads exponents would, the number is another one.
    ++p_;
    if (p_ < end && (*p_ == '-' || *p_ == '+')) ++p_;
    while (p_ < end && isDigit(*p_)) ++p_;
    return Doubt::exponent;
  }
  return Doubt::none;
}

template <bool kJumpsOnly>
Doubt LineReader<kJumpsOnly>::takePlace(char letter, const Number& number) {
  const auto axis = static_cast<size_t>(letter - 'X');
  if (letter == 'Z') block_.zWithoutPoint = !number.point && number.mantissa != 0;
  const bool near = number.millionths(&block_.axes[axis], &block_.rounded[axis], letter == 'Z');
  return near ? Doubt::none : Doubt::placeTooFar;
}

template <bool kJumpsOnly>
Doubt LineReader<kJumpsOnly>::takeG(int g) {
  Block& b = block_;
  switch (g < 0 || g >= 1000 ? Effect::unknown : kEffects[static_cast<size_t>(g)]) {
    case Effect::unknown:
      return Doubt::unknownCode;
    case Effect::none:
      contexts_ |= contextOf(g);
      return Doubt::none;
    case Effect::motion:
      // G80 beside another motion word only ends the canned cycle, as the
      // many controllers that keep it in a group of its own read it.
      if (g == 800 || b.motion == 800) {
        b.motion = b.motion < 0 || b.motion == 800 ? static_cast<int16_t>(g) : b.motion;
        return Doubt::none;
      }
      if (b.motion >= 0) return Doubt::twoMotions;
      b.motion = static_cast<int16_t>(g);
      return Doubt::none;
    case Effect::notAMove:
      contexts_ |= contextOf(g);
      b.notAMove = true;
      return Doubt::none;
    case Effect::newFrame:
      contexts_ |= contextOf(g);
      b.notAMove = b.forgetsPoints = true;
      return Doubt::none;
    case Effect::home:
      b.notAMove = b.forgetsPoints = b.losesPlace = b.homes = true;
      return Doubt::none;
    case Effect::call:
      b.mayJump = true;
      if (g != 650) b.modalCall = 1;
      return Doubt::call;
    case Effect::callEnd:
      b.modalCall = 0;
      return Doubt::none;
    case Effect::newPlace:
      b.notAMove = b.losesPlace = true;
      return Doubt::none;
    case Effect::units:
      b.units = g == 200 ? Units::inches : Units::millimetres;
      b.forgetsPoints = true;
      return Doubt::none;
    case Effect::frame:
      contexts_ |= contextOf(g);
      b.forgetsPoints = true;
      return Doubt::none;
    case Effect::absolute:
    case Effect::incremental:
      b.distance = static_cast<int8_t>(g == 910 ? 1 : 0);
      return Doubt::none;
    case Effect::compensationOff:
    case Effect::compensationOn:
      contexts_ |= contextOf(g);
      b.compensation = static_cast<int8_t>(g == 400 ? 0 : 1);
      return Doubt::none;
    case Effect::feedMode:
      b.feedMode = g == 930   ? FeedMode::inverseTime
                   : g == 940 ? FeedMode::perMinute
                              : FeedMode::perRevolution;
      return Doubt::none;
  }
  return Doubt::unknownCode;
}

template <bool kJumpsOnly>
Doubt LineReader<kJumpsOnly>::takeM(int m) {
  switch (m) {
    case 0:
    case 10:   // M0, M1: a pause, where many machines have their tools changed by hand
    case 60:   // M6
    case 610:  // M61: the spindle holds another tool
      contexts_ |= m == 610 ? kToolNumber : 0;
      block_.toolChange = true;
      return Doubt::none;
    case 30:
    case 40:
    case 50:  // the spindle
    case 70:
    case 80:
    case 90:  // coolant
      return Doubt::none;
    case 960:  // Haas: a jump to a block number while an input is off
    case 970:  // a jump to a block number and back
      block_.mayJump = true;
      return Doubt::jump;
    case 980:   // a call, which may return to a block number here
    case 1980:  // a call of a subprogram in external memory, alike
      block_.mayJump = true;
      return Doubt::call;
    case 990:  // a return, to a block number where a P word says
      block_.returns = true;
      return Doubt::returns;
    default:
      // Program ends, calls, and the codes a machine gives meanings of its
      // own: pallet changes, indexers, clamps, macros.
      return Doubt::unknownCode;
  }
}

template <bool kJumpsOnly>
Doubt LineReader<kJumpsOnly>::takeLetter(char letter, const char* start) {
  const uint32_t bit = letterBit(letter);
  if ((block_.letters & bit) != 0) return Doubt::repeatedWord;
  block_.letters |= bit;
  if ((bit & kLettersInContext) != 0) {
    const WordSpan word = spanOf(start, p_);
    wordAt_[letter - 'A'] = word.at;
    wordLength_[letter - 'A'] = word.length;
  }
  if (letter == 'T') block_.toolChange = true;
  return Doubt::none;
}

template <bool kJumpsOnly>
void LineReader<kJumpsOnly>::checkContexts() {
  const uint32_t inContext = block_.letters & kLettersInContext;
  if (inContext == 0) return;
  const Motion motion = block_.motion >= 0 ? motionOf(block_.motion) : inForce_;
  const uint16_t contexts = contexts_ | (motion == Motion::arc     ? kArc
                                         : motion == Motion::cycle ? kCycle
                                                                   : 0);
  const uint32_t outOfContext = inContext & ~kLettersKnown[contexts];
  if (outOfContext == 0) return;
  int first = -1;  // the index of the first letter out of context in the line
  for (int i = 0; i < 26; ++i) {
    if ((outOfContext & letterBit(static_cast<char>('A' + i))) == 0) continue;
    if (first < 0 || wordAt_[i] < wordAt_[first]) first = i;
  }
  if (first >= 0) noteDoubt(Doubt::letterOutOfContext, {wordAt_[first], wordLength_[first]});
}

template <bool kJumpsOnly>
void LineReader<kJumpsOnly>::noteDoubt(Doubt doubt, WordSpan word) {
  if (block_.doubt != Doubt::none && !(mayGoElsewhere(doubt) && !mayGoElsewhere(block_.doubt))) {
    return;
  }
  block_.doubt = doubt;
  block_.doubted = word;
}

}  // namespace

Block readBlock(std::string_view line, Motion inForce) {
  Block block;
  LineReader<false>(line, inForce, &block).read();
  return block;
}

Block readJumps(std::string_view line) {
  Block block;
  LineReader<true>(line, Motion::none, &block).read();
  return block;
}
