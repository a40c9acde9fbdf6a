#include "app/options.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, OptionsStandAnywhereBeforeADoubleDash) {
  CommandLine line;
  ASSERT_FALSE(
      readCommandLine({"--words", "a.nc", "--gap=0.1", "-", "", "--", "--first=1", "--"}, &line));
  EXPECT_EQ(line.choices.words, true);
  EXPECT_EQ(line.choices.gap, 0.1);
  EXPECT_FALSE(line.choices.first.has_value());
  EXPECT_EQ(line.files, (std::vector<std::string>{"a.nc", "-", "", "--first=1", "--"}));
}

// The first bad option is the one reported, but --stdout and --language count
// wherever they stand: they say where and in what words.
TEST(CommandLine, StandardOutputAndLanguageAreChosenEvenAfterABadOption) {
  CommandLine line;
  const BadChoice problem =
      readCommandLine({"--gap=0", "--stdout", "--bogus", "--language=EN", "a.nc"}, &line);
  EXPECT_EQ(problem.kind, BadChoice::Kind::badValue);
  EXPECT_EQ(problem.option, "--gap=0");
  EXPECT_TRUE(line.toStandardOutput);
  EXPECT_EQ(line.choices.language, platform::Language::english);
}

TEST(CommandLine, LaterChoicesWin) {
  CommandLine line;
  ASSERT_FALSE(readCommandLine({"--gap=0.1", "--gap=+.5", "--words", "--words=NO"}, &line));
  EXPECT_EQ(line.choices.gap, 0.5);
  EXPECT_EQ(line.choices.words, false);
  EXPECT_TRUE(line.files.empty());
}

TEST(Settings, LinesEndInLfCrLfOrCr) {
  for (const char* text :
       {"gap=0.1\nfirst=1\nbad\n", "gap=0.1\r\nfirst=1\r\nbad\r\n", "gap=0.1\rfirst=1\rbad\r"}) {
    SettingChoices choices;
    EXPECT_EQ(readSettings(text, &choices).line, 3) << text;
    EXPECT_EQ(choices.first, 1.0);
  }
}

TEST(Settings, FileFirstThenCommandLine) {
  SettingChoices file;
  ASSERT_FALSE(
      readSettings("gap=0.1\nfirst = 0.5\n# words = yes\nSummary = YES\nlanguage = Ja\n", &file));
  CommandLine line;
  ASSERT_FALSE(readCommandLine({"--first=2.", "--summary", "--summary=no"}, &line));
  RunSettings settings;
  file.applyTo(&settings);
  EXPECT_TRUE(settings.summary);
  line.choices.applyTo(&settings);
  EXPECT_FALSE(settings.rewrite.words);
  EXPECT_EQ(settings.rewrite.heights.gap, 0.1);
  EXPECT_EQ(settings.rewrite.heights.first, 2.0);
  EXPECT_FALSE(settings.summary);
  EXPECT_EQ(settings.language, platform::Language::japanese);
}

}  // namespace
