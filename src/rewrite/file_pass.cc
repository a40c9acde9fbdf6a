#include "rewrite/file_pass.h"

#include <charconv>
#include <functional>
#include <optional>
#include <type_traits>

#include "rewrite/explanation.h"
#include "rewrite/plunge_scanner.h"
#include "rewrite/word_scanner.h"

static_assert(WordScanner::kLongestLine == TextReader::kMaxLine,
              "the word mode knows the pieces of a line by the reader's cap");

namespace {

using platform::Error;
using platform::FileSystem;
using Subject = PassResult::Subject;

// Where the file name starts in a path, and where its extension starts.
struct NameSpan {
  size_t nameBegin;
  size_t baseEnd;
};

// Finds the file name and its extension in a UTF-8 path.
NameSpan locateName(std::string_view path, const platform::PathRules& rules) {
  NameSpan span{0, std::string_view::npos};
  for (size_t i = 0; i < path.size(); ++i) {
    if (rules.separators.find(path[i]) != std::string_view::npos) {
      span = NameSpan{i + 1, std::string_view::npos};
    } else if (path[i] == '.') {
      span.baseEnd = i;
    }
  }
  if (span.baseEnd == std::string_view::npos) span.baseEnd = path.size();
  return span;
}

// Tells whether an input file changed while it was read: a program still
// being copied in, or saved again by the CAM system, would otherwise come out
// cut short or mixed, and be reported as done.
class InputWatch {
 public:
  InputWatch(FileSystem& fileSystem, FileSystem::Handle file)
      : fs_(fileSystem), file_(file), watched_(fileSystem.version(file, &opened_)) {}
  // Returns false for a file that another program holds open for writing
  // already: it is not read at all, so that not even standard output gets a
  // piece of it.
  bool settled() const { return !watched_ || !fs_.beingWritten(file_); }
  // Returns `result`, or inputChanged when a pass that went well read a file
  // whose size or write time is no longer what it was when it was opened, or
  // a read failure when another program still holds it open for writing: a
  // copy that stalled while the file was read changes nothing in it meanwhile.
  PassResult judge(PassResult result) const {
    if (result != PassResult::done || !watched_) return result;
    FileSystem::Version now;
    if (!fs_.version(file_, &now) || now != opened_) return PassResult::inputChanged;
    return settled() ? result : heldOpen(PassResult::readFailed);
  }
  // Returns the failure `how` of a file that another program holds open for writing.
  static PassResult heldOpen(PassResult::Ending how) {
    return {how, Subject::input, PassResult::Finding::heldForWriting};
  }

 private:
  FileSystem& fs_;
  FileSystem::Handle file_;
  FileSystem::Version opened_;
  bool watched_;
};

// The input of a pass, from its opening until it goes, when it is closed:
// refused where the output leads to it or another program is writing it, and
// watched for changes while it is read.
class Input {
 public:
  explicit Input(FileSystem& fileSystem) : fs_(fileSystem) {}
  ~Input() {
    if (watch_) fs_.close(file_);
  }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  // Opens the file at `path`. Where `leadsHere(file)` tells that the output
  // would go into it, it is refused: a failure on `output`, with `finding`;
  // and where another program holds it open for writing, as one that cannot be opened.
  PassResult open(const std::string& path, const std::function<bool(FileSystem::Handle)>& leadsHere,
                  Subject output, PassResult::Finding finding) {
    if (const Error error = fs_.openRead(path, &file_)) {
      return {PassResult::openFailed, Subject::input, error};
    }
    watch_.emplace(fs_, file_);
    if (leadsHere(file_)) {
      PassResult refused(PassResult::openFailed);
      refused.subject = output;
      refused.finding = finding;
      return refused;
    }
    return watch_->settled() ? PassResult::done : InputWatch::heldOpen(PassResult::openFailed);
  }
  FileSystem::Handle file() const { return file_; }
  // Returns `result`, or inputChanged where the file changed while it was read.
  PassResult judge(PassResult result) const { return watch_->judge(result); }

