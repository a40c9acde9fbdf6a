#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using platform::findCommandProcessor;
using platform::splitCommandLine;
using Args = std::vector<std::u16string>;

struct SplitCase {
  const char* name;
  std::u16string line;
  Args expected;
};

class SplitCases : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCases, SplitsLikeTheDesktopPassesFiles) {
  EXPECT_EQ(splitCommandLine(GetParam().line), GetParam().expected);
}

// "表" is 95 5C in code page 932: a narrow line could take its second byte for
// a backslash; "😀" is the surrogate pair D83D DE00.
const SplitCase kSplitCases[] = {
    {"ProgramOnly", u"C:\\t\\tarvelin.exe", {}},
    {"Empty", u"", {}},
    {"QuotedProgramWithBlanks", u"\"C:\\my tools\\t.exe\" a.nc", {u"a.nc"}},
    {"TextAfterClosingQuoteStartsFirstArgument", u"\"t.exe\"a.nc b", {u"a.nc", u"b"}},
    {"BlanksAndTabsSeparate", u"t.exe  a\t\tb \t", {u"a", u"b"}},
    {"QuotedPathWithBlanks", u"t.exe \"C:\\My Files\\part 7.nc\"", {u"C:\\My Files\\part 7.nc"}},
    {"PiecesJoin", u"t a\"b c\"d", {u"ab cd"}},
    {"EmptyQuotes", u"t \"\" x", {u"", u"x"}},
    {"EscapedQuote", u"t a\\\"b \"c\\\"d\"", {u"a\"b", u"c\"d"}},
    {"OtherBackslashesStay", u"t a\\\\b c\\", {u"a\\\\b", u"c\\"}},
    {"UnclosedQuoteRunsToTheEnd", u"t \"a b", {u"a b"}},
    {"BackslashBeforeClosingQuoteKeepsItOpen", u"t \"C:\\dir\\\" next", {u"C:\\dir\" next"}},
    {"DoubleQuotesInsideToggle", u"t \"a\"\"b\"", {u"ab"}},
    {"NoWildcards", u"t *.nc ?", {u"*.nc", u"?"}},
    {"DoubleByteCharacterBeforeClosingQuote", u"t \"表\" x", {u"表", u"x"}},
    {"DoubleByteCharacterInProgramName", u"表\" a", {u"a"}},
    {"LoneHighSurrogateAtTheEnd", u"t a\xD83D", {u"a\xD83D"}},
    {"AccentedCharacterThenEscapedQuote", u"t \"é\\\" x", {u"é\" x"}},
    {"SurrogatePairIsOneCharacter", u"t p😀 smile.nc", {u"p😀", u"smile.nc"}},
    {"SurrogatePairInQuotes",
     u"\"C:\\😀\\t.exe\" \"C:\\😀 x\\p😀 smile.nc\"",
     {u"C:\\😀 x\\p😀 smile.nc"}},
    {"SurrogatePairThenEscapedQuote", u"t 😀\\\"😀 \\😀\\", {u"😀\"😀", u"\\😀\\"}},
    {"HangulAndUmlauts", u"t \"한국어 부품.nc\" Größe.nc", {u"한국어 부품.nc", u"Größe.nc"}},
    {"UnpairedSurrogatesStay", u"t \xDE00\xD83D \"\xDE00\"", {u"\xDE00\xD83D", u"\xDE00"}},
};

INSTANTIATE_TEST_SUITE_P(CommandLine, SplitCases, testing::ValuesIn(kSplitCases),
                         [](const testing::TestParamInfo<SplitCase>& info) {
                           return info.param.name;
                         });

struct SearchCase {
  const char* name;
  std::vector<std::string> environment;
  std::string currentDirectory;
  std::set<std::string> existing;
  std::string expected;
};

class SearchCases : public testing::TestWithParam<SearchCase> {};

TEST_P(SearchCases, FindsTheCommandProcessor) {
  const SearchCase& c = GetParam();
  const auto exists = [&](const std::string& path) { return c.existing.contains(path); };
  EXPECT_EQ(findCommandProcessor(c.environment, c.currentDirectory, exists), c.expected);
}

const SearchCase kSearchCases[] = {
    {"ComspecWins",
     {"PATH=C:\\W", "ComSpec=C:\\W\\cmd.exe"},
     "C:\\cur",
     {"C:\\cur\\CMD.EXE"},
     "C:\\W\\cmd.exe"},
    {"ComspecNameIsNotAPrefix", {"COMSPECX=no", "COMSPE=no"}, "C:\\cur", {}, ""},
    {"CurrentDirectoryBeforePath",
     {"PATH=C:\\A"},
     "C:\\cur",
     {"C:\\cur\\CMD.EXE", "C:\\A\\CMD.EXE"},
     "C:\\cur\\CMD.EXE"},
    {"CurrentDirectoryAtTheRoot", {}, "D:\\", {"D:\\CMD.EXE"}, "D:\\CMD.EXE"},
    {"CurrentDirectoryWithDoubleByteEnd", {}, "C:\\表", {"C:\\表\\CMD.EXE"}, "C:\\表\\CMD.EXE"},
    {"FirstPathEntryThatHasIt",
     {"Path=C:\\A;;\"C:\\B C\";D:\\"},
     "C:\\cur",
     {"C:\\B C\\CMD.EXE", "D:\\CMD.EXE"},
     "C:\\B C\\CMD.EXE"},
    {"TrailingSeparatorKept", {"PATH=D:\\"}, "C:\\cur", {"D:\\CMD.EXE"}, "D:\\CMD.EXE"},
    {"EntriesEndingInDoubleByteCharactersGetTheirSeparator",
     {"PATH=C:\\表;C:\\ソ"},
     "C:\\cur",
     {"C:\\ソ\\CMD.EXE"},
     "C:\\ソ\\CMD.EXE"},
    {"EmptyComspecSearches",
     {"COMSPEC=", "PATH=C:\\A"},
     "C:\\cur",
     {"C:\\A\\CMD.EXE"},
     "C:\\A\\CMD.EXE"},
    {"NothingFound", {"PATH=C:\\A"}, "C:\\cur", {"CMD.EXE"}, ""},
};

INSTANTIATE_TEST_SUITE_P(CommandProcessor, SearchCases, testing::ValuesIn(kSearchCases),
                         [](const testing::TestParamInfo<SearchCase>& info) {
                           return info.param.name;
                         });

}  // namespace
