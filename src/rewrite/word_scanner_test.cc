#include "rewrite/word_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "doubt_names.h"

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
  expected.insert(expected.begin() + 6, {"G00 Z0.050000", "G00 Z-0.480000"});
  expected.insert(expected.begin() + 2, "G00 Z0.050000");
  return {name, style, expected};
}

const Case kCases[] = {
    pocket("SpacedWords", {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5 F100", "G1 X30", "G0 Z5", "G0 X10 Y10",
                           "G1 Z-1. F100"}),
    pocket("LowerCaseAndShortNumbers",
           {"g0z5", "g0x10y10", "g1z-.5f100", "g1x30", "g0z5.", "g0x10.y10.", "g1z-1.f100"}),
    pocket("BlanksInsideWordsAndComments",
           {"N10 G 0 Z 5 (lift)", "N20 G00 X+10.000 Y10", "N30 G01 Z- 0.5 F100 ; in", "N40 X30",
            "N50 G0Z5", "N60 G0X10Y10", "N70 G1Z-1F100"}),
    pocket("ModalRapidsAndFeeds",
           {"G0 Z5", "X10 Y10", "G1 Z-0.5 F100", "X30", "G0 Z5", "X10 Y10", "G1 Z-1."}),
    {"DeepApproachOnlyWhereTheToolHasBeen",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5 F100", "G1 X30", "G0 Z5", "G0 X10 Y20", "G1 Z-1. F100",
      "G1 X30", "G0 Z5", "G0 X10 Y20", "G1 Z-1.5"},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5 F100", "G1 X30", "G0 Z5", "G0 X10 Y20",
      "G00 Z0.050000", "G1 Z-1. F100", "G1 X30", "G0 Z5", "G0 X10 Y20", "G00 Z0.050000",
      "G00 Z-0.980000", "G1 Z-1.5"}},
    {"NotDeepEnoughThere",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5 F100", "G1 X30 Z-0.2", "G0 Z5", "G0 X30 Y10",
      "G1 Z-1. F100"},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5 F100", "G1 X30 Z-0.2", "G0 Z5",
      "G0 X30 Y10", "G00 Z0.050000", "G1 Z-1. F100"}},
    // Z-1e-05 is 0.00001 deep where exponents are read: no deep approach
    // rests on it, nor on anything after it.
    {"AnExponentIsNoShallowerNumber",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-1e-05 F100", "G1 X30", "G1 X10", "G0 Z5", "G0 X10 Y10",
      "G1 Z-1.5"},
     {"G0 Z5", "G0 X10 Y10", "G1 Z-1e-05 F100", "G1 X30", "G1 X10", "G0 Z5", "G0 X10 Y10",
      "G1 Z-1.5"}},
    // I J K R are the centre or radius of an arc, also where the arc's
    // motion word came on an earlier line.
    {"ModalArcsAreUnderstood",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-1. F100", "G2 X20 Y10 I5", "X10 Y10 I-5", "G0 Z5", "G0 X10 Y10",
      "G1 Z-2."},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-1. F100", "G2 X20 Y10 I5", "X10 Y10 I-5",
      "G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G00 Z-0.980000", "G1 Z-2."}},
    // Below the first height the tool goes only straight down over the
    // plunge, however the controller blends moves: from above the first
    // height in two steps, from it or below in one.
    {"BelowTheFirstHeightOnlyStraightDown",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-1.", "G1 X2", "G1 X1", "G0 Z0.05", "G0 X1 Y1", "G1 Z-2.", "G1 X2",
      "G1 X1", "G0 Z0.050001", "G0 X1 Y1", "G1 Z-3."},
     {"G0 Z5", "G0 X1 Y1", "G00 Z0.050000", "G1 Z-1.", "G1 X2", "G1 X1", "G0 Z0.05", "G0 X1 Y1",
      "G00 Z-0.980000", "G1 Z-2.", "G1 X2", "G1 X1", "G0 Z0.050001", "G0 X1 Y1", "G00 Z0.050000",
      "G00 Z-1.980000", "G1 Z-3."}},
    // Z-1 is one whole unit to LinuxCNC, GRBL and Mach, one least increment
    // (0.001 mm) to a control without decimal point input: no deep approach
    // rests on a Z written without a point, nor on a feed at that Z.
    {"ANumberWithoutAPointIsNoDepthToRestOn",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-1 F100", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1", "G1 Z-2.", "G1 X2",
      "G1 X1", "G0 Z5", "G0 X1 Y1", "G1 Z-3"},
     {"G0 Z5", "G0 X1 Y1", "G00 Z0.050000", "G1 Z-1 F100", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1",
      "G00 Z0.050000", "G1 Z-2.", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1", "G00 Z0.050000",
      "G00 Z-1.980000", "G1 Z-3"}},
    // Fed sideways at Z10, the program shows that its stock's top may be
    // above the first height: no approach goes there, deep ones go on.
    {"FedAboveTheFirstHeightOnlyDeepApproaches",
     {"G0 Z20", "G0 X1 Y1", "G1 Z10 F100", "G1 X5", "G0 Z20", "G0 X1 Y1", "G1 Z-1.", "G1 X5",
      "G1 X1", "G0 Z20", "G0 X1 Y1", "G1 Z-2."},
     {"G0 Z20", "G0 X1 Y1", "G1 Z10 F100", "G1 X5", "G0 Z20", "G0 X1 Y1", "G1 Z-1.", "G1 X5",
      "G1 X1", "G0 Z20", "G0 X1 Y1", "G00 Z0.050000", "G00 Z-0.980000", "G1 Z-2."}},
    // So does an arc that names no X or Y: a full circle, or a helix.
    {"AFullCircleAboveTheFirstHeightFeedsSideways",
     {"G0 Z20", "G0 X1 Y1", "G1 Z10 F100", "G2 I2", "G0 Z20", "G0 X5 Y5", "G1 Z-1."},
     {"G0 Z20", "G0 X1 Y1", "G1 Z10 F100", "G2 I2", "G0 Z20", "G0 X5 Y5", "G1 Z-1."}},
    {"AHelixAboveTheFirstHeightFeedsSideways",
     {"G0 Z20", "G0 X1 Y1", "G1 Z12 F100", "G3 J2 Z10", "G0 Z20", "G0 X5 Y5", "G1 Z-1."},
     {"G0 Z20", "G0 X1 Y1", "G1 Z12 F100", "G3 J2 Z10", "G0 Z20", "G0 X5 Y5", "G1 Z-1."}},
    // So may a move with no motion known in force (G80 leaves G1 in force on
    // many controllers), a feed with a rotary axis, and a feed in inches
    // below the first height but above it in millimetres.
    {"AMoveInAMotionNotKnownMayFeedSideways",
     {"G0 Z20", "G0 X1 Y1", "G1 Z10 F100", "G80", "X5", "G0 Z20", "G0 X5 Y5", "G1 Z-1."},
     {"G0 Z20", "G0 X1 Y1", "G1 Z10 F100", "G80", "X5", "G0 Z20", "G0 X5 Y5", "G1 Z-1."}},
    {"AFeedWithARotaryAxisMayFeedSideways",
     {"G0 Z20", "G0 X1 Y1", "G1 Z-1 F100", "G1 X5 A0", "G0 Z20", "G0 X5 Y5", "G1 Z-1."},
     {"G0 Z20", "G0 X1 Y1", "G00 Z0.050000", "G1 Z-1 F100", "G1 X5 A0", "G0 Z20", "G0 X5 Y5",
      "G1 Z-1."}},
    {"ADwellsLineMayFeedSideways",
     {"G0 Z20", "G0 X1 Y1", "G1 Z10 F100", "G4 P0.1 G1 X5", "G0 Z20", "G0 X5 Y5", "G1 Z-1."},
     {"G0 Z20", "G0 X1 Y1", "G1 Z10 F100", "G4 P0.1 G1 X5", "G0 Z20", "G0 X5 Y5", "G1 Z-1."}},
    {"ALineNotUnderstoodMayFeedSideways",
     {"G0 Z20", "G0 X1 Y1", "G1 X5 Z10 F100 M62 P0", "G90 G94 G40", "G0 X5 Y5", "G0 Z20",
      "G1 Z-1."},
     {"G0 Z20", "G0 X1 Y1", "G1 X5 Z10 F100 M62 P0", "G90 G94 G40", "G0 X5 Y5", "G0 Z20",
      "G1 Z-1."}},
    // After G66 a macro runs after each move, until G67; an approach would run it too.
    {"NoApproachWhileAMacroRunsAfterEachMove",
     {"G66 P9010 Z-5.", "G90 G94 G40", "G0 X1 Y1 Z5", "G1 Z-1.", "G0 Z5", "G0 X2 Y2", "G1 Z-1.",
      "G67", "G90 G94 G40", "G0 Z5", "G0 X3 Y3", "G1 Z-1."},
     {"G66 P9010 Z-5.", "G90 G94 G40", "G0 X1 Y1 Z5", "G1 Z-1.", "G0 Z5", "G0 X2 Y2", "G1 Z-1.",
      "G67", "G90 G94 G40", "G0 Z5", "G0 X3 Y3", "G00 Z0.050000", "G1 Z-1."}},
    {"FedSidewaysInInchesAboveTheFirstHeightInMillimetres",
     {"G20", "G0 Z1", "G0 X1 Y1", "G1 Z0.04 F10", "G1 X2", "G21", "G0 Z20", "G0 X5 Y5", "G1 Z-1."},
     {"G20", "G0 Z1", "G0 X1 Y1", "G1 Z0.04 F10", "G1 X2", "G21", "G0 Z20", "G0 X5 Y5", "G1 Z-1."}},
    {"CommentsAreNotRead",
     {"(G0 Z5)", "G0 X10 Y10", "G1 Z-0.5 F100", "G0 Z5 ; G0 X1", "G1 Z-1."},
     {"(G0 Z5)", "G0 X10 Y10", "G1 Z-0.5 F100", "G0 Z5 ; G0 X1", "G1 Z-1."}},
    {"PlungesNeedAnExplicitG1AndNoXY",
     {"G0 Z5", "G0 X10 Y10", "G1 X10 Y10 Z-0.5 F100", "G0 Z5", "G0 X10 Y10", "Z-1", "G0 Z5",
      "G0 X1", "G2 X2 Z-1 I1", "G0 Z5", "G0 X1", "G1 Z-1."},
     {"G0 Z5", "G0 X10 Y10", "G1 X10 Y10 Z-0.5 F100", "G0 Z5", "G0 X10 Y10", "Z-1", "G0 Z5",
      "G0 X1", "G2 X2 Z-1 I1", "G0 Z5", "G0 X1", "G00 Z0.050000", "G1 Z-1."}},
    {"CannedCyclesAndOtherCodesAreNoMoves",
     {"G0 Z5", "G81 X1 Y1 Z-3 R1", "G80", "G1 Z-1.", "G28 G91 Z0", "G90", "G53 G0 X0 Y0", "G4 P1",
      "G92 X0 Y0 Z5", "G1 Z-1.", "G0 Z1", "G0 X0 Y0", "G1 Z-1."},
     {"G0 Z5", "G81 X1 Y1 Z-3 R1", "G80", "G1 Z-1.", "G28 G91 Z0", "G90", "G53 G0 X0 Y0", "G4 P1",
      "G92 X0 Y0 Z5", "G1 Z-1.", "G0 Z1", "G0 X0 Y0", "G00 Z0.050000", "G1 Z-1."}},
    {"ADwellsAxisWordsAreNoMove",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5 F100", "G1 X30", "G4 X10", "G0 Z5", "G0 Y10", "G1 Z-1."},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5 F100", "G1 X30", "G4 X10", "G0 Z5",
      "G0 Y10", "G00 Z0.050000", "G1 Z-1."}},
    {"G80BesideAMotionWordOnlyEndsTheCycle",
     {"G00 G17 G80 G90 Z5", "G80 G0 X1 Y1", "G1 Z-1.", "G0 G1 Z-2."},
     {"G00 G17 G80 G90 Z5", "G80 G0 X1 Y1", "G00 Z0.050000", "G1 Z-1.", "G0 G1 Z-2."}},
    {"ToolChangeStartsANewSeries",
     {"T1 M6", "G0 Z5", "G0 X10 Y10", "G1 Z-0.5 F100", "G0 Z5", "T2 M6", "G0 Z5", "G0 X10 Y10",
      "G1 Z-1."},
     {"T1 M6", "G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5 F100", "G0 Z5", "T2 M6", "G0 Z5",
      "G0 X10 Y10", "G00 Z0.050000", "G1 Z-1."}},
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
    // coordinates (until G90), nor that the tool is where X Y say (until G40
    // and the move after it), nor that F is a feed rate (until G94 or G95),
    // and makes no approach while it may be elsewhere or fed otherwise.
    {"UnknownWordsMakeItAssumeNothing",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5",   "G0 Z5",    "#1 = 2", "G0 X10 Y10", "G1 Z-1.",  // unsure
      "G90",   "G0 Z5",      "G0 X10 Y10", "G1 Z-1.5",            // absolute
      "G40",   "G0 Z5",      "G0 X10 Y10", "G1 Z-2.",  "G1 X20",  // tool at X Y
      "G94",   "G0 Z5",      "G0 X10 Y10", "G1 Z-2.5"},           // feed rates
     {"G0 Z5",      "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5",      "G0 Z5",          "#1 = 2",
      "G0 X10 Y10",
      "G1 Z-1.",                                                               //
      "G90",        "G0 Z5",      "G0 X10 Y10",    "G1 Z-1.5",                 //
      "G40",        "G0 Z5",      "G0 X10 Y10",    "G1 Z-2.",       "G1 X20",  //
      "G94",        "G0 Z5",      "G0 X10 Y10",    "G00 Z0.050000", "G00 Z-1.980000", "G1 Z-2.5"}},
    // Under radius compensation, and until the move after G40 has led the
    // tool back to X Y, an inserted rapid could move the tool sideways.
    {"NoApproachWhileRadiusCompensationMayBeOn",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5", "G41 D1", "G0 Z5", "G0 X10 Y10", "G1 Z-1.", "G0 Z5",
      "G0 X10 Y10", "G40", "G1 Z-1.5", "G1 X20", "G0 Z5", "G0 X10 Y10", "G1 Z-2."},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5", "G41 D1", "G0 Z5", "G0 X10 Y10",
      "G1 Z-1.", "G0 Z5", "G0 X10 Y10", "G40", "G1 Z-1.5", "G1 X20", "G0 Z5", "G0 X10 Y10",
      "G00 Z0.050000", "G1 Z-2."}},
    // A G41 or G42 before the move that ends a G40, read or not, turns
    // compensation on again.
    {"CompensationOnAgainBeforeTheMoveAfterG40",
     {"G40", "G0 Z5", "G0 X10 Y10", "G1 Z-0.5", "G1 X20", "G41 G0 X0 Y0", "G40", "G41 G0 X10 Y10",
      "G1 Z-1.", "G1 X20", "G40", "G41 G1 X10 Y5 F#1", "G90", "G0 Z5", "G0 X10 Y10", "G1 Z-1.5"},
     {"G40", "G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5", "G1 X20", "G41 G0 X0 Y0", "G40",
      "G41 G0 X10 Y10", "G1 Z-1.", "G1 X20", "G40", "G41 G1 X10 Y5 F#1", "G90", "G0 Z5",
      "G0 X10 Y10", "G1 Z-1.5"}},
    // Where the tool went is not followed: LinuxCNC moves it to a dwell's
    // axis words, and G43.1 takes a tool length offset from them. A feed
    // sideways at a height not known may be above the first height, where
    // the stock's top would then be: no approach goes to the first height.
    {"DwellsAndDynamicOffsetsLoseThePlace",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-1.", "G1 X20", "G1 X10", "G4 P0.1 X40", "G0 Z5", "G0 Y10",
      "G1 Z-2.", "G1 X30 Y30", "G0 Z5", "G43.1 Z-3", "G1 X10 Y10", "G0 Z5", "G0 X10 Y10",
      "G1 Z-2.5"},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-1.", "G1 X20", "G1 X10", "G4 P0.1 X40", "G0 Z5",
      "G0 Y10", "G00 Z0.050000", "G1 Z-2.", "G1 X30 Y30", "G0 Z5", "G43.1 Z-3", "G1 X10 Y10",
      "G0 Z5", "G0 X10 Y10", "G1 Z-2.5"}},
    // Many machines have their tools changed by hand at a pause.
    {"APauseMayChangeTheTool",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-0.5", "G1 X20", "G1 X10", "M1", "G0 Z5", "G0 X10 Y10", "G1 Z-1.",
      "G1 X20", "G1 X10", "M0", "G0 Z5", "G0 X10 Y10", "G1 Z-1.5"},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-0.5", "G1 X20", "G1 X10", "M1", "G0 Z5",
      "G0 X10 Y10", "G00 Z0.050000", "G1 Z-1.", "G1 X20", "G1 X10", "M0", "G0 Z5", "G0 X10 Y10",
      "G00 Z0.050000", "G1 Z-1.5"}},
    // The approach runs before its line, in the modes the line is about to change.
    {"NoApproachInFrontOfALineThatChangesModes",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-1.", "G91 G0 Z0.1", "G0 X0", "G90 G1 Z-2.",  //
      "G0 Z5", "G0 X1 Y1", "G55 G1 Z-1.", "G0 Z5", "G0 X1 Y1", "G43 H2 G1 Z-1.", "G0 Z5",
      "G0 X1 Y1", "G40 G1 Z-1.", "G0 Z5", "G0 X1 Y1", "G1 Z-1."},
     {"G0 Z5",          "G0 X1 Y1",      "G00 Z0.050000", "G1 Z-1.",     "G91 G0 Z0.1",
      "G0 X0",          "G90 G1 Z-2.",  //
      "G0 Z5",          "G0 X1 Y1",      "G55 G1 Z-1.",   "G0 Z5",       "G0 X1 Y1",
      "G43 H2 G1 Z-1.", "G0 Z5",         "G0 X1 Y1",      "G40 G1 Z-1.", "G0 Z5",
      "G0 X1 Y1",       "G00 Z0.050000", "G1 Z-1."}},
    // Repeated cycles, restored modes, another tool: the reader forgets.
    // After a repeated cycle, which ends at X5, not X1, X is not known until
    // written again, and a plunge there is no feed to (0, 0); another tool,
    // then restored modes, forget every point.
    {"CyclesRestoredModesAndToolNumbersForgetTheTool",
     {"G0 Z5",    "G0 X0 Y0", "G1 Z-1.", "G1 Y1",       "G0 Z5", "G91 G81 X1 R-4.9 Z-0.1 L5",
      "G80 G90",  "G0 Z5",    "G0 Y0",   "G1 Z-2.",     "G1 Y1", "G0 Z5",
      "G0 X0 Y0", "G1 Z-3.",  "G1 Y1",   "M61 Q2",      "G0 Z5", "G0 X0 Y0",
      "G1 Z-4.",  "G1 Y1",    "M72",     "G90 G40 G94", "G0 Z5", "G0 X0 Y0",
      "G1 Z-5."},
     {"G0 Z5",
      "G0 X0 Y0",
      "G00 Z0.050000",
      "G1 Z-1.",
      "G1 Y1",
      "G0 Z5",
      "G91 G81 X1 R-4.9 Z-0.1 L5",
      "G80 G90",
      "G0 Z5",
      "G0 Y0",
      "G00 Z0.050000",
      "G1 Z-2.",
      "G1 Y1",
      "G0 Z5",
      "G0 X0 Y0",
      "G00 Z0.050000",
      "G1 Z-3.",
      "G1 Y1",
      "M61 Q2",
      "G0 Z5",
      "G0 X0 Y0",
      "G00 Z0.050000",
      "G1 Z-4.",
      "G1 Y1",
      "M72",
      "G90 G40 G94",
      "G0 Z5",
      "G0 X0 Y0",
      "G00 Z0.050000",
      "G1 Z-5."}},
    // Numbers with leading zeros and many digits are the same places as their
    // short forms.
    {"LongNumbersAreTheSamePlaces",
     {"G0 Z5", "G0 X00012345.5 Y0000123.25", "G1 Z-1.", "G1 X0", "G0 Z5", "G0 X12345.5 Y123.25",
      "G1 Z-00000002.000"},
     {"G0 Z5", "G0 X00012345.5 Y0000123.25", "G00 Z0.050000", "G1 Z-1.", "G1 X0", "G0 Z5",
      "G0 X12345.5 Y123.25", "G00 Z0.050000", "G00 Z-0.980000", "G1 Z-00000002.000"}},
    // Programs that write every digit of a double are read, the digits past
    // a millionth only rounding the place.
    {"EveryDigitOfADoubleIsRead",
     {"G0 Z5", "G0 X0.007614213197969543 Y60.51269035532995", "G1 Z-0.8890862944162436 F10",
      "G1 X1", "G0 Z5", "G0 X.0076142132 Y60.5126903553000000000000001", "G1 Z-1.5"},
     {"G0 Z5", "G0 X0.007614213197969543 Y60.51269035532995", "G00 Z0.050000",
      "G1 Z-0.8890862944162436 F10", "G1 X1", "G0 Z5",
      "G0 X.0076142132 Y60.5126903553000000000000001", "G00 Z0.050000", "G00 Z-0.869086",
      "G1 Z-1.5"}},
    // Seven decimals: a pass to -1.0000025 counts as one to -1.000002, the
    // millionth above it, so that the approach keeps the whole gap above it.
    {"DepthsFinerThanAMillionthCountAsTheMillionthAbove",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-1.0000025", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1", "G1 Z-2."},
     {"G0 Z5", "G0 X1 Y1", "G00 Z0.050000", "G1 Z-1.0000025", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1",
      "G00 Z0.050000", "G00 Z-0.980002", "G1 Z-2."}},
    // An incremental distance below a millionth is rounded, and thousands of
    // them would add up to a place far from the one the machine is at: the
    // reader loses the place instead. Exact ones keep it.
    {"IncrementalDistancesRoundedToMillionthsLoseThePlace",
     {"G0 Z5", "G0 X0 Y0", "G1 Z-1.", "G1 X1", "G1 X0", "G0 Z5", "G91", "G0 X0.0000004", "G90",
      "G0 Y0", "G1 Z-2."},
     {"G0 Z5", "G0 X0 Y0", "G00 Z0.050000", "G1 Z-1.", "G1 X1", "G1 X0", "G0 Z5", "G91",
      "G0 X0.0000004", "G90", "G0 Y0", "G00 Z0.050000", "G1 Z-2."}},
    {"IncrementalDistancesWithDigitsLeftOutLoseThePlace",
     {"G0 Z5", "G0 X0 Y0", "G1 Z-1.", "G1 X1", "G1 X0", "G0 Z5", "G91",
      "G0 X0.0000010000000000000000001", "G0 X-.000001", "G90", "G0 Y0", "G1 Z-2."},
     {"G0 Z5", "G0 X0 Y0", "G00 Z0.050000", "G1 Z-1.", "G1 X1", "G1 X0", "G0 Z5", "G91",
      "G0 X0.0000010000000000000000001", "G0 X-.000001", "G90", "G0 Y0", "G00 Z0.050000",
      "G1 Z-2."}},
    {"ExactIncrementalDistancesKeepThePlace",
     {"G0 Z5", "G0 X0 Y0", "G1 Z-1.", "G1 X1", "G1 X0", "G0 Z5", "G91",
      "G0 X0.0000010000000000000000000", "G0 X-.000001", "G90", "G0 Y0", "G1 Z-2."},
     {"G0 Z5", "G0 X0 Y0", "G00 Z0.050000", "G1 Z-1.", "G1 X1", "G1 X0", "G0 Z5", "G91",
      "G0 X0.0000010000000000000000000", "G0 X-.000001", "G90", "G0 Y0", "G00 Z0.050000",
      "G00 Z-0.980000", "G1 Z-2."}},
    // A billion units or more is no place, however it is written: the line is
    // not understood, and the plunge after it gets no approach.
    {"NoPlaceABillionUnitsOut",
     {"G0 Z5", "G0 X1000000000 Y1", "G1 Z-1.", "G0 Z5", "G0 X999999999.9999995 Y1", "G1 Z-1.",
      "G90 G40 G94", "G0 Z5", "G0 X999999999.999999 Y1", "G1 Z-1."},
     {"G0 Z5", "G0 X1000000000 Y1", "G1 Z-1.", "G0 Z5", "G0 X999999999.9999995 Y1", "G1 Z-1.",
      "G90 G40 G94", "G0 Z5", "G0 X999999999.999999 Y1", "G00 Z0.050000", "G1 Z-1."}},
    // Far from zero, depths a float would take for one stay apart: the pass
    // at -2499.99989 is shallower than -2500, so the approach goes the gap
    // above it, not above -2500.
    {"DeepApproachesFarFromZeroKeepTheirDepths",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-2499.99989", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1", "G1 Z-2500.5"},
     {"G0 Z5", "G0 X1 Y1", "G00 Z1.000000", "G1 Z-2499.99989", "G1 X2", "G1 X1", "G0 Z5",
      "G0 X1 Y1", "G00 Z1.000000", "G00 Z-2499.999790", "G1 Z-2500.5"},
     Heights{0.0001, 1.0}},
    {"DeepApproachesFarFromZeroKeepTheirDepthsAtTheUsualGap",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-599999.97", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1",
      "G1 Z-600000.5"},
     {"G0 Z5", "G0 X1 Y1", "G00 Z0.050000", "G1 Z-599999.97", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1",
      "G00 Z0.050000", "G00 Z-599999.950000", "G1 Z-600000.5"}},
    {"GapAndFirstHeight",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-0.5", "G1 X2", "G0 Z5", "G0 X1 Y1", "G1 Z-1."},
     {"G0 Z5", "G0 X1 Y1", "G00 Z1.000000", "G1 Z-0.5", "G1 X2", "G0 Z5", "G0 X1 Y1",
      "G00 Z1.000000", "G00 Z-0.400000", "G1 Z-1."},
     Heights{0.1, 1.0}},
    // Approach lines have six decimals: a gap or first height with more is
    // rounded up, never down below the first height or into the gap.
    {"GapAndFirstHeightBelowAMillionthRoundUp",
     {"G0 Z5", "G0 X1 Y1", "G1 Z-0.5", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1", "G1 Z-1."},
     {"G0 Z5", "G0 X1 Y1", "G00 Z0.050001", "G1 Z-0.5", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1",
      "G00 Z0.050001", "G00 Z-0.499999", "G1 Z-1."},
     Heights{0.0000004, 0.0500004}},
    // The program takes the tool down itself, to the first height or to just
    // above the last pass: an approach would lift it again. The depths still
    // follow the plunges left alone.
    {"ApproachesOnlyGoDown",
     {"G0 Z5", "G0 X10 Y10", "G0 Z0.05", "G1 Z-1. F100", "G1 X20", "G1 X10", "G0 Z5", "G0 X10 Y10",
      "G0 Z-0.99", "G1 Z-2.", "G1 X20", "G1 X10", "G0 Z5", "G0 X10 Y10", "G1 Z-3."},
     {"G0 Z5", "G0 X10 Y10", "G0 Z0.05", "G1 Z-1. F100", "G1 X20", "G1 X10", "G0 Z5", "G0 X10 Y10",
      "G0 Z-0.99", "G1 Z-2.", "G1 X20", "G1 X10", "G0 Z5", "G0 X10 Y10", "G00 Z0.050000",
      "G00 Z-1.980000", "G1 Z-3."}},
    // G28 and G30 send every axis home, rotary ones too: what was cut before
    // may now stand elsewhere.
    {"HomingForgetsThePointsFed",
     {"G0 Z5", "G0 X10 Y10", "G1 Z-1.", "G1 X20", "G1 X10", "G30", "G0 Z5", "G0 X10 Y10", "G1 Z-2.",
      "G1 X20", "G1 X10", "G28 G91 Z0", "G90 G0 Z5", "G0 X10 Y10", "G1 Z-3."},
     {"G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-1.", "G1 X20", "G1 X10", "G30", "G0 Z5",
      "G0 X10 Y10", "G00 Z0.050000", "G1 Z-2.", "G1 X20", "G1 X10", "G28 G91 Z0", "G90 G0 Z5",
      "G0 X10 Y10", "G00 Z0.050000", "G1 Z-3."}},
    // Under inverse time F says how long a move takes: a shorter plunge would
    // be fed faster. Points fed then still count.
    {"NoApproachUnderInverseTime",
     {"G0 Z5", "G0 X10 Y10", "G93 G1 Z-1.2 F20", "G1 X20 F10", "G94", "G0 Z5", "G0 X10 Y10",
      "G1 Z-1. F100", "G0 Z5", "G93", "G0 X10 Y10", "G1 Z-2. F5", "G0 Z5", "G0 X10 Y10",
      "G94 G1 Z-3. F100"},
     {"G0 Z5", "G0 X10 Y10", "G93 G1 Z-1.2 F20", "G1 X20 F10", "G94", "G0 Z5", "G0 X10 Y10",
      "G00 Z0.050000", "G1 Z-1. F100", "G0 Z5", "G93", "G0 X10 Y10", "G1 Z-2. F5", "G0 Z5",
      "G0 X10 Y10", "G00 Z0.050000", "G00 Z-1.980000", "G94 G1 Z-3. F100"}},
    // A program number names the program where it starts it; another one
    // starts another program, run from anywhere.
    {"ProgramNumbers",
     {"%", "O1234 (POCKET)", "G0 Z5", "G0 X10 Y10", "G1 Z-1.", "G1 X20", "G1 X10", "O2000",
      "G90 G40 G94", "G0 Z5", "G0 X10 Y10", "G1 Z-2."},
     {"%", "O1234 (POCKET)", "G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-1.", "G1 X20", "G1 X10",
      "O2000", "G90 G40 G94", "G0 Z5", "G0 X10 Y10", "G00 Z0.050000", "G1 Z-2."}},
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

// A whole program in one stretch reads as it does a line at a time: each
// case, in both line ends.
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

// Returns the approach written in front of the last line of `program`, or
// "" for none.
std::string lastApproach(const Lines& program) {
  const Lines output = rewrite(program);
  const std::string& before = output[output.size() - 2];
  return before == program[program.size() - 2] ? "" : before;
}

// Only the spindle and coolant codes are passed over; M0, M1, M6 and M61
// change the tool; after any other M code, which a machine may give any
// meaning (pallets, indexers, clamps, macros), the reader assumes nothing;
// so it does after a word whose meaning it does not know on that line: H or D
// alone may take another length offset or cutting edge, E is an exponent,
// an extruder or a fixture offset.
TEST(WordScanner, PassesOverOnlyWhatItKnows) {
  struct Case {
    const char* code;
    const char* approach;
  };
  const Case cases[] = {
      {"M3 S1000", "G00 Z-0.980000"},
      {"M4", "G00 Z-0.980000"},
      {"M05", "G00 Z-0.980000"},
      {"M7", "G00 Z-0.980000"},
      {"M8", "G00 Z-0.980000"},
      {"M9", "G00 Z-0.980000"},
      {"M0", "G00 Z0.050000"},
      {"M1", "G00 Z0.050000"},
      {"M6", "G00 Z0.050000"},
      {"M61 Q2", "G00 Z0.050000"},
      {"M19", ""},
      {"M48", ""},
      {"M50", ""},
      {"M51", ""},
      {"M53", ""},
      {"M62 P1", ""},
      {"M68 E0 Q1", ""},
      {"M70", ""},
      {"M71", ""},
      {"M30", ""},
      {"M100", ""},
      {"S1000", "G00 Z-0.980000"},
      {"G64 P0.01", "G00 Z-0.980000"},
      {"G43 H2", "G00 Z0.050000"},
      {"H2", ""},
      {"D2", ""},
      {"G0 X1 Y1 D2", ""},
      {"E5", ""},
      {"G0 X1 Y1 R2", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lastApproach({"G0 Z5", "G0 X1 Y1", "G1 Z-1.", "G1 X2", "G1 X1", c.code, "G0 Z5",
                            "G0 X1 Y1", "G1 Z-2."}),
              c.approach)
        << c.code;
  }
}

// Once a word that may jump has come, execution may land on any line with a
// block number from anywhere: such a line forgets the points and the place,
// and assumes no mode it does not set itself.
TEST(WordScanner, AfterAJumpWordBlockNumbersForgetEverything) {
  struct Case {
    const char* line;
    bool jumps;
  };
  const Case cases[] = {
      {"GOTO 10", true},
      {"N5 IF [#1 EQ 1] GOTO 10", true},
      {"WHILE [#1 LT 3] DO1", true},
      {"goto10", true},
      {"M99 P10", true},
      {"P10 M97", true},
      {"#1 = 2", false},
      {"M99", false},
      {"(GOTO 10)", false},
      {"END1", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lastApproach({c.line, "G90 G40 G94", "G0 Z5", "G0 X1 Y1", "G1 Z-1.", "G1 X2", "G1 X1",
                            "G0 Z5", "N20 G90 G40 G94 G0 X1 Y1 Z5", "G1 Z-2."}),
              c.jumps ? "G00 Z0.050000" : "G00 Z-0.980000")
        << c.line;
  }
}

// Points are learned only while every rotary axis the program has named
// stands at 0, as far as the reader can tell: a tilted tool's shank does not
// stand over the point it cut.
TEST(WordScanner, LearnsPointsOnlyWhileEveryRotaryAxisNamedStandsAt0) {
  struct Case {
    Lines before;
    bool deep;
  };
  const Case cases[] = {
      {{}, true},
      {{"G0 A90"}, false},
      {{"G0 A90 B0", "G0 A0"}, true},
      {{"G0 C0.001"}, false},
      {{"G91 G0 A90", "G0 A-90", "G90"}, false},  // turns by distances are not added up
      {{"G91 G0 A0", "G90"}, true},
      {{"G0 A0", "G92 A0"}, false},
      {{"G0 A0", "G28 G91 Z0", "G90"}, false},
      {{"G28 G91 Z0", "G90"}, true},
      {{"M50", "G90 G40 G94"}, true},
      {{"G0 A0", "M50", "G90 G40 G94"}, false},
      {{"G0 B10 M50", "G90 G40 G94"}, false},
  };
  for (const Case& c : cases) {
    Lines program = c.before;
    program.insert(program.end(), {"G0 Z5", "G0 X1 Y1", "G1 Z-1.", "G1 X2", "G1 X1", "G0 Z5",
                                   "G0 X1 Y1", "G1 Z-2."});
    EXPECT_EQ(lastApproach(program), c.deep ? "G00 Z-0.980000" : "G00 Z0.050000")
        << testing::PrintToString(c.before);
  }
}

// The names of the reasons, in the order they are declared.
constexpr const char* kPlungeReasons[] = {
    "none",         "noClearance",         "noRapidXY",        "notAbovePlunge",
    "incremental",  "distanceUnknown",     "inverseTime",      "feedModeUnknown",
    "compensation", "compensationUnknown", "lineChangesModes", "heightUnknown",
    "notGoingDown", "stockTopAbove",       "notFedThere",      "withoutPoint",
    "tiltedTool"};
static_assert(std::size(kPlungeReasons) == static_cast<size_t>(PlungeReason::tiltedTool) + 1);

// What the scanner tells of the last line of a program: why nothing is
// assumed from there (the reason and the word), and why its plunge gets no
// approach or one only to the first height, by reason.
TEST(WordScanner, TellsWhy) {
  struct Case {
    Lines program;
    const char* note;
    Heights heights = {};
  };
  const Lines pass = {"G0 Z5", "G0 X1 Y1", "G1 Z-1.", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1"};
  const auto afterPass = [&](std::initializer_list<std::string> before, const char* last) {
    Lines program = before;
    program.insert(program.end(), pass.begin(), pass.end());
    program.emplace_back(last);
    return program;
  };
  const Case cases[] = {
      {afterPass({}, "G1 Z-2."), ""},
      {{"G0 Z5", "G0 X1 Y1", "G1 Z-1.", "G1 Z-2."}, "plunge=noClearance"},
      {{"G0 X1 Y1", "G0 Z5", "G1 Z-1.", "G1 X2", "G0 Z5", "G1 Z-2."}, "plunge=noRapidXY"},
      {{"G0 Z5", "G0 X1 Y1", "G1 Z-1."}, "plunge=notAbovePlunge", Heights{0.02, -2}},
      {{"G91", "G0 Z5", "G0 X1 Y1", "G1 Z-1."}, "plunge=incremental"},
      {{"M50", "G0 Z5", "G0 X1 Y1", "G1 Z-1."}, "plunge=distanceUnknown"},
      {{"G93", "G0 Z5", "G0 X1 Y1", "G1 Z-1. F2"}, "plunge=inverseTime"},
      {{"M50", "G90 G40", "G0 Z5", "G0 X1 Y1", "G1 Z-1."}, "plunge=feedModeUnknown"},
      {{"G41 D1", "G0 Z5", "G0 X1 Y1", "G1 Z-1."}, "plunge=compensation"},
      {{"M50", "G90 G94", "G0 Z5", "G0 X1 Y1", "G1 Z-1."}, "plunge=compensationUnknown"},
      {{"M50", "G90 G94 G41 D1", "G0 Z5", "G0 X1 Y1", "G1 Z-1."}, "plunge=compensation"},
      {{"G0 Z5", "G0 X1 Y1", "G55 G1 Z-1."}, "plunge=lineChangesModes"},
      {{"G0 X0 Y0", "G1 Z-1."}, "plunge=heightUnknown"},
      {{"G0 Z5", "G0 X1 Y1", "G0 Z0", "G1 Z-1."}, "plunge=notGoingDown"},
      {afterPass({}, "G0 X3 Y3"), ""},
      {{"G0 Z5", "G0 X1 Y1", "G1 Z-1.", "G1 X2", "G0 Z5", "G0 X3 Y3", "G1 Z-2."},
       "plunge=notFedThere"},
      {afterPass({"G0 A10"}, "G1 Z-2."), "plunge=tiltedTool"},
      {{"G0 Z5", "G0 X1 Y1", "G1 Z-1", "G1 X2", "G1 X1", "G0 Z5", "G0 X1 Y1", "G1 Z-2"},
       "plunge=withoutPoint"},
      {{"G0 Z20", "G0 X1 Y1", "G1 Z10 F100", "G1 X5", "G0 Z20", "G0 X1 Y1", "G1 Z-1."},
       "plunge=stockTopAbove shown on 4"},
      {{"G0 Z5", "M50 (pallet)"}, "doubt=unknownCode M50"},
      {{"G0 Z5", "G1 X1 H2 E3"}, "doubt=letterOutOfContext H2"},
      {{"G0 Z5", "#1 = 2 GOTO 5"}, "doubt=jump GOTO"},
      {{"O1000", "G0 Z5", "O2000 (another)"}, "doubt=programNumber "},
      {{"M98 P1000", "G0 Z5", "N10 G0 X1 Y1"}, "doubt=reachedByJump "},
      {{"G0 Z5", Lines::value_type(WordScanner::kLongestLine + 1, 'X')}, "doubt=lineTooLong "},
      {afterPass({"M98 P1000"}, "N20 G1 Z-2."), "doubt=reachedByJump  plunge=distanceUnknown"},
  };
  for (const Case& c : cases) {
    std::string text;
    for (const std::string& line : c.program) text.append(line).append("\n");
    Outlook outlook;
    outlook.read(text);
    WordScanner scanner(c.heights, outlook);
    std::string said;
    uint64_t lastLine = 0;
    scanner.scanRun(
        text, [](size_t, std::string_view) {},
        [&](size_t, std::string_view line, const LineNote& note) {
          said.clear();
          lastLine = note.line;
          if (note.doubt != Doubt::none) {
            said = std::string("doubt=") + doubtName(note.doubt) + " " +
                   std::string(line.substr(note.doubted.at, note.doubted.length));
          }
          if (note.plunge != PlungeReason::none) {
            if (!said.empty()) said += ' ';
            said.append("plunge=").append(kPlungeReasons[static_cast<size_t>(note.plunge)]);
            if (note.plunge == PlungeReason::stockTopAbove) {
              said += " shown on " + std::to_string(note.stockTopShownOn);
            }
          }
        });
    if (lastLine != c.program.size()) said.clear();
    EXPECT_EQ(said, c.note) << testing::PrintToString(c.program);
  }
}

// Returns how many approaches `program` gets, read through first for its
// outlook as the file pass reads it, or, without `ahead`, as it comes.
size_t approachCount(const Lines& program, bool ahead) {
  std::string text;
  for (const std::string& line : program) text.append(line).append("\n");
  Outlook outlook;
  if (ahead) outlook.read(text);
  WordScanner scanner({}, outlook);
  size_t count = 0;
  size_t last = std::string::npos;  // an approach of two lines goes in front of one line
  scanner.scanRun(text, [&](size_t at, std::string_view) {
    count += at != last ? 1 : 0;
    last = at;
  });
  return count;
}

// A word near the end of a program can change what a line near its start
// does: a jump back to a block number runs what follows it again, in the
// state the jump left (here another work offset, or another pallet, where
// nothing was cut); a subprogram runs in the modes of its caller (here G91,
// where an absolute approach would be a move down by its height).
TEST(WordScanner, WhatComesLaterIsReadFirst) {
  struct Case {
    const char* name;
    Lines program;
    size_t ahead;  // approaches when the program is read through first
    size_t asItComes;
  };
  const Lines pocket = {"G0 Z5", "G0 X0 Y0", "G1 Z-1. F100", "G1 X10", "G0 Z5"};
  const auto withEnd = [&](const char* target, const Lines& end) {
    Lines program = {"G90 G40 G94 G21 G54"};
    program.insert(program.end(), pocket.begin(), pocket.end());
    program.insert(program.end(), {target, "G1 Z-2. F100", "G1 X10", "G0 Z5"});
    program.insert(program.end(), end.begin(), end.end());
    return program;
  };
  const Case cases[] = {
      {"GotoBack", withEnd("N100 G0 X0 Y0", {"G55", "#1=#1+1", "IF [#1 LT 2] GOTO 100", "M30"}), 1,
       2},
      {"ReturnToABlock", withEnd("N100 G0 X0 Y0", {"M60", "M99 P100"}), 1, 2},
      {"CallThatMayReturnToABlock", withEnd("N100 G0 X0 Y0", {"M98 P2000", "M30"}), 1, 2},
      // M198 calls a subprogram from external memory, which may end in M99 P100.
      {"CallOfExternalSubprogram", withEnd("N100 G0 X0 Y0", {"M198 P2000", "M30"}), 1, 2},
      {"NoJump", withEnd("N100 G0 X0 Y0", {"M30"}), 2, 2},
      {"Subprogram",
       {"O1000", "G0 Z5.", "G0 X10. Y0.", "G1 Z-6. F100.", "G1 X5.", "G0 Z6.", "G0 X10. Y0.",
        "G1 Z-7. F100.", "G1 X5.", "G0 Z7.", "M99"},
       0,
       2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(approachCount(c.program, true), c.ahead) << c.name;
    EXPECT_EQ(approachCount(c.program, false), c.asItComes) << c.name;
  }
}

// What the approaches save, worked out by hand: the travel from where the
// tool was down to each approach's end, in the unit in force, and its time at
// the feed rate in force at the plunge.
TEST(WordScanner, SavesTheFeedTravelThroughAir) {
  struct Case {
    const char* name;
    Lines program;
    Savings saved;
  };
  const Case cases[] = {
      // From Z5 down to Z0.05 at F100: 4.95 mm in 2.97 s.
      {"OneApproach",
       {"G21", "G0 Z5", "G0 X10 Y10", "G1 Z-1. F100"},
       {.approaches = 1, .millimetres = 4.95, .minutes = 0.0495}},
      // Then from Z5 to Z-0.98 at F50: 5.98 mm in 7.176 s more.
      {"ADeepApproach",
       {"G21 G90", "G0 Z5", "G0 X10 Y10", "G1 Z-1. F100", "G1 X20", "G1 X10", "G0 Z5", "G0 X10 Y10",
        "G1 Z-2. F50"},
       {.approaches = 2, .belowFirst = 1, .millimetres = 10.93, .minutes = 0.1691}},
      // From Z0.5 to Z0.05 inches at 10 inches a minute: 2.7 s.
      {"Inches",
       {"G20", "G0 Z0.5", "G0 X1 Y1", "G1 Z-0.1 F10"},
       {.approaches = 1, .inches = 0.45, .minutes = 0.045}},
      {"UnitsNeverNamed",
       {"G0 Z5", "G0 X10 Y10", "G1 Z-1. F100"},
       {.approaches = 1, .unnamedUnits = 4.95, .minutes = 0.0495}},
      {"NoFeedRate",
       {"G21", "G0 Z5", "G0 X10 Y10", "G1 Z-1."},
       {.approaches = 1, .millimetres = 4.95, .timeUnknown = true}},
      {"FeedPerRevolution",
       {"G21 G95", "G0 Z5", "G0 X10 Y10", "G1 Z-1. F0.1"},
       {.approaches = 1, .millimetres = 4.95, .timeUnknown = true}},
      // A rate of another feed mode is no rate when it comes back.
      {"FeedModeChanged",
       {"G21 F100", "G93", "G94", "G0 Z5", "G0 X10 Y10", "G1 Z-1."},
       {.approaches = 1, .millimetres = 4.95, .timeUnknown = true}},
      {"FeedRateKept",
       {"G21 G1 F200", "G0 Z5", "G0 X10 Y10", "G1 Z-1."},
       {.approaches = 1, .millimetres = 4.95, .minutes = 0.02475}},
      {"InverseTimeGetsNone", {"G21", "G0 Z5", "G0 X10 Y10", "G93 G1 Z-1. F20"}, {}},
      // Where the program starts the tool's Z is not known: no approach.
      {"NoKnownHeight", {"G21", "G0 X0 Y0", "G1 Z-1. F100"}, {}},
  };
  for (const Case& c : cases) {
    WordScanner scanner;
    for (const std::string& line : c.program) {
      scanner.scanRun(line + "\n", [](size_t, std::string_view) {});
    }
    const Savings& saved = scanner.savings();
    EXPECT_EQ(saved.approaches, c.saved.approaches) << c.name;
    EXPECT_EQ(saved.belowFirst, c.saved.belowFirst) << c.name;
    EXPECT_NEAR(saved.millimetres, c.saved.millimetres, 1e-9) << c.name;
    EXPECT_NEAR(saved.inches, c.saved.inches, 1e-9) << c.name;
    EXPECT_NEAR(saved.unnamedUnits, c.saved.unnamedUnits, 1e-9) << c.name;
    EXPECT_NEAR(saved.minutes, c.saved.minutes, 1e-9) << c.name;
    EXPECT_EQ(saved.timeUnknown, c.saved.timeUnknown) << c.name;
  }
}

// Incremental moves may add up to any distance: the reader loses the place
// instead of overflowing, and finds it again at the next absolute move.
TEST(WordScanner, IncrementalMovesFarOutLoseThePlace) {
  Lines input = {"G91 G0"};
  input.insert(input.end(), 10000, "X999999999 Z-999999999");
  const Lines tail = {"G90 G0 Z5", "G0 X1 Y1", "G1 Z-1.",  "G1 X2",
                      "G1 X1",     "G0 Z5",    "G0 X1 Y1", "G1 Z-2."};
  input.insert(input.end(), tail.begin(), tail.end());
  const Lines output = rewrite(input);
  const Lines expectedTail = {"G90 G0 Z5",     "G0 X1 Y1",       "G00 Z0.050000", "G1 Z-1.",
                              "G1 X2",         "G1 X1",          "G0 Z5",         "G0 X1 Y1",
                              "G00 Z0.050000", "G00 Z-0.980000", "G1 Z-2."};
  ASSERT_EQ(output.size(), input.size() + 3);
  EXPECT_EQ(Lines(output.end() - 11, output.end()), expectedTail);
}

}  // namespace
