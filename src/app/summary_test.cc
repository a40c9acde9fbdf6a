#include "app/summary.h"

#include <gtest/gtest.h>

namespace {

// Every form the line takes, in both languages: counts, units, grouping,
// rounding to seconds, minutes and hours, and the marks for what was not known.
TEST(Summary, SaysWhatTheRewriteSaves) {
  struct Case {
    const char* name;
    Savings savings;
    bool words;
    const char* japanese;
    const char* english;
  };
  const Case cases[] = {
      {"None", {}, true, "  早送りを入れる所はありませんでした\n", "  No approach went in\n"},
      {"CompactCountsOnly",
       {.approaches = 12345, .belowFirst = 0, .millimetres = 9},
       false,
       "  早送りを 12,345か所に入れました\n",
       "  12,345 approaches went in\n"},
      {"OneBelowNone",
       {.approaches = 1, .millimetres = 4.95, .minutes = 0.0495},
       true,
       "  早送りを 1か所に入れました。空中の切削送り 5.0 mm、約 3秒の短縮です\n",
       "  1 approach went in: 5.0 mm of feed through air made rapid, about 3 s saved\n"},
      {"UnderASecond",
       {.approaches = 2, .belowFirst = 1, .millimetres = 0.4, .minutes = 0.008},
       true,
       "  早送りを 2か所に入れました (最初の高さより下へ 1か所)。空中の切削送り 0.4 mm、1秒未満の"
       "短縮です\n",
       "  2 approaches went in (1 below the first height): 0.4 mm of feed through air made "
       "rapid, under 1 s saved\n"},
      {"MinutesFromAMinuteOn",
       {.approaches = 40, .belowFirst = 30, .millimetres = 1234.56, .minutes = 4.2},
       true,
       "  早送りを 40か所に入れました (最初の高さより下へ 30か所)。空中の切削送り 1,234.6 mm、約 "
       "4分12秒の短縮です\n",
       "  40 approaches went in (30 below the first height): 1,234.6 mm of feed through air made "
       "rapid, about 4 min 12 s saved\n"},
      {"HoursFromAnHourOn",
       {.approaches = 120000, .belowFirst = 1000, .millimetres = 1200000, .minutes = 12000.5},
       true,
       "  早送りを 120,000か所に入れました (最初の高さより下へ 1,000か所)。空中の切削送り "
       "1,200,000.0 mm、約 200時間1分の短縮です\n",
       "  120,000 approaches went in (1,000 below the first height): 1,200,000.0 mm of feed "
       "through air made rapid, about 200 h 1 min saved\n"},
      {"Inches",
       {.approaches = 2, .belowFirst = 1, .inches = 0.95, .minutes = 0.0955},
       true,
       "  早送りを 2か所に入れました (最初の高さより下へ 1か所)。空中の切削送り 0.95インチ、約 "
       "6秒の短縮です\n",
       "  2 approaches went in (1 below the first height): 0.95 in of feed through air made "
       "rapid, about 6 s saved\n"},
      {"EachUnitApart",
       {.approaches = 3, .millimetres = 1, .inches = 1, .unnamedUnits = 2, .minutes = 1.0},
       true,
       "  早送りを 3か所に入れました。空中の切削送り 1.0 mm + 1.00インチ + 2.0 "
       "(プログラムの単位)、約 1分0秒の短縮です\n",
       "  3 approaches went in: 1.0 mm + 1.00 in + 2.0 (program units) of feed through air made "
       "rapid, about 1 min 0 s saved\n"},
      {"TimeNotAllKnownIsRoundedDown",
       {.approaches = 2, .millimetres = 9.9, .minutes = 0.0658, .timeUnknown = true},
       true,
       "  早送りを 2か所に入れました。空中の切削送り 9.9 mm、3秒以上の短縮です\n",
       "  2 approaches went in: 9.9 mm of feed through air made rapid, at least 3 s saved\n"},
      {"HoursNotAllKnown",
       {.approaches = 9, .millimetres = 1, .minutes = 61.99, .timeUnknown = true},
       true,
       "  早送りを 9か所に入れました。空中の切削送り 1.0 mm、1時間1分以上の短縮です\n",
       "  9 approaches went in: 1.0 mm of feed through air made rapid, at least 1 h 1 min saved\n"},
      {"NoTimeKnown",
       {.approaches = 1, .unnamedUnits = 4.95, .minutes = 0.01, .timeUnknown = true},
       true,
       "  早送りを 1か所に入れました。空中の切削送り 5.0 (プログラムの単位) "
       "の短縮です (送り時間は分かりません)\n",
       "  1 approach went in: 5.0 (program units) of feed through air made rapid (its feed time "
       "is not known)\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(summaryLine(c.savings, c.words, textsIn(platform::Language::japanese)), c.japanese)
        << c.name;
    EXPECT_EQ(summaryLine(c.savings, c.words, textsIn(platform::Language::english)), c.english)
        << c.name;
  }
}

}  // namespace
