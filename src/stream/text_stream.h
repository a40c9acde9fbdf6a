// Text-mode reading and writing of a file, over byte streams: the reader
// hands out runs of whole lines under the old DOS rules for CR and 0x1A, the
// writer writes CR LF text. Both move the file in chunks of half a mebibyte.
#ifndef TARVELIN_STREAM_TEXT_STREAM_H_
#define TARVELIN_STREAM_TEXT_STREAM_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "stream/background.h"

// Heap memory aligned to a page: the kernel copies to and from such memory fastest.
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
  // Returns true iff what was written can be taken back by startOver(): a
  // file nobody sees until it is complete, not standard output.
  virtual bool canStartOver() const { return false; }
  // Empties the sink, so that writing starts again at its first byte;
  // returns false on error, and where it cannot.
  virtual bool startOver() { return false; }
};

// What the reader gives: a run of lines, the end, a read error, text after
// the 0x1A that ended the text, or no text it reads: Unicode text (UTF-16 or
// UTF-32, by the byte-order mark it starts with) or a Windows shortcut.
enum class ReadResult { lines, end, error, textAfterEnd, unicodeText, shortcut };

// Reads a file as a text file is read. The first byte 0x1A ends the
// text, as it marked the end of old DOS files, where only more 0x1A, line
// ends, blanks and tabs follow it. Anything else after it is refused
// (textAfterEnd) as soon as it is found, since controllers read on past a
// 0x1A and a copy cut there would lose the rest of the program. When the
// input holds a line feed (before any 0x1A), a carriage
// return is dropped wherever it stands, except that one just before a line
// feed is kept so that CR LF text passes through untouched; otherwise each
// carriage return ends a line and becomes a line feed.
//
// A file that starts with the byte-order mark of UTF-16 or UTF-32, or with
// the header of a Windows shortcut (.lnk), is no text this reader can read:
// it is refused at its first bytes, and nothing of it is handed out. A UTF-8
// byte-order mark is text like any other.
//
// The text comes in runs of whole lines, each ending in "\n" or "\r\n" but the
// last line of the input. A line longer than kMaxLine bytes comes in pieces
// of more than kMaxLine bytes, never cut between CR and LF, so that memory
// stays bounded whatever the input.
//
// While the caller works on one run, the next chunk is read into a second
// buffer on the `background` thread; where the text is in CR LF throughout,
// it is checked there too, for stray carriage returns and 0x1A.
class TextReader {
 public:
  static constexpr size_t kMaxLine = size_t{1} << 20;
  // The first read, which also decides the line-end convention, and each one after it.
  static constexpr size_t kFirstRead = kMaxLine + (size_t{256} << 10) + 64;
  static constexpr size_t kReadSize = size_t{512} << 10;

  TextReader(ByteSource& source, Background& background);

  // Stores the next run of lines in `*lines`; it stays valid until the next call.
  ReadResult next(std::string_view* lines);

  // Returns false while every line so far has ended in CR LF (or not at all),
  // so that its text can be written as it is.
  bool bareLineFeeds() const { return bareLineFeeds_; }

  // Returns the count of bytes taken from the source so far: those of the
  // runs handed out, of the chunk they came from, and those read past a 0x1A.
  uint64_t bytesRead() const { return bytesRead_; }

 private:
  // What normalise() made of a chunk.
  struct Normalised {
    size_t size = 0;         // bytes of text left
    bool leadingCr = false;  // the carriage return held back from the chunk before goes first
    bool stopped = false;    // a 0x1A ended the input
    bool textAfter = false;  // something other than padding follows it in the chunk
    bool bare = false;       // this chunk or one before held text not in CR LF
  };

