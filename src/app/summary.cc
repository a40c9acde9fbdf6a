#include "app/summary.h"

#include <charconv>
#include <cmath>

namespace {

// Returns the number `text`, digits with perhaps a fraction, with the digits
// of its whole part grouped by thousands: "1,234.5".
std::string groupDigits(std::string_view text) {
  const size_t point = std::min(text.find('.'), text.size());
  std::string out;
  for (size_t at = 0; at < text.size(); ++at) {
    if (at != 0 && at < point && (point - at) % 3 == 0) out += ',';
    out += text[at];
  }
  return out;
}

// Returns `value` in fixed notation with `decimals` places, grouped, whatever the locale.
std::string fixed(double value, int decimals) {
  char text[64];
  const auto printed =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return groupDigits(std::string(text, printed.ptr));
}

// Returns the feed travel in each unit the program used: millimetres,
// inches, or none it named.
std::string travel(const Savings& savings, const Texts& texts) {
  std::string text;
  const auto add = [&](double length, int decimals, std::string_view unit) {
    if (length == 0) return;
    text += (text.empty() ? "" : " + ") + fill(unit, {fixed(length, decimals)});
  };
  add(savings.millimetres, 1, texts.millimetres);
  add(savings.inches, 2, texts.inches);
  add(savings.unnamedUnits, 1, texts.programUnits);
  return text.empty() ? fill(texts.millimetres, {"0.0"}) : text;
}

// Returns `seconds`, at least 1, in words: seconds, then minutes and
// seconds, and from an hour on hours and minutes, the seconds rounded to the
// nearest minute, or down where `roundDown`.
std::string duration(uint64_t seconds, bool roundDown, const Texts& texts) {
  if (seconds < 60) return fill(texts.seconds, {grouped(seconds)});
  if (seconds < 3600) {
    return fill(texts.minutesSeconds, {grouped(seconds / 60), grouped(seconds % 60)});
  }
  const uint64_t minutes = (seconds + (roundDown ? 0 : 30)) / 60;
  return fill(texts.hoursMinutes, {grouped(minutes / 60), grouped(minutes % 60)});
}

// Returns the feed time saved: about so much, to the nearest second; or,
// where the time of some plunge is not known, at least so much, rounded
// down, and empty when that is under a second.
std::string timeSaved(const Savings& savings, const Texts& texts) {
  const double seconds = savings.minutes * 60;
  if (savings.timeUnknown) {
    const auto whole = static_cast<uint64_t>(std::floor(seconds));
    return whole == 0 ? "" : fill(texts.atLeast, {duration(whole, true, texts)});
  }
  const auto whole = static_cast<uint64_t>(std::llround(seconds));
  return whole == 0 ? std::string(texts.underASecond)
                    : fill(texts.about, {duration(whole, false, texts)});
}

}  // namespace

std::string grouped(uint64_t number) { return groupDigits(std::to_string(number)); }

std::string summaryLine(const Savings& savings, bool words, const Texts& texts) {
  if (savings.approaches == 0) return std::string(texts.noApproach);
  std::string line = fill(savings.approaches == 1 ? texts.oneApproach : texts.approaches,
                          {grouped(savings.approaches)});
  if (!words) return line + "\n";
  if (savings.belowFirst != 0) line += fill(texts.belowFirst, {grouped(savings.belowFirst)});
  const std::string time = timeSaved(savings, texts);
  if (time.empty()) return fill(texts.savingTimeUnknown, {line, travel(savings, texts)});
  return fill(texts.saving, {line, travel(savings, texts), time});
}
