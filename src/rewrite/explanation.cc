#include "rewrite/explanation.h"

#include <algorithm>
#include <cstring>

#include "stream/byte_search.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Returns the first word of `line`, a letter and its digits ("N10", "O2000").
std::string_view firstWord(std::string_view line) {
  size_t at = 0;
  while (at < line.size() && isBlank(line[at])) ++at;
  size_t end = at + 1;
  while (end < line.size() && (isDigit(line[end]) || line[end] == '.')) ++end;
  return at < line.size() ? line.substr(at, end - at) : std::string_view();
}

// Returns the word that `note` doubts on `line`, as the explanation names it:
// a parameter or expression with what follows the letter ("Z#1", not "Z"),
// and for a line doubted as a whole its first word, the block or program
// number, but for one too long to show.
std::string_view doubtedWord(const LineNote& note, std::string_view line) {
  const WordSpan span = note.doubted;
  if (span.length == 0) return note.doubt == Doubt::lineTooLong ? "" : firstWord(line);
  if (span.at >= line.size()) return {};
  std::string_view word = line.substr(span.at, span.length);
  if (note.doubt == Doubt::parameter || note.doubt == Doubt::expression) {
    size_t end = span.at + span.length;
    while (end < line.size() && end - span.at < Snippet::kMost && !isBlank(line[end]) &&
           line[end] != '\n' && line[end] != '(' && line[end] != ';') {
      ++end;
    }
    word = line.substr(span.at, end - span.at);
  }
  return word;
}

// Returns `word` in upper case without blanks, as much of it as a snippet holds.
Snippet normalised(std::string_view word) {
  char text[Snippet::kMost];
  size_t size = 0;
  for (const char c : word) {
    if (!isBlank(c) && size < sizeof text) text[size++] = upper(c);
  }
  return Snippet({text, size});
}

// Returns what tells a doubt about `word` from others of the same doubt: the
// code or keyword itself, in upper case without blanks; for a word out of
// place, a number that cannot be read and the like, only its letter, so that
// E1.1 and E2.5 are one group; nothing where the line as a whole is doubted.
Snippet keyOf(Doubt doubt, std::string_view word) {
  switch (doubt) {
    case Doubt::unknownCode:
    case Doubt::keyword:
    case Doubt::jump:
    case Doubt::call:
    case Doubt::returns:
    case Doubt::strayCharacter:
      return normalised(word);
    case Doubt::programNumber:
    case Doubt::lineTooLong:
    case Doubt::reachedByJump:
      return {};
    default: {
      const char letter = word.empty() ? ' ' : upper(word[0]);
      return Snippet({&letter, word.empty() ? 0U : 1U});
    }
  }
}

// True iff a plunge of another style than the compact one stands at the Z at
// `z` in the text [begin, end): a G1 word ("G1", "G01", "g1") and then, after
// blanks, a Z word with a minus sign, such as "G1 Z-1.5", but not "G01Z-",
// which the compact style reads. Stores where its G word starts in `*start`.
bool plungeOfAnotherStyleAt(const char* begin, const char* z, const char* end, const char** start) {
  const char* p = z + 1;
  while (p < end && isBlank(*p)) ++p;
  if (p == end || *p != '-') return false;
  const char* g = z;
  while (g > begin && isBlank(g[-1])) --g;
  if (g == begin || g[-1] != '1') return false;
  --g;
  while (g > begin && g[-1] == '0') --g;
  if (g == begin || upper(g[-1]) != 'G') return false;
  --g;
  *start = g;
  return std::string_view(g, static_cast<size_t>(p + 1 - g)) != "G01Z-";
}

// Returns how many line feeds [begin, end) holds. Counted in blocks of at
// most 255 bytes into a byte, which the compiler turns into a loop over many
// bytes at once.
uint64_t lineFeeds(const char* begin, const char* end) {
  uint64_t count = 0;
  while (begin < end) {
    const char* const stop = begin + std::min<std::ptrdiff_t>(end - begin, 255);
    uint8_t inBlock = 0;
    for (; begin < stop; ++begin) inBlock = static_cast<uint8_t>(inBlock + (*begin == '\n'));
    count += inBlock;
  }
  return count;
}

}  // namespace

