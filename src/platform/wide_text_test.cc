#include "platform/wide_text.h"

#include <gtest/gtest.h>

namespace {

using platform::longPathForm;
using platform::nameStart;
using platform::toUtf16;
using platform::toUtf8;
using platform::withinBasicPlane;

struct TextCase {
  const char* name;
  std::u16string utf16;
  std::string utf8;
};

class TextCases : public testing::TestWithParam<TextCase> {};

TEST_P(TextCases, ConvertsBothWays) {
  EXPECT_EQ(toUtf8(GetParam().utf16), GetParam().utf8);
  EXPECT_EQ(toUtf16(GetParam().utf8), GetParam().utf16);
}

const TextCase kTextCases[] = {
    {"Ascii", u"C:\\w\\part.nc", "C:\\w\\part.nc"},
    {"DoneMark", u"part\u6E08.ncd", "part\xE6\xB8\x88.ncd"},
    {"Umlauts", u"Gr\u00F6\u00DFe",
     "Gr\xC3\xB6\xC3\x9F"
     "e"},
    {"Hangul", u"\uD55C\uAD6D\uC5B4", "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4"},
    {"SurrogatePairIsOneFourByteCharacter", u"p\xD83D\xDE00", "p\xF0\x9F\x98\x80"},
    {"LastPlane", u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},
    {"UnpairedSurrogatesKeepTheirThreeBytes",
     u"\xDE00\xD83D"
     "a\xD83D",
     "\xED\xB8\x80\xED\xA0\xBD"
     "a\xED\xA0\xBD"},
    {"Empty", u"", ""},
};

INSTANTIATE_TEST_SUITE_P(WideText, TextCases, testing::ValuesIn(kTextCases),
                         [](const testing::TestParamInfo<TextCase>& info) {
                           return info.param.name;
                         });

TEST(WideText, InvalidUtf8BecomesReplacementCharacters) {
  // A stray continuation byte, an overlong '/', a cut sequence, a value past U+10FFFF.
  EXPECT_EQ(toUtf16("a\x80"
                    "b\xC0\xAF"
                    "c\xE6\xB8"
                    "d\xF4\x90\x80\x80"),
            u"a\uFFFDb\uFFFD\uFFFDc\uFFFD\uFFFDd\uFFFD\uFFFD\uFFFD\uFFFD");
}

TEST(WideText, OneMarkForEachCharacterBeyondTheBasicPlane) {
  EXPECT_EQ(withinBasicPlane(u"p\xD83D\xDE00 \uD55C\xDE00\xD83D"), u"p? \uD55C??");
}

TEST(WideText, LongPathForm) {
  EXPECT_EQ(longPathForm(u"C:\\w\\part.nc"), u"\\\\?\\C:\\w\\part.nc");
  EXPECT_EQ(longPathForm(u"\\\\server\\share\\p.nc"), u"\\\\?\\UNC\\server\\share\\p.nc");
  EXPECT_EQ(longPathForm(u"\\\\?\\C:\\w\\p.nc"), u"\\\\?\\C:\\w\\p.nc");
  EXPECT_EQ(longPathForm(u"\\\\.\\pipe\\p"), u"\\\\.\\pipe\\p");
}

TEST(WideText, WhereTheFileNameStarts) {
  for (const auto& [path, start] :
       {std::pair{u"a.nc.", 0}, std::pair{u"D:a.nc", 2}, std::pair{u"C:\\w\\a.nc ", 5},
        std::pair{u"d/cam.out/p", 10}, std::pair{u"\\\\?\\C:\\p", 7}, std::pair{u"1:p", 0}}) {
    EXPECT_EQ(nameStart(path), static_cast<size_t>(start)) << start;
  }
}

}  // namespace
