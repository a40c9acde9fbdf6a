#include "rewrite/approach_rule.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>

double upToMillionths(double height) {
  // A height of six decimals or fewer is the double nearest to its
  // millionths, which the division gives back.
  const double millionths = std::round(height * 1e6);
  return millionths / 1e6 < height ? (millionths + 1) / 1e6 : millionths / 1e6;
}

Heights inMillionths(const Heights& heights) {
  return Heights{upToMillionths(heights.gap), upToMillionths(heights.first)};
}

std::string_view ApproachText::format(double height) {
  const auto bits = std::bit_cast<uint64_t>(height);
  Line& line = lines_[(bits ^ (bits >> 29)) % std::size(lines_)];
  if (line.height != bits) {
    constexpr std::string_view kPrefix = "G00 Z";
    std::memcpy(line.text, kPrefix.data(), kPrefix.size());
    // to_chars prints in the C locale, rounding to nearest, and keeps the sign
    // of a negative height that rounds to zero ("G00 Z-0.000000").
    const auto printed = std::to_chars(line.text + kPrefix.size(), line.text + sizeof line.text,
                                       height, std::chars_format::fixed, 6);
    line.height = bits;
    line.size = static_cast<uint8_t>(printed.ptr - line.text);
  }
  return {line.text, line.size};
}
