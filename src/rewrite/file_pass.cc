#include "rewrite/file_pass.h"

#include <charconv>
#include <optional>

#include "rewrite/plunge_scanner.h"
#include "rewrite/word_scanner.h"

static_assert(WordScanner::kLongestLine == TextReader::kMaxLine,
              "the word mode knows the pieces of a line by the reader's cap");

namespace {

using platform::FileSystem;

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
  // that another program still holds open for writing: a copy that stalled
  // while the file was read changes nothing in it meanwhile.
  PassResult judge(PassResult result) const {
    if (result != PassResult::done || !watched_) return result;
    FileSystem::Version now;
    const bool unchanged = fs_.version(file_, &now) && now == opened_ && settled();
    return unchanged ? result : PassResult::inputChanged;
  }

 private:
  FileSystem& fs_;
  FileSystem::Handle file_;
  FileSystem::Version opened_;
  bool watched_;
};

// Writes a run of whole lines as rewritten: approach lines go in front of
// their plunges, and everything else is copied in long stretches, given CR LF
// line ends where `crLfOnly` does not promise them.
template <typename Scanner>
void rewriteLines(std::string_view lines, bool crLfOnly, Scanner& scanner, TextWriter& writer) {
  const auto copy = [&](std::string_view text) {
    if (crLfOnly) {
      writer.write(text);
    } else {
      writer.writeText(text);
    }
  };
  size_t copied = 0;
  scanner.scanRun(lines, [&](size_t lineStart, std::string_view approach) {
    copy(lines.substr(copied, lineStart - copied));
    writer.write(approach);
    writer.writeLineEnd();
    copied = lineStart;
  });
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

// Writes the header line and the rewritten program read by `reader`, its
// moves read by `scanner`, telling `progress` (if any) of each run read;
// returns how the reading ended.
template <typename Scanner>
ReadResult rewriteWith(Scanner& scanner, TextReader& reader, TextWriter& writer,
                       const RewriteSettings& settings, ProgressMeter* progress) {
  std::string_view lines;
  ReadResult read = reader.next(&lines);
  // Where the program starts with a '%' line, controllers expect the program
  // to start after it; the word mode puts the header there.
  const size_t markEnd = settings.words && read == ReadResult::lines ? endOfMarkLine(lines) : 0;
  if (markEnd != 0) {
    rewriteLines(lines.substr(0, markEnd), !reader.bareLineFeeds(), scanner, writer);
    lines.remove_prefix(markEnd);
  }
  writer.write(headerLine(settings));
  writer.writeLineEnd();
  for (; read == ReadResult::lines && writer.ok(); read = reader.next(&lines)) {
    if (progress != nullptr) progress->update(reader.bytesRead());
    // The compact scan on text that needs no converting leaves this thread
    // time to write some of its chunks itself.
    writer.shareWriting(!settings.words && !reader.bareLineFeeds());
    rewriteLines(lines, !reader.bareLineFeeds(), scanner, writer);
  }
  return read;
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
                         Savings* savings, ProgressMeter* progress) {
  // The word mode reads the program through once first, and nothing is
  // written before that reading is done.
  Outlook outlook;
  if (settings.words) {
    if (progress != nullptr) progress->startPass(0, 2);
    const ReadResult ahead = lookAhead(source, &outlook, progress);
    if (ahead == ReadResult::error) return PassResult::readFailed;
    if (ahead == ReadResult::textAfterEnd) return PassResult::textAfterEnd;
    if (progress != nullptr) progress->startPass(1, 2);
  }
  // One thread beside this one reads ahead and writes behind, and checks CR
  // LF text for line ends to convert while this one scans.
  Background background;
  TextReader reader(source, background);
  TextWriter writer(sink, background);
  ReadResult read = ReadResult::end;
  Savings saved;
  if (settings.words) {
    WordScanner scanner(settings.heights, outlook);
    read = rewriteWith(scanner, reader, writer, settings, progress);
    saved = scanner.savings();
  } else {
    PlungeScanner scanner(settings.heights);
    read = rewriteWith(scanner, reader, writer, settings, progress);
    saved = scanner.savings();
  }
  if (savings != nullptr) *savings = saved;
  if (progress != nullptr && read == ReadResult::end) progress->update(reader.bytesRead());
  // What is left in the writer's buffer is not written then.
  if (read == ReadResult::error) return PassResult::readFailed;
  if (read == ReadResult::textAfterEnd) return PassResult::textAfterEnd;
  return writer.flush() ? PassResult::done : PassResult::writeFailed;
}

PassResult processFile(FileSystem& fileSystem, const std::string& path,
                       const platform::PathRules& rules, const RewriteSettings& settings,
                       Savings* savings) {
  FileSystem::Handle input = 0;
  if (!fileSystem.openRead(path, &input)) return PassResult::openFailed;
  // An output name that leads to the input (a link to it) would have the
  // program replaced by its own rewrite.
  const std::string outputPath = outputPathFor(path, rules);
  if (fileSystem.isFileAt(input, outputPath)) {
    fileSystem.close(input);
    return PassResult::openFailed;
  }
  const InputWatch watch(fileSystem, input);
  if (!watch.settled()) {
    fileSystem.close(input);
    return PassResult::inputChanged;
  }
  FileSystem::Handle output = 0;
  if (!fileSystem.createTemp(outputPath, &output)) {
    fileSystem.close(input);
    return PassResult::openFailed;
  }
  // The output takes about as many bytes as the input.
  fileSystem.reserve(output, input);
  FileSource source(fileSystem, input);
  FileSink sink(fileSystem, output);
  const PassResult result = watch.judge(rewriteStream(source, sink, settings, savings));
  fileSystem.close(input);
  if (result != PassResult::done) {
    fileSystem.discard(output);
    return result;
  }
  switch (fileSystem.commit(output, outputPath)) {
    case FileSystem::Commit::done:
      return PassResult::done;
    case FileSystem::Commit::writeFailed:
      return PassResult::writeFailed;
    default:
      // A target that cannot be replaced (a directory, say) is one that cannot be opened.
      return PassResult::openFailed;
  }
}

PassResult streamFile(FileSystem& fileSystem, const std::string& path,
                      const RewriteSettings& settings, Savings* savings,
                      ProgressMeter::Report report) {
  FileSystem::Handle input = 0;
  if (!fileSystem.openRead(path, &input)) return PassResult::openFailed;
  // Standard output that goes into the input would be read back without end.
  const FileSystem::Handle output = fileSystem.standardOutput();
  if (fileSystem.sameFile(input, output)) {
    fileSystem.close(input);
    return PassResult::openFailed;
  }
  const InputWatch watch(fileSystem, input);
  if (!watch.settled()) {
    fileSystem.close(input);
    return PassResult::inputChanged;
  }
  // Only a file has a size to measure the reading against.
  FileSystem::Version version;
  std::optional<ProgressMeter> progress;
  if (report != nullptr && fileSystem.version(input, &version))
    progress.emplace(version.size, report);
  FileSource source(fileSystem, input);
  FileSink sink(fileSystem, output);
  const PassResult result = watch.judge(
      rewriteStream(source, sink, settings, savings, progress ? &progress.value() : nullptr));
  fileSystem.close(input);
  return result;
}
