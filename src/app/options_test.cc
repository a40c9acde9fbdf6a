#include "app/options.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, OptionsComeBeforeTheFiles) {
  CommandLine line;
  ASSERT_EQ(readCommandLine({"--words", "--gap=0.1", "a.nc", "--first=1", "-", ""}, &line), "");
  EXPECT_EQ(line.choices.words, true);
  EXPECT_EQ(line.choices.gap, 0.1);
  EXPECT_FALSE(line.choices.first.has_value());
  EXPECT_EQ(line.files, (std::vector<std::string>{"a.nc", "--first=1", "-", ""}));
}

TEST(CommandLine, LaterChoicesWin) {
  CommandLine line;
  ASSERT_EQ(readCommandLine({"--gap=0.1", "--gap=+.5", "--words", "--words=NO"}, &line), "");
  EXPECT_EQ(line.choices.gap, 0.5);
  EXPECT_EQ(line.choices.words, false);
  EXPECT_TRUE(line.files.empty());
}

TEST(Settings, FileFirstThenCommandLine) {
  SettingChoices file;
  ASSERT_EQ(readSettings("gap=0.1\nfirst = -0.5\n# words = yes\n", "t.ini", &file), "");
  CommandLine line;
  ASSERT_EQ(readCommandLine({"--first=2."}, &line), "");
  RewriteSettings settings;
  file.applyTo(&settings);
  line.choices.applyTo(&settings);
  EXPECT_FALSE(settings.words);
  EXPECT_EQ(settings.heights.gap, 0.1);
  EXPECT_EQ(settings.heights.first, 2.0);
}

}  // namespace
