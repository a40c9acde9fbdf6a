#include "stream/byte_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Every length and alignment around the 16-byte steps, against plain loops.
TEST(ByteSearch, AgreesWithPlainLoops) {
  std::mt19937 random(7);
  const std::string alphabet = "GX0\r\nab\x1AZ-19.Y";
  for (int round = 0; round < 4000; ++round) {
    const size_t length = round % 110;
    std::string text(length + 2, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    const char* begin = text.data() + 1;  // stray bytes on both sides must not count
    const char* end = begin + length;

    std::vector<const char*> expected;
    std::vector<const char*> got;
    for (const char* p = begin; p < end; ++p) {
      if (patternStartsAt(p, end)) expected.push_back(p);
    }
    forEachPatternStart(begin, end, [&](const char* at) {
      got.push_back(at);
      return false;
    });
    EXPECT_EQ(got, expected) << text;
#if defined(TARVELIN_AVX2)
    // The wide look that the loop above takes on this processor, if it can,
    // held to the narrow one that every x86-64 processor takes.
    if (hasAvx2() && length >= 36) {
      EXPECT_EQ(patternStarts32(begin), patternStarts16(begin) | patternStarts16(begin + 16) << 16)
          << text;
    }
    if (hasAvx512() && length >= 68) {
      EXPECT_EQ(patternStarts64(begin),
                patternStarts32(begin) | uint64_t{patternStarts32(begin + 32)} << 32)
          << text;
    }
#endif

    for (const char* from = begin; from <= end; ++from) {
      EXPECT_EQ(findEither(from, end, '\r', '\x1A'), findEitherPlain(from, end, '\r', '\x1A'))
          << text;
    }

    // Where a CR and LF are out of step, or where the first 0x1A stands, if that is sooner.
    const char* unpaired = end;
    for (const char* p = begin; p + 1 < end && unpaired == end; ++p) {
      if ((*p == '\r') != (p[1] == '\n')) unpaired = *p == '\r' ? p : p + 1;
    }
    const char* stop = std::find(begin, end, '\x1A');
    if (stop <= unpaired) unpaired = stop;
    EXPECT_EQ(findUnpairedPlain(begin, end, '\r', '\n', '\x1A'), unpaired) << text;
    EXPECT_EQ(findUnpaired(begin, end, '\r', '\n', '\x1A'), unpaired) << text;
  }
}

// The wide versions of a search, each beside the name the test reports.
template <typename Function>
std::vector<std::pair<std::string, Function*>> versions(Function* sse2, Function* avx2,
                                                        Function* avx512 = nullptr) {
  std::vector<std::pair<std::string, Function*>> all;
  if (sse2 != nullptr) all.emplace_back("sse2", sse2);
  if (avx2 != nullptr && hasAvx2()) all.emplace_back("avx2", avx2);
  if (avx512 != nullptr && hasAvx512()) all.emplace_back("avx512", avx512);
  return all;
}

using FindUnpaired = const char*(const char*, const char*, char, char, char);
using ExpandLineFeeds = char*(const char*, const char*, char*);

#if defined(__SSE2__)
FindUnpaired* const kUnpairedSse2 = findUnpairedSse2;
ExpandLineFeeds* const kExpandSse2 = expandLineFeedsSse2;
#else
FindUnpaired* const kUnpairedSse2 = nullptr;
ExpandLineFeeds* const kExpandSse2 = nullptr;
#endif
#if defined(TARVELIN_AVX2)
FindUnpaired* const kUnpairedAvx2 = findUnpairedAvx2;
ExpandLineFeeds* const kExpandAvx2 = expandLineFeedsAvx2;
#else
FindUnpaired* const kUnpairedAvx2 = nullptr;
ExpandLineFeeds* const kExpandAvx2 = nullptr;
#endif

// Random text of CRs, LFs and letters, with lines short and long, either side
// of the 16-, 32- and 64-byte steps.
std::string randomText(unsigned seed, size_t length) {
  std::mt19937 random(seed);
  const std::string alphabets[] = {"\r\nab", "\nGX01234", "\r\nabcdefghijklmnopqrstuvwxyz",
                                   "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\n",
                                   std::string(200, 'a') + "\r\n\x1A"};
  const std::string& alphabet = alphabets[random() % std::size(alphabets)];
  std::string text(length, ' ');
  std::generate(text.begin(), text.end(), [&] { return alphabet[random() % alphabet.size()]; });
  return text;
}

// Each wide loop over texts held in buffers of their exact size, so that the
// sanitizer catches a read past either end, against the plain loop.
TEST(ByteSearch, WideVersionsAgreeWithPlainLoops) {
  for (unsigned round = 0; round < 6000; ++round) {
    const std::string text = randomText(round, round % 400);
    const std::vector<char> input(text.begin(), text.end());
    const char* begin = input.data();
    const char* end = begin + input.size();
    for (const auto& [name, find] : versions(kUnpairedSse2, kUnpairedAvx2)) {
      EXPECT_EQ(find(begin, end, '\r', '\n', '\x1A'),
                findUnpairedPlain(begin, end, '\r', '\n', '\x1A'))
          << name << " " << testing::PrintToString(text);
    }
    EXPECT_EQ(findEither(begin, end, '\r', '\x1A'), findEitherPlain(begin, end, '\r', '\x1A'))
        << testing::PrintToString(text);
    std::vector<char> expected(2 * text.size() + kExpandSlack);
    expected.resize(
        static_cast<size_t>(expandLineFeedsPlain(begin, end, expected.data()) - expected.data()));
    for (const auto& [name, expand] : versions(kExpandSse2, kExpandAvx2)) {
      std::vector<char> out(2 * text.size() + kExpandSlack);
      out.resize(static_cast<size_t>(expand(begin, end, out.data()) - out.data()));
      EXPECT_EQ(out, expected) << name << " " << testing::PrintToString(text);
    }
  }
}

// Where the wide loops change step: the first byte, the 64-byte groups, the
// last look, and a CR LF pair split by any of them.
TEST(ByteSearch, ExpandsLineFeedsAtEveryBoundary) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const std::string a63(63, 'a');
  const std::string a64(64, 'a');
  const Case cases[] = {
      {"", ""},
      {"\n", "\r\n"},
      {"\r\n", "\r\n"},
      {"\n" + a64, "\r\n" + a64},
      {a63 + "\r\n" + a63, a63 + "\r\n" + a63},
      {a63 + "\n\n" + a63, a63 + "\r\n\r\n" + a63},
      {a64 + "\n" + a63, a64 + "\r\n" + a63},
      {a64 + a63 + "\r\n", a64 + a63 + "\r\n"},
      {a64 + a63 + "\n", a64 + a63 + "\r\n"},
      {a64 + "\r" + a63 + "\n", a64 + "\r" + a63 + "\r\n"},
      {"\r\r\n\n" + a64 + a64 + "\n", "\r\r\n\r\n" + a64 + a64 + "\r\n"},
  };
  for (const Case& c : cases) {
    const std::vector<char> input(c.text.begin(), c.text.end());
    const char* begin = input.data();
    const char* end = begin + input.size();
    std::vector<char> out(2 * c.text.size() + kExpandSlack);
    EXPECT_EQ(std::string(out.data(), expandLineFeedsPlain(begin, end, out.data())), c.expected);
    for (const auto& [name, expand] : versions(kExpandSse2, kExpandAvx2)) {
      EXPECT_EQ(std::string(out.data(), expand(begin, end, out.data())), c.expected)
          << name << " " << testing::PrintToString(c.text);
    }
    EXPECT_EQ(std::string(out.data(), expandLineFeeds(begin, end, out.data())), c.expected);
  }
}

