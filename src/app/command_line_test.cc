#include "app/command_line.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using Args = std::vector<std::string>;

platform::LeadByteTable cp932() {
  platform::LeadByteTable lead{};
  for (int b = 0x81; b <= 0xFC; ++b) lead[b] = b <= 0x9F || b >= 0xE0;
  return lead;
}

struct SplitCase {
  const char* name;
  std::string line;
  Args expected;
};

class SplitCases : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCases, SplitsLikeTheDesktopPassesFiles) {
  EXPECT_EQ(splitCommandLine(GetParam().line, cp932()), GetParam().expected);
}

const SplitCase kSplitCases[] = {
    {"ProgramOnly", "C:\\t\\tarvelin.exe", {}},
    {"Empty", "", {}},
    {"QuotedProgramWithBlanks", "\"C:\\my tools\\t.exe\" a.nc", {"a.nc"}},
    {"TextAfterClosingQuoteStartsFirstArgument", "\"t.exe\"a.nc b", {"a.nc", "b"}},
    {"BlanksAndTabsSeparate", "t.exe  a\t\tb \t", {"a", "b"}},
    {"QuotedPathWithBlanks", "t.exe \"C:\\My Files\\part 7.nc\"", {"C:\\My Files\\part 7.nc"}},
    {"PiecesJoin", "t a\"b c\"d", {"ab cd"}},
    {"EmptyQuotes", "t \"\" x", {"", "x"}},
    {"EscapedQuote", "t a\\\"b \"c\\\"d\"", {"a\"b", "c\"d"}},
    {"OtherBackslashesStay", "t a\\\\b c\\", {"a\\\\b", "c\\"}},
    {"UnclosedQuoteRunsToTheEnd", "t \"a b", {"a b"}},
    {"BackslashBeforeClosingQuoteKeepsItOpen", "t \"C:\\dir\\\" next", {"C:\\dir\" next"}},
    {"DoubleQuotesInsideToggle", "t \"a\"\"b\"", {"ab"}},
    {"NoWildcards", "t *.nc ?", {"*.nc", "?"}},
    {"SecondByteBackslashBeforeQuote", "t \"\x95\\\" x", {"\x95\\", "x"}},
    {"LeadByteInProgramName", "\x95\\\" a", {"a"}},
    {"LoneLeadByteAtTheEnd", "t a\x95", {"a\x95"}},
};

INSTANTIATE_TEST_SUITE_P(CommandLine, SplitCases, testing::ValuesIn(kSplitCases),
                         [](const testing::TestParamInfo<SplitCase>& info) {
                           return info.param.name;
                         });

TEST(CommandLine, WithoutLeadBytesABackslashBeforeAQuoteIsAnEscape) {
  EXPECT_EQ(splitCommandLine("t \"\x95\\\" x", platform::LeadByteTable{}), Args{"\x95\" x"});
}

struct SearchCase {
  const char* name;
  Args environment;
  std::set<std::string> existing;
  std::string expected;
};

class SearchCases : public testing::TestWithParam<SearchCase> {};

TEST_P(SearchCases, FindsTheCommandProcessor) {
  const SearchCase& c = GetParam();
  const auto exists = [&](const std::string& path) { return c.existing.contains(path); };
  EXPECT_EQ(findCommandProcessor(c.environment, exists), c.expected);
}

const SearchCase kSearchCases[] = {
    {"ComspecWins", {"PATH=C:\\W", "ComSpec=C:\\W\\cmd.exe"}, {"CMD.EXE"}, "C:\\W\\cmd.exe"},
    {"ComspecNameIsNotAPrefix", {"COMSPECX=no", "COMSPE=no"}, {}, ""},
    {"CurrentDirectoryBeforePath", {"PATH=C:\\A"}, {"CMD.EXE", "C:\\A\\CMD.EXE"}, "CMD.EXE"},
    {"FirstPathEntryThatHasIt",
     {"Path=C:\\A;;\"C:\\B C\";D:\\"},
     {"C:\\B C\\CMD.EXE", "D:\\CMD.EXE"},
     "C:\\B C\\CMD.EXE"},
    {"TrailingSeparatorKept", {"PATH=D:\\"}, {"D:\\CMD.EXE"}, "D:\\CMD.EXE"},
    {"EmptyComspecSearches", {"COMSPEC=", "PATH=C:\\A"}, {"C:\\A\\CMD.EXE"}, "C:\\A\\CMD.EXE"},
    {"NothingFound", {"PATH=C:\\A"}, {}, ""},
};

INSTANTIATE_TEST_SUITE_P(CommandProcessor, SearchCases, testing::ValuesIn(kSearchCases),
                         [](const testing::TestParamInfo<SearchCase>& info) {
                           return info.param.name;
                         });

}  // namespace
