#include "rewrite/fed_points.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

namespace {

// True iff `fed` holds a point fed to `depth` or deeper at (`x`, `y`) to a Z
// written with a decimal point.
bool reached(FedPoints& fed, int64_t x, int64_t y, double depth) {
  return fed.reached(x, y, depth) == FedPoints::Reach::yes;
}

// Places are given in millionths.
TEST(FedPoints, RemembersTheDeepestFeedToATenThousandth) {
  FedPoints fed;
  fed.add(10000000, 20000000, -1000000);
  fed.add(10000000, 20000000, -500000);
  fed.add(30000000, 20000000, 2000000);
  fed.add(30000000, 20000000, -1000000);
  EXPECT_TRUE(reached(fed, 30000000, 20000000, -1.0f));
  EXPECT_TRUE(reached(fed, 10000040, 19999960, -1.0f));
  EXPECT_FALSE(reached(fed, 10000200, 20000000, -1.0f));
  EXPECT_FALSE(reached(fed, -10000000, 20000000, -1.0f));
  EXPECT_FALSE(reached(fed, 10000000, 20000000, -1.1f));
  fed.forget();
  EXPECT_FALSE(reached(fed, 10000000, 20000000, 0.0f));
  // A point added just before is forgotten too.
  fed.add(10000000, 20000000, -1000000);
  fed.forget();
  EXPECT_FALSE(reached(fed, 10000000, 20000000, 0.0f));
  // A place too far out to keep is never reached, nor taken for a near one.
  const int64_t far = int64_t{1} << 40;
  fed.add(far, 0, -1000000);
  EXPECT_FALSE(reached(fed, far, 0, 0.0f));
  EXPECT_FALSE(reached(fed, far % (int64_t{1} << 32), 0, 0.0f));
}

TEST(FedPoints, KeepsTheLatestPointsOnly) {
  FedPoints fed;
  constexpr auto kKept = static_cast<int64_t>(FedPoints::kSize);
  for (int64_t i = 0; i < kKept + 1000; ++i) fed.add(i * 1000, 0, -1000000);
  int kept = 0;
  for (int64_t i = 0; i < kKept + 1000; ++i) kept += reached(fed, i * 1000, 0, -1.0f) ? 1 : 0;
  EXPECT_EQ(kept, kKept);
  EXPECT_FALSE(reached(fed, 999000, 0, -1.0f));  // among the oldest, replaced
  EXPECT_TRUE(reached(fed, 1000000, 0, -1.0f));
  // A point fed to again and again is found at its deepest among the latest
  // eight feeds to it; further back, it only costs a deep approach.
  for (int i = 0; i < 10; ++i) fed.add(5000000, 5000000, i == 2 ? -3000000 : -1000000);
  EXPECT_TRUE(reached(fed, 5000000, 5000000, -3.0f));
  fed.add(5000000, 5000000, -1000000);
  EXPECT_FALSE(reached(fed, 5000000, 5000000, -3.0f));
  EXPECT_TRUE(reached(fed, 5000000, 5000000, -1.0f));
}

// Against a plain list of every point fed: random feeds at places a
// ten-thousandth apart (each given anywhere within 0.00005 of it), some to a
// Z without a decimal point, now and then forgotten, many more than the
// kSize points kept, and more than those between two looks now and then. A point is never found
// that the list does not hold since the last forget among the latest kSize, and one among the
// latest kLooks fed is never missed.
TEST(FedPoints, AgreesWithAPlainList) {
  std::mt19937_64 random(35);
  const auto pick = [&](int64_t from, int64_t to) {
    return std::uniform_int_distribution<int64_t>(from, to)(random);
  };
  struct Fed {
    uint64_t number;
    int64_t z;
    bool withoutPoint;
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
    const bool looks = step % 100000 < 60000;
    if (what == 0) {
      fed.forget();
      forgotten = count;
    } else if (what < 60000 || !looks) {
      const bool withoutPoint = what % 4 == 0;
      fed.add(atX, atY, z, withoutPoint);
      list[{x, y}].push_back({++count, z, withoutPoint});
    } else {
      const uint64_t gone =
          std::max(forgotten, count > FedPoints::kSize ? count - FedPoints::kSize : 0);
      bool held[2] = {};    // with a point, without one
      bool latest[2] = {};  // among the latest kLooks fed
      for (const Fed& point : list[{x, y}]) {
        if (point.number <= gone || point.z > z) continue;
        held[point.withoutPoint] = true;
        latest[point.withoutPoint] =
            latest[point.withoutPoint] || point.number + FedPoints::kLooks > count;
      }
      using Reach = FedPoints::Reach;
      const Reach found = fed.reached(atX, atY, static_cast<double>(z) / 1e6);
      ASSERT_TRUE(found != Reach::yes || held[0]) << "step " << step;
      ASSERT_TRUE(found != Reach::withoutPoint || held[1]) << "step " << step;
      ASSERT_TRUE(found == Reach::yes || !latest[0]) << "step " << step;
      ASSERT_TRUE(found != Reach::no || !latest[1]) << "step " << step;
    }
  }
}

}  // namespace
