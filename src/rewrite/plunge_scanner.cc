#include "rewrite/plunge_scanner.h"

#include <charconv>
#include <cstring>
#include <optional>

#include "stream/byte_search.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// True iff `text` stands at `at` and ends before `end`.
bool standsAt(const char* at, const char* end, std::string_view text) {
  return static_cast<size_t>(end - at) >= text.size() &&
         std::memcmp(at, text.data(), text.size()) == 0;
}

// True iff a rapid move to a non-negative Z ("G00Z" and a digit) stands at `at`.
bool retractAt(const char* at, const char* end) {
  return end - at >= 5 && standsAt(at, end, "G00Z") && isDigit(at[4]);
}

// Returns 1 for a "G91" word at `g`, 0 for "G90", -1 for anything else. A word
// is not followed by '.' or a digit ("G91.1" is another code).
int distanceWordAt(const char* g, const char* end) {
  if (end - g < 3 || g[0] != 'G' || g[1] != '9' || (g[2] != '0' && g[2] != '1')) return -1;
  if (end - g > 3 && (g[3] == '.' || isDigit(g[3]))) return -1;
  return g[2] - '0';
}

// Reads the depth of the plunge whose '-' is at `minus`: a plain decimal
// ("-1.5", "-.5", "-2."), or nothing, as "-inf" or "-F100" are none. It is
// rounded to the nearest `Number`.
template <typename Number>
std::optional<Number> readDecimal(const char* minus, const char* end) {
  const char* digits = minus + 1;
  const bool plain = digits < end && (isDigit(*digits) ||
                                      (*digits == '.' && digits + 1 < end && isDigit(digits[1])));
  if (!plain) return std::nullopt;
  // Up to seven digits fit a float exactly, and so does their power of ten: one
  // division then rounds as reading the decimal does, to a float or a double.
  static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
  uint32_t mantissa = 0;
  int count = 0;
  int scale = -1;
  const char* p = digits;
  for (; p < end && count <= 7; ++p) {
    if (isDigit(*p)) {
      mantissa = mantissa * 10 + static_cast<uint32_t>(*p - '0');
      ++count;
      scale += scale >= 0 ? 1 : 0;
    } else if (*p == '.' && scale < 0) {
      scale = 0;
    } else {
      break;
    }
  }
  if (count <= 7) {
    return static_cast<Number>(-(mantissa / kPowers[scale < 0 ? 0 : scale]));
  }
  Number depth = 0;
  if (std::from_chars(minus, end, depth, std::chars_format::fixed).ec != std::errc()) {
    return std::nullopt;
  }
  return depth;
}

// Reads the depth of the plunge whose '-' is at `minus`: to the millionth,
// rounded up so that a pass never counts deeper than it was, when `exact`;
// else to the nearest float.
std::optional<double> readDepth(const char* minus, const char* end, bool exact) {
  if (exact) {
    const std::optional<double> depth = readDecimal<double>(minus, end);
    return depth ? std::optional<double>(upToMillionths(*depth)) : std::nullopt;
  }
  const std::optional<float> depth = readDecimal<float>(minus, end);
  return depth ? std::optional<double>(*depth) : std::nullopt;
}

}  // namespace

// What the scan of one stretch knows of the line it is in. Every question is
// answered by looking at bytes not looked at before, so that a line of any
// length takes time in proportion to its length.
struct PlungeScanner::Range {
  const char* to;
  bool continuation;
  const char* commentKnownTo;  // the comment state is known up to here...
  bool inComment;              // ...and is this
  const char* lineReadTo;      // end of the line whose distance words were read
  int lineMode = -1;           // its last distance word: 1 for G91, 0 for G90, -1 none
  bool endsInComment = false;  // the comment state where that reading stopped
  const char* lineStart;       // the start of the line holding lineKnownTo...
  const char* lineKnownTo;
  const char* modeLine = nullptr;       // the line whose distance mode at its start...
  bool incrementalAtLineStart = false;  // ...was this

  // Returns the start of the line holding `at`; `at` never goes back from one
  // call to the next, and no byte is looked at twice.
  const char* lineStartOf(const char* at) {
    const char* p = at;
    while (p != lineKnownTo && p[-1] != '\n') --p;
    if (p != lineKnownTo) lineStart = p;
    lineKnownTo = at;
    return lineStart;
  }

  // Notes the distance mode `incremental` at the start of the line holding
  // `at`, unless an earlier position of that line noted it already.
  void noteModeAtLineStart(const char* at, bool incremental) {
    if (lineStartOf(at) == modeLine) return;
    modeLine = lineStart;
    incrementalAtLineStart = incremental;
  }

