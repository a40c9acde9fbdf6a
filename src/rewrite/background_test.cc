#include "rewrite/background.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

// Two lanes, as the reader and the writer use them: every task runs once, in
// the order started, and a lane's wait sees what its task did, whether the
// thread was busy, idle or asleep when the task came.
TEST(Background, RunsTheTasksOfItsLanesInOrder) {
  for (const auto pause : {std::chrono::microseconds(0), std::chrono::microseconds(3000)}) {
    std::vector<int> order;  // touched by the tasks alone, one at a time
    int readerLast = -1;     // touched by the reader's tasks, and by this thread after a wait
    {
      Background background;
      Background::Lane reader(background);
      Background::Lane writer(background);
      for (int i = 0; i < 200; ++i) {
        reader.start([&order, &readerLast, i] {
          order.push_back(2 * i);
          readerLast = i;
        });
        writer.start([&order, i] { order.push_back(2 * i + 1); });
        if (i % 50 == 0) std::this_thread::sleep_for(pause);  // long enough for the thread to sleep
        reader.wait();
        EXPECT_EQ(readerLast, i);
      }
    }  // the lanes wait for their last tasks, then the thread ends
    ASSERT_EQ(order.size(), 400u);
    for (int i = 0; i < 400; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
  }
}

// Spinning stops where it does not pay, as on one processor shared with the
// thread waited for, and comes back where it does.
TEST(Background, SpinsOnlyWhileSpinningPays) {
  struct Case {
    const char* name;
    bool spinAtFirst;
    std::vector<bool> spinsEnded;  // what each spin that is allowed sees
    int spinsExpected;             // of 200 waits
  };
  const Case cases[] = {
      // Every spin covers its wait: every wait spins.
      {"Pays", true, std::vector<bool>(200, true), 200},
      // Every spin is outlasted: two spins use up the first credits, then
      // every 64th wait tries again.
      {"NeverPays", true, std::vector<bool>(200, false), 2 + 3},
      // One processor: only the tries.
      {"StartsWithoutSpinning", false, std::vector<bool>(200, false), 3},
      // A try that pays brings spinning back for the waits after it.
      {"ComesBack", false, std::vector<bool>(200, true), 200 - 63},
  };
  for (const Case& c : cases) {
    Background::Spinner spinner(c.spinAtFirst);
    int spins = 0;
    for (int wait = 0; wait < 200; ++wait) {
      if (!spinner.shouldSpin()) continue;
      spinner.spun(c.spinsEnded[static_cast<size_t>(spins)]);
      ++spins;
    }
    EXPECT_EQ(spins, c.spinsExpected) << c.name;
  }
}

// A lane with no task waits for nothing.
TEST(Background, WaitsForNothingUnused) {
  Background background;
  Background::Lane lane(background);
  lane.wait();
}

}  // namespace