  // Chooses between the two line-end conventions, reading ahead if it must.
  bool start();
  // Reads at kHead until `*filled` is kFirstRead or the input ends; returns false on error.
  bool fillUp(size_t* filled);
  // Starts reading the next chunk into the spare buffer, at kHead.
  void startReadAhead();
  // Reads the next chunk, and normalises it if the text is in CR LF
  // throughout; runs on the background thread.
  void readAhead();
  // Waits for the chunk read ahead and goes on in its buffer, with the
  // unfinished line in front of it; returns false on error.
  bool takeReadAhead();
  // Returns the buffer that is not handed out, making it at first use.
  char* spareBuffer();
  // Checks what follows the 0x1A that ended the text in `chunk`: the rest of
  // the chunk, and unless `inputEnded`, the rest of the input, read into the
  // spare buffer. Returns false on a read error, and when anything but
  // padding follows, noted in textAfterEnd_.
  bool checkAfterStop(const Normalised& chunk, bool inputEnded);
  // Returns what ended the reading early.
  ReadResult failure() const {
    if (refused_ != ReadResult::lines) return refused_;
    return textAfterEnd_ ? ReadResult::textAfterEnd : ReadResult::error;
  }
  // Applies 0x1A and the carriage-return rule to the `size` bytes read at
  // `text`, in place. A carriage return that ends them waits for the next
  // chunk, unless `inputEnds`.
  Normalised normalise(char* text, size_t size, bool inputEnds);

  // Where every chunk starts: after room for an unfinished line and a carriage
  // return held back from the chunk before, on a page boundary. Only the pages
  // from there on are touched, but for as much of an unfinished line as there is.
  static constexpr size_t kHead = kMaxLine + 4096;
  static constexpr size_t kCapacity = kHead + (kFirstRead > kReadSize ? kFirstRead : kReadSize);

  ByteSource& source_;
  AlignedBuffer first_;
  std::unique_ptr<AlignedBuffer> second_;  // made for the first read ahead
  char* current_ = first_.get();           // being handed out
  char* spare_ = nullptr;                  // being read into, or free
  size_t pos_ = kHead;                     // first byte not yet handed out
  size_t ready_ = kHead;                   // end of the text in current_
  bool started_ = false;
  bool failed_ = false;        // a read failed, or the text was refused
  bool textAfterEnd_ = false;  // text followed the 0x1A
  bool atEnd_ = false;         // nothing more is to be read from the source
  bool bareLineFeeds_ = false;
  // What the first bytes showed the input to be, where no text (unicodeText,
  // shortcut); lines where text.
  ReadResult refused_ = ReadResult::lines;
  uint64_t bytesRead_ = 0;  // from the source, as the caller's thread knows of them
  // The state of the carriage-return rule, used by whichever thread normalises.
  bool crEndsLines_ = false;
  bool bareSeen_ = false;  // a line feed without CR, or a stray CR, was seen
  bool crWaits_ = false;   // the last chunk ended in a carriage return, held back
  // What the read ahead found, set on the background thread.
  size_t aheadSize_ = 0;
  bool aheadAtEnd_ = false;
  bool aheadFailed_ = false;
  bool aheadNormalised_ = false;  // normalise() ran on the chunk, and found `ahead_`
  Normalised ahead_;
  Background::Lane background_;  // last, so that its task ends before the buffers go
};

// Writes text in chunks of half a mebibyte, on the `background` thread or on the
// caller's own. The first failed write is kept: later writes are dropped and
// flush() reports it.
class TextWriter {
 public:
  TextWriter(ByteSink& sink, Background& background);

  // Chooses how the chunks filled from now on are written: all on the
  // background thread, or, iff `share`, every other one on this thread.
  void shareWriting(bool share) { share_ = share; }

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
  // Waits for the write under way, then writes `size` bytes at `data`, or
  // starts writing them behind; returns true iff it did the latter.
  bool writeOut(const char* data, size_t size);
  // Writes the chunk handed over: on the background thread, or on this one.
  void writeChunk() { sinkFailed_ = !sink_.write(chunkData_, chunkSize_); }
  // Writes the filled buffer, or starts writing it and goes on in the other one.
  void handOver();

  ByteSink& sink_;
  bool share_ = false;
  unsigned sharedChunks_ = 0;  // chunks written while sharing
  AlignedBuffer buffers_[2];
  char* current_ = buffers_[0].get();  // being filled
  char* spare_ = buffers_[1].get();    // being written, or free
  size_t used_ = 0;
  bool failed_ = false;
  bool handedOver_ = false;  // a full chunk went to be written
  // What writeChunk() writes.
  const char* chunkData_ = nullptr;
  size_t chunkSize_ = 0;
  bool sinkFailed_ = false;      // the last chunk could not be written; used by writeChunk()
  Background::Lane background_;  // last, so that its task ends before the buffers go
};

#endif  // TARVELIN_STREAM_TEXT_STREAM_H_
