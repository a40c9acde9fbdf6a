// Text-mode reading and writing of NC programs, over byte streams.
#ifndef TARVELIN_REWRITE_NC_TEXT_H_
#define TARVELIN_REWRITE_NC_TEXT_H_

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

// Where the reader gets its bytes: a file, or memory in tests.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes; returns the count, 0 at the end, -1 on error.
  virtual std::ptrdiff_t read(char* buffer, size_t size) = 0;
  // Goes back to the first byte; returns false on error.
  virtual bool rewind() = 0;
};

// Where the writer puts its bytes.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all `size` bytes; returns false on error.
  virtual bool write(const char* data, size_t size) = 0;
};

enum class ReadResult { line, end, error };

// Cuts a byte stream into NC lines. The first byte 0x1A ends the input. When
// the input holds a line feed (before any 0x1A), every carriage return is
// dropped wherever it stands; otherwise each carriage return ends a line.
// Lines come whole up to kMaxLine bytes; a longer one comes in pieces of more
// than kMaxLine bytes, so memory stays bounded whatever the input.
class NcReader {
 public:
  static constexpr size_t kMaxLine = size_t{1} << 20;

  explicit NcReader(ByteSource& source);

  // Stores the next line, ending in '\n' unless it is the last line or a
  // piece of an over-long one, in `*line`; it stays valid until the next call.
  ReadResult next(std::string_view* line);

 private:
  // Chooses between the two line-end conventions, reading ahead if it must.
  bool start();
  // Reads once into the free end of the buffer; returns the count or -1.
  std::ptrdiff_t readChunk();
  // Applies 0x1A and the carriage-return rule to the buffer from `from` on.
  void normalise(size_t from);

  static constexpr size_t kReadSize = size_t{256} << 10;
  static constexpr size_t kCapacity = kMaxLine + kReadSize;

  ByteSource& source_;
  std::unique_ptr<char[]> buffer_;
  size_t pos_ = 0;     // first byte not yet handed out
  size_t filled_ = 0;  // end of the normalised bytes
  bool started_ = false;
  bool atEnd_ = false;  // nothing more is to be read from the source
  bool crEndsLines_ = false;
};

// Writes NC text with CR LF line ends, buffering into large writes. The first
// failed write is kept: later writes are dropped and flush() reports it.
class NcWriter {
 public:
  explicit NcWriter(ByteSink& sink);

  // Writes text that holds no line feed.
  void write(std::string_view text) { put(text.data(), text.size()); }
  // Ends the line with CR LF.
  void writeLineEnd() { put("\r\n", 2); }
  // Writes a line from the reader: its final line feed, if any, as CR LF.
  void writeLine(std::string_view line) {
    if (!line.empty() && line.back() == '\n') {
      put(line.data(), line.size() - 1);
      writeLineEnd();
    } else {
      write(line);
    }
  }
  // Returns false once a write has failed.
  bool ok() const { return !failed_; }
  // Writes out what is buffered; returns false iff any write failed.
  bool flush();

 private:
  static constexpr size_t kCapacity = size_t{256} << 10;

  void put(const char* data, size_t size) {
    if (size <= kCapacity - used_) {
      std::memcpy(buffer_.get() + used_, data, size);
      used_ += size;
    } else {
      putSlow(data, size);
    }
  }
  void putSlow(const char* data, size_t size);

  ByteSink& sink_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  bool failed_ = false;
};

#endif  // TARVELIN_REWRITE_NC_TEXT_H_
