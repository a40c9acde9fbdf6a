#include "stream/text_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "stream/byte_search.h"

namespace {

constexpr char kEndOfText = 0x1A;

// True iff `c` occurs in [from, to).
bool contains(const char* from, const char* to, char c) {
  return from < to && std::memchr(from, c, static_cast<size_t>(to - from)) != nullptr;
}

// Returns the first `c` in [from, to), or nullptr.
char* find(char* from, const char* to, char c) {
  return static_cast<char*>(std::memchr(from, c, static_cast<size_t>(to - from)));
}

// True iff [from, to) holds only what may pad an old DOS file after its end
// mark: more 0x1A, line ends, blanks and tabs.
bool onlyPadding(const char* from, const char* to) {
  return std::all_of(from, to, [](char c) {
    return c == kEndOfText || c == '\r' || c == '\n' || c == ' ' || c == '\t';
  });
}

// Returns what the first bytes of a file, `start`, show it to be where that is
// no text to read: Unicode text by its byte-order mark (UTF-32 LE's starts
// as UTF-16 LE's does), or a Windows shortcut by its header (its size, 0x4C,
// and the class of shell links); else lines.
ReadResult whatTheStartShows(std::string_view start) {
  using namespace std::string_view_literals;
  constexpr std::string_view kShortcutHeader =
      "\x4C\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46"sv;
  for (const std::string_view mark : {"\xFF\xFE"sv, "\xFE\xFF"sv, "\0\0\xFE\xFF"sv}) {
    if (start.starts_with(mark)) return ReadResult::unicodeText;
  }
  return start.starts_with(kShortcutHeader) ? ReadResult::shortcut : ReadResult::lines;
}

// Removes each carriage return in [begin, end) for which `stray` holds,
// moving the text between them down; returns the new end.
template <typename Stray>
char* dropCarriageReturns(char* begin, char* end, Stray stray) {
  char* out = begin;
  char* from = begin;  // first byte not yet moved
  for (char* cr = begin; (cr = find(cr, end, '\r')) != nullptr; ++cr) {
    if (!stray(cr)) continue;
    if (out != from) std::memmove(out, from, static_cast<size_t>(cr - from));
    out += cr - from;
    from = cr + 1;
  }
  if (out != from) std::memmove(out, from, static_cast<size_t>(end - from));
  return out + (end - from);
}

}  // namespace

TextReader::TextReader(ByteSource& source, Background& background)
    : source_(source), first_(kCapacity), background_(background) {}

ReadResult TextReader::next(std::string_view* lines) {
  // After a failed read the buffers hold no known state: the error stands.
  if (failed_) return failure();
  if (!started_) {
    started_ = true;
    failed_ = !start();
    if (failed_) return failure();
  }
  for (;;) {
    const char* from = current_ + pos_;
    const char* to = current_ + ready_;
    const char* cut = to;
    while (cut != from && cut[-1] != '\n') --cut;
    if (cut == from) {
      if (to - from > static_cast<std::ptrdiff_t>(kMaxLine)) {
        cut = to[-1] == '\r' ? to - 1 : to;  // keep CR LF together
      } else if (atEnd_) {
        cut = to;
      }
      if (cut == from && atEnd_) return ReadResult::end;
    }
    if (cut != from) {
      *lines = std::string_view(from, static_cast<size_t>(cut - from));
      pos_ = static_cast<size_t>(cut - current_);
      return ReadResult::lines;
    }
    failed_ = !takeReadAhead();
    if (failed_) return failure();
    if (!atEnd_) startReadAhead();
  }
}

