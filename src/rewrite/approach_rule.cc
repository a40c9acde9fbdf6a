#include "rewrite/approach_rule.h"

#include <charconv>
#include <cstring>

std::string_view ApproachText::format(double height) {
  constexpr std::string_view kPrefix = "G00 Z";
  std::memcpy(text_, kPrefix.data(), kPrefix.size());
  // to_chars prints in the C locale, rounding to nearest, and keeps the sign
  // of a negative height that rounds to zero ("G00 Z-0.000000").
  const auto printed = std::to_chars(text_ + kPrefix.size(), text_ + sizeof text_, height,
                                     std::chars_format::fixed, 6);
  return {text_, static_cast<size_t>(printed.ptr - text_)};
}
