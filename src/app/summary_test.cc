#include "app/summary.h"

#include <gtest/gtest.h>

namespace {

// Each figure of the line: counts, units, rounding to seconds and minutes,
// and the marks for what was not known.
TEST(Summary, SaysWhatTheRewriteSaves) {
  struct Case {
    const char* name;
    Savings savings;
    bool words;
    const char* line;
  };
  const Case cases[] = {
      {"None", {}, true, "  早送りを入れる所はありませんでした\n"},
      {"CompactCountsOnly",
       {.approaches = 12, .belowFirst = 0, .millimetres = 9},
       false,
       "  早送りを 12 か所に入れました\n"},
      {"Millimetres",
       {.approaches = 1, .millimetres = 4.95, .minutes = 0.0495},
       true,
       "  早送りを 1 か所に入れました (最初の高さより下へ 0 か所)。空中の切削送り 5.0 mm、約 "
       "3秒の短縮です\n"},
      {"MinutesFromAMinuteOn",
       {.approaches = 40, .belowFirst = 30, .millimetres = 1234.56, .minutes = 4.2},
       true,
       "  早送りを 40 か所に入れました (最初の高さより下へ 30 か所)。空中の切削送り 1234.6 "
       "mm、約 4分12秒の短縮です\n"},
      {"Inches",
       {.approaches = 2, .belowFirst = 1, .inches = 0.95, .minutes = 0.0955},
       true,
       "  早送りを 2 か所に入れました (最初の高さより下へ 1 か所)。空中の切削送り 0.95 "
       "インチ、約 6秒の短縮です\n"},
      {"EachUnitApart",
       {.approaches = 3, .millimetres = 1, .inches = 1, .unnamedUnits = 2, .minutes = 1.0},
       true,
       "  早送りを 3 か所に入れました (最初の高さより下へ 0 か所)。空中の切削送り 1.0 mm + "
       "1.00 インチ + 2.0 (プログラムの単位)、約 1分0秒の短縮です\n"},
      {"UnnamedUnits",
       {.approaches = 1, .unnamedUnits = 4.95, .minutes = 0.0495},
       true,
       "  早送りを 1 か所に入れました (最初の高さより下へ 0 か所)。空中の切削送り 5.0 "
       "(プログラムの単位)、約 3秒の短縮です\n"},
      {"TimeNotKnown",
       {.approaches = 2, .millimetres = 9.9, .minutes = 0.0495, .timeUnknown = true},
       true,
       "  早送りを 2 か所に入れました (最初の高さより下へ 0 か所)。空中の切削送り 9.9 mm、約 "
       "3秒以上の短縮です\n"},
      {"NoTimeKnown",
       {.approaches = 1, .millimetres = 4.95, .timeUnknown = true},
       true,
       "  早送りを 1 か所に入れました (最初の高さより下へ 0 か所)。空中の切削送り 5.0 mm "
       "の短縮です (送り時間は分かりません)\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(summaryLine(c.savings, c.words), c.line) << c.name;
}

}  // namespace
