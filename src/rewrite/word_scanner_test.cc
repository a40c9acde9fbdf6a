#include "rewrite/word_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// Runs the lines, each ended by a line feed, through one word scanner and
// returns what is written, inserted approach lines included.
Lines rewrite(const Lines& input, const Heights& heights = {}) {
  WordScanner scanner(heights);
  Lines output;
  for (const std::string& line : input) {
    scanner.scanRun(line + "\n", [&](size_t at, std::string_view approach) {
      EXPECT_EQ(at, 0u);
      output.emplace_back(approach);
    });
    output.push_back(line);
  }
  return output;
}

struct Case {
  const char* name;
  Lines input;
  Lines expected;
  Heights heights = {};
};

// Names a case in test listings.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class WordCases : public testing::TestWithParam<Case> {};

TEST_P(WordCases, WritesTheExpectedLines) {
  EXPECT_EQ(rewrite(GetParam().input, GetParam().heights), GetParam().expected);
}

// Two passes of a pocket, the second at the same place, in a given style.
Case pocket(const char* name, const Lines& style) {
  Lines expected = style;
  expected.insert(expected.begin() + 6, "G00 Z-0.480000");
  expected.insert(expected.begin() + 2, "G00 Z0.050000");
  return {name, style, expected};
}

const Case kCases[] = {
    pocket("SpacedWords", {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5 F100", "G1 X30", "G0 Z5", "G0 X10 Y10",
                           "G1 Z-1 F100"}),
    pocket("LowerCaseAndShortNumbers",
           {"g0z5", "g0x10y10", "g1z-.5f100", "g1x30", "g0z5.", "g0x10.y10.", "g1z-1.f100"}),
    pocket("BlanksInsideWordsAndComments",
           {"N10 G 0 Z 5 (lift)", "N20 G00 X+10.000 Y10", "N30 G01 Z- 0.5 F100 ; in", "N40 X30",
            "N50 G0Z5", "N60 G0X10Y10", "N70 G1Z-1F100"}),
    pocket("ModalRapidsAndFeeds",
           {"G0 Z5", "X10 Y10", "G1 Z-0.5 F100", "X30", "G0 Z5", "X10 Y10", "G1 Z-1"}),
    {"DeepApproachOnlyWhereTheToolHasBeen",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5 F100", "G1 X30", "G0 Z5", "G0 X10 Y20", "G1 Z-1 F100",
      "G1 X30", "G0 Z5", "G0 X10 Y20", "G1 Z-1.5"},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5 F100", "G1 X30", "G0 Z5", "G0 X10 Y20",
      "G00 Z0.050000", "G1 Z-1 F100", "G1 X30", "G0 Z5", "G0 X10 Y20", "G00 Z-0.980000",
      "G1 Z-1.5"}},
    {"NotDeepEnoughThere",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5 F100", "G1 X30 Z-0.2", "G0 Z5", "G0 X30 Y10", "G1 Z-1 F100"},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5 F100", "G1 X30 Z-0.2", "G0 Z5",
      "G0 X30 Y10", "G00 Z0.050000", "G1 Z-1 F100"}},
    {"CommentsAreNotRead",
     {"(G0 Z5)", "G0 X10 Y10", "G1 Z-0.5 F100", "G0 Z5 ; G0 X1", "G1 Z-1"},
     {"(G0 Z5)", "G0 X10 Y10", "G1 Z-0.5 F100", "G0 Z5 ; G0 X1", "G1 Z-1"}},
    {"PlungesNeedAnExplicitG1AndNoXY",
     {"G0 Z5", "G0 X10 Y10", "G1 X10 Y10 Z-0.5 F100", "G0 Z5", "G0 X10 Y10", "Z-1", "G0 Z5",
      "G0 X1", "G2 X2 Z-1 I1", "G0 Z5", "G0 X1", "G1 Z-1"},
     {"G0 Z5", "G0 X10 Y10", "G1 X10 Y10 Z-0.5 F100", "G0 Z5", "G0 X10 Y10", "Z-1", "G0 Z5",
      "G0 X1", "G2 X2 Z-1 I1", "G0 Z5", "G0 X1", "G00 Z0.050000", "G1 Z-1"}},
    {"CannedCyclesAndOtherCodesAreNoMoves",
     {"G0 Z5", "G81 X1 Y1 Z-3 R1", "G80", "G1 Z-1", "G28 G91 Z0", "G90", "G53 G0 X0 Y0", "G4 P1",
      "G92 X0 Y0 Z5", "G1 Z-1", "G0 X0 Y0", "G1 Z-1"},
     {"G0 Z5", "G81 X1 Y1 Z-3 R1", "G80", "G1 Z-1", "G28 G91 Z0", "G90", "G53 G0 X0 Y0", "G4 P1",
      "G92 X0 Y0 Z5", "G1 Z-1", "G0 X0 Y0", "G00 Z0.050000", "G1 Z-1"}},
    {"ADwellsAxisWordsAreNoMove",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5 F100", "G1 X30", "G4 X10", "G0 Z5", "G0 Y10", "G1 Z-1"},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5 F100", "G1 X30", "G4 X10", "G0 Z5",
      "G0 Y10", "G00 Z0.050000", "G1 Z-1"}},
    {"G80BesideAMotionWordOnlyEndsTheCycle",
     {"G00 G17 G80 G90 Z5", "G80 G0 X1 Y1", "G1 Z-1", "G0 G1 Z-2"},
     {"G00 G17 G80 G90 Z5", "G80 G0 X1 Y1", "G00 Z0.050000", "G1 Z-1", "G0 G1 Z-2"}},
    {"ToolChangeStartsANewSeries",
     {"T1 M6", "G0 Z5", "G0 X10 Y10", "G1 Z-0.5 F100", "G0 Z5", "T2 M6", "G0 Z5", "G0 X10 Y10",
      "G1 Z-1"},
     {"T1 M6", "G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5 F100", "G0 Z5", "T2 M6", "G0 Z5",
      "G0 X10 Y10", "G00 Z0.050000", "G1 Z-1"}},
    {"IncrementalPlungesAreLeftAlone",
     {"G91", "G0 Z5", "G0 X10 Y10", "G1 Z-0.5", "G90 G0 Z5", "G0 X10 Y10", "G1 Z-0.5"},
     {"G91", "G0 Z5", "G0 X10 Y10", "G1 Z-0.5", "G90 G0 Z5", "G0 X10 Y10", "G00 Z0.050000",
      "G1 Z-0.5"}},
    {"RetractAfterAnApproachResetsAfterBlockNumbersToo",
     {"N10 G0 Z1", "N20 G0 X10 Y5", "N30 G1 Z-0.1 F100", "N40 G0 Z1", "N50 G0 X10 Y5",
      "N60 G1 Z-0.2"},
     {"N10 G0 Z1", "N20 G0 X10 Y5", "G00 Z0.050000", "N30 G1 Z-0.1 F100", "N40 G0 Z1",
      "N50 G0 X10 Y5", "G00 Z0.050000", "N60 G1 Z-0.2"}},
    // After a line it does not understand, the reader assumes neither absolute
    // coordinates (until G90) nor that the tool is where X Y say (until G40
    // and the move after it), and makes no approach while it may be elsewhere.
    {"UnknownWordsMakeItAssumeNothing",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5", "G0 Z5", "#1 = 2", "G0 X10 Y10", "G1 Z-1",  // unsure
      "G90", "G0 Z5", "G0 X10 Y10", "G1 Z-1.5",                                      // absolute
      "G40", "G0 Z5", "G0 X10 Y10", "G1 Z-2", "G1 X20",                              // tool at X Y
      "G0 Z5", "G0 X10 Y10", "G1 Z-2.5"},
     {"G0 Z5",  "G0 X10 Y10", "G00 Z0.050000",  "G1 Z-0.5",      "G0 Z5",  "#1 = 2", "G0 X10 Y10",
      "G1 Z-1",                                                                       //
      "G90",    "G0 Z5",      "G0 X10 Y10",     "G1 Z-1.5",                           //
      "G40",    "G0 Z5",      "G0 X10 Y10",     "G00 Z0.050000", "G1 Z-2", "G1 X20",  //
      "G0 Z5",  "G0 X10 Y10", "G00 Z-1.980000", "G1 Z-2.5"}},
    // Under radius compensation, and until the move after G40 has led the
    // tool back to X Y, an inserted rapid could move the tool sideways.
    {"NoApproachWhileRadiusCompensationMayBeOn",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5", "G41 D1", "G0 Z5", "G0 X10 Y10", "G1 Z-1", "G0 Z5",
      "G0 X10 Y10", "G40", "G1 Z-1.5", "G1 X20", "G0 Z5", "G0 X10 Y10", "G1 Z-2"},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5", "G41 D1", "G0 Z5", "G0 X10 Y10", "G1 Z-1",
      "G0 Z5", "G0 X10 Y10", "G40", "G1 Z-1.5", "G1 X20", "G0 Z5", "G0 X10 Y10", "G00 Z0.050000",
      "G1 Z-2"}},
    // A G41 or G42 before the move that ends a G40, read or not, turns
    // compensation on again.
    {"CompensationOnAgainBeforeTheMoveAfterG40",
     {"G40", "G0 Z5", "G0 X10 Y10", "G1 Z-0.5", "G1 X20", "G41 G0 X0 Y0", "G40", "G41 G0 X10 Y10",
      "G1 Z-1", "G1 X20", "G40", "G41 G1 X10 Y5 F#1", "G90", "G0 Z5", "G0 X10 Y10", "G1 Z-1.5"},
     {"G40", "G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5", "G1 X20", "G41 G0 X0 Y0", "G40",
      "G41 G0 X10 Y10", "G1 Z-1", "G1 X20", "G40", "G41 G1 X10 Y5 F#1", "G90", "G0 Z5",
      "G0 X10 Y10", "G1 Z-1.5"}},
    // Where the tool went is not followed: LinuxCNC moves it to a dwell's
    // axis words, and G43.1 takes a tool length offset from them.
    {"DwellsAndDynamicOffsetsLoseThePlace",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-1", "G1 X20", "G1 X10", "G0 Z5", "G4 P0.1 X40", "G0 Y10",
      "G1 Z-2", "G1 X30 Y30", "G0 Z5", "G43.1 Z-3", "G1 X10 Y10", "G0 Z5", "G0 X10 Y10",
      "G1 Z-2.5"},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-1", "G1 X20", "G1 X10", "G0 Z5", "G4 P0.1 X40",
      "G0 Y10", "G00 Z0.050000", "G1 Z-2", "G1 X30 Y30", "G0 Z5", "G43.1 Z-3", "G1 X10 Y10",
      "G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-2.5"}},
    // Many machines have their tools changed by hand at a pause.
    {"APauseMayChangeTheTool",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5", "G1 X20", "G1 X10", "G0 Z5", "M1", "G0 X10 Y10", "G1 Z-1",
      "G1 X20", "G1 X10", "G0 Z5", "M0", "G0 X10 Y10", "G1 Z-1.5"},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5", "G1 X20", "G1 X10", "G0 Z5", "M1",
      "G0 X10 Y10", "G00 Z0.050000", "G1 Z-1", "G1 X20", "G1 X10", "G0 Z5", "M0", "G0 X10 Y10",
      "G00 Z0.050000", "G1 Z-1.5"}},
    // The approach runs before its line, in the modes the line is about to change.
    {"NoApproachInFrontOfALineThatChangesModes",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-1", "G91 G0 Z0.1", "G0 X0", "G90 G1 Z-2",  //
      "G0 Z5", "G0 X1 Y1", "G55 G1 Z-1", "G0 Z5", "G0 X1 Y1", "G43 H2 G1 Z-1", "G0 Z5", "G0 X1 Y1",
      "G40 G1 Z-1", "G0 Z5", "G0 X1 Y1", "G1 Z-1"},
     {"G0 Z5",         "G0 X1 Y1",      "G00 Z0.050000", "G1 Z-1",     "G91 G0 Z0.1",
      "G0 X0",         "G90 G1 Z-2",  //
      "G0 Z5",         "G0 X1 Y1",      "G55 G1 Z-1",    "G0 Z5",      "G0 X1 Y1",
      "G43 H2 G1 Z-1", "G0 Z5",         "G0 X1 Y1",      "G40 G1 Z-1", "G0 Z5",
      "G0 X1 Y1",      "G00 Z0.050000", "G1 Z-1"}},
    // Repeated cycles, restored modes, another tool: the reader forgets.
    // After a repeated cycle, which ends at X5, not X1, X is not known until
    // written again, and a plunge there is no feed to (0, 0); another tool,
    // then restored modes, forget every point.
    {"CyclesRestoredModesAndToolNumbersForgetTheTool",
     {"G0 Z5",    "G0 X0 Y0", "G1 Z-1", "G1 Y1",    "G0 Z5",    "G91 G81 X1 R-4.9 Z-0.1 L5",
      "G80 G90",  "G0 Z5",    "G0 Y0",  "G1 Z-2",   "G1 Y1",    "G0 Z5",
      "G0 X0 Y0", "G1 Z-3",   "G1 Y1",  "G0 Z5",    "G0 X0 Y0", "M61 Q2",
      "G1 Z-4",   "G1 Y1",    "G0 Z5",  "G0 X0 Y0", "M72",      "G90 G40",
      "G0 X0 Y0", "G1 Z-5"},
     {"G0 Z5",
      "G0 X0 Y0",
      "G00 Z0.050000",
      "G1 Z-1",
      "G1 Y1",
      "G0 Z5",
      "G91 G81 X1 R-4.9 Z-0.1 L5",
      "G80 G90",
      "G0 Z5",
      "G0 Y0",
      "G00 Z0.050000",
      "G1 Z-2",
      "G1 Y1",
      "G0 Z5",
      "G0 X0 Y0",
      "G00 Z0.050000",
      "G1 Z-3",
      "G1 Y1",
      "G0 Z5",
      "G0 X0 Y0",
      "M61 Q2",
      "G00 Z0.050000",
      "G1 Z-4",
      "G1 Y1",
      "G0 Z5",
      "G0 X0 Y0",
      "M72",
      "G90 G40",
      "G0 X0 Y0",
      "G00 Z0.050000",
      "G1 Z-5"}},
    // Numbers too long for the quick reading, leading zeros and all, are
    // read as the same places as their short forms.
    {"LongNumbersAreTheSamePlaces",
     {"G0 Z5", "G0 X00012345.5 Y0000123.25", "G1 Z-1", "G1 X0", "G0 Z5", "G0 X12345.5 Y123.25",
      "G1 Z-00000002.000"},
     {"G0 Z5", "G0 X00012345.5 Y0000123.25", "G00 Z0.050000", "G1 Z-1", "G1 X0", "G0 Z5",
      "G0 X12345.5 Y123.25", "G00 Z-0.980000", "G1 Z-00000002.000"}},
    // Programs that write every digit of a double are read, the digits past
    // a millionth only rounding the place.
    {"EveryDigitOfADoubleIsRead",
     {"G0 Z5", "G0 X0.007614213197969543 Y60.51269035532995", "G1 Z-0.8890862944162436 F10",
      "G1 X1", "G0 Z5", "G0 X.0076142132 Y60.5126903553000000000000001", "G1 Z-1.5"},
     {"G0 Z5", "G0 X0.007614213197969543 Y60.51269035532995", "G00 Z0.050000",
      "G1 Z-0.8890862944162436 F10", "G1 X1", "G0 Z5",
      "G0 X.0076142132 Y60.5126903553000000000000001", "G00 Z-0.869086", "G1 Z-1.5"}},
    // Seven decimals: a pass to -1.0000025 counts as one to -1.000002, the
    // millionth above it, so that the approach keeps the whole gap above it.
    {"DepthsFinerThanAMillionthCountAsTheMillionthAbove",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-1.0000025", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1", "G1 Z-2"},
     {"G0 Z5", "G0 X1 Y1", "G00 Z0.050000", "G1 Z-1.0000025", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1",
      "G00 Z-0.980002", "G1 Z-2"}},
    // An incremental distance below a millionth is rounded, and thousands of
    // them would add up to a place far from the one the machine is at: the
    // reader loses the place instead. Exact ones keep it.
    {"IncrementalDistancesRoundedToMillionthsLoseThePlace",
     {"G0 Z5", "G0 X0 Y0", "G1 Z-1", "G1 X1", "G1 X0", "G0 Z5", "G91", "G0 X0.0000004", "G90",
      "G0 Y0", "G1 Z-2"},
     {"G0 Z5", "G0 X0 Y0", "G00 Z0.050000", "G1 Z-1", "G1 X1", "G1 X0", "G0 Z5", "G91",
      "G0 X0.0000004", "G90", "G0 Y0", "G00 Z0.050000", "G1 Z-2"}},
    {"IncrementalDistancesWithDigitsLeftOutLoseThePlace",
     {"G0 Z5", "G0 X0 Y0", "G1 Z-1", "G1 X1", "G1 X0", "G0 Z5", "G91",
      "G0 X0.0000010000000000000000001", "G0 X-.000001", "G90", "G0 Y0", "G1 Z-2"},
     {"G0 Z5", "G0 X0 Y0", "G00 Z0.050000", "G1 Z-1", "G1 X1", "G1 X0", "G0 Z5", "G91",
      "G0 X0.0000010000000000000000001", "G0 X-.000001", "G90", "G0 Y0", "G00 Z0.050000",
      "G1 Z-2"}},
    {"ExactIncrementalDistancesKeepThePlace",
     {"G0 Z5", "G0 X0 Y0", "G1 Z-1", "G1 X1", "G1 X0", "G0 Z5", "G91",
      "G0 X0.0000010000000000000000000", "G0 X-.000001", "G90", "G0 Y0", "G1 Z-2"},
     {"G0 Z5", "G0 X0 Y0", "G00 Z0.050000", "G1 Z-1", "G1 X1", "G1 X0", "G0 Z5", "G91",
      "G0 X0.0000010000000000000000000", "G0 X-.000001", "G90", "G0 Y0", "G00 Z-0.980000",
      "G1 Z-2"}},
    // A billion units or more is no place, however it is written: the line is
    // not understood, and the plunge after it gets no approach.
    {"NoPlaceABillionUnitsOut",
     {"G0 Z5", "G0 X1000000000 Y1", "G1 Z-1", "G0 Z5", "G0 X999999999.9999995 Y1", "G1 Z-1",
      "G90 G40", "G0 Z5", "G0 X999999999.999999 Y1", "G1 Z-1"},
     {"G0 Z5", "G0 X1000000000 Y1", "G1 Z-1", "G0 Z5", "G0 X999999999.9999995 Y1", "G1 Z-1",
      "G90 G40", "G0 Z5", "G0 X999999999.999999 Y1", "G00 Z0.050000", "G1 Z-1"}},
    // Far from zero, depths a float would take for one stay apart: the pass
    // at -2499.99989 is shallower than -2500, so the approach goes the gap
    // above it, not above -2500.
    {"DeepApproachesFarFromZeroKeepTheirDepths",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-2499.99989", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1", "G1 Z-2500.5"},
     {"G0 Z5", "G0 X1 Y1", "G00 Z1.000000", "G1 Z-2499.99989", "G1 X2", "G1 X1", "G0 Z5",
      "G0 X1 Y1", "G00 Z-2499.999790", "G1 Z-2500.5"},
     Heights{0.0001, 1.0}},
    {"DeepApproachesFarFromZeroKeepTheirDepthsAtTheUsualGap",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-599999.97", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1",
      "G1 Z-600000.5"},
     {"G0 Z5", "G0 X1 Y1", "G00 Z0.050000", "G1 Z-599999.97", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1",
      "G00 Z-599999.950000", "G1 Z-600000.5"}},
    {"GapAndFirstHeight",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-0.5", "G1 X2", "G0 Z5", "G0 X1 Y1", "G1 Z-1"},
     {"G0 Z5", "G0 X1 Y1", "G00 Z1.000000", "G1 Z-0.5", "G1 X2", "G0 Z5", "G0 X1 Y1",
      "G00 Z-0.400000", "G1 Z-1"},
     Heights{0.1, 1.0}},
    // Approach lines have six decimals: a gap or first height with more is
    // rounded up, never down below the first height or into the gap.
    {"GapAndFirstHeightBelowAMillionthRoundUp",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-0.5", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1", "G1 Z-1"},
     {"G0 Z5", "G0 X1 Y1", "G00 Z0.050001", "G1 Z-0.5", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1",
      "G00 Z-0.499999", "G1 Z-1"},
     Heights{0.0000004, 0.0500004}},
    {"NoApproachBelowThePlunge",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-0.5"},
     {"G0 Z5", "G0 X1 Y1", "G1 Z-0.5"},
     Heights{0.02, -2.0}},
};

