// One input file in, its rewritten "済.ncd" copy out.
#ifndef TARVELIN_REWRITE_FILE_PASS_H_
#define TARVELIN_REWRITE_FILE_PASS_H_

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "rewrite/savings.h"
#include "rewrite/settings.h"
#include "stream/progress_meter.h"
#include "stream/text_stream.h"

struct Explanation;

// Reads an open file through `fileSystem`, keeping why it last failed.
class FileSource : public ByteSource {
 public:
  FileSource(platform::FileSystem& fileSystem, platform::FileSystem::Handle file)
      : fs_(fileSystem), file_(file) {}
  std::ptrdiff_t read(char* buffer, size_t size) override {
    return fs_.read(file_, buffer, size, &error_);
  }
  bool rewind() override {
    const platform::Error failure = fs_.rewind(file_);
    if (failure) error_ = failure;
    return !failure;
  }
  // Returns why the last read or rewind that failed failed.
  platform::Error error() const { return error_; }

 private:
  platform::FileSystem& fs_;
  platform::FileSystem::Handle file_;
  platform::Error error_;
};

// Writes an open file through `fileSystem`, keeping why it last failed; one
// that is `temporary` (made by createTemp, unseen until committed) can be
// emptied to start again.
class FileSink : public ByteSink {
 public:
  FileSink(platform::FileSystem& fileSystem, platform::FileSystem::Handle file, bool temporary)
      : fs_(fileSystem), file_(file), temporary_(temporary) {}
  bool write(const char* data, size_t size) override { return kept(fs_.write(file_, data, size)); }
  bool canStartOver() const override { return temporary_; }
  bool startOver() override { return temporary_ && kept(fs_.startOver(file_)); }
  // Returns why the last write that failed failed.
  platform::Error error() const { return error_; }

 private:
  // Keeps `failure`, if it is one; returns true iff it is none.
  bool kept(platform::Error failure) {
    if (failure) error_ = failure;
    return !failure;
  }

  platform::FileSystem& fs_;
  platform::FileSystem::Handle file_;
  bool temporary_;
  platform::Error error_;
};

// Returns the header line, without line end: "(Tarvelin Ver 1.07)", naming
// after the version whatever differs from the defaults.
std::string headerLine(const RewriteSettings& settings);

// Returns the output path: `path` without the extension of its file name (the
// last '.' after the last separator, and what follows), then the done mark and ".ncd".
std::string outputPathFor(std::string_view path, const platform::PathRules& rules);

// Returns the name to echo for `path`: its file name without the extension.
std::string_view echoNameFor(std::string_view path, const platform::PathRules& rules);

// Writes the rewritten program read from `source` to `sink`: the header
// line, then every line with approach moves in front of qualifying plunges,
// all with CR LF line ends. Stores what the approaches save in `*savings`,
// if given, and tells `progress`, if given, how many bytes of the source have
// been read, once per run of lines and at the end. Gathers what the rewrite
// left alone, and why, in `*explanation`, if given, which changes nothing
// that is written.
PassResult rewriteStream(ByteSource& source, ByteSink& sink, const RewriteSettings& settings = {},
                         Savings* savings = nullptr, ProgressMeter* progress = nullptr,
                         Explanation* explanation = nullptr);

// Rewrites the file at `path` into outputPathFor(path). The output appears
// only when complete; on failure nothing of it is left and an earlier output
// file of that name is untouched, and the result names the file that failed
// and why. An output name that leads to the input itself is refused as one
// that cannot be opened. Stores what the approaches save in `*savings`, if
// given. With a `report`, the reading is reported through it in percent (see
// ProgressMeter). Gathers what the rewrite left alone in `*explanation`, if given.
PassResult processFile(platform::FileSystem& fileSystem, const std::string& path,
                       const platform::PathRules& rules, const RewriteSettings& settings = {},
                       Savings* savings = nullptr, const ProgressMeter::Report& report = nullptr,
                       Explanation* explanation = nullptr);

// Rewrites the file at `path` to standard output; refuses, as a file that
// cannot be opened, standard output that is the input itself. A failure names
// the file and why, as processFile()'s does. Stores what
// the approaches save in `*savings`, if given. With a `report`, a regular
// file's reading is reported through it in percent (see ProgressMeter);
// input of unknown size, such as a pipe, reports nothing. Gathers what the
// rewrite left alone in `*explanation`, if given.
PassResult streamFile(platform::FileSystem& fileSystem, const std::string& path,
                      const RewriteSettings& settings, Savings* savings = nullptr,
                      const ProgressMeter::Report& report = nullptr,
                      Explanation* explanation = nullptr);

#endif  // TARVELIN_REWRITE_FILE_PASS_H_
