#include "rewrite/nc_text.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "rewrite/byte_search.h"

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

NcReader::NcReader(ByteSource& source, Background& background)
    : source_(source), first_(kCapacity), background_(background) {}

ReadResult NcReader::next(std::string_view* lines) {
  // After a failed read the buffers hold no known state: the error stands.
  if (failed_) return ReadResult::error;
  if (!started_) {
    started_ = true;
    failed_ = !start();
    if (failed_) return ReadResult::error;
  }
  for (;;) {
    const char* from = current_ + pos_;
    const char* to = current_ + ready_;
    const char* cut = to;
    while (cut != from && cut[-1] != '\n') --cut;
    if (cut == from) {
      const bool inputDone = atEnd_ && ready_ == filled_;
      if (to - from > static_cast<std::ptrdiff_t>(kMaxLine)) {
        cut = to[-1] == '\r' ? to - 1 : to;  // keep CR LF together
      } else if (inputDone) {
        cut = to;
      }
      if (cut == from && inputDone) return ReadResult::end;
    }
    if (cut != from) {
      *lines = std::string_view(from, static_cast<size_t>(cut - from));
      pos_ = static_cast<size_t>(cut - current_);
      return ReadResult::lines;
    }
    failed_ = !takeReadAhead();
    if (failed_) return ReadResult::error;
    normalise();
    if (!atEnd_) startReadAhead();
  }
}

bool NcReader::start() {
  if (!fillUp()) return false;
  // The convention depends only on the bytes before the first 0x1A.
  char* buffer = current_ + kHead;
  const char* stop = static_cast<const char*>(std::memchr(buffer, kEndOfText, filled_ - kHead));
  const char* end = stop != nullptr ? stop : current_ + filled_;
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
      filled_ = kHead;
      atEnd_ = false;
      if (!fillUp()) return false;
    }
  }
  normalise();
  if (!atEnd_) startReadAhead();
  return true;
}

bool NcReader::fillUp() {
  while (filled_ < kHead + kFirstRead && !atEnd_) {
    const std::ptrdiff_t n = source_.read(current_ + filled_, kHead + kFirstRead - filled_);
    if (n < 0) return false;
    if (n == 0) atEnd_ = true;
    filled_ += static_cast<size_t>(n);
  }
  return true;
}

void NcReader::startReadAhead() {
  // Input that fits in the first read needs no second buffer.
  if (spare_ == nullptr) {
    second_ = std::make_unique<AlignedBuffer>(kCapacity);
    spare_ = second_->get();
  }
  background_.start([this] { readAhead(); });
}

void NcReader::readAhead() {
  size_t size = 0;
  bool atEnd = false;
  bool failed = false;
  while (size < kReadSize && !atEnd && !failed) {
    const std::ptrdiff_t n = source_.read(spare_ + kHead + size, kReadSize - size);
    failed = n < 0;
    atEnd = n == 0;
    if (n > 0) size += static_cast<size_t>(n);
  }
  aheadSize_ = size;
  aheadAtEnd_ = atEnd;
  aheadFailed_ = failed;
}

bool NcReader::takeReadAhead() {
  background_.wait();
  if (aheadFailed_) return false;
  const size_t rest = filled_ - pos_;
  std::memcpy(spare_ + kHead - rest, current_ + pos_, rest);
  ready_ = kHead - rest + (ready_ - pos_);
  pos_ = kHead - rest;
  filled_ = kHead + aheadSize_;
  atEnd_ = aheadAtEnd_;
  std::swap(current_, spare_);
  return true;
}

void NcReader::normalise() {
  char* buffer = current_;
  char* begin = buffer + ready_;
  char* end = buffer + filled_;
  if (crEndsLines_) {
    if (char* stop = find(begin, end, kEndOfText)) {
      end = stop;
      atEnd_ = true;
    }
    forEachMatch(begin, end, '\r', '\r', [](const char* cr) {
      *const_cast<char*>(cr) = '\n';
      return false;
    });
    bareLineFeeds_ = true;
  } else {
    const char* from = begin != buffer + pos_ ? begin - 1 : begin;
    // While every CR and LF so far pair up, as they do throughout most files,
    // one pass looks both for a pair out of step and for the 0x1A.
    const char* unpaired = bareLineFeeds_ ? begin : findUnpaired(from, end, '\r', '\n', kEndOfText);
    // From there on, and at the last byte, which that pass leaves to the next
    // read, one more looks for the 0x1A and for carriage returns.
    char* look = begin + (unpaired > begin ? unpaired - begin : 0);
    if (look == end && look != begin) --look;
    bool crsLeft = false;
    const char* stop = forEachMatch(look, end, '\r', kEndOfText, [&](const char* at) {
      crsLeft = crsLeft || *at == '\r';
      return *at == kEndOfText;
    });
    if (stop != end) {
      end = begin + (stop - begin);
      atEnd_ = true;
    }
    // A carriage return stays only in front of a line feed; one at the very
    // end of what was read waits for the next byte. Text in which every CR
    // and LF pair up, as they do throughout most files, needs nothing done.
    const auto stray = [&](const char* cr) { return cr + 1 == end ? atEnd_ : cr[1] != '\n'; };
    if (!bareLineFeeds_) {
      bareLineFeeds_ = (from == begin && begin != end && *begin == '\n') || unpaired < end ||
                       (end != begin && end[-1] == '\r' && stray(end - 1));
    }
    // Before `look` every CR has its line feed.
    if (bareLineFeeds_ && crsLeft) end = dropCarriageReturns(look, end, stray);
  }
  filled_ = static_cast<size_t>(end - buffer);
  const bool crWaits = !atEnd_ && end != begin && end[-1] == '\r';
  ready_ = crWaits ? filled_ - 1 : filled_;
}

NcWriter::NcWriter(ByteSink& sink, Background& background)
    : sink_(sink),
      buffers_{AlignedBuffer(kCapacity), AlignedBuffer(kCapacity)},
      background_(background) {}

void NcWriter::writeText(std::string_view text) {
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

void NcWriter::writeBehind(const char* data, size_t size) {
  background_.wait();
  failed_ = failed_ || sinkFailed_;
  if (failed_ || size == 0) return;
  behindData_ = data;
  behindSize_ = size;
  // Only `this` is captured, so that the task needs no memory of its own.
  background_.start([this] { writeBlock(); });
}

void NcWriter::handOver() {
  handedOver_ = true;
  writeBehind(current_, used_);
  std::swap(current_, spare_);
  used_ = 0;
}

void NcWriter::putSlow(const char* data, size_t size) {
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

bool NcWriter::flush() {
  if (!handedOver_ && !failed_ && used_ != 0) {
    // All of it fits in one block: written here, with no thread to start.
    behindData_ = current_;
    behindSize_ = used_;
    writeBlock();
    used_ = 0;
    failed_ = sinkFailed_;
    return !failed_;
  }
  handOver();
  background_.wait();
  failed_ = failed_ || sinkFailed_;
  return !failed_;
}