bool TextReader::start() {
  size_t filled = 0;
  if (!fillUp(&filled)) return false;
  refused_ = whatTheStartShows(std::string_view(current_ + kHead, filled));
  if (refused_ != ReadResult::lines) return false;
  // The convention depends only on the bytes before the first 0x1A.
  char* buffer = current_ + kHead;
  const char* stop = static_cast<const char*>(std::memchr(buffer, kEndOfText, filled));
  const char* end = stop != nullptr ? stop : buffer + filled;
  if (!contains(buffer, end, '\n') && (stop != nullptr || atEnd_)) {
    crEndsLines_ = contains(buffer, end, '\r');
  } else if (!contains(buffer, end, '\n')) {
    // A full buffer without a line feed: read on to decide, then start over.
    // Input that cannot go back, such as a pipe, is decided on what was read.
    bool sawCr = contains(buffer, end, '\r');
    if (!source_.rewind()) {
      crEndsLines_ = sawCr;
    } else {
      bool sawLf = false;
      while (!sawLf && stop == nullptr) {
        const std::ptrdiff_t n = source_.read(buffer, kFirstRead);
        if (n < 0) return false;
        if (n == 0) break;
        stop = static_cast<const char*>(std::memchr(buffer, kEndOfText, static_cast<size_t>(n)));
        end = stop != nullptr ? stop : buffer + n;
        sawLf = contains(buffer, end, '\n');
        sawCr = sawCr || contains(buffer, end, '\r');
      }
      crEndsLines_ = !sawLf && sawCr;
      if (!source_.rewind()) return false;
      atEnd_ = false;
      filled = 0;
      if (!fillUp(&filled)) return false;
    }
  }
  bytesRead_ = filled;
  const Normalised chunk = normalise(buffer, filled, atEnd_);
  ready_ = kHead + chunk.size;
  bareLineFeeds_ = chunk.bare;
  if (chunk.stopped && !checkAfterStop(chunk, atEnd_)) return false;
  atEnd_ = atEnd_ || chunk.stopped;
  if (!atEnd_) startReadAhead();
  return true;
}

bool TextReader::fillUp(size_t* filled) {
  while (*filled < kFirstRead && !atEnd_) {
    const std::ptrdiff_t n = source_.read(current_ + kHead + *filled, kFirstRead - *filled);
    if (n < 0) return false;
    if (n == 0) atEnd_ = true;
    *filled += static_cast<size_t>(n);
  }
  return true;
}

char* TextReader::spareBuffer() {
  // Input that fits in the first read needs no second buffer.
  if (spare_ == nullptr) {
    second_ = std::make_unique<AlignedBuffer>(kCapacity);
    spare_ = second_->get();
  }
  return spare_;
}

void TextReader::startReadAhead() {
  spareBuffer();
  background_.start([this] { readAhead(); });
}

bool TextReader::checkAfterStop(const Normalised& chunk, bool inputEnded) {
  textAfterEnd_ = chunk.textAfter;
  char* scratch = spareBuffer() + kHead;
  for (bool ended = inputEnded; !ended && !textAfterEnd_;) {
    const std::ptrdiff_t n = source_.read(scratch, kReadSize);
    if (n < 0) return false;
    bytesRead_ += static_cast<size_t>(n);
    ended = n == 0;
    textAfterEnd_ = !onlyPadding(scratch, scratch + n);
  }
  return !textAfterEnd_;
}

void TextReader::readAhead() {
  char* text = spare_ + kHead;
  size_t size = 0;
  bool atEnd = false;
  bool failed = false;
  while (size < kReadSize && !atEnd && !failed) {
    const std::ptrdiff_t n = source_.read(text + size, kReadSize - size);
    failed = n < 0;
    atEnd = n == 0;
    if (n > 0) size += static_cast<size_t>(n);
  }
  aheadFailed_ = failed;
  aheadSize_ = size;
  aheadAtEnd_ = atEnd;
  // Text that needs more than a check is left to the caller's thread, which
  // has time to spare then: its chunks are written on this one.
  aheadNormalised_ = !failed && !crEndsLines_ && !bareSeen_;
  if (aheadNormalised_) ahead_ = normalise(text, size, atEnd);
}

bool TextReader::takeReadAhead() {
  background_.wait();
  if (aheadFailed_) return false;
  bytesRead_ += aheadSize_;
  const Normalised chunk =
      aheadNormalised_ ? ahead_ : normalise(spare_ + kHead, aheadSize_, aheadAtEnd_);
  const size_t rest = ready_ - pos_;
  const size_t from = kHead - (chunk.leadingCr ? 1 : 0) - rest;
  std::memcpy(spare_ + from, current_ + pos_, rest);
  if (chunk.leadingCr) spare_[kHead - 1] = '\r';
  pos_ = from;
  ready_ = kHead + chunk.size;
  bareLineFeeds_ = chunk.bare;
  std::swap(current_, spare_);
  if (chunk.stopped && !checkAfterStop(chunk, aheadAtEnd_)) return false;
  atEnd_ = aheadAtEnd_ || chunk.stopped;
  return true;
}

