#include "rewrite/plunge_scanner.h"

#include <charconv>
#include <cstring>

#include "rewrite/byte_search.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// True iff `text` stands at `at` and ends before `end`.
bool standsAt(const char* at, const char* end, std::string_view text) {
  return static_cast<size_t>(end - at) >= text.size() &&
         std::memcmp(at, text.data(), text.size()) == 0;
}

// True iff a rapid move to a non-negative Z ("G00Z" and a digit) stands at `at`.
bool retractAt(const char* at, const char* end) {
  return standsAt(at, end, "G00Z") && end - at >= 5 && isDigit(at[4]);
}

// True iff `at` lies inside a parenthesised comment opened earlier on its line.
bool insideComment(const char* textBegin, const char* at) {
  while (at != textBegin) {
    --at;
    if (*at == ')' || *at == '\n') return false;
    if (*at == '(') return true;
  }
  return false;
}

// Returns 1 for a "G91" word at `g`, 0 for "G90", -1 for anything else. A word
// is not followed by '.' or a digit ("G91.1" is another code) and does not
// count inside a comment.
int distanceModeAt(const char* textBegin, const char* g, const char* end) {
  if (end - g < 3 || g[1] != '9' || (g[2] != '0' && g[2] != '1')) return -1;
  if (end - g > 3 && (g[3] == '.' || isDigit(g[3]))) return -1;
  if (insideComment(textBegin, g)) return -1;
  return g[2] - '0';
}

// Returns the end of the line holding `at`: just past its line feed, or `end`.
const char* lineEndAfter(const char* at, const char* end) {
  const void* lf = std::memchr(at, '\n', static_cast<size_t>(end - at));
  return lf != nullptr ? static_cast<const char*>(lf) + 1 : end;
}

// Returns the start of the line holding `at`.
const char* lineStartBefore(const char* textBegin, const char* at) {
  while (at != textBegin && at[-1] != '\n') --at;
  return at;
}

}  // namespace

std::string_view PlungeScanner::scanLine(std::string_view line) {
  size_t lineEnd = 0;
  return scanLines(line, &lineEnd) < line.size() ? approachLine_ : std::string_view();
}

size_t PlungeScanner::scanLines(std::string_view text, size_t* lineEnd) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (text.empty()) return 0;
  // A retract at the very start of the line after an approach ends the series
  // of passes: the next approach starts again from the top.
  if (retractWatch_) {
    retractWatch_ = false;
    if (retractAt(begin, end)) resetDepths();
  }
  // Every pattern starts with 'G' or "X0", so only those bytes are looked at;
  // no pattern holds a line feed, so whatever matches lies within one line.
  const char* approachAt = nullptr;
  forEachCandidate(begin, end, 'G', 'X', '0', [&](const char* at) {
    if (end - at < 3) return false;
    if (*at == 'X') {
      if (standsAt(at, end, "X0.000Y0.000")) clearanceSeen_ = true;
    } else if (at[1] == '9') {
      const int mode = distanceModeAt(begin, at, end);
      if (mode >= 0) incremental_ = mode == 1;
    } else if (end - at >= 4 && at[1] == '0' && at[2] == '0') {
      if (at[3] == 'X' || at[3] == 'Y') rapidXYSeen_ = true;
      if (retractAt(at, end)) clearanceSeen_ = true;
    } else if (standsAt(at, end, "G01Z-")) {
      const char* after = lineEndAfter(at, end);
      if (plunge(begin, at, after)) {
        approachAt = lineStartBefore(begin, at);
        *lineEnd = static_cast<size_t>(after - begin);
      }
    }
    return approachAt != nullptr;
  });
  return approachAt != nullptr ? static_cast<size_t>(approachAt - begin) : text.size();
}

bool PlungeScanner::plunge(const char* textBegin, const char* at, const char* lineEnd) {
  // The distance-mode words of the whole line apply to it, the last one winning.
  forEachMatch(at + 5, lineEnd, 'G', 'G', [&](const char* g) {
    const int mode = distanceModeAt(textBegin, g, lineEnd);
    if (mode >= 0) incremental_ = mode == 1;
    return false;
  });
  const bool qualifies = clearanceSeen_ && rapidXYSeen_;
  clearanceSeen_ = false;
  rapidXYSeen_ = false;
  if (incremental_) {
    // A relative plunge has no depth of its own, and an absolute "G00 Z" in
    // front of it would shift every later position: leave it alone.
    resetDepths();
    return false;
  }
  // The depth is the number right after "G01Z"; an unreadable one keeps the last.
  float depth = 0.0f;
  const auto parsed = std::from_chars(at + 4, lineEnd, depth, std::chars_format::fixed);
  if (parsed.ec == std::errc()) plungeDepth_ = depth;
  if (!(lastDepth_ >= plungeDepth_)) resetDepths();  // shallower: a new series
  if (lastDepth_ > plungeDepth_) {
    previousDepth_ = lastDepth_;
    lastDepth_ = plungeDepth_;
  }
  if (!qualifies) return false;
  formatApproach();
  retractWatch_ = true;
  return true;
}

void PlungeScanner::formatApproach() {
  constexpr std::string_view kPrefix = "G00 Z";
  std::memcpy(approach_, kPrefix.data(), kPrefix.size());
  const double height = static_cast<double>(previousDepth_) + 0.02;
  const auto printed = std::to_chars(approach_ + kPrefix.size(), approach_ + sizeof approach_,
                                     height, std::chars_format::fixed, 6);
  approachLine_ = std::string_view(approach_, static_cast<size_t>(printed.ptr - approach_));
}
