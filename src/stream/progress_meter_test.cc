#include "stream/progress_meter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<int> reports;

void record(int percent) { reports.push_back(percent); }

// From 0 to 100, rising, each percent once: whatever the counts, the reports
// are fit for a progress bar.
TEST(ProgressMeter, ReportsEachPercentReachedOnceRisingToAHundred) {
  struct Case {
    const char* name;
    uint64_t size;
    std::vector<uint64_t> counts;
    std::vector<int> expected;
  } const cases[] = {
      {"nothing to read", 0, {0}, {0, 100}},
      {"all at once", 1000, {1000}, {0, 100}},
      {"in steps", 1000, {10, 19, 20, 500, 999, 1000}, {0, 1, 2, 50, 99, 100}},
      {"the same count again", 1000, {500, 500, 1000, 1000}, {0, 50, 100}},
      {"less than a percent", 1000, {9}, {0}},
      {"more than the size", 1000, {2000}, {0, 100}},
      {"a large file", uint64_t{1} << 40, {uint64_t{1} << 39, uint64_t{1} << 40}, {0, 50, 100}},
  };
  for (const Case& c : cases) {
    reports.clear();
    ProgressMeter meter(c.size, record);
    for (const uint64_t count : c.counts) meter.update(count);
    EXPECT_EQ(reports, c.expected) << c.name;
  }
}

// However finely the reading is counted, at most 101 reports.
TEST(ProgressMeter, ReportsAtMostOnceAPercent) {
  reports.clear();
  ProgressMeter meter(100000, record);
  for (uint64_t count = 0; count <= 100000; count += 7) meter.update(count);
  meter.update(100000);
  EXPECT_EQ(reports.size(), 101u);
  EXPECT_EQ(reports.back(), 100);
}

}  // namespace
