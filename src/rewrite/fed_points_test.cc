#include "rewrite/fed_points.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

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

// Against a plain list of every point fed: random feeds at places a
// ten-thousandth apart (each given anywhere within 0.00005 of it), now and
// then forgotten, and many more than the kSize points kept. A point is never
// found that the list does not hold since the last forget among the latest
// kSize, and one among the latest kLooks fed is never missed.
TEST(FedPoints, AgreesWithAPlainList) {
  std::mt19937_64 random(35);
  const auto pick = [&](int64_t from, int64_t to) {
    return std::uniform_int_distribution<int64_t>(from, to)(random);
  };
  struct Fed {
    uint64_t number;
    int64_t z;
  };
  std::map<std::pair<int64_t, int64_t>, std::vector<Fed>> list;  // by place, in ten-thousandths
  uint64_t count = 0;
  uint64_t forgotten = 0;  // points up to this number are forgotten
  FedPoints fed;
  for (int step = 0; step < 300000; ++step) {
    const int64_t x = pick(-80, 80);
    const int64_t y = pick(-80, 80);
    // Anywhere within 0.000049 of the place, in millionths.
    const int64_t atX = x * 100 + pick(-49, 49);
    const int64_t atY = y * 100 + pick(-49, 49);
    const int64_t z = pick(-3, 3) * 1000000;
    const int64_t what = pick(0, 99999);
    if (what == 0) {
      fed.forget();
      forgotten = count;
    } else if (what < 60000) {
      fed.add(atX, atY, z);
      list[{x, y}].push_back({++count, z});
    } else {
      const double depth = static_cast<double>(z) / 1e6;
      const uint64_t gone =
          std::max(forgotten, count > FedPoints::kSize ? count - FedPoints::kSize : 0);
      bool held = false;
      bool latest = false;
      for (const Fed& point : list[{x, y}]) {
        if (point.number <= gone || point.z > z) continue;
        held = true;
        latest = latest || point.number + FedPoints::kLooks > count;
      }
      const bool found = fed.reached(atX, atY, depth);
      ASSERT_TRUE(held || !found) << "step " << step;
      ASSERT_TRUE(found || !latest) << "step " << step;
    }
  }
}

}  // namespace
