#include "app/options.h"

#include <gtest/gtest.h>

#include "platform/wide_text.h"

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

// Returns UTF-8 `text` in UTF-16 with a byte order mark, in either byte order.
std::string inUtf16(std::string_view text, bool littleEndian) {
  std::string bytes;
  for (const char16_t c : u"\uFEFF" + platform::toUtf16(text)) {
    const auto low = static_cast<char>(c & 0xFF);
    const auto high = static_cast<char>(c >> 8);
    bytes += littleEndian ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

// A settings file reads alike however an editor saved it (Notepad's
// "Unicode" is UTF-16 with a byte order mark), and a bad line is named by
// its number in every encoding.
TEST(Settings, ReadAlikeInEveryEncoding) {
  const std::string text = "; 送りの設定\r\nwords = yes\r\n\r\ngap = 0.1\r\nbad\r\n";
  struct Case {
    const char* name;
    std::string file;
    int badLine;
  };
  const Case cases[] = {
      {"UTF-8", text, 5},
      {"UTF-8 with a byte order mark", "\xEF\xBB\xBF" + text, 5},
      {"code page 932", "; \x91\x97\x82\xE8\r\nwords = yes\r\n\r\ngap = 0.1\r\nbad\r\n", 5},
      {"UTF-16 LE", inUtf16(text, true), 5},
      {"UTF-16 BE", inUtf16(text, false), 5},
      {"UTF-16 LE, LF", inUtf16("words = yes\ngap = 0.1\nbad\n", true), 3},
      {"UTF-16 with a byte left over", inUtf16("words = yes\ngap = 0.1\n", true) + "b", 3},
  };
  for (const Case& c : cases) {
    SettingChoices choices;
    EXPECT_EQ(readSettings(c.file, "t.ini", &choices),
              "設定ファイル「t.ini」の" + std::to_string(c.badLine) + "行目が正しくありません。\n")
        << c.name;
    EXPECT_EQ(choices.words, true) << c.name;
    EXPECT_EQ(choices.gap, 0.1) << c.name;
  }
}

TEST(Settings, FileFirstThenCommandLine) {
  SettingChoices file;
  ASSERT_EQ(readSettings("gap=0.1\nfirst = 0.5\n# words = yes\n", "t.ini", &file), "");
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
