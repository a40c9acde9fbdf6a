#include "app/progress_line.h"

#include <algorithm>
#include <charconv>

namespace {

// A short file's progress is not worth a line.
constexpr double kDelay = 1.0;
// Every line is as wide as the widest, "  100%", so that each covers the one before.
constexpr std::string_view kBlank = "\r      \r";

}  // namespace

void ProgressLine::show(int percent) {
  if (percent < 0 || percent > 100 || (!shown_ && clock_() - start_ < kDelay)) return;
  // Right-aligned: the digits end just before the '%' in the sixth column.
  char text[8] = "\r     ";
  char digits[4];
  const auto printed = std::to_chars(digits, digits + sizeof digits, percent);
  std::copy(digits, printed.ptr, text + 6 - (printed.ptr - digits));
  text[6] = '%';
  print_(std::string_view(text, 7));
  shown_ = true;
}

void ProgressLine::clear() {
  if (shown_) print_(kBlank);
  shown_ = false;
}