using SkipToPattern = const char*(const char*, const char*, bool*);
#if defined(__SSE2__)
SkipToPattern* const kSkipSse2 = skipToPatternSse2;
#else
SkipToPattern* const kSkipSse2 = nullptr;
#endif
#if defined(TARVELIN_AVX2)
SkipToPattern* const kSkipAvx2 = skipToPatternAvx2;
SkipToPattern* const kSkipAvx512 = skipToPatternAvx512;
#else
SkipToPattern* const kSkipAvx2 = nullptr;
SkipToPattern* const kSkipAvx512 = nullptr;
#endif

// Each wide loop finds every pattern start the plain check finds, where
// they are rare and where they come close together, up to where it stops.
TEST(ByteSearch, SkipsToEveryPatternStart) {
  std::mt19937 random(11);
  const std::string pieces[] = {
      "G01X1.5Y2.5\n", "G01Z-1.F9\n",      "G00Z5.\n",          "G90", "X0.", "G00X",
      "GG01Z-",        "X0.000Y0.000\r\n", std::string(70, 'x')};
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const size_t target = round % 300;
    while (text.size() < target) text += pieces[random() % std::size(pieces)];
    const char* begin = text.data();
    const char* end = begin + text.size();
    for (const auto& [name, skip] : versions(kSkipSse2, kSkipAvx2, kSkipAvx512)) {
      std::vector<const char*> got;
      const char* at = begin;
      for (bool found = true; (at = skip(at, end, &found)), found; ++at) got.push_back(at);
      // `at` is where the wide loop stopped: the rest is the plain check's.
      std::vector<const char*> expected;
      for (const char* p = begin; p < at; ++p) {
        if (patternStartsAt(p, end)) expected.push_back(p);
      }
      EXPECT_EQ(got, expected) << name << " " << text;
      EXPECT_LT(end - at, name == "avx512" ? 68 : name == "avx2" ? 36 : 20) << name << " " << text;
    }
  }
}

TEST(ByteSearch, StopsWhereTheVisitSaysSo) {
  const std::string text = "xxG9xxxxxxxxxxxxxxxxxxG00Xxxxxxxxxxxxxxxxx";
  int visits = 0;
  const char* stop = forEachPatternStart(text.data(), text.data() + text.size(),
                                         [&](const char*) { return ++visits == 2; });
  EXPECT_EQ(stop - text.data(), 22);
  EXPECT_EQ(visits, 2);
}

// Which places may start a compact-style move.
TEST(ByteSearch, PatternStarts) {
  struct Case {
    const char* text;
    bool starts;
  };
  for (const Case& c : {Case{"G00X", true}, Case{"G00Y", true}, Case{"G00Z5", true},
                        Case{"G00 Z", false}, Case{"G01Z-", true}, Case{"G01Z", false},
                        Case{"G01X", false}, Case{"G90", true}, Case{"G9", true}, Case{"G", false},
                        Case{"X0.000Y0.000", true}, Case{"X0", false}, Case{"X1.", false}}) {
    EXPECT_EQ(patternStartsAt(c.text, c.text + std::strlen(c.text)), c.starts) << c.text;
  }
}

}  // namespace
