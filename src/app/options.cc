#include "app/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/wide_text.h"

namespace {

// Values beyond this are no height in any unit a machine uses.
constexpr double kLargestValue = 10000.0;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Returns `text` without blanks at either end.
std::string_view trim(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Returns `text` in lower case (ASCII letters only).
std::string lowerCase(std::string_view text) {
  std::string lower(text.size(), ' ');
  std::transform(text.begin(), text.end(), lower.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return lower;
}

// Reads a plain decimal number ("0.1", "-2", ".5", "+3."): digits, at most one
// point and a sign; no exponent, no "inf" or "nan". Empty when it is not one.
std::optional<double> readDecimal(std::string_view text) {
  size_t digits = 0;
  size_t points = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (isDigit(text[i])) {
      ++digits;
    } else if (text[i] == '.') {
      ++points;
    } else if (i != 0 || (text[i] != '-' && text[i] != '+')) {
      return std::nullopt;
    }
  }
  if (digits == 0 || points > 1) return std::nullopt;
  if (text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto read =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (read.ec != std::errc() || !(std::fabs(value) < kLargestValue)) return std::nullopt;
  return value;
}

// Returns the text of a settings file in UTF-8: UTF-16 with its byte order
// mark, as Notepad saves "Unicode", is turned into it; anything else stays as
// it is (UTF-8, or code page 932, whose keys and values are the same bytes).
std::string inUtf8(std::string_view text) {
  const bool little = text.starts_with("\xFF\xFE");
  if (!little && !text.starts_with("\xFE\xFF")) return std::string(text);
  std::u16string wide;
  for (size_t i = 2; i + 1 < text.size(); i += 2) {
    const auto first = static_cast<unsigned char>(text[i]);
    const auto second = static_cast<unsigned char>(text[i + 1]);
    wide += static_cast<char16_t>(little ? first | second << 8 : first << 8 | second);
  }
  if (text.size() % 2 != 0) wide += u'\uFFFD';  // half a character left over
  return platform::toUtf8(wide);
}

// Reads "yes" or "no", in any case.
std::optional<bool> readYesNo(std::string_view text) {
  const std::string lower = lowerCase(text);
  if (lower == "yes") return true;
  if (lower == "no") return false;
  return std::nullopt;
}

// Reads "ja" or "en", in any case.
std::optional<platform::Language> readLanguage(std::string_view text) {
  const std::string lower = lowerCase(text);
  if (lower == "ja") return platform::Language::japanese;
  if (lower == "en") return platform::Language::english;
  return std::nullopt;
}

// Returns the choice of the setting `key` if it is one of yes or no (words,
// summary, explain), else nullptr.
std::optional<bool>* yesOrNoChoice(std::string_view key, SettingChoices* choices) {
  if (key == "words") return &choices->words;
  if (key == "summary") return &choices->summary;
  if (key == "explain") return &choices->explain;
  return nullptr;
}

// Sets the setting `key` from `value` in `choices`; returns false when the
// key is unknown or the value cannot be used.
bool choose(std::string_view key, std::string_view value, SettingChoices* choices) {
  if (key == "language") {
    choices->language = readLanguage(value);
    return choices->language.has_value();
  }
  if (std::optional<bool>* choice = yesOrNoChoice(key, choices)) {
    *choice = readYesNo(value);
    return choice->has_value();
  }
  const std::optional<double> number = readDecimal(value);
  if (key == "gap" && number && *number > 0) {
    choices->gap = number;
    return true;
  }
  // An approach to Z0 or below would be no approach: Z0 is the stock top of
  // nearly every program.
  if (key == "first" && number && *number > 0) {
    choices->first = number;
    return true;
  }
  return false;
}

// Reads one option; returns what is wrong with it, if anything.
BadChoice readOption(std::string_view option, CommandLine* line) {
  const size_t equals = option.find('=');
  const std::string_view name = option.substr(0, equals);
  const bool hasValue = equals != std::string_view::npos;
  const std::string_view value = hasValue ? option.substr(equals + 1) : "";
  BadChoice badValue{BadChoice::Kind::badValue, std::string(option)};
  if (std::optional<bool>* choice = yesOrNoChoice(name.substr(2), &line->choices)) {
    if (hasValue) return choose(name.substr(2), value, &line->choices) ? BadChoice{} : badValue;
    *choice = true;
    return {};
  }
  if (name == "--gap" || name == "--first" || name == "--language") {
    return hasValue && choose(name.substr(2), value, &line->choices) ? BadChoice{} : badValue;
  }
  bool* flag = name == "--stdout"    ? &line->toStandardOutput
               : name == "--help"    ? &line->help
               : name == "--version" ? &line->version
                                     : nullptr;
  if (flag == nullptr) return {BadChoice::Kind::unknownOption, std::string(option)};
  if (hasValue) return badValue;
  *flag = true;
  return {};
}

}  // namespace

void SettingChoices::applyTo(RunSettings* settings) const {
  if (words) settings->rewrite.words = *words;
  if (gap) settings->rewrite.heights.gap = *gap;
  if (first) settings->rewrite.heights.first = *first;
  if (summary) settings->summary = *summary;
  if (explain) settings->explain = *explain;
  if (language) settings->language = *language;
}

BadChoice readCommandLine(const std::vector<std::string>& arguments, CommandLine* line) {
  BadChoice problem;
  bool optionsEnded = false;
  for (const std::string& argument : arguments) {
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && argument.starts_with("--")) {
      // The first problem is the one reported, but every option is read, so
      // that --stdout decides where the report goes, and --language in what
      // words, wherever they stand.
      BadChoice found = readOption(argument, line);
      if (!problem) problem = std::move(found);
    } else {
      line->files.push_back(argument);
    }
  }
  return problem;
}

BadChoice readSettings(std::string_view file, SettingChoices* choices) {
  const std::string utf8 = inUtf8(file);
  std::string_view text = utf8;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // a byte order mark
  int number = 0;
  while (!text.empty()) {
    // Lines end in LF, CR LF or CR alone.
    const size_t end = std::min(text.find_first_of("\r\n"), text.size());
    const std::string_view line = trim(text.substr(0, end));
    const bool crLf = text.substr(end).starts_with("\r\n");
    text.remove_prefix(std::min(text.size(), end + (crLf ? 2 : 1)));
    ++number;
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos ||
        !choose(lowerCase(trim(line.substr(0, equals))), trim(line.substr(equals + 1)), choices)) {
      return {BadChoice::Kind::badLine, "", number};
    }
  }
  return {};
}
