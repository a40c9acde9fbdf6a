// Arbitrary bytes through the reader, scanner and writer, in the compact and
// the word mode, with the usual heights or others. Besides crashes and
// sanitizer reports, checks that nothing is lost or altered: a program that
// goes on after a 0x1A is refused, and any other's output is the input as
// text mode reads it, line for line, with CR LF line ends and only
// whole "G00 Z<number>" lines added, each in front of a plunge line. And in
// the word mode, that a comment added to every line changes no approach.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "memory_streams.h"
#include "rewrite/file_pass.h"
#include "rewrite/word_scanner.h"

namespace {

struct Line {
  std::string text;
  bool ended;  // had a line end
};

// The input's lines as a text-mode read gives them, by the plain rules.
std::vector<Line> inputLines(const std::string& input) {
  const std::string data = textModeRead(input);
  std::vector<Line> lines;
  for (size_t pos = 0; pos < data.size();) {
    const size_t lf = data.find('\n', pos);
    if (lf == std::string::npos) {
      lines.push_back({data.substr(pos), false});
      break;
    }
    lines.push_back({data.substr(pos, lf - pos), true});
    pos = lf + 1;
  }
  return lines;
}

// The output's lines, cut at CR LF.
std::vector<Line> outputLines(const std::string& text) {
  std::vector<Line> lines;
  for (size_t pos = 0; pos < text.size();) {
    const size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back({text.substr(pos), false});
      break;
    }
    lines.push_back({text.substr(pos, end - pos), true});
    pos = end + 2;
  }
  return lines;
}

// True iff `line` is an approach line: "G00 Z", a number with six decimals.
bool isApproach(const Line& line) {
  const std::string& t = line.text;
  if (!line.ended || t.compare(0, 5, "G00 Z") != 0) return false;
  size_t i = 5 + (t.size() > 5 && t[5] == '-');
  const size_t digits = i;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  if (i == digits || i >= t.size() || t[i] != '.') return false;
  return t.size() - i - 1 == 6 && t.find_first_not_of("0123456789", i + 1) == std::string::npos;
}

// Returns the approaches the word reader writes into `text`, each with the
// number of the line it goes in front of; with `commented`, each line gets a
// comment at its end first.
std::vector<std::pair<size_t, std::string>> wordApproaches(const std::string& text,
                                                           const Heights& heights, bool commented) {
  std::string lines;
  std::vector<size_t> starts;
  for (size_t pos = 0; pos < text.size();) {
    const size_t lf = std::min(text.find('\n', pos), text.size());
    starts.push_back(lines.size());
    lines.append(text, pos, lf - pos).append(commented ? " ()\n" : "\n");
    pos = lf + 1;
  }
  std::vector<std::pair<size_t, std::string>> approaches;
  WordScanner scanner(heights);
  scanner.scanRun(lines, [&](size_t at, std::string_view approach) {
    const auto line = std::lower_bound(starts.begin(), starts.end(), at) - starts.begin();
    approaches.emplace_back(static_cast<size_t>(line), approach);
  });
  return approaches;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the mode, the heights and the size of the reads.
  RewriteSettings settings;
  settings.words = (data[0] & 1) != 0;
  if ((data[0] & 2) != 0) settings.heights = Heights{0.5, -1.0};
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  // Reads of every size, down to one byte, must make no difference.
  MemorySource source(input, 1 + (data[0] >> 2) % 64);
  StringSink sink;
  const PassResult result = rewriteStream(source, sink, settings);
  // Unicode text or a Windows shortcut is refused, and only such a file.
  const bool noText = result == PassResult::unicodeText ||
                      result.error.kind == platform::Error::Kind::shortcut;
  if (noText != startsAsNoText(input)) std::abort();
  if (noText) return 0;
  // A program that goes on after its 0x1A is refused, and only such a one.
  if ((result == PassResult::textAfterEnd) != textAfterEnd(input)) std::abort();
  if (result == PassResult::textAfterEnd) return 0;
  if (result != PassResult::done) std::abort();
  // Into a file the word mode rewrites at once, and again only for a program
  // that turns out to jump or return: the same as reading it through first.
  if (settings.words) {
    MemorySource again(input, 1 + (data[0] >> 2) % 64);
    StringSink file;
    file.canTakeBack = true;
    if (rewriteStream(again, file, settings) != result || file.text != sink.text) std::abort();
  }

  std::vector<Line> in = inputLines(input);
  std::vector<Line> out = outputLines(sink.text);
  // The header comes first, or in word mode after a leading '%' line, which
  // blank lines may come before.
  size_t header = 0;
  if (settings.words) {
    size_t mark = 0;
    const char* blanks = " \t\r\f\v";
    while (mark < in.size() && in[mark].ended &&
           in[mark].text.find_first_not_of(blanks) == std::string::npos) {
      ++mark;
    }
    if (mark < in.size() && in[mark].ended) {
      const size_t first = in[mark].text.find_first_not_of(blanks);
      if (first != std::string::npos && in[mark].text[first] == '%') header = mark + 1;
    }
  }
  if (out.size() <= header || out[header].text != headerLine(settings) || !out[header].ended) {
    std::abort();
  }
  out.erase(out.begin() + static_cast<std::ptrdiff_t>(header));
  // What an approach goes in front of: the compact plunge, or a Z word.
  const char* plunge = settings.words ? "Zz" : "G01Z-";
  size_t i = 0;
  for (size_t j = 0; j < out.size(); ++j) {
    if (i < in.size() && out[j].text == in[i].text && out[j].ended == in[i].ended) {
      ++i;
    } else if (!isApproach(out[j]) || i == in.size() ||
               (settings.words ? in[i].text.find_first_of(plunge) : in[i].text.find(plunge)) ==
                   std::string::npos) {
      std::abort();  // a line altered, or something added that is no approach
    }
  }
  if (i != in.size()) std::abort();  // a line lost
  // Lines too long to be read as words stay so with a comment added.
  if (settings.words && input.size() < TextReader::kMaxLine &&
      wordApproaches(input, settings.heights, false) !=
          wordApproaches(input, settings.heights, true)) {
    std::abort();
  }
  return 0;
}
