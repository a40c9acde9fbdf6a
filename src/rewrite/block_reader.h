// The reading of one line of G-code, in any common style ("G1 Z-1.5 F300",
// "g1z-.5", "N30 G01 Z- 0.5"), into what it says to the approach rule: its
// motion, the modes it sets, its X, Y and Z, and whatever makes the reader
// unsure of what the machine does. Pure: text in, a block out.
#ifndef TARVELIN_REWRITE_BLOCK_READER_H_
#define TARVELIN_REWRITE_BLOCK_READER_H_

#include <cstdint>
#include <string_view>

// Returns the bit of a word's letter (upper case) in Block::letters.
constexpr uint32_t letterBit(char letter) { return uint32_t{1} << (letter - 'A'); }

// Returns the bits of the letters.
constexpr uint32_t letterBits(std::string_view letters) {
  uint32_t bits = 0;
  for (const char letter : letters) bits |= letterBit(letter);  // cppcheck-suppress useStlAlgorithm
  return bits;
}

// Places are kept in millionths below a billion units, so that sums of them stay exact.
inline constexpr int64_t kFarthest = 1'000'000'000'000'000;

// Axes that may turn or shift the tool: what X Y Z say of its place no longer holds.
constexpr uint32_t kOtherAxes = letterBits("ABCUVW");
// Of them, the rotary ones, which may tilt the tool.
constexpr uint32_t kRotaryAxes = letterBits("ABC");

// The kind of a motion: that of a line's motion word, or the one in force.
enum class Motion : int8_t { none, rapid, feed, arc, cycle };

// Returns the kind of the motion word `code` in tenths (G2 is 20); none for
// G80, and for -1, no motion word.
constexpr Motion motionOf(int code) {
  return code < 0 || code == 800 ? Motion::none
         : code == 0             ? Motion::rapid
         : code == 10            ? Motion::feed
         : code <= 30            ? Motion::arc
                                 : Motion::cycle;
}

// How the F word is read: as a speed per minute (G94), as the inverse of the
// time a move takes (G93), or as a distance per turn of the spindle (G95).
enum class FeedMode : int8_t { none = -1, perMinute, inverseTime, perRevolution };

// The unit of lengths: inches (G20) or millimetres (G21).
enum class Units : int8_t { none = -1, inches, millimetres };

// Why the reader does not know what a line makes the machine do.
enum class Doubt : uint8_t {
  none,
  unknownCode,         // a G or M code it does not follow (M50, M30, G68)
  letterOutOfContext,  // a word whose meaning it does not know on this line
  repeatedWord,        // the same axis or T word twice
  twoMotions,          // two motion words (G0 G1)
  noNumber,            // a letter without a number (Z-)
  exponent,            // a number with an exponent (Z-1e-05), or run into an E word
  numberTooLong,       // a whole part of more digits than a number keeps
  placeTooFar,         // a place a billion units or more from zero
  strayCharacter,      // a character that is no part of a word (/, =, a second point)
  parameter,           // #1
  expression,          // [#1 + 2]
  keyword,             // a word of a macro language (END1, THEN)
  programNumber,       // an O word that does not only name the program where it starts
  jump,                // GOTO, IF, WHILE, REPEAT, M96, M97, M99 with P: on at a block number
  call,     // M98, M198, G65, G66, CALL: a subprogram or macro, which may return anywhere
  returns,  // M99: the end of a subprogram, or a run again from the start
  // Found by the scanner, not in the line's words:
  lineTooLong,    // longer than a line is read as words
  reachedByJump,  // a block number in a program that may jump: reached from anywhere
};

// Where a word stands in its line: its first byte and its length.
struct WordSpan {
  uint32_t at = 0;
  uint32_t length = 0;
};

// What one line says.
struct Block {
  // Why the line holds anything the reader does not know, none when it
  // holds nothing such; then nothing else here but mayJump and returns holds.
  Doubt doubt = Doubt::none;
  WordSpan doubted;  // the first word it doubts, or the one that may jump
  // A word that may jump or call: GOTO (and GOTOF, GOTOB, GOTOC, GOTOS), IF,
  // WHILE, REPEAT, CALL, PCALL, MCALL, M96, M97, M98, M198, M99 with a P word,
  // G65, G66.
  // The program may then go on at any line with a block number, from a
  // subprogram or from later in the program.
  bool mayJump = false;
  // M99: the program is a subprogram, or runs again from its start, in modes
  // set elsewhere.
  bool returns = false;
  // 1 for G66, G66.1 or MCALL with a call: a macro or subprogram then runs
  // after each move, or each block, until 0: G67, or MCALL alone.
  int8_t modalCall = -1;
  // A program number alone ("O1234"), which only names the program where it
  // starts it.
  bool programNumber = false;
  bool hasWords = false;     // it holds a word, known or not: more than blanks and comments
  uint32_t letters = 0;      // the letters of the words, G, M and O aside
  uint32_t turned = 0;       // of them, the rotary axes' (A B C) whose number is not 0
  int16_t motion = -1;       // the motion word in tenths: 0, 10, 20, 30, 800 or a canned cycle
  int8_t distance = -1;      // 0 for G90, 1 for G91
  int8_t compensation = -1;  // 0 for G40, 1 for G41 or G42
  FeedMode feedMode = FeedMode::none;
  Units units = Units::none;
  bool notAMove = false;  // G4, G10, G28, G30, G43.1, G52, G53, G92: the axis words are no move
  // What X Y Z mean changes (units, offsets, coordinate systems), or every
  // axis goes home (G28, G30): the points fed say nothing after it.
  bool forgetsPoints = false;
  bool losesPlace = false;  // the machine goes somewhere not written: G28, G30, G53
  bool homes = false;       // G28, G30: axes go home, rotary ones too, named or not
  bool toolChange = false;  // M6, M61, a T word, or a stop where a tool may be changed by hand
  bool rounded[3] = {};     // X, Y, Z had places below a millionth
  // Z is not 0 and written without a decimal point, which some controllers
  // read in least increments (Z-1 as 0.001 mm): how deep it goes is not known.
  bool zWithoutPoint = false;
  // X, Y, Z in millionths. Z is rounded up, so that no pass counts as deeper
  // than it was and an approach over it keeps the whole gap.
  int64_t axes[3] = {};
  int64_t feed = 0;  // the number of its F word in millionths, where it has one

  bool understood() const { return doubt == Doubt::none; }
  bool has(char letter) const { return (letters & letterBit(letter)) != 0; }
  int64_t axis(char letter) const { return axes[letter - 'X']; }
  // True iff it has a word of an axis that may turn or shift the tool: A B C U V W.
  bool movesOtherAxes() const { return (letters & kOtherAxes) != 0; }
};

// Reads one line, with or without its line end, into a block; `inForce` is
// the motion in force where it starts, which tells what its arc and cycle
// words mean when it has no motion word of its own.
Block readBlock(std::string_view line, Motion inForce = Motion::none);

// Reads of one line only what readBlock() says of whether it may jump or
// returns (mayJump, returns), in less time; nothing else in the block holds.
Block readJumps(std::string_view line);

#endif  // TARVELIN_REWRITE_BLOCK_READER_H_
