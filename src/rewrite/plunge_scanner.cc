#include "rewrite/plunge_scanner.h"

#include <charconv>
#include <cstring>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Returns the first `c` in [from, to), or nullptr.
const char* find(const char* from, const char* to, char c) {
  if (from >= to) return nullptr;
  return static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(to - from)));
}

// True iff `text` stands at `at` and ends before `end`.
bool standsAt(const char* at, const char* end, std::string_view text) {
  return static_cast<size_t>(end - at) >= text.size() &&
         std::memcmp(at, text.data(), text.size()) == 0;
}

// True iff a rapid move to a non-negative Z ("G00Z" and a digit) stands at `at`.
bool retractAt(const char* at, const char* end) {
  return standsAt(at, end, "G00Z") && end - at >= 5 && isDigit(at[4]);
}

// True iff `at` lies inside a parenthesised comment opened earlier on the line.
bool insideComment(const char* lineBegin, const char* at) {
  while (at != lineBegin) {
    --at;
    if (*at == ')') return false;
    if (*at == '(') return true;
  }
  return false;
}

// Returns 1 for a "G91" word at `g`, 0 for "G90", -1 for anything else. A word
// is not followed by '.' or a digit ("G91.1" is another code) and does not
// count inside a comment.
int distanceModeAt(const char* lineBegin, const char* g, const char* end) {
  if (end - g < 3 || g[1] != '9' || (g[2] != '0' && g[2] != '1')) return -1;
  if (end - g > 3 && (g[3] == '.' || isDigit(g[3]))) return -1;
  if (insideComment(lineBegin, g)) return -1;
  return g[2] - '0';
}

// True iff the XY origin "X0.000Y0.000" starts in [from, to) and ends before `end`.
bool originIn(const char* from, const char* to, const char* end) {
  for (const char* x = find(from, to, 'X'); x != nullptr; x = find(x + 1, to, 'X')) {
    if (standsAt(x, end, "X0.000Y0.000")) return true;
  }
  return false;
}

}  // namespace

std::string_view PlungeScanner::scanLine(std::string_view line) {
  const char* begin = line.data();
  const char* end = begin + line.size();
  // A retract at the very start of the line after an approach ends the series
  // of passes: the next approach starts again from the top.
  if (retractWatch_) {
    retractWatch_ = false;
    if (retractAt(begin, end)) resetDepths();
  }
  // Every pattern starts with 'G' but the origin, which only matters once a
  // plunge is examined, so it is looked for lazily between plunges.
  const char* originFrom = begin;
  for (const char* g = find(begin, end, 'G'); g != nullptr; g = find(g + 1, end, 'G')) {
    if (end - g < 3) break;
    if (g[1] == '9') {
      const int mode = distanceModeAt(begin, g, end);
      if (mode >= 0) incremental_ = mode == 1;
      continue;
    }
    if (end - g < 4 || g[1] != '0') continue;
    if (g[2] == '0') {
      if (g[3] == 'X' || g[3] == 'Y') rapidXYSeen_ = true;
      if (retractAt(g, end)) clearanceSeen_ = true;
    } else if (g[2] == '1' && standsAt(g, end, "G01Z-")) {
      if (!clearanceSeen_ && originIn(originFrom, g, end)) clearanceSeen_ = true;
      originFrom = g + 5;
      if (plunge(begin, g, end)) return approachLine_;
    }
  }
  if (!clearanceSeen_ && originIn(originFrom, end, end)) clearanceSeen_ = true;
  return {};
}

bool PlungeScanner::plunge(const char* lineBegin, const char* at, const char* end) {
  // The distance mode words of the whole line apply to it, the last one winning.
  for (const char* g = find(at + 5, end, 'G'); g != nullptr; g = find(g + 1, end, 'G')) {
    const int mode = distanceModeAt(lineBegin, g, end);
    if (mode >= 0) incremental_ = mode == 1;
  }
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
  const auto parsed = std::from_chars(at + 4, end, depth, std::chars_format::fixed);
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
