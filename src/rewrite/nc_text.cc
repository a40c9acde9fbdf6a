#include "rewrite/nc_text.h"

#include <algorithm>
#include <cstring>

#include "rewrite/byte_search.h"

namespace {

constexpr char kEndOfText = 0x1A;

// True iff `c` occurs in [from, to).
bool contains(const char* from, const char* to, char c) {
  return from < to && std::memchr(from, c, static_cast<size_t>(to - from)) != nullptr;
}

}  // namespace

NcReader::NcReader(ByteSource& source) : source_(source), buffer_(kCapacity) {}

ReadResult NcReader::next(std::string_view* lines) {
  if (!started_) {
    started_ = true;
    if (!start()) return ReadResult::error;
  }
  char* buffer = buffer_.get();
  for (;;) {
    const char* from = buffer + pos_;
    const char* to = buffer + ready_;
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
      pos_ = static_cast<size_t>(cut - buffer);
      return ReadResult::lines;
    }
    // Move the unfinished line to the front, so that the next read lands on a
    // 64-byte boundary, and read on.
    const size_t rest = filled_ - pos_;
    const size_t gap = (64 - rest % 64) % 64;
    std::memmove(buffer + gap, from, rest);
    ready_ = ready_ - pos_ + gap;
    filled_ = rest + gap;
    pos_ = gap;
    if (!fill()) return ReadResult::error;
    normalise();
  }
}

bool NcReader::start() {
  if (!fillUp()) return false;
  // The convention depends only on the bytes before the first 0x1A.
  const char* buffer = buffer_.get();
  const char* stop = static_cast<const char*>(std::memchr(buffer, kEndOfText, filled_));
  const char* end = stop != nullptr ? stop : buffer + filled_;
  if (!contains(buffer, end, '\n') && (stop != nullptr || atEnd_)) {
    crEndsLines_ = contains(buffer, end, '\r');
  } else if (!contains(buffer, end, '\n')) {
    // A full buffer without a line feed: read on to decide, then start over.
    // Input that cannot go back, such as a pipe, is decided on what was read.
    bool sawCr = contains(buffer, end, '\r');
    if (!source_.rewind()) {
      crEndsLines_ = sawCr;
      normalise();
      return true;
    }
    bool sawLf = false;
    while (!sawLf && stop == nullptr) {
      const std::ptrdiff_t n = source_.read(buffer_.get(), kCapacity);
      if (n < 0) return false;
      if (n == 0) break;
      stop = static_cast<const char*>(std::memchr(buffer, kEndOfText, static_cast<size_t>(n)));
      end = stop != nullptr ? stop : buffer + n;
      sawLf = contains(buffer, end, '\n');
      sawCr = sawCr || contains(buffer, end, '\r');
    }
    crEndsLines_ = !sawLf && sawCr;
    if (!source_.rewind()) return false;
    filled_ = 0;
    atEnd_ = false;
    if (!fillUp()) return false;
  }
  normalise();
  return true;
}

bool NcReader::fillUp() {
  while (filled_ < kCapacity && !atEnd_) {
    if (!fill()) return false;
  }
  return true;
}

bool NcReader::fill() {
  const size_t target = std::min(filled_ + kReadSize, kCapacity);
  while (filled_ < target && !atEnd_) {
    const std::ptrdiff_t n = source_.read(buffer_.get() + filled_, target - filled_);
    if (n < 0) return false;
    if (n == 0) atEnd_ = true;
    filled_ += static_cast<size_t>(n);
  }
  return true;
}

void NcReader::normalise() {
  char* buffer = buffer_.get();
  char* begin = buffer + ready_;
  char* end = buffer + filled_;
  if (char* stop = static_cast<char*>(std::memchr(begin, kEndOfText, filled_ - ready_))) {
    end = stop;
    atEnd_ = true;
  }
  if (crEndsLines_) {
    forEachMatch(begin, end, '\r', '\r', [](const char* cr) {
      *const_cast<char*>(cr) = '\n';
      return false;
    });
    bareLineFeeds_ = true;
  } else {
    // A carriage return stays only in front of a line feed; one at the very
    // end of what was read waits for the next byte. Text in which every CR
    // and LF pair up, as they do throughout most files, needs nothing done.
    const auto stray = [&](const char* cr) { return cr + 1 == end ? atEnd_ : cr[1] != '\n'; };
    const char* from = begin != buffer + pos_ ? begin - 1 : begin;
    const bool paired = (from != begin || begin == end || *begin != '\n') &&
                        findUnpaired(from, end, '\r', '\n') == end &&
                        !(end != begin && end[-1] == '\r' && stray(end - 1));
    if (!paired) {
      bareLineFeeds_ = true;
      char* out = begin;
      for (const char* in = begin; in != end; ++in) {
        if (*in != '\r' || !stray(in)) *out++ = *in;
      }
      end = out;
    }
  }
  filled_ = static_cast<size_t>(end - buffer);
  const bool crWaits = !atEnd_ && end != begin && end[-1] == '\r';
  ready_ = crWaits ? filled_ - 1 : filled_;
}

NcWriter::NcWriter(ByteSink& sink) : sink_(sink) {}

void NcWriter::writeBehind(const char* data, size_t size) {
  background_.wait();
  failed_ = failed_ || sinkFailed_;
  if (failed_ || size == 0) return;
  background_.start([this, data, size] { sinkFailed_ = !sink_.write(data, size); });
}

void NcWriter::handOver() {
  writeBehind(current_, used_);
  std::swap(current_, spare_);
  used_ = 0;
}

void NcWriter::putSlow(const char* data, size_t size) {
  handOver();
  if (size >= kCapacity) {
    // Too big to copy: written from where it is, before the caller changes it.
    writeBehind(data, size);
    background_.wait();
    failed_ = failed_ || sinkFailed_;
    return;
  }
  std::memcpy(current_, data, size);
  used_ = size;
}

void NcWriter::writeText(std::string_view text) {
  const char* end = text.data() + text.size();
  for (const char* from = text.data(); from != end;) {
    const char* lf = findUnpreceded(from, end, '\r', '\n');
    write(from, lf);
    if (lf == end) break;
    writeLineEnd();
    from = lf + 1;
  }
}

bool NcWriter::flush() {
  handOver();
  background_.wait();
  failed_ = failed_ || sinkFailed_;
  return !failed_;
}