Snippet::Snippet(std::string_view text) {
  size_ = static_cast<uint8_t>(std::min(text.size(), kMost));
  if (size_ != 0) std::memcpy(text_, text.data(), size_);
}

void Explanation::take(const LineNote& note, std::string_view line) {
  if (note.doubt != Doubt::none) {
    groupFor(note, line).lines.add(note.line);
    const bool jumps = note.doubt == Doubt::jump || note.doubt == Doubt::call;
    if (jumps && jumpLine == 0) {
      jumpWord = Snippet(doubtedWord(note, line));
      jumpLine = note.line;
    }
    if (note.doubt == Doubt::returns && returnLine == 0) {
      returnWord = Snippet(doubtedWord(note, line));
      returnLine = note.line;
    }
  }
  switch (note.plunge) {
    case PlungeReason::none:
      return;
    case PlungeReason::distanceUnknown:
    case PlungeReason::feedModeUnknown:
    case PlungeReason::compensationUnknown:
      // Left alone in the modes a line not understood left unknown.
      (current_ == kStart    ? fromStart
       : current_ == kOthers ? otherDoubts.plunges
                             : doubts[current_].plunges)
          .add(note.line);
      return;
    default:
      plunges[static_cast<size_t>(note.plunge)].add(note.line);
      if (note.plunge == PlungeReason::stockTopAbove && stockTopShownOn == 0) {
        stockTopShownOn = note.stockTopShownOn;
      }
  }
}

DoubtGroup& Explanation::groupFor(const LineNote& note, std::string_view line) {
  const std::string_view word = doubtedWord(note, line);
  const Snippet key = keyOf(note.doubt, word);
  size_t found = 0;
  while (found < doubtCount && !(doubts[found].doubt == note.doubt && doubts[found].key == key)) {
    ++found;
  }
  if (found == kMostDoubts) {
    // A group that no plunge was counted with gives way; with none such, the
    // doubt joins the others.
    found = 0;
    while (found < kMostDoubts && doubts[found].plunges.count != 0) ++found;
    if (found < kMostDoubts) {
      doubts[found] = DoubtGroup();
      doubtsDropped = true;
    }
  } else if (found == doubtCount) {
    ++doubtCount;
  }
  current_ = found;
  DoubtGroup& group = found == kOthers ? otherDoubts : doubts[found];
  if (group.lines.count == 0) {
    group.doubt = found == kOthers ? Doubt::none : note.doubt;
    group.key = key;
    group.word = Snippet(word);
  } else if (!group.varied) {
    group.varied = !(normalised(group.word.view()) == normalised(word));
  }
  return group;
}

void Explanation::lookAtCompactRun(std::string_view lines) {
  const char* const begin = lines.data();
  const char* const end = begin + lines.size();
  const char* counted = begin;  // the line ends before it are in compactLines_
  for (const char* z = begin; (z = findEither(z, end, 'Z', 'z')) != end; ++z) {
    const char* start = nullptr;
    if (!plungeOfAnotherStyleAt(begin, z, end, &start)) continue;
    compactLines_ += lineFeeds(counted, z);
    counted = z;
    otherStyle.add(compactLines_ + 1);
    if (otherStyle.count == 1) {
      const char* numberEnd = z + 1;
      while (numberEnd < end && (isBlank(*numberEnd) || *numberEnd == '-')) ++numberEnd;
      while (numberEnd < end && (isDigit(*numberEnd) || *numberEnd == '.')) ++numberEnd;
      otherStyleExample = Snippet({start, static_cast<size_t>(numberEnd - start)});
    }
    // A line counts once: the search goes on after its end.
    const void* lineEnd = std::memchr(z, '\n', static_cast<size_t>(end - z));
    if (lineEnd == nullptr) break;
    z = static_cast<const char*>(lineEnd);
  }
  compactLines_ += lineFeeds(counted, end);
}
