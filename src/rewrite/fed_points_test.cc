#include "rewrite/fed_points.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Places are given in millionths.
TEST(FedPoints, RemembersTheDeepestFeedToATenThousandth) {
  FedPoints fed;
  fed.add(10000000, 20000000, -1000000);
  fed.add(10000000, 20000000, -500000);
  fed.add(30000000, 20000000, 2000000);
  fed.add(30000000, 20000000, -1000000);
  EXPECT_TRUE(fed.reached(30000000, 20000000, -1.0f));
  EXPECT_TRUE(fed.reached(10000040, 19999960, -1.0f));
  EXPECT_FALSE(fed.reached(10000200, 20000000, -1.0f));
  EXPECT_FALSE(fed.reached(-10000000, 20000000, -1.0f));
  EXPECT_FALSE(fed.reached(10000000, 20000000, -1.1f));
  fed.forget();
  EXPECT_FALSE(fed.reached(10000000, 20000000, 0.0f));
  // A point added just before is forgotten too.
  fed.add(10000000, 20000000, -1000000);
  fed.forget();
  EXPECT_FALSE(fed.reached(10000000, 20000000, 0.0f));
  // A place too far out to keep is never reached, nor taken for a near one.
  const int64_t far = int64_t{1} << 40;
  fed.add(far, 0, -1000000);
  EXPECT_FALSE(fed.reached(far, 0, 0.0f));
  EXPECT_FALSE(fed.reached(far % (int64_t{1} << 32), 0, 0.0f));
  // However often the points were forgotten, a forgotten point never counts again.
  fed.add(10000000, 20000000, -1000000);
  EXPECT_TRUE(fed.reached(10000000, 20000000, -1.0f));
  for (int64_t i = 0; i < (int64_t{1} << 20); ++i) fed.forget();
  EXPECT_FALSE(fed.reached(10000000, 20000000, 0.0f));
}

TEST(FedPoints, KeepsTheLatestPointsOnly) {
  FedPoints fed;
  constexpr auto kKept = static_cast<int64_t>(FedPoints::kSize);
  for (int64_t i = 0; i < kKept + 1000; ++i) fed.add(i * 1000, 0, -1000000);
  int kept = 0;
  for (int64_t i = 0; i < kKept + 1000; ++i) kept += fed.reached(i * 1000, 0, -1.0f) ? 1 : 0;
  EXPECT_EQ(kept, kKept);
  EXPECT_FALSE(fed.reached(999000, 0, -1.0f));  // among the oldest, replaced
  EXPECT_TRUE(fed.reached(1000000, 0, -1.0f));
  // A point fed to again and again is found at its deepest among the latest
  // eight feeds to it; further back, it only costs a deep approach.
  for (int i = 0; i < 10; ++i) fed.add(5000000, 5000000, i == 2 ? -3000000 : -1000000);
  EXPECT_TRUE(fed.reached(5000000, 5000000, -3.0f));
  fed.add(5000000, 5000000, -1000000);
  EXPECT_FALSE(fed.reached(5000000, 5000000, -3.0f));
  EXPECT_TRUE(fed.reached(5000000, 5000000, -1.0f));
}
}  // namespace