INSTANTIATE_TEST_SUITE_P(Words, WordCases, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// Splits `text` into lines, each ended by `lineEnd`, onto the end of `lines`.
void appendLines(std::string_view text, std::string_view lineEnd, Lines* lines) {
  for (size_t end; (end = text.find(lineEnd)) != std::string_view::npos;) {
    lines->emplace_back(text.substr(0, end));
    text.remove_prefix(end + lineEnd.size());
  }
}

// A whole program in one stretch reads as it does a line at a time, but for
// the lines near its end, which are read from a copy: each case, in both line ends.
TEST(WordScanner, ReadsAProgramInOneStretchAsLineByLine) {
  for (const std::string_view lineEnd : {"\n", "\r\n"}) {
    for (const Case& c : kCases) {
      std::string text;
      for (const std::string& line : c.input) text.append(line).append(lineEnd);
      WordScanner scanner(c.heights);
      Lines output;
      size_t copied = 0;
      scanner.scanRun(text, [&](size_t at, std::string_view approach) {
        appendLines(std::string_view(text).substr(copied, at - copied), lineEnd, &output);
        output.emplace_back(approach);
        copied = at;
      });
      appendLines(std::string_view(text).substr(copied), lineEnd, &output);
      EXPECT_EQ(output, c.expected) << c.name;
    }
  }
}

// Returns the approaches written into the program of `lines`, read in one
// stretch, each with the index of the line it goes in front of.
std::vector<std::pair<size_t, std::string>> approachesIn(const Lines& lines,
                                                         Background* helper = nullptr) {
  std::string text;
  std::vector<size_t> starts;
  for (const std::string& line : lines) {
    starts.push_back(text.size());
    text.append(line).append("\n");
  }
  std::vector<std::pair<size_t, std::string>> approaches;
  WordScanner scanner({}, helper);
  scanner.scanRun(text, [&](size_t at, std::string_view approach) {
    const auto line = std::lower_bound(starts.begin(), starts.end(), at) - starts.begin();
    approaches.emplace_back(static_cast<size_t>(line), approach);
  });
  return approaches;
}

// Returns a random line of a pocket cut in passes, in any style, with
// spellings of numbers that the quick reading of a line takes and those it
// leaves to the careful one, and now and then other words.
std::string randomLine(std::mt19937& random, int step) {
  const auto pick = [&](std::initializer_list<const char*> from) {
    return std::string(from.begin()[random() % from.size()]);
  };
  const std::string blank = pick({"", "", " ", "\t"});
  const std::string place = pick({"1", "1.", "1.0", "01.000", "+1", "2.5", "2.50", "10"});
  const std::string depth = pick({"-1", "-1.", "-1.5", "-1.50", "-.5", "-0.5000", "-2", "-2.000000",
                                  "-1.0000001", "-000001", "-12345678", "-123456789", "-1.2.3",
                                  "-1-2", "-1 .5", "- 1", "-", ".", "-."});
  std::string line = pick({"", "", "", "N10", "n20 "});
  switch (step % 5) {
    case 0:
      line += pick({"G0", "G00", "g0"}) + blank + "Z" + pick({"5", "5.", "+5", "05.000", "0"});
      break;
    case 1:
      line += pick({"G0", "G00", ""}) + blank + "X" + place + blank + "Y" + place;
      break;
    case 2:
      line += pick({"G1", "G01", "g01", "G1."}) + blank + "Z" + depth + pick({"", "F100", " f50."});
      break;
    default:
      line += pick({"G1", "", "G2", "G3", "G81", "G91", "G43", "G40", "M6", "T2", "G-1", "G001",
                    "G1.5", "O100", "A1"}) +
              blank + "X" + place + blank + pick({"Y", "Y", "z", "X"}) + place;
  }
  switch (random() % 12) {
    case 0:
      return line + "\r";
    case 1:
      return line + " ;note";
    case 2:
      return "(" + line + ")";
    case 3:
      return pick({"G90", "%", "", " ", "G91", "5G0Z5", " .5 G0Z5", "G0Z5 Z"});
    default:
      return line;
  }
}

// Expects the approaches in `program` to be those it gets with a comment
// added to each line, which sends every line to the careful reading; with
// the processor's bit instructions or not. Returns how many it gets.
size_t expectReadAsCarefully(const Lines& program) {
  Lines commented = program;
  for (std::string& line : commented) line += " ()";
  const auto expected = approachesIn(commented);
  EXPECT_EQ(approachesIn(program), expected) << testing::PrintToString(program);
  WordScanner::useBitInstructions(false);
  EXPECT_EQ(approachesIn(program), expected) << testing::PrintToString(program);
  WordScanner::useBitInstructions(true);
  return expected.size();
}

// Lines are read quickly when they hold words alone and carefully otherwise:
// a comment added to each line, which sends every line to the careful
// reading, changes no approach; with the processor's bit instructions or not.
TEST(WordScanner, ReadsLinesQuicklyAsCarefully) {
  std::mt19937 random(3);
  size_t approaches = 0;
  for (int round = 0; round < 2000; ++round) {
    Lines program;
    for (int i = 0; i < 60; ++i) program.push_back(randomLine(random, i));
    approaches += expectReadAsCarefully(program);
  }
  EXPECT_GT(approaches, 1000u);  // the programs get approaches, shallow and deep
}

// Returns `line` with one byte changed as lines of one shape differ, or
// as they seem to: a digit for another, mostly small so that places meet
// again, a point moved by one, a sign for the other, or a letter for another.
std::string changedLine(std::mt19937& random, std::string line) {
  const size_t at = random() % line.size();
  char& c = line[at];
  const std::string_view letters = "GXYZFMTNgxyz";
  if (c >= '0' && c <= '9') {
    c = static_cast<char>('0' + random() % (random() % 4 == 0 ? 10 : 3));
  } else if (c == '.') {
    const bool after = at + 1 < line.size() && (at == 0 || random() % 2 == 0);
    std::swap(c, line[after ? at + 1 : at - 1]);
  } else if (c == '-' || c == '+') {
    c = c == '-' ? '+' : '-';
  } else {
    c = letters[random() % letters.size()];
  }
  return line;
}

// Lines with the shape of the line before them, the same words with as many
// digits each, are read by their axes' digits alone: a line that differs in
// anything else, its motion, a letter, a sign, a code, reads as it does on
// its own; with the processor's bit instructions or not.
TEST(WordScanner, ReadsLinesOfOneShapeAsCarefully) {
  std::mt19937 random(4);
  const auto pick = [&](std::initializer_list<const char*> from) {
    return std::string(from.begin()[random() % from.size()]);
  };
  size_t approaches = 0;
  for (int round = 0; round < 3000; ++round) {
    Lines program = {"G40 G90 G0 X0 Y0"};
    while (program.size() < 60) {
      std::string line =
          pick({"G1X1.200Y0.100Z-1.000F100", "G0X1.200Y0.100", "G1Z-1.200F100", "G0Z1.000",
                "G1X0.100Y1.200", "G01 X0.1 Y1.2 Z-0.5", "M6T1", "G91G1Z-0.100", "G40G90G0X0.1Y1.2",
                "N10G0Z5.000", "G81X1.0Y1.0Z-1.0R1.0", "G3X1.000Y1.000I0.500J0.000"});
      for (int copies = 1 + static_cast<int>(random() % 6); copies > 0; --copies) {
        program.push_back(line);
        line = changedLine(random, line);
      }
    }
    approaches += expectReadAsCarefully(program);
  }
  EXPECT_GT(approaches, 500u);
}

// A line of the length of the line before it reads by that line's shape
// only where it has it: the same words with as many digits each. Whether
// the line leaves the tool fed at (2.1, 0.1) decides the last plunge's
// approach; with the processor's bit instructions or not.
TEST(WordScanner, ReadsALineByTheShapeBeforeItOnlyWhereItHasIt) {
  struct Case {
    const char* name;
    const char* before;
    const char* line;
    bool fed;
  };
  const Case cases[] = {
      {"other digits", "G1X1.200Y0.100Z-1.000F100", "G1X2.100Y0.100Z-1.000F100", true},
      {"point moved", "G1X21.00Y0.100Z-1.000F100", "G1X2.100Y0.100Z-1.000F100", true},
      {"other sign", "G1X-2.10Y0.100Z-1.000F100", "G1X+2.10Y0.100Z-1.000F100", true},
      {"other feed", "G1X1.200Y0.100Z-1.000F200", "G1X2.100Y0.100Z-1.000F100", true},
      {"a rapid", "G1X1.200Y0.100Z-1.000F100", "G0X2.100Y0.100Z-1.000F100", false},
      {"another axis", "G1X2.100Y0.100Z-1.000F100", "G1X2.100Y0.100A-1.000F100", false},
      {"a letter in a place", "G1X2.100Y0.100Z-1.000F100", "G1X2.1Y0Y0.100Z-1.000F100", false},
  };
  for (const bool bits : {true, false}) {
    WordScanner::useBitInstructions(bits);
    for (const Case& c : cases) {
      const Lines program = {"G40 G90 G0 X5 Y5 Z1", "G1 Z-1 F100",  c.before,     c.line,
                             "G40 G90 G0 Z1",       "G0 X2.1 Y0.1", "G1 Z-2 F100"};
      const auto approaches = approachesIn(program);
      ASSERT_EQ(approaches.size(), 2u) << c.name;
      EXPECT_EQ(approaches[1].second, c.fed ? "G00 Z-0.980000" : "G00 Z0.050000") << c.name;
    }
  }
  WordScanner::useBitInstructions(true);
}

// Every shape of number the quick reading takes, eight digits and point at
// most, reads as the careful reading has it: as a depth, where the approach
// shows it; as a place, where only a feed to the same place allows a deep
// approach; and as a distance, which loses the place when rounded; with the
// processor's bit instructions or not.
TEST(WordScanner, ReadsEveryShapeOfNumberQuicklyAsCarefully) {
  std::mt19937 random(5);
  const auto commented = [](Lines lines) {
    for (std::string& line : lines) line += " ()";
    return lines;
  };
  for (const bool bits : {true, false}) {
    WordScanner::useBitInstructions(bits);
    for (int length = 1; length <= 8; ++length) {
      for (int point = 0; point <= length; ++point) {  // `length` for none
        if (length == 1 && point == 0) continue;       // a point alone
        for (int round = 0; round < 20; ++round) {
          std::string number;
          for (int at = 0; at < length; ++at) {
            number += at == point ? '.' : static_cast<char>('0' + random() % 10);
          }
          const Lines depths = {"G0 Z5", "G0 X0 Y0", "G1 Z-" + number,
                                "G0 Z5", "G0 X0 Y0", "G1 Z-" + number + "9"};
          EXPECT_EQ(approachesIn(depths), approachesIn(commented(depths))) << number;
          const Lines places = {"G0 Z5",  "G0 X0 Y0",
                                "G1 Z-1", "G1 X-" + number + " Y1",
                                "G0 Z5",  "G0 X-" + number + " Y1 ()",
                                "G1 Z-2"};
          // Incremental moves there and back keep the place unless rounded.
          const Lines distances = {"G0 Z5",         "G0 X5 Y0",       "G1 Z-1", "G91",
                                   "G1 X" + number, "G1 X-" + number, "G1 X-5", "G90",
                                   "G0 Z5",         "G0 X0 Y0",       "G1 Z-2"};
          EXPECT_EQ(approachesIn(distances), approachesIn(commented(distances))) << number;
          const auto approaches = approachesIn(places);
          EXPECT_EQ(approaches, approachesIn(commented(places))) << number;
          // Places are kept to a ten-thousandth within 214,748 units.
          if (std::min(point, length) <= 5) {
            ASSERT_EQ(approaches.size(), 2u);
            EXPECT_EQ(approaches[1].second, "G00 Z-0.980000") << number;
          }
        }
      }
    }
  }
  WordScanner::useBitInstructions(true);
}

// A long program read on two threads, in stretches of any size, reads as on
// one: lines short and long, the helper's share of a stretch cut short when it
// holds very many lines, and a stretch too short to share.
TEST(WordScanner, ReadsOnTwoThreadsAsOnOne) {
  std::mt19937 random(8);
  Lines program;
  for (int i = 0; i < 150000; ++i) {
    if (i % 60 == 0) program.emplace_back("G90 G40");  // after lines not understood
    program.push_back(randomLine(random, i));
  }
  program.insert(program.end(), 30000, "G1 X1");
  const auto expected = approachesIn(program);
  ASSERT_GT(expected.size(), 1000u);
  Background background;
  EXPECT_EQ(approachesIn(program, &background), expected);
  EXPECT_EQ(approachesIn(Lines(program.begin(), program.begin() + 300), &background),
            approachesIn(Lines(program.begin(), program.begin() + 300)));
}

// Incremental moves may add up to any distance: the reader loses the place
// instead of overflowing, and finds it again at the next absolute move.
TEST(WordScanner, IncrementalMovesFarOutLoseThePlace) {
  Lines input = {"G91 G1"};
  input.insert(input.end(), 10000, "X999999999 Z-999999999");
  const Lines tail = {"G90 G0 Z5", "G0 X1 Y1", "G1 Z-1",   "G1 X2",
                      "G1 X1",     "G0 Z5",    "G0 X1 Y1", "G1 Z-2"};
  input.insert(input.end(), tail.begin(), tail.end());
  const Lines output = rewrite(input);
  const Lines expectedTail = {"G90 G0 Z5", "G0 X1 Y1", "G00 Z0.050000", "G1 Z-1",         "G1 X2",
                              "G1 X1",     "G0 Z5",    "G0 X1 Y1",      "G00 Z-0.980000", "G1 Z-2"};
  ASSERT_EQ(output.size(), input.size() + 2);
  EXPECT_EQ(Lines(output.end() - 10, output.end()), expectedTail);
}

// Places are given in millionths.
TEST(FedPoints, RemembersTheDeepestFeedToATenThousandth) {
  FedPoints fed;
  fed.add(10000000, 20000000, -1000000);
  fed.add(10000000, 20000000, -500000);
  fed.add(30000000, 20000000, 2000000);
  fed.add(30000000, 20000000, -1000000);
  EXPECT_TRUE(fed.reached(30000000, 20000000, -1.0f));
  EXPECT_TRUE(fed.reached(10000040, 19999960, -1.0f));
  EXPECT_FALSE(fed.reached(10000200, 20000000, -1.0f));
  EXPECT_FALSE(fed.reached(-10000000, 20000000, -1.0f));
  EXPECT_FALSE(fed.reached(10000000, 20000000, -1.1f));
  fed.forget();
  EXPECT_FALSE(fed.reached(10000000, 20000000, 0.0f));
  // A point added just before is forgotten too.
  fed.add(10000000, 20000000, -1000000);
  fed.forget();
  EXPECT_FALSE(fed.reached(10000000, 20000000, 0.0f));
  // A place too far out to keep is never reached, nor taken for a near one.
  const int64_t far = int64_t{1} << 40;
  fed.add(far, 0, -1000000);
  EXPECT_FALSE(fed.reached(far, 0, 0.0f));
  EXPECT_FALSE(fed.reached(far % (int64_t{1} << 32), 0, 0.0f));
  // However often the points were forgotten, a forgotten point never counts again.
  fed.add(10000000, 20000000, -1000000);
  EXPECT_TRUE(fed.reached(10000000, 20000000, -1.0f));
  for (int64_t i = 0; i < (int64_t{1} << 20); ++i) fed.forget();
  EXPECT_FALSE(fed.reached(10000000, 20000000, 0.0f));
}

TEST(FedPoints, KeepsTheLatestPointsOnly) {
  FedPoints fed;
  constexpr int64_t kKept = 1 << 16;
  for (int64_t i = 0; i < kKept + 1000; ++i) fed.add(i * 1000, 0, -1000000);
  int kept = 0;
  for (int64_t i = 0; i < kKept + 1000; ++i) kept += fed.reached(i * 1000, 0, -1.0f) ? 1 : 0;
  EXPECT_EQ(kept, kKept);
  EXPECT_FALSE(fed.reached(999000, 0, -1.0f));  // among the oldest, replaced
  EXPECT_TRUE(fed.reached(1000000, 0, -1.0f));
  // A point fed to again and again is found at its deepest among the latest
  // eight feeds to it; further back, it only costs a deep approach.
  for (int i = 0; i < 10; ++i) fed.add(5000000, 5000000, i == 2 ? -3000000 : -1000000);
  EXPECT_TRUE(fed.reached(5000000, 5000000, -3.0f));
  fed.add(5000000, 5000000, -1000000);
  EXPECT_FALSE(fed.reached(5000000, 5000000, -3.0f));
  EXPECT_TRUE(fed.reached(5000000, 5000000, -1.0f));
}

}  // namespace
