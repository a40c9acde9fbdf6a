#include "app/summary.h"

#include <charconv>
#include <cmath>

namespace {

constexpr double kMillimetresPerInch = 25.4;

// Returns `value` in fixed notation with `decimals` places, whatever the locale.
std::string fixed(double value, int decimals) {
  char text[64];
  const auto printed =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return {text, printed.ptr};
}

// Returns the feed travel with its unit: the one the program used, or
// millimetres where it used both.
std::string travel(const Savings& savings) {
  const bool millimetres = savings.millimetres != 0;
  const bool inches = savings.inches != 0;
  const bool unnamed = savings.unnamedUnits != 0;
  if (inches && !millimetres && !unnamed) return fixed(savings.inches, 2) + " インチ";
  if (unnamed && !millimetres && !inches) {
    return fixed(savings.unnamedUnits, 1) + " (プログラムの単位)";
  }
  // A length in no named unit beside millimetres is taken for millimetres.
  const double total =
      savings.millimetres + savings.unnamedUnits + savings.inches * kMillimetresPerInch;
  return fixed(total, 1) + " mm";
}

// Returns the time rounded to seconds: "約 42秒", or from a minute on "約 4分12秒".
std::string duration(double minutes) {
  const auto seconds = static_cast<long long>(std::llround(minutes * 60));
  if (seconds < 60) return "約 " + std::to_string(seconds) + "秒";
  return "約 " + std::to_string(seconds / 60) + "分" + std::to_string(seconds % 60) + "秒";
}

}  // namespace

std::string summaryLine(const Savings& savings, bool words) {
  if (savings.approaches == 0) return "  早送りを入れる所はありませんでした\n";
  std::string line = "  早送りを " + std::to_string(savings.approaches) + " か所に入れました";
  if (!words) return line + "\n";
  line += " (最初の高さより下へ " + std::to_string(savings.belowFirst) + " か所)。";
  line += "空中の切削送り " + travel(savings) + (savings.travelUnknown ? " 以上" : "");
  line += "、" + duration(savings.minutes) + (savings.timeUnknown ? "以上" : "") + "の短縮です\n";
  return line;
}