TextReader::Normalised TextReader::normalise(char* text, size_t size, bool inputEnds) {
  Normalised chunk;
  char* end = text + size;
  // A carriage return held back at the end of the last chunk stays only
  // before a line feed.
  if (crWaits_) {
    crWaits_ = false;
    chunk.leadingCr = size != 0 && *text == '\n';
    bareSeen_ = bareSeen_ || !chunk.leadingCr;
  }
  if (crEndsLines_) {
    if (char* stop = find(text, end, kEndOfText)) {
      chunk.textAfter = !onlyPadding(stop + 1, end);
      end = stop;
      chunk.stopped = true;
    }
    std::replace(text, end, '\r', '\n');
    bareSeen_ = true;
  } else {
    // While every CR and LF pair up, as they do throughout most files, one
    // pass looks both for a pair out of step and for the 0x1A.
    const char* from = text;
    if (!bareSeen_) {
      const bool loneFirst = size != 0 && *text == '\n' && !chunk.leadingCr;
      from = loneFirst ? text : findUnpaired(text, end, '\r', '\n', kEndOfText);
      bareSeen_ = from != end && *from != kEndOfText;
    }
    // From there on, one more looks for the 0x1A and for carriage returns.
    const char* first = findEither(from, end, '\r', kEndOfText);
    const bool crsLeft = first != end && *first == '\r';
    const char* stop = crsLeft ? findEither(first, end, kEndOfText, kEndOfText) : first;
    if (stop != end) {
      chunk.textAfter = !onlyPadding(stop + 1, end);
      end = text + (stop - text);
      chunk.stopped = true;
      inputEnds = true;
    }
    // A carriage return at the end waits for its successor, unless none can come.
    if (end != text && end[-1] == '\r') {
      --end;
      crWaits_ = !inputEnds;
      bareSeen_ = bareSeen_ || inputEnds;
    }
    // Before `from` every CR has its line feed.
    const char* last = end;
    if (bareSeen_ && crsLeft && from < last) {
      end = dropCarriageReturns(text + (from - text), end,
                                [last](const char* cr) { return cr + 1 == last || cr[1] != '\n'; });
    }
  }
  chunk.bare = bareSeen_;
  chunk.size = static_cast<size_t>(end - text);
  return chunk;
}

TextWriter::TextWriter(ByteSink& sink, Background& background)
    : sink_(sink),
      buffers_{AlignedBuffer(kCapacity), AlignedBuffer(kCapacity)},
      background_(background) {}

void TextWriter::writeText(std::string_view text) {
  // Converted as it is copied, on the scanning thread, which has time to
  // spare while the background thread reads and writes.
  constexpr size_t kLeast = 4096;
  while (!text.empty()) {
    if (kCapacity - used_ < kLeast) handOver();
    // A piece with room for a carriage return before each of its bytes, and
    // for the stores of the conversion that reach past its end...
    size_t size = std::min(text.size(), (kCapacity - used_ - kExpandSlack) / 2);
    // ...that does not part CR from LF, since a line feed first in a piece counts as bare.
    if (size < text.size() && text[size - 1] == '\r') --size;
    char* end = expandLineFeeds(text.data(), text.data() + size, current_ + used_);
    used_ = static_cast<size_t>(end - current_);
    text.remove_prefix(size);
  }
}

bool TextWriter::writeOut(const char* data, size_t size) {
  background_.wait();
  failed_ = failed_ || sinkFailed_;
  if (failed_ || size == 0) return false;
  chunkData_ = data;
  chunkSize_ = size;
  // A chunk written here is copied out fastest, while it is still in this
  // thread's cache; but writing all of them here leaves this thread the
  // busier one, and the other idle.
  if (share_ && ++sharedChunks_ % 2 == 0) {
    writeChunk();
    failed_ = sinkFailed_;
    return false;
  }
  // Only `this` is captured, so that the task needs no memory of its own.
  background_.start([this] { writeChunk(); });
  return true;
}

void TextWriter::handOver() {
  handedOver_ = true;
  // A chunk written here leaves its buffer free at once.
  if (writeOut(current_, used_)) std::swap(current_, spare_);
  used_ = 0;
}

void TextWriter::putSlow(const char* data, size_t size) {
  // Fill the buffer to the brim, so that every write but the last is full-sized.
  while (size > kCapacity - used_) {
    const size_t part = kCapacity - used_;
    std::memcpy(current_ + used_, data, part);
    used_ = kCapacity;
    data += part;
    size -= part;
    handOver();
  }
  std::memcpy(current_ + used_, data, size);
  used_ += size;
}

bool TextWriter::flush() {
  if (!handedOver_ && !failed_ && used_ != 0) {
    // All of it fits in one chunk: written here, with no thread to start.
    chunkData_ = current_;
    chunkSize_ = used_;
    writeChunk();
    used_ = 0;
    failed_ = sinkFailed_;
    return !failed_;
  }
  handOver();
  background_.wait();
  failed_ = failed_ || sinkFailed_;
  return !failed_;
}
