#include "rewrite/plunge_scanner.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// Runs the lines, each ended by a line feed, through one scanner and returns
// what is written, inserted approach lines included.
Lines rewrite(const Lines& input, const Heights& heights = {}) {
  PlungeScanner scanner(heights);
  Lines output;
  for (const std::string& line : input) {
    const std::string withEnd = line + "\n";
    const std::string_view approach = scanner.scanLine(withEnd);
    if (!approach.empty()) output.emplace_back(approach);
    output.push_back(line);
  }
  return output;
}

struct Case {
  const char* name;
  Lines input;
  Lines expected;
};

// Names a case in test listings.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class ScannerCases : public testing::TestWithParam<Case> {};

TEST_P(ScannerCases, WritesTheExpectedLines) {
  EXPECT_EQ(rewrite(GetParam().input), GetParam().expected);
}

const Case kCases[] = {
    {"ThreePassPocket",
     {"G00Z5.000", "G00X10.000Y10.000", "G01Z-0.500F100.", "G01X30.000F300.", "G00Z5.000",
      "G00X10.000Y10.000", "G01Z-1.000F100.", "G01X30.000F300.", "G00Z5.000", "G00X10.000Y10.000",
      "G01Z-1.500F100."},
     {"G00Z5.000", "G00X10.000Y10.000", "G00 Z0.050000", "G01Z-0.500F100.", "G01X30.000F300.",
      "G00Z5.000", "G00X10.000Y10.000", "G00 Z-0.480000", "G01Z-1.000F100.", "G01X30.000F300.",
      "G00Z5.000", "G00X10.000Y10.000", "G00 Z-0.980000", "G01Z-1.500F100."}},
    {"RetractRightAfterPlungeResets",
     {"G00Z1.000", "G00X10.000Y5.000", "G01Z-0.100F100.", "G00Z1.000", "G00X12.000Y5.000",
      "G01Z-0.200F100."},
     {"G00Z1.000", "G00X10.000Y5.000", "G00 Z0.050000", "G01Z-0.100F100.", "G00Z1.000",
      "G00X12.000Y5.000", "G00 Z0.050000", "G01Z-0.200F100."}},
    {"RetractAfterBlockNumberDoesNotReset",
     {"N10G00Z1.000", "N20G00X10.000Y5.000", "N30G01Z-0.100F100.", "N40G00Z1.000",
      "N50G00X12.000Y5.000", "N60G01Z-0.200F100."},
     {"N10G00Z1.000", "N20G00X10.000Y5.000", "G00 Z0.050000", "N30G01Z-0.100F100.", "N40G00Z1.000",
      "N50G00X12.000Y5.000", "G00 Z-0.080000", "N60G01Z-0.200F100."}},
    {"RapidToOriginIsBothClearanceAndRapid",
     {"G00X0.000Y0.000", "G01Z-0.100F100."},
     {"G00X0.000Y0.000", "G00 Z0.050000", "G01Z-0.100F100."}},
    {"OriginAfterThePlungeOnItsLineCountsForTheNext",
     {"G00X1.", "G01Z-0.100F100X0.000Y0.000", "G00X1.", "G01Z-0.200F100"},
     {"G00X1.", "G01Z-0.100F100X0.000Y0.000", "G00X1.", "G00 Z-0.080000", "G01Z-0.200F100"}},
    {"NoRapidXYNoApproach",
     {"G00Z1.000", "G01Z-0.100F50", "G00Z1.", "G00X1.", "G01Z-0.200F50"},
     {"G00Z1.000", "G01Z-0.100F50", "G00Z1.", "G00X1.", "G00 Z-0.080000", "G01Z-0.200F50"}},
    {"SameDepthGetsTheSameApproach",
     {"G00Z1.", "G00X1.", "G01Z-0.5F9", "G01X2.", "G00Z1.", "G00X1.", "G01Z-1.0F9", "G01X2.",
      "G00Z1.", "G00X3.", "G01Z-1.0F9"},
     {"G00Z1.", "G00X1.", "G00 Z0.050000", "G01Z-0.5F9", "G01X2.", "G00Z1.", "G00X1.",
      "G00 Z-0.480000", "G01Z-1.0F9", "G01X2.", "G00Z1.", "G00X3.", "G00 Z-0.480000",
      "G01Z-1.0F9"}},
    {"ShallowerPlungeStartsANewSeries",
     {"G00Z1.", "G00X1.", "G01Z-1.0F9", "G01X2.", "G00Z1.", "G00X1.", "G01Z-0.5F9", "G01X2.",
      "G00Z1.", "G00X1.", "G01Z-0.8F9"},
     {"G00Z1.", "G00X1.", "G00 Z0.050000", "G01Z-1.0F9", "G01X2.", "G00Z1.", "G00X1.",
      "G00 Z0.050000", "G01Z-0.5F9", "G01X2.", "G00Z1.", "G00X1.", "G00 Z-0.480000", "G01Z-0.8F9"}},
    {"CommentsCount",
     {"(G00Z5.)", "(G00X1.)", "G01Z-0.1F9"},
     {"(G00Z5.)", "(G00X1.)", "G00 Z0.050000", "G01Z-0.1F9"}},
    {"NearMissesAreNotPatterns",
     {"G00 Z1.0", "G0Z1.0", "G00Z-1.0", "G00Z+5.", "G00Z.5", "G00X1.", "G01Z-0.1F9", "G00Z1.",
      "G00X1.", "g01z-0.1", "G01 Z-0.1", "G1Z-0.1", "G00 X1.", "G0X1.", "X0.000Y0.00",
      "G01Z-0.2F9"},
     {"G00 Z1.0", "G0Z1.0", "G00Z-1.0", "G00Z+5.", "G00Z.5", "G00X1.", "G01Z-0.1F9", "G00Z1.",
      "G00X1.", "g01z-0.1", "G01 Z-0.1", "G1Z-0.1", "G00 X1.", "G0X1.", "X0.000Y0.00",
      "G00 Z-0.080000", "G01Z-0.2F9"}},
    {"TwoPlungesOnOneLineGetOneApproachInFront",
     {"G00Z1.", "G00X1.", "G01Z-0.100F100G01Z-0.200F100", "G01X5.", "G00Z1.", "G00X1.",
      "G01Z-0.3F1"},
     {"G00Z1.", "G00X1.", "G00 Z0.050000", "G01Z-0.100F100G01Z-0.200F100", "G01X5.", "G00Z1.",
      "G00X1.", "G00 Z-0.080000", "G01Z-0.3F1"}},
    {"SecondPlungeOfALineQualifiesAfterItsOwnRetractAndRapid",
     {"G01Z-0.100F100G00Z5.G00X1.G01Z-0.200F100", "G01X5.", "G00Z1.", "G00X1.", "G01Z-0.3F1"},
     {"G00 Z-0.080000", "G01Z-0.100F100G00Z5.G00X1.G01Z-0.200F100", "G01X5.", "G00Z1.", "G00X1.",
      "G00 Z-0.180000", "G01Z-0.3F1"}},
    {"DepthComesFromThePlungeNotAnEarlierMinus",
     {"G00Z1.", "G00X1.", "X-5.G01Z-0.5F100", "G01X5.", "G00Z1.", "G00X1.", "X-6.G01Z-0.7F100"},
     {"G00Z1.", "G00X1.", "G00 Z0.050000", "X-5.G01Z-0.5F100", "G01X5.", "G00Z1.", "G00X1.",
      "G00 Z-0.480000", "X-6.G01Z-0.7F100"}},
    {"UnreadableFirstDepthCountsAsZero",
     {"G00Z1.", "G00X1.", "G01Z-F100", "G01X5.", "G00Z1.", "G00X1.", "G01Z-0.1F9"},
     {"G00Z1.", "G00X1.", "G00 Z0.050000", "G01Z-F100", "G01X5.", "G00Z1.", "G00X1.",
      "G00 Z0.020000", "G01Z-0.1F9"}},
    {"UnreadableLaterDepthRepeatsTheLast",
     {"G01Z-0.5F9", "G00Z1.", "G00X1.", "G01Z-F100", "G01X5.", "G00Z1.", "G00X1.", "G01Z-0.7F9"},
     {"G01Z-0.5F9", "G00Z1.", "G00X1.", "G00 Z0.050000", "G01Z-F100", "G01X5.", "G00Z1.", "G00X1.",
      "G00 Z-0.480000", "G01Z-0.7F9"}},
    {"NoExponentInADepth",
     {"G01Z-1E2F9", "G00Z1.", "G00X1.", "G01Z-2F9"},
     {"G01Z-1E2F9", "G00Z1.", "G00X1.", "G00 Z-0.980000", "G01Z-2F9"}},
    {"ApproachJustBelowZeroKeepsItsSign",
     {"G01Z-0.0200004F9", "G00Z1.", "G00X1.", "G01Z-0.1F9", "G01Z-0.020F9", "G00Z1.", "G00X1.",
      "G01Z-0.1F9"},
     {"G01Z-0.0200004F9", "G00Z1.", "G00X1.", "G00 Z-0.000000", "G01Z-0.1F9", "G01Z-0.020F9",
      "G00Z1.", "G00X1.", "G00 Z0.000000", "G01Z-0.1F9"}},
    {"SinglePrecisionShowsFromSixteen",
     {"G01Z-16.001F9", "G00Z1.", "G00X1.", "G01Z-17F9", "G01Z-30.3F9", "G00Z1.", "G00X1.",
      "G01Z-31F9"},
     {"G01Z-16.001F9", "G00Z1.", "G00X1.", "G00 Z-15.980999", "G01Z-17F9", "G01Z-30.3F9", "G00Z1.",
      "G00X1.", "G00 Z-30.279999", "G01Z-31F9"}},
    {"InfinityAndNanAreNoDepths",
     {"G00Z1.", "G00X1.", "G01Z-0.5F9", "G00Z1.", "G00X1.", "G01Z-inf", "G01Z-INFINITY", "G01Z-nan",
      "(G01Z-INFEED)", "G00Z1.", "G00X1.", "G01Z-0.7F9"},
     {"G00Z1.", "G00X1.", "G00 Z0.050000", "G01Z-0.5F9", "G00Z1.", "G00X1.", "G00 Z0.050000",
      "G01Z-inf", "G01Z-INFINITY", "G01Z-nan", "(G01Z-INFEED)", "G00Z1.", "G00X1.",
      "G00 Z-0.480000", "G01Z-0.7F9"}},
    {"IncrementalPlungesAreLeftAlone",
     {"G91", "G00Z1.", "G00X1.", "G01Z-0.5F9", "G00Z1.", "G00X1.", "G01Z-0.5F9"},
     {"G91", "G00Z1.", "G00X1.", "G01Z-0.5F9", "G00Z1.", "G00X1.", "G01Z-0.5F9"}},
    {"BackToAbsoluteStartsFromTheTop",
     {"G00Z1.", "G00X1.", "G01Z-0.5F9", "G91G01Z-0.5F9", "G90G00Z1.", "G00X1.", "G01Z-1.5F9"},
     {"G00Z1.", "G00X1.", "G00 Z0.050000", "G01Z-0.5F9", "G91G01Z-0.5F9", "G90G00Z1.", "G00X1.",
      "G00 Z0.050000", "G01Z-1.5F9"}},
    // The approach would run in the mode at the start of the line: none where
    // the line leaves incremental mode.
    {"LastDistanceWordOfALineHoldsForAllOfIt",
     {"G00Z1.", "G00X1.", "G01Z-0.5F9G91", "G00Z1.", "G00X1.", "G01Z-0.5F9G91G90", "G00Z1.",
      "G00X1.", "G01Z-0.7F9G91G90"},
     {"G00Z1.", "G00X1.", "G01Z-0.5F9G91", "G00Z1.", "G00X1.", "G01Z-0.5F9G91G90", "G00Z1.",
      "G00X1.", "G00 Z-0.480000", "G01Z-0.7F9G91G90"}},
    {"NoApproachInFrontOfALineThatLeavesIncrementalMode",
     {"G00Z1.", "G00X1.", "G01Z-1.F100", "G01X2.", "G91G00Z0.1", "G00X0.", "G90G01Z-2.F100", "G91",
      "G00Z1.", "G00X1.", "G90", "G01Z-3.F100"},
     {"G00Z1.", "G00X1.", "G00 Z0.050000", "G01Z-1.F100", "G01X2.", "G91G00Z0.1", "G00X0.",
      "G90G01Z-2.F100", "G91", "G00Z1.", "G00X1.", "G90", "G00 Z-1.980000", "G01Z-3.F100"}},
    {"DistanceLookalikesDoNotSwitch",
     {"G91.1", "G910", "(G91)", "G00Z1.", "G00X1.", "G01Z-0.5F9"},
     {"G91.1", "G910", "(G91)", "G00Z1.", "G00X1.", "G00 Z0.050000", "G01Z-0.5F9"}},
};