 private:
  FileSystem& fs_;
  FileSystem::Handle file_ = 0;
  std::optional<InputWatch> watch_;  // there while the file is open
};

// Returns the line, counting from 1, on which the first 0x1A of the file that
// `source` reads stands: lines end in line feeds, or where there is none
// before it, in carriage returns, as the reader takes them. 0 when it cannot
// be told, for input that cannot be read again from its start (a pipe).
uint64_t lineOfEndMark(FileSource& source) {
  if (!source.rewind()) return 0;
  uint64_t lineFeeds = 0;
  uint64_t carriageReturns = 0;
  char buffer[64 << 10];
  for (std::ptrdiff_t n = 0; (n = source.read(buffer, sizeof buffer)) > 0;) {
    for (const char c : std::string_view(buffer, static_cast<size_t>(n))) {
      if (c == '\x1A') return 1 + (lineFeeds != 0 ? lineFeeds : carriageReturns);
      lineFeeds += c == '\n' ? 1 : 0;
      carriageReturns += c == '\r' ? 1 : 0;
    }
  }
  return 0;
}

// Returns `result` with what made it fail, where the rewrite from `source`
// into `sink` failed: a read of the input, a write of the `output`, or a 0x1A
// with more after it, given the line it stands on.
PassResult explained(PassResult result, FileSource& source, const FileSink& sink, Subject output) {
  if (result.ending == PassResult::readFailed) result.error = source.error();
  if (result.ending == PassResult::writeFailed) {
    result.subject = output;
    result.error = sink.error();
  }
  if (result.ending == PassResult::textAfterEnd) result.line = lineOfEndMark(source);
  return result;
}

// Writes a run of whole lines as rewritten: approach lines go in front of
// their plunges, and everything else is copied in long stretches, given CR LF
// line ends where `crLfOnly` does not promise them. Gathers what the scanner
// tells of the lines in `*explanation`, if given; without one, the scanner
// is asked for nothing more than the approaches.
template <typename Scanner>
void rewriteLines(std::string_view lines, bool crLfOnly, Scanner& scanner, TextWriter& writer,
                  Explanation* explanation) {
  const auto copy = [&](std::string_view text) {
    if (crLfOnly) {
      writer.write(text);
    } else {
      writer.writeText(text);
    }
  };
  size_t copied = 0;
  const auto onApproach = [&](size_t lineStart, std::string_view approach) {
    copy(lines.substr(copied, lineStart - copied));
    writer.write(approach);
    writer.writeLineEnd();
    copied = lineStart;
  };
  if (explanation == nullptr) {
    scanner.scanRun(lines, onApproach);
  } else if constexpr (std::is_same_v<Scanner, WordScanner>) {
    scanner.scanRun(lines, onApproach, [&](size_t, std::string_view line, const LineNote& note) {
      explanation->take(note, line);
    });
  } else {
    explanation->lookAtCompactRun(lines);
    scanner.scanRun(lines, onApproach);
  }
  copy(lines.substr(copied));
}

// Returns the end of the first line of `text` that is not blank, line feed
// included, when it starts with '%'; otherwise 0. Form feeds and vertical
// tabs are blanks to controllers too.
size_t endOfMarkLine(std::string_view text) {
  const size_t mark = text.find_first_not_of(" \t\r\n\f\v");
  const size_t lineFeed = text.find('\n', mark);
  if (mark == std::string_view::npos || text[mark] != '%' || lineFeed == std::string_view::npos) {
    return 0;
  }
  return lineFeed + 1;
}

// What one rewrite of a program came to: how it ended, unless it is void:
// the program showed more than the word scanner was told of it
// (WordScanner::outlookHolds), and the rewrite stopped there.
struct Attempt {
  PassResult result = PassResult::done;
  bool surprised = false;
};

// Returns the pass result for a reading that ended in `read`: an error, text
// after the end, or what the first bytes showed to be no text: Unicode, or a
// Windows shortcut, which is no program at all.
PassResult failureOf(ReadResult read) {
  switch (read) {
    case ReadResult::textAfterEnd:
      return PassResult::textAfterEnd;
    case ReadResult::unicodeText:
      return PassResult::unicodeText;
    case ReadResult::shortcut:
      return {PassResult::openFailed, Subject::input, platform::refusal(Error::Kind::shortcut)};
    default:
      return PassResult::readFailed;
  }
}

// Writes the header line and the program read from `source`, its moves read
// by `scanner`, to `sink`, telling `progress` (if any) of each run read and
// `explanation` (if any) what the scanner tells of the lines. A word scanner
// whose outlook fails stops the writing there.
// (PassResult's enumerators are spelt out in it: GCC 12 fails on `using enum`
// names in a template.)
template <typename Scanner>
Attempt rewriteWith(Scanner& scanner, ByteSource& source, ByteSink& sink,
                    const RewriteSettings& settings, ProgressMeter* progress,
                    Explanation* explanation) {
  // One thread beside this one reads ahead and writes behind, and checks CR
  // LF text for line ends to convert while this one scans.
  Background background;
  TextReader reader(source, background);
  TextWriter writer(sink, background);
  std::string_view lines;
  ReadResult read = reader.next(&lines);
  // Where the program starts with a '%' line, controllers expect the program
  // to start after it; the word mode puts the header there.
  const size_t markEnd = settings.words && read == ReadResult::lines ? endOfMarkLine(lines) : 0;
  if (markEnd != 0) {
    rewriteLines(lines.substr(0, markEnd), !reader.bareLineFeeds(), scanner, writer, explanation);
    lines.remove_prefix(markEnd);
  }
  writer.write(headerLine(settings));
  writer.writeLineEnd();
  for (; read == ReadResult::lines && writer.ok(); read = reader.next(&lines)) {
    if (progress != nullptr) progress->update(reader.bytesRead());
    // The compact scan on text that needs no converting leaves this thread
    // time to write some of its chunks itself.
    writer.shareWriting(!settings.words && !reader.bareLineFeeds());
    rewriteLines(lines, !reader.bareLineFeeds(), scanner, writer, explanation);
    if constexpr (std::is_same_v<Scanner, WordScanner>) {
      if (!scanner.outlookHolds()) return Attempt{PassResult::Ending::done, true};
    }
  }
  if (progress != nullptr && read == ReadResult::end) progress->update(reader.bytesRead());
  // What is left in the writer's buffer is not written then.
  if (read != ReadResult::lines && read != ReadResult::end) return Attempt{failureOf(read)};
  return Attempt{writer.flush() ? PassResult::Ending::done : PassResult::Ending::writeFailed};
}

// Appends " <name>=<value>" to `header` when `value` is not the default.
void nameSetting(std::string& header, const char* name, double value, double byDefault) {
  if (value == byDefault) return;
  char text[64];
  const auto printed = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  header.append(" ").append(name).append("=").append(text, printed.ptr);
}

// Reads the program from `source` through once, for what only its whole text
// tells the word mode, and goes back to its start; a source that cannot go
// back, such as a pipe, is taken for the worst it could be. Tells `progress`
// (if any) of each run read; returns how the reading ended.
ReadResult lookAhead(ByteSource& source, Outlook* outlook, ProgressMeter* progress) {
  if (!source.rewind()) {
    *outlook = Outlook::worst();
    return ReadResult::end;
  }
  Background background;
  TextReader reader(source, background);
  std::string_view lines;
  ReadResult read = ReadResult::end;
  while ((read = reader.next(&lines)) == ReadResult::lines) {
    if (progress != nullptr) progress->update(reader.bytesRead());
    outlook->read(lines);
  }
  if (read == ReadResult::end && !source.rewind()) return ReadResult::error;
  return read;
}

// Rewrites in the word mode, where a word near the end of a program (a jump,
// a call, a return) can change what a line near its start does, so the
// scanner must know of it from the first line. Into a sink that can start
// over (a temporary file nobody sees yet), the program is rewritten at once
// as one that does none of these, as most programs; where it turns out to,
// the rewrite starts over from the program's start, knowing what it has
// seen, until it sees nothing new: at most twice, for a jump and a return.
// Into one that cannot (standard output), or from a source that cannot go
// back to its start (a pipe), the program is read through first, and
// nothing is written before that.
PassResult rewriteWords(ByteSource& source, ByteSink& sink, const RewriteSettings& settings,
                        Savings* savings, ProgressMeter* progress, Explanation* explanation) {
  Outlook outlook;
  if (!sink.canStartOver() || !source.rewind()) {
    if (progress != nullptr) progress->startPass(0, 2);
    const ReadResult ahead = lookAhead(source, &outlook, progress);
    if (ahead != ReadResult::end) return failureOf(ahead);
    if (progress != nullptr) progress->startPass(1, 2);
  }
  for (;;) {
    WordScanner scanner(settings.heights, outlook);
    const Attempt attempt = rewriteWith(scanner, source, sink, settings, progress, explanation);
    if (!attempt.surprised) {
      if (savings != nullptr) *savings = scanner.savings();
      return attempt.result;
    }
    // Each new start knows more than the one before, so there are at most three.
    outlook = outlook.with(scanner.shown());
    if (!source.rewind()) return PassResult::readFailed;
    if (!sink.startOver()) return PassResult::writeFailed;
    // What the void rewrite gathered was gathered in the belief that was void.
    if (explanation != nullptr) *explanation = Explanation();
  }
}

// Returns a meter of the reading of the open file `input` that reports
// through `report`, or none without a report. Only a file has a size to
// measure the reading against: input of unknown size, such as a pipe, gets none.
std::optional<ProgressMeter> meterFor(FileSystem& fileSystem, FileSystem::Handle input,
                                      const ProgressMeter::Report& report) {
  FileSystem::Version version;
  if (report == nullptr || !fileSystem.version(input, &version)) return std::nullopt;
  return std::optional<ProgressMeter>(std::in_place, version.size, report);
}

}  // namespace

