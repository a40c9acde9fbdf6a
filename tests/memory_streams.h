// In-memory byte streams for the tests, fuzzers and benchmarks, and the text
// mode rules written out plainly to check the reader against.
#ifndef TARVELIN_TESTS_MEMORY_STREAMS_H_
#define TARVELIN_TESTS_MEMORY_STREAMS_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "stream/text_stream.h"

// Serves bytes that the caller keeps alive, in reads of at most `chunk` bytes,
// failing once `failAt` bytes were served.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view data, size_t chunk = SIZE_MAX, size_t failAt = SIZE_MAX)
      : data_(data), chunk_(chunk), failAt_(failAt) {}
  std::ptrdiff_t read(char* buffer, size_t size) override {
    if (pos_ >= failAt_) return -1;
    const size_t n = std::min({size, chunk_, data_.size() - pos_, failAt_ - pos_});
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return static_cast<std::ptrdiff_t>(n);
  }
  bool rewind() override {
    if (!seekable) return false;  // a pipe cannot go back, and stays where it is
    pos_ = 0;
    return true;
  }
  bool seekable = true;

 private:
  std::string_view data_;
  size_t chunk_;
  size_t failAt_;
  size_t pos_ = 0;
};

// Keeps what is written, refusing writes beyond `limit` bytes; iff
// `canTakeBack`, it can be emptied to start again, as a temporary file can.
class StringSink : public ByteSink {
 public:
  bool write(const char* data, size_t size) override {
    if (text.size() + size > limit) return false;
    text.append(data, size);
    ++writes;
    return true;
  }
  bool canStartOver() const override { return canTakeBack; }
  bool startOver() override {
    if (!canTakeBack) return false;
    text.clear();
    ++startsOver;
    return true;
  }
  std::string text;
  size_t limit = SIZE_MAX;
  int writes = 0;
  bool canTakeBack = false;
  int startsOver = 0;
};

// Returns `data` as a text-mode read gives it: up to the first 0x1A; without
// any carriage return when it holds a line feed, else with each one a line feed.
inline std::string textModeRead(std::string data) {
  data.resize(std::min(data.size(), data.find('\x1A')));
  if (data.find('\n') != std::string::npos) {
    data.erase(std::remove(data.begin(), data.end(), '\r'), data.end());
  } else {
    std::replace(data.begin(), data.end(), '\r', '\n');
  }
  return data;
}

// True iff `data` starts as no text the reader reads: a byte-order mark of
// UTF-16 or UTF-32, or the header of a Windows shortcut.
inline bool startsAsNoText(std::string_view data) {
  using namespace std::string_view_literals;
  for (const std::string_view start : {"\xFF\xFE"sv, "\xFE\xFF"sv, "\0\0\xFE\xFF"sv,
                                       "\x4C\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46"sv}) {
    if (data.substr(0, start.size()) == start) return true;
  }
  return false;
}

// True iff anything but more 0x1A, line ends, blanks and tabs follows the
// first 0x1A of `data`: a program that the reader refuses.
inline bool textAfterEnd(const std::string& data) {
  const size_t mark = data.find('\x1A');
  return mark != std::string::npos &&
         data.find_first_not_of(std::string("\x1A\r\n \t"), mark) != std::string::npos;
}

#endif  // TARVELIN_TESTS_MEMORY_STREAMS_H_
