#include "rewrite/byte_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Every length and alignment around the 16-byte steps, against plain loops.
TEST(ByteSearch, AgreesWithPlainLoops) {
  std::mt19937 random(7);
  const std::string alphabet = "GX0\r\nab";
  for (int round = 0; round < 4000; ++round) {
    const size_t length = round % 70;
    std::string text(length + 2, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    const char* begin = text.data() + 1;  // stray bytes on both sides must not count
    const char* end = begin + length;

    std::vector<const char*> expected;
    std::vector<const char*> got;
    for (const char* p = begin; p < end; ++p) {
      if (*p == 'G' || (*p == 'X' && p + 1 < end && p[1] == '0')) expected.push_back(p);
    }
    forEachCandidate(begin, end, 'G', 'X', '0', [&](const char* at) {
      got.push_back(at);
      return false;
    });
    EXPECT_EQ(got, expected) << text;

    expected.clear();
    got.clear();
    for (const char* p = begin; p < end; ++p) {
      if (*p == '\r' || *p == '\n') expected.push_back(p);
    }
    forEachMatch(begin, end, '\r', '\n', [&](const char* at) {
      got.push_back(at);
      return false;
    });
    EXPECT_EQ(got, expected) << text;

    const char* unpaired = end;
    for (const char* p = begin; p + 1 < end && unpaired == end; ++p) {
      if ((*p == '\r') != (p[1] == '\n')) unpaired = *p == '\r' ? p : p + 1;
    }
    EXPECT_EQ(findUnpaired(begin, end, '\r', '\n'), unpaired) << text;

    const char* unpreceded = end;
    for (const char* p = begin; p < end && unpreceded == end; ++p) {
      if (*p == '\n' && (p == begin || p[-1] != '\r')) unpreceded = p;
    }
    EXPECT_EQ(findUnpreceded(begin, end, '\r', '\n'), unpreceded) << text;
  }
}

TEST(ByteSearch, StopsWhereTheVisitSaysSo) {
  const std::string text = "xxGxxxxxxxxxxxxxxxxxxxGxxxxxxG";
  int visits = 0;
  const char* stop = forEachCandidate(text.data(), text.data() + text.size(), 'G', 'X', '0',
                                      [&](const char*) { return ++visits == 2; });
  EXPECT_EQ(stop - text.data(), 22);
  EXPECT_EQ(visits, 2);
}

}  // namespace
