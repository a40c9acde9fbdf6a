// Text-mode reading and writing of NC programs, over byte streams.
#ifndef TARVELIN_REWRITE_NC_TEXT_H_
#define TARVELIN_REWRITE_NC_TEXT_H_

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "rewrite/background.h"

// A heap block aligned to a page: the kernel copies to and from such blocks fastest.
class AlignedBuffer {
 public:
  explicit AlignedBuffer(size_t size) : data_(new (std::align_val_t{4096}) char[size]) {}
  ~AlignedBuffer() { ::operator delete[](data_, std::align_val_t{4096}); }
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;
  char* get() const { return data_; }

 private:
  char* data_;
};

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

enum class ReadResult { lines, end, error };

// Reads an NC program as a text file is read. The first byte 0x1A ends the
// input. When the input holds a line feed (before any 0x1A), a carriage
// return is dropped wherever it stands, except that one just before a line
// feed is kept so that CR LF text passes through untouched; otherwise each
// carriage return ends a line and becomes a line feed.
//
// The text comes in runs of whole lines, each ending in "\n" or "\r\n" but the
// last line of the input. A line longer than kMaxLine bytes comes in pieces
// of more than kMaxLine bytes, never cut between CR and LF, so that memory
// stays bounded whatever the input.
//
// While the caller works on one run, the next block is read into a second
// buffer on the `background` thread.
class NcReader {
 public:
  static constexpr size_t kMaxLine = size_t{1} << 20;

  NcReader(ByteSource& source, Background& background);

  // Stores the next run of lines in `*lines`; it stays valid until the next call.
  ReadResult next(std::string_view* lines);

  // Returns false while every line so far has ended in CR LF (or not at all),
  // so that its text can be written as it is.
  bool bareLineFeeds() const { return bareLineFeeds_; }

 private:
  // Chooses between the two line-end conventions, reading ahead if it must.
  bool start();
  // Reads until the first kFirstRead bytes are in or the input ends; returns false on error.
  bool fillUp();
  // Starts reading the next block into the spare buffer, at kHead.
  void startReadAhead();
  // Reads the next block; runs on the background thread.
  void readAhead();
  // Waits for the block read ahead and goes on in its buffer, with the
  // unfinished line in front of it; returns false on error.
  bool takeReadAhead();
  // Applies 0x1A and the carriage-return rule to the bytes read since last time.
  void normalise();

  static constexpr size_t kReadSize = size_t{512} << 10;
  // The first read, which also decides the line-end convention.
  static constexpr size_t kFirstRead = kMaxLine + (size_t{256} << 10) + 64;
  // Where every read lands: after room for an unfinished line and a carriage
  // return waiting for its successor, on a page boundary. Only the pages from
  // there on are touched, but for as much of an unfinished line as there is.
  static constexpr size_t kHead = kMaxLine + 4096;
  static constexpr size_t kCapacity = kHead + (kFirstRead > kReadSize ? kFirstRead : kReadSize);

  ByteSource& source_;
  AlignedBuffer first_;
  std::unique_ptr<AlignedBuffer> second_;  // made for the first read ahead
  char* current_ = first_.get();           // being handed out
  char* spare_ = nullptr;                  // being read into, or free
  size_t pos_ = kHead;                     // first byte not yet handed out
  size_t ready_ = kHead;                   // end of the normalised bytes
  // End of the bytes read; a carriage return may wait here for its successor.
  size_t filled_ = kHead;
  bool started_ = false;
  bool failed_ = false;  // a read failed
  bool atEnd_ = false;   // nothing more is to be read from the source
  bool crEndsLines_ = false;
  bool bareLineFeeds_ = false;  // a line feed without CR, or a stray CR, was seen
  // What the read ahead found, set on the background thread.
  size_t aheadSize_ = 0;
  bool aheadAtEnd_ = false;
  bool aheadFailed_ = false;
  Background::Lane background_;  // last, so that its task ends before the buffers go
};

// Writes NC text with CR LF line ends, in large blocks written on the
// `background` thread. The first failed write is kept: later writes are
// dropped and flush() reports it.
class NcWriter {
 public:
  NcWriter(ByteSink& sink, Background& background);

  // Writes the bytes as they are.
  void write(const char* begin, const char* end) { put(begin, static_cast<size_t>(end - begin)); }
  void write(std::string_view text) { put(text.data(), text.size()); }
  void writeLineEnd() { put("\r\n", 2); }
  // Writes text that starts a line, giving each line feed without a carriage
  // return in front of it one.
  void writeText(std::string_view text);
  // Returns false once a write is known to have failed.
  bool ok() const { return !failed_; }
  // Writes out everything and waits for it; returns false iff any write failed.
  bool flush();

 private:
  static constexpr size_t kCapacity = size_t{512} << 10;

  void put(const char* data, size_t size) {
    if (size <= kCapacity - used_) {
      std::memcpy(current_ + used_, data, size);
      used_ += size;
    } else {
      putSlow(data, size);
    }
  }
  void putSlow(const char* data, size_t size);
  // Waits for the write under way, then starts writing `size` bytes at `data`.
  void writeBehind(const char* data, size_t size);
  // Writes the block handed over: on the background thread, or in flush()
  // when it is the only block.
  void writeBlock() { sinkFailed_ = !sink_.write(behindData_, behindSize_); }
  // Starts writing the filled buffer and goes on in the other one.
  void handOver();

  ByteSink& sink_;
  AlignedBuffer buffers_[2];
  char* current_ = buffers_[0].get();  // being filled
  char* spare_ = buffers_[1].get();    // being written, or free
  size_t used_ = 0;
  bool failed_ = false;
  bool handedOver_ = false;  // a block went to the background write
  // What the background write writes.
  const char* behindData_ = nullptr;
  size_t behindSize_ = 0;
  bool sinkFailed_ = false;      // the last block could not be written; used by writeBlock()
  Background::Lane background_;  // last, so that its task ends before the buffers go
};

#endif  // TARVELIN_REWRITE_NC_TEXT_H_
