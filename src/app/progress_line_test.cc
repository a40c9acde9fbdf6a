#include "app/progress_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

double now = 0;
std::string printed;

double clock() { return now; }
void print(std::string_view text) { printed += text; }

// Nothing in a file's first second; then each percent in place of the one
// before, as wide as the widest; cleared at the end only if shown.
TEST(ProgressLine, ShowsTheLongFilesOnlyAndLeavesNothing) {
  struct Step {
    double seconds;
    int percent;  // -1 to clear the line
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::string expected;
  } const cases[] = {
      {"a short file", {{0, 0}, {0.5, 60}, {0.9, 100}, {0.9, -1}}, ""},
      {"a long file",
       {{0, 0}, {0.5, 40}, {1.2, 41}, {1.5, 7}, {2, 100}, {2, -1}, {2, -1}},
       "\r   41%\r    7%\r  100%\r      \r"},
      {"out of range", {{2, 101}, {2, -1}}, ""},
  };
  for (const Case& c : cases) {
    now = 0;
    printed.clear();
    ProgressLine line(clock, print);
    for (const Step& step : c.steps) {
      now = step.seconds;
      if (step.percent < 0) {
        line.clear();
      } else {
        line.show(step.percent);
      }
    }
    EXPECT_EQ(printed, c.expected) << c.name;
  }
}

}  // namespace
