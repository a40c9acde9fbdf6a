#include "app/options.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, OptionsStandAnywhereBeforeADoubleDash) {
  CommandLine line;
  ASSERT_EQ(
      readCommandLine({"--words", "a.nc", "--gap=0.1", "-", "", "--", "--first=1", "--"}, &line),
      "");
  EXPECT_EQ(line.choices.words, true);
  EXPECT_EQ(line.choices.gap, 0.1);
  EXPECT_FALSE(line.choices.first.has_value());
  EXPECT_EQ(line.files, (std::vector<std::string>{"a.nc", "-", "", "--first=1", "--"}));
}

TEST(CommandLine, StandardOutputIsChosenEvenAfterABadOption) {
  CommandLine line;
  EXPECT_FALSE(readCommandLine({"--gap=0", "--stdout", "--bogus", "a.nc"}, &line).empty());
  EXPECT_TRUE(line.toStandardOutput);
}

TEST(CommandLine, LaterChoicesWin) {
  CommandLine line;
  ASSERT_EQ(readCommandLine({"--gap=0.1", "--gap=+.5", "--words", "--words=NO"}, &line), "");
  EXPECT_EQ(line.choices.gap, 0.5);
  EXPECT_EQ(line.choices.words, false);
  EXPECT_TRUE(line.files.empty());
}

TEST(Settings, LinesEndInLfCrLfOrCr) {
  for (const char* text :
       {"gap=0.1\nfirst=1\nbad\n", "gap=0.1\r\nfirst=1\r\nbad\r\n", "gap=0.1\rfirst=1\rbad\r"}) {
    SettingChoices choices;
    EXPECT_EQ(readSettings(text, "t.ini", &choices),
              "設定ファイル「t.ini」の3行目が正しくありません。\n")
        << text;
    EXPECT_EQ(choices.first, 1.0);
  }
}

TEST(Settings, FileFirstThenCommandLine) {
  SettingChoices file;
  ASSERT_EQ(readSettings("gap=0.1\nfirst = 0.5\n# words = yes\nSummary = YES\n", "t.ini", &file),
            "");
  CommandLine line;
  ASSERT_EQ(readCommandLine({"--first=2.", "--summary", "--summary=no"}, &line), "");
  RunSettings settings;
  file.applyTo(&settings);
  EXPECT_TRUE(settings.summary);
  line.choices.applyTo(&settings);
  EXPECT_FALSE(settings.rewrite.words);
  EXPECT_EQ(settings.rewrite.heights.gap, 0.1);
  EXPECT_EQ(settings.rewrite.heights.first, 2.0);
  EXPECT_FALSE(settings.summary);
}

}  // namespace
