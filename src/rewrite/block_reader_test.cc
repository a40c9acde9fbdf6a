#include "rewrite/block_reader.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "doubt_names.h"

namespace {

// Returns what a block read from `line` says, in the order of its fields:
// for a line not understood, "?", the reason and the word doubted, and
// whether it may jump or returns; otherwise the modes it sets, its words and
// its places in millionths.
std::string describe(const Block& b, std::string_view line) {
  std::string text;
  const auto add = [&](const std::string& word) { text += (text.empty() ? "" : " ") + word; };
  if (!b.understood()) {
    add(std::string("? ") + doubtName(b.doubt) + " " +
        std::string(line.substr(b.doubted.at, b.doubted.length)));
    if (b.mayJump) add("mayJump");
    if (b.returns) add("returns");
    if (b.modalCall >= 0) add("modalCall=" + std::to_string(b.modalCall));
    return text;
  }
  if (b.modalCall >= 0) add("modalCall=" + std::to_string(b.modalCall));
  if (b.programNumber) add("program");
  if (b.motion >= 0) add("motion=" + std::to_string(b.motion));
  if (b.distance >= 0) add(b.distance == 0 ? "G90" : "G91");
  if (b.compensation >= 0) add(b.compensation == 0 ? "G40" : "G41");
  if (b.feedMode != FeedMode::none) {
    add(b.feedMode == FeedMode::perMinute     ? "G94"
        : b.feedMode == FeedMode::inverseTime ? "G93"
                                              : "G95");
  }
  if (b.units != Units::none) add(b.units == Units::inches ? "G20" : "G21");
  if (b.notAMove) add("notAMove");
  if (b.forgetsPoints) add("forgetsPoints");
  if (b.losesPlace) add("losesPlace");
  if (b.toolChange) add("toolChange");
  if (b.movesOtherAxes()) add("otherAxes");
  for (const char axis : {'A', 'B', 'C'}) {
    if ((b.turned & letterBit(axis)) != 0) add(std::string("turned=") + axis);
  }
  for (char letter = 'A'; letter <= 'W'; ++letter) {
    if (b.has(letter) && letter != 'F') add(std::string(1, letter));
  }
  if (b.has('F')) add("F=" + std::to_string(b.feed));
  for (const char axis : {'X', 'Y', 'Z'}) {
    if (!b.has(axis)) continue;
    add(std::string(1, axis) + "=" + std::to_string(b.axis(axis)) +
        (b.rounded[axis - 'X'] ? "~" : "") + (axis == 'Z' && b.zWithoutPoint ? "!" : ""));
  }
  return text;
}

struct Case {
  const char* line;
  const char* block;
  Motion inForce = Motion::none;
};

// Line in, block out: every style of word and number, and what the reader
// does not know. "~" marks a place rounded to a millionth, "!" a Z written
// without a decimal point.
TEST(BlockReader, ReadsEachLine) {
  const Case cases[] = {
      // Styles.
      {"G1 Z-1.5 F300", "motion=10 F=300000000 Z=-1500000"},
      {"g1z-.5", "motion=10 Z=-500000"},
      {"N30 G01 Z- 0.5 ; in", "motion=10 N Z=-500000"},
      {"G0X10Y5\r\n", "motion=0 X=10000000 Y=5000000"},
      {"G 0 X+1 0 Y1 .5", "motion=0 X=10000000 Y=1500000"},
      {"G1 X1 (feed) Y2 (unclosed", "motion=10 X=1000000 Y=2000000"},
      {"G00 G17 G80 G90 Z5", "motion=0 G90 Z=5000000!"},
      {"G80 G0 X1", "motion=0 X=1000000"},
      {"G001 G1. X1", "? twoMotions G1."},
      {"G1.", "motion=10"},
      {"", ""},
      {"  (only a comment)", ""},
      {"% anything (at all", ""},
      // Numbers.
      {"X00012345.5 Y0000123.25", "X=12345500000 Y=123250000"},
      {"X0.007614213197969543 Y60.51269035532995", "X=7614~ Y=60512690~"},
      {"X-0.0000005 Y0.0000005", "X=-1~ Y=1~"},
      {"Z-1.0000025", "Z=-1000002~"},
      {"Z1.0000021", "Z=1000003~"},
      {"X0.0000010000000000000000001", "X=1~"},
      {"X0.0000010000000000000000000", "X=1"},
      {"Z-1 X1 Y2", "X=1000000 Y=2000000 Z=-1000000!"},
      {"Z-1. Z0", "? repeatedWord Z0"},
      {"Z0", "Z=0"},
      {"Z-0", "Z=0"},
      {"X999999999.999999", "X=999999999999999"},
      {"X999999999.9999995", "? placeTooFar X999999999.9999995"},
      {"X1000000000", "? placeTooFar X1000000000"},
      {"X1234567890123456789", "? numberTooLong X1234567890123456789"},
      {"Z-1.2.3", "? strayCharacter ."},
      {"G1 Z-", "? noNumber Z-"},
      {"G1 Z- F100", "? noNumber Z-"},
      {"G1 X1 X2", "? repeatedWord X2"},
      {"G0 Z5 X", "? noNumber X"},
      {"X1-2", "? strayCharacter -"},
      // Codes.
      {"G91 G41 D1", "G91 G41 D"},
      {"G40 G93", "G40 G93"},
      {"G95 F0.2", "G95 F=200000"},
      {"G94 F1200.", "G94 F=1200000000"},
      {"G93 F.5", "G93 F=500000"},
      {"G20", "G20 forgetsPoints"},
      {"G21 G90", "G90 G21 forgetsPoints"},
      {"G28", "notAMove forgetsPoints losesPlace"},
      {"G30 Z5", "notAMove forgetsPoints losesPlace Z=5000000!"},
      {"G28.1", "notAMove losesPlace"},
      {"G53 G0 Z0", "motion=0 notAMove losesPlace Z=0"},
      {"G43 H1", "forgetsPoints H"},
      {"G43.2 H2", "notAMove forgetsPoints H"},
      {"G44 H3", "forgetsPoints H"},
      {"G64 P0.01 Q0.02", "P Q"},
      {"G10 L2 P1 R30", "notAMove forgetsPoints L P R"},
      {"G54.1 P20", "forgetsPoints P"},
      {"G43.1 Z-3", "notAMove forgetsPoints Z=-3000000!"},
      {"G92 X0", "notAMove forgetsPoints X=0"},
      {"G4 P1", "notAMove P"},
      {"G83 X1 Y1 Z-3 R1 Q0.5 L2", "motion=830 L Q R X=1000000 Y=1000000 Z=-3000000!"},
      {"G2 X1 Y0 I.5 J0 K0", "motion=20 I J K X=1000000 Y=0"},
      {"G3 X1 Y0 R.5", "motion=30 R X=1000000 Y=0"},
      {"X1 Y0 I.5", "I X=1000000 Y=0", Motion::arc},
      {"X2 Y2 R1 P2", "P R X=2000000 Y=2000000", Motion::cycle},
      // Words whose meaning is not known on every controller: H or D alone
      // may take another length offset or edge, E is an exponent, an
      // extruder or a fixture offset, and the rest belong to other codes.
      {"H1", "? letterOutOfContext H1"},
      {"G1 X1 H1", "? letterOutOfContext H1"},
      {"D2", "? letterOutOfContext D2"},
      {"G40 D0", "? letterOutOfContext D0"},
      {"G1 X1 D2 G41", "motion=10 G41 D X=1000000"},
      {"G1 X1 E0.5", "? letterOutOfContext E0.5"},
      {"G1 X1 I2", "? letterOutOfContext I2"},
      {"X1 Y0 I.5", "? letterOutOfContext I.5", Motion::feed},
      {"G1 X1 R2", "? letterOutOfContext R2"},
      {"G80 X1 R2", "? letterOutOfContext R2", Motion::cycle},
      {"G2 X1 Y1 I1 J1 P2", "? letterOutOfContext P2"},
      {"G1 Z-1 L2 Q1", "? letterOutOfContext L2"},
      {"M6 T2 Q1", "? letterOutOfContext Q1"},
      {"G1 Z-1e-05 F100", "? exponent Z-1e-05"},
      {"g1x1e5", "? exponent x1e5"},
      {"G1 Z-1.E+2", "? exponent Z-1.E+2"},
      {"G1 F100 F200", "? repeatedWord F200"},
      {"G81 X1 Y1 Z-3 R1", "motion=810 R X=1000000 Y=1000000 Z=-3000000!"},
      {"G1.5", "? unknownCode G1.5"},
      {"G-1", "? unknownCode G-1"},
      {"G65 P9810", "? call G65 mayJump"},
      {"G66 P9810 Z-5.", "? call G66 mayJump modalCall=1"},
      {"G67", "modalCall=0"},
      {"MCALL CYCLE81(10, 0, 2, -5)", "? call MCALL mayJump modalCall=1"},
      {"MCALL ; off", "? call MCALL mayJump modalCall=0"},
      {"M6 T2", "toolChange T"},
      {"M0", "toolChange"},
      {"M61 Q2", "toolChange Q"},
      {"M3 S1000 M8", "S"},
      {"M50", "? unknownCode M50"},
      {"M19", "? unknownCode M19"},
      {"M98 P100", "? call M98 mayJump"},
      {"M198 P2000", "? call M198 mayJump"},
      {"M30", "? unknownCode M30"},
      {"T1 T2", "? repeatedWord T2"},
      {"A90", "otherAxes turned=A A"},
      {"G0 A0 B-0.0 C.001 W5", "motion=0 otherAxes turned=C A B C W"},
      // Words the reader does not know, and those that may jump.
      {"#1 = 2", "? parameter #"},
      {"X#1", "? parameter X"},
      {"G1 X[1 + 2]", "? expression X"},
      {"#1=2 GOTO 10", "? jump GOTO mayJump"},
      {"/G1 Z-1", "? strayCharacter /"},
      {"O1234", "program"},
      {"O1234 (POCKET)", "program"},
      {"O100 sub", "? keyword sub"},
      {"N10 O100", "? programNumber O100"},
      {"O100 G0 X1", "? programNumber O100"},
      {"GOTO 10", "? jump GOTO mayJump"},
      {"N50 goto10", "? jump goto mayJump"},
      {"IF [#1 GT 2] GOTO 10", "? jump IF mayJump"},
      {"WHILE [#1 LT 5] DO1", "? jump WHILE mayJump"},
      {"END1", "? keyword END"},
      {"M99 P10", "? jump M99 mayJump returns"},
      {"P10 M97", "? jump M97 mayJump"},
      {"M96 P20 Q1", "? jump M96 mayJump"},
      {"M99", "? returns M99 returns"},
      {"GOTOF N200", "? jump GOTOF mayJump"},
      {"gotob label", "? jump gotob mayJump"},
      {"REPEAT N10 N20 P=2", "? jump REPEAT mayJump"},
      {"CALL \"SUB\"", "? call CALL mayJump"},
      {"GOTOX 10", "? keyword GOTOX"},
      {"(GOTO 10) G1 X1 ; IF", "motion=10 X=1000000"},
  };
  for (const Case& c : cases) {
    const Block block = readBlock(c.line, c.inForce);
    EXPECT_EQ(describe(block, c.line), c.block) << c.line;
    // Read ahead for the words that may jump alone, a line says the same of them.
    const Block jumps = readJumps(c.line);
    EXPECT_EQ(jumps.mayJump, block.mayJump) << c.line;
    EXPECT_EQ(jumps.returns, block.returns) << c.line;
  }
}

}  // namespace