INSTANTIATE_TEST_SUITE_P(Rules, ScannerCases, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// With a gap or first height of its own, an approach ends at least the gap
// above the pass below it, in the six decimals it is written with, wherever
// single precision would round the pass down onto it or below it. The
// defaults keep the heights they have always had.
TEST(PlungeScanner, OtherHeightsKeepTheWholeGap) {
  struct HeightCase {
    const char* name;
    Heights heights;
    std::string first;
    std::string second;
    std::string approach;  // in front of the second plunge
  };
  const HeightCase cases[] = {
      {"OnThePassInFloat", {0.000001, 0.05}, "-16.002", "-16.004", "G00 Z-16.001999"},
      {"BelowThePassInFloat", {0.000001, 0.05}, "-32.004", "-32.008", "G00 Z-32.003999"},
      {"FarFromZero", {0.01, 0.05}, "-100.0015", "-101", "G00 Z-99.991500"},
      {"SevenDecimalsRoundUp", {0.000001, 0.05}, "-1.2345678", "-1.3", "G00 Z-1.234566"},
      {"AGapWithMoreDecimals", {0.0000001, 0.05}, "-1.", "-2.", "G00 Z-0.999999"},
      {"AFirstHeightOfItsOwn", {0.02, 0.5}, "-16.002", "-16.004", "G00 Z-15.982000"},
      {"TheDefaults", {}, "-16.001", "-17", "G00 Z-15.980999"},
      {"TheDefaultsShortOfTheGap", {0.02, 0.05}, "-32.004", "-32.008", "G00 Z-31.984002"},
  };
  for (const HeightCase& c : cases) {
    const Lines out = rewrite(
        {"G00Z1.", "G00X1.", "G01Z" + c.first + "F9", "G00X2.", "G00Z1.", "G01Z" + c.second + "F9"},
        c.heights);
    ASSERT_EQ(out.size(), 8u) << c.name;
    EXPECT_EQ(out[6], c.approach) << c.name;
  }
  const Lines tiny = rewrite({"G00Z1.", "G00X1.", "G01Z-1.F9"}, Heights{0.02, 0.0000001});
  EXPECT_EQ(tiny[2], "G00 Z0.000001");
}

TEST(PlungeScanner, ApproachAfterRetractWatchesOnlyTheNextLineStart) {
  PlungeScanner scanner;
  for (const char* line : {"G00Z1.\n", "G00X1.\n", "G01Z-0.5F9\n", "G01X5.\n"}) {
    scanner.scanLine(line);
  }
  EXPECT_FLOAT_EQ(scanner.rule().lastDepth(), -0.5f);
  // The watch ended at the start of "G01X5.", so this retract does not reset.
  scanner.scanLine("G00Z1.\n");
  EXPECT_FLOAT_EQ(scanner.rule().lastDepth(), -0.5f);
  EXPECT_FLOAT_EQ(scanner.rule().previousDepth(), 0.03f);
}

TEST(PlungeScanner, AStretchWithoutLineEndIsContinuedByTheNext) {
  PlungeScanner scanner;
  // The moves of both pieces count, but the plunge in the second comes after
  // its line's start was written: no approach there.
  EXPECT_TRUE(scanner.scanLine("G00Z1.G00X1.").empty());
  EXPECT_TRUE(scanner.scanLine("G01Z-0.5F9\n").empty());
  EXPECT_FLOAT_EQ(scanner.rule().lastDepth(), -0.5f);
  scanner.scanLine("G00Z1.G00X1.\n");
  EXPECT_EQ(scanner.scanLine("G01Z-0.7F9\n"), "G00 Z-0.480000");
  // A pattern cut short by the end of a stretch is not one.
  EXPECT_TRUE(scanner.scanLine("G00Z").empty());
  EXPECT_TRUE(scanner.scanLine("1.\nG00X1.\nG01Z-0.9F9\n").empty());
}

TEST(PlungeScanner, StartsWithTheInitialDepths) {
  PlungeScanner scanner;
  EXPECT_EQ(scanner.rule().lastDepth(), 0.03f);
  EXPECT_EQ(scanner.rule().previousDepth(), 0.03f);
  EXPECT_EQ(scanner.rule().plungeDepth(), 0.0f);
  scanner.scanLine("G01Z-F100\n");
  EXPECT_EQ(scanner.rule().previousDepth(), 0.03f);
  EXPECT_EQ(scanner.rule().lastDepth(), 0.0f);
}

// Depths are read as a decimal reader rounds them to a float, bit for bit.
TEST(PlungeScanner, ReadsDepthsAsTheDecimalRoundsToAFloat) {
  std::mt19937 random(11);
  for (int i = 0; i < 200000; ++i) {
    const std::string digits = std::to_string(random() % 100000000);
    const size_t point = random() % (digits.size() + 1);
    std::string depth = "-";
    depth.append(digits, 0, point).append(".").append(digits, point);
    float expected = 0.0f;
    std::from_chars(depth.data(), depth.data() + depth.size(), expected, std::chars_format::fixed);
    PlungeScanner scanner;
    scanner.scanLine("G01Z" + depth + "F9\n");
    ASSERT_EQ(std::bit_cast<uint64_t>(scanner.rule().plungeDepth()),
              std::bit_cast<uint64_t>(static_cast<double>(expected)))
        << depth;
  }
}

}  // namespace