std::string headerLine(const RewriteSettings& settings) {
  std::string header = "(Tarvelin Ver ";
  header += kVersion;
  if (settings.words) header += " words";
  nameSetting(header, "gap", settings.heights.gap, Heights{}.gap);
  nameSetting(header, "first", settings.heights.first, Heights{}.first);
  return header + ")";
}

std::string outputPathFor(std::string_view path, const platform::PathRules& rules) {
  std::string output(path.substr(0, locateName(path, rules).baseEnd));
  output += rules.doneMark;
  output += ".ncd";
  return output;
}

std::string_view echoNameFor(std::string_view path, const platform::PathRules& rules) {
  const NameSpan span = locateName(path, rules);
  return path.substr(span.nameBegin, span.baseEnd - span.nameBegin);
}

PassResult rewriteStream(ByteSource& source, ByteSink& sink, const RewriteSettings& settings,
                         Savings* savings, ProgressMeter* progress, Explanation* explanation) {
  if (settings.words) return rewriteWords(source, sink, settings, savings, progress, explanation);
  PlungeScanner scanner(settings.heights);
  const Attempt attempt = rewriteWith(scanner, source, sink, settings, progress, explanation);
  if (savings != nullptr) *savings = scanner.savings();
  return attempt.result;
}

PassResult processFile(FileSystem& fileSystem, const std::string& path,
                       const platform::PathRules& rules, const RewriteSettings& settings,
                       Savings* savings, const ProgressMeter::Report& report,
                       Explanation* explanation) {
  // An output name that leads to the input (a link to it) would have the
  // program replaced by its own rewrite.
  const std::string outputPath = outputPathFor(path, rules);
  Input input(fileSystem);
  const PassResult opened = input.open(
      path, [&](FileSystem::Handle file) { return fileSystem.isFileAt(file, outputPath); },
      Subject::output, PassResult::Finding::outputIsInput);
  if (opened != PassResult::done) return opened;
  FileSystem::Handle output = 0;
  if (const Error error = fileSystem.createTemp(outputPath, &output)) {
    return {PassResult::openFailed, Subject::output, error};
  }
  // The output takes about as many bytes as the input.
  fileSystem.reserve(output, input.file());
  std::optional<ProgressMeter> progress = meterFor(fileSystem, input.file(), report);
  FileSource source(fileSystem, input.file());
  FileSink sink(fileSystem, output, true);
  const PassResult result =
      explained(input.judge(rewriteStream(source, sink, settings, savings,
                                          progress ? &progress.value() : nullptr, explanation)),
                source, sink, Subject::output);
  if (result != PassResult::done) {
    fileSystem.discard(output);
    return result;
  }
  Error error;
  switch (fileSystem.commit(output, outputPath, &error)) {
    case FileSystem::Commit::done:
      return PassResult::done;
    case FileSystem::Commit::writeFailed:
      return {PassResult::writeFailed, Subject::output, error};
    default:
      // A target that cannot be replaced (a directory, say) is one that cannot be opened.
      return {PassResult::openFailed, Subject::output, error};
  }
}

PassResult streamFile(FileSystem& fileSystem, const std::string& path,
                      const RewriteSettings& settings, Savings* savings,
                      const ProgressMeter::Report& report, Explanation* explanation) {
  // Standard output that goes into the input would be read back without end.
  const FileSystem::Handle output = fileSystem.standardOutput();
  Input input(fileSystem);
  const PassResult opened = input.open(
      path, [&](FileSystem::Handle file) { return fileSystem.sameFile(file, output); },
      Subject::input, PassResult::Finding::standardOutputIsInput);
  if (opened != PassResult::done) return opened;
  std::optional<ProgressMeter> progress = meterFor(fileSystem, input.file(), report);
  FileSource source(fileSystem, input.file());
  FileSink sink(fileSystem, output, false);
  return explained(input.judge(rewriteStream(source, sink, settings, savings,
                                             progress ? &progress.value() : nullptr, explanation)),
                   source, sink, Subject::standardOutput);
}
