#include "rewrite/nc_text.h"

#include <cstring>

namespace {

// Returns the first `c` in [from, to), or nullptr.
char* find(char* from, const char* to, char c) {
  if (from >= to) return nullptr;
  return static_cast<char*>(std::memchr(from, c, static_cast<size_t>(to - from)));
}

constexpr char kEndOfText = 0x1A;

}  // namespace

NcReader::NcReader(ByteSource& source) : source_(source), buffer_(new char[kCapacity]) {}

ReadResult NcReader::next(std::string_view* line) {
  if (!started_) {
    started_ = true;
    if (!start()) return ReadResult::error;
  }
  char* buffer = buffer_.get();
  for (;;) {
    char* from = buffer + pos_;
    char* to = buffer + filled_;
    if (const char* lf = find(from, to, '\n')) {
      const auto length = static_cast<size_t>(lf + 1 - from);
      *line = std::string_view(from, length);
      pos_ += length;
      return ReadResult::line;
    }
    const size_t rest = filled_ - pos_;
    if (rest > kMaxLine || (atEnd_ && rest > 0)) {
      *line = std::string_view(from, rest);
      pos_ = filled_;
      return ReadResult::line;
    }
    if (atEnd_) return ReadResult::end;
    std::memmove(buffer, from, rest);
    pos_ = 0;
    filled_ = rest;
    if (readChunk() < 0) return ReadResult::error;
    normalise(rest);
  }
}

bool NcReader::start() {
  char* buffer = buffer_.get();
  while (filled_ < kCapacity && !atEnd_) {
    if (readChunk() < 0) return false;
  }
  // The convention depends only on the bytes before the first 0x1A.
  char* stop = find(buffer, buffer + filled_, kEndOfText);
  char* end = stop != nullptr ? stop : buffer + filled_;
  if (find(buffer, end, '\n') != nullptr) {
    crEndsLines_ = false;
  } else if (stop != nullptr || atEnd_) {
    crEndsLines_ = find(buffer, end, '\r') != nullptr;
  } else {
    // A full buffer without a line feed: read on to decide, then start over.
    bool sawCr = find(buffer, end, '\r') != nullptr;
    bool sawLf = false;
    for (;;) {
      const std::ptrdiff_t n = source_.read(buffer, kCapacity);
      if (n < 0) return false;
      if (n == 0) break;
      stop = find(buffer, buffer + n, kEndOfText);
      end = stop != nullptr ? stop : buffer + n;
      sawLf = find(buffer, end, '\n') != nullptr;
      sawCr = sawCr || find(buffer, end, '\r') != nullptr;
      if (sawLf || stop != nullptr) break;
    }
    crEndsLines_ = !sawLf && sawCr;
    if (!source_.rewind()) return false;
    filled_ = 0;
    atEnd_ = false;
    while (filled_ < kCapacity && !atEnd_) {
      if (readChunk() < 0) return false;
    }
  }
  normalise(0);
  return true;
}

std::ptrdiff_t NcReader::readChunk() {
  const std::ptrdiff_t n = source_.read(buffer_.get() + filled_, kCapacity - filled_);
  if (n == 0) atEnd_ = true;
  if (n > 0) filled_ += static_cast<size_t>(n);
  return n;
}

void NcReader::normalise(size_t from) {
  char* begin = buffer_.get() + from;
  char* end = buffer_.get() + filled_;
  if (char* stop = find(begin, end, kEndOfText)) {
    end = stop;
    atEnd_ = true;
  }
  if (crEndsLines_) {
    for (char* cr = find(begin, end, '\r'); cr != nullptr; cr = find(cr + 1, end, '\r')) *cr = '\n';
  } else if (char* out = find(begin, end, '\r')) {
    // Squeeze out every carriage return, moving the text between them down.
    char* in = out + 1;
    while (in < end) {
      char* cr = find(in, end, '\r');
      char* stretchEnd = cr != nullptr ? cr : end;
      const auto length = static_cast<size_t>(stretchEnd - in);
      std::memmove(out, in, length);
      out += length;
      in = stretchEnd + 1;
    }
    end = out;
  }
  filled_ = static_cast<size_t>(end - buffer_.get());
}

NcWriter::NcWriter(ByteSink& sink) : sink_(sink), buffer_(new char[kCapacity]) {}

void NcWriter::putSlow(const char* data, size_t size) {
  flush();
  if (size >= kCapacity) {
    if (!failed_ && !sink_.write(data, size)) failed_ = true;
    return;
  }
  std::memcpy(buffer_.get(), data, size);
  used_ = size;
}

bool NcWriter::flush() {
  if (used_ > 0 && !failed_ && !sink_.write(buffer_.get(), used_)) failed_ = true;
  used_ = 0;
  return !failed_;
}
