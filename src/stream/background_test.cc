#include "stream/background.h"

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
    bool spinsPay;      // whether each spin covers its wait
    int spinsExpected;  // of 200 waits
  };
  const Case cases[] = {
      {"Pays", true, true, 200},
      // Two spins use up the first credits, then every 64th wait tries again.
      {"NeverPays", true, false, 2 + 3},
      // One processor: only the tries.
      {"StartsWithoutSpinning", false, false, 3},
      // A try that pays brings spinning back for the waits after it.
      {"ComesBack", false, true, 200 - 63},
  };
  for (const Case& c : cases) {
    Background::Spinner spinner(c.spinAtFirst);
    int spins = 0;
    for (int wait = 0; wait < 200; ++wait) {
      if (!spinner.shouldSpin()) continue;
      spinner.spun(c.spinsPay);
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