  // True iff `at` lies inside parentheses opened earlier on its line; `at`
  // never goes back from one call to the next.
  bool commentAt(const char* at) {
    for (const char* p = at; p != commentKnownTo;) {
      --p;
      if (*p == '(' || *p == ')' || *p == '\n') {
        inComment = *p == '(';
        break;
      }
    }
    commentKnownTo = at;
    return inComment;
  }

  // Reads the distance-mode words outside comments from `at` to the end of
  // its line, unless that line was read already.
  void readLineFrom(const char* at) {
    if (at < lineReadTo) return;
    bool comment = commentAt(at);
    lineMode = -1;
    const char* p = at;
    for (; p != to && *p != '\n'; ++p) {
      if (*p == '(' || *p == ')') {
        comment = *p == '(';
      } else if (!comment && *p == 'G' && distanceWordAt(p, to) >= 0) {
        lineMode = distanceWordAt(p, to);
      }
    }
    lineReadTo = p == to ? to : p + 1;
    endsInComment = comment;
  }
};

std::string_view PlungeScanner::scanLine(std::string_view line) {
  size_t lineEnd = 0;
  return scanLines(line, &lineEnd) < line.size() ? approachLine_ : std::string_view();
}

size_t PlungeScanner::scanLines(std::string_view text, size_t* lineEnd) {
  const char* begin = text.data();
  if (text.empty() || begin == nullptr) return 0;
  const char* end = begin + text.size();
  const char* from = begin;
  if (midLine_) {
    // The rest of a line begun earlier: its moves count, but it gets no approach.
    const void* lf = std::memchr(begin, '\n', text.size());
    from = lf != nullptr ? static_cast<const char*>(lf) + 1 : end;
    scanRange(begin, from, true, nullptr);
    if (from == end) return text.size();
  }
  // A retract at the very start of the line after an approach ends the series
  // of passes: the next approach starts again from the top.
  if (retractWatch_) {
    retractWatch_ = false;
    if (retractAt(from, end)) rule_.newSeries();
  }
  const char* stop = nullptr;
  const char* approachAt = scanRange(from, end, false, &stop);
  if (approachAt == nullptr) return text.size();
  *lineEnd = static_cast<size_t>(stop - begin);
  return static_cast<size_t>(approachAt - begin);
}

const char* PlungeScanner::scanRange(const char* from, const char* to, bool continuation,
                                     const char** lineEnd) {
  Range range{to, continuation, from, continuation && inComment_, from, -1, false, from, from};
  const char* approachAt = nullptr;
  // Only the places where a pattern may start are looked at; no pattern holds
  // a line feed, so whatever matches lies within one line.
  forEachPatternStart(from, to, [&](const char* at) {
    if (to - at < 3) return false;
    if (*at == 'X') {
      if (standsAt(at, to, "X0.000Y0.000")) rule_.clearance();
    } else if (at[1] == '9') {
      const int mode = distanceWordAt(at, to);
      if (mode >= 0 && !range.commentAt(at)) {
        range.noteModeAtLineStart(at, incremental_);
        incremental_ = mode == 1;
      }
    } else if (to - at >= 4 && at[1] == '0' && at[2] == '0') {
      if (at[3] == 'X' || at[3] == 'Y') rule_.rapidXY();
      if (retractAt(at, to)) rule_.clearance();
    } else if (standsAt(at, to, "G01Z-") && plunge(range, at)) {
      approachAt = range.lineStart;
    }
    return approachAt != nullptr;
  });
  // Where the stretch, or the line with the approach, stops short of a line
  // end, the next stretch goes on with that line.
  const char* stop = approachAt != nullptr ? range.lineReadTo : to;
  midLine_ = stop[-1] != '\n';
  inComment_ = midLine_ && (approachAt != nullptr ? range.endsInComment : range.commentAt(to));
  if (lineEnd != nullptr) *lineEnd = stop;
  return approachAt;
}

bool PlungeScanner::plunge(Range& range, const char* at) {
  // The distance-mode words of the whole line apply to it, the last one winning.
  range.noteModeAtLineStart(at, incremental_);
  range.readLineFrom(at);
  if (range.lineMode >= 0) incremental_ = range.lineMode == 1;
  if (incremental_) {
    rule_.incrementalPlunge();
    return false;
  }
  // Compact-style programs are not checked for where the tool has been.
  const auto height =
      rule_.plunge(readDepth(at + 4, range.to, exact_), [](double) { return PlungeReason::none; })
          .height;
  // The approach runs before its line, in the mode in force where the line
  // starts: none where the line leaves incremental mode.
  if (!height || range.continuation || range.incrementalAtLineStart) return false;
  approachLine_ = approachText_.format(*height);
  retractWatch_ = true;
  ++savings_.approaches;
  return true;
}
