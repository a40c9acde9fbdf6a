#include "app/summary.h"

#include <charconv>
#include <cmath>

namespace {

// Returns `value` in fixed notation with `decimals` places, whatever the locale.
std::string fixed(double value, int decimals) {
  char text[64];
  const auto printed =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return {text, printed.ptr};
}

// Returns the feed travel in each unit the program used: millimetres,
// inches, or none it named.
std::string travel(const Savings& savings) {
  std::string text;
  const auto add = [&](double length, int decimals, const char* unit) {
    if (length == 0) return;
    text += (text.empty() ? "" : " + ") + fixed(length, decimals) + unit;
  };
  add(savings.millimetres, 1, " mm");
  add(savings.inches, 2, " インチ");
  add(savings.unnamedUnits, 1, " (プログラムの単位)");
  return text.empty() ? "0.0 mm" : text;
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
  line += "空中の切削送り " + travel(savings);
  if (savings.timeUnknown && savings.minutes == 0) {
    return line + " の短縮です (送り時間は分かりません)\n";
  }
  line += "、" + duration(savings.minutes) + (savings.timeUnknown ? "以上" : "") + "の短縮です\n";
  return line;
}
