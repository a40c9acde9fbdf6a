#include "rewrite/file_pass.h"

#include "rewrite/plunge_scanner.h"

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

class FileSource : public ByteSource {
 public:
  FileSource(FileSystem& fileSystem, FileSystem::Handle file) : fs_(fileSystem), file_(file) {}
  std::ptrdiff_t read(char* buffer, size_t size) override { return fs_.read(file_, buffer, size); }
  bool rewind() override { return fs_.rewind(file_); }

 private:
  FileSystem& fs_;
  FileSystem::Handle file_;
};

class FileSink : public ByteSink {
 public:
  FileSink(FileSystem& fileSystem, FileSystem::Handle file) : fs_(fileSystem), file_(file) {}
  bool write(const char* data, size_t size) override { return fs_.write(file_, data, size); }

 private:
  FileSystem& fs_;
  FileSystem::Handle file_;
};

// Writes a run of whole lines as rewritten: approach lines go in front of
// their plunges, and everything else is copied in long stretches, given CR LF
// line ends where `crLfOnly` does not promise them.
void rewriteLines(std::string_view lines, bool crLfOnly, PlungeScanner& scanner, NcWriter& writer) {
  const auto copy = [&](std::string_view text) {
    if (crLfOnly) {
      writer.write(text);
    } else {
      writer.writeText(text);
    }
  };
  size_t lineEnd = 0;
  for (size_t at; (at = scanner.scanLines(lines, &lineEnd)) != lines.size();) {
    copy(lines.substr(0, at));
    writer.write(scanner.approachLine());
    writer.writeLineEnd();
    copy(lines.substr(at, lineEnd - at));
    lines.remove_prefix(lineEnd);
  }
  copy(lines);
}

}  // namespace

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

PassResult rewriteStream(ByteSource& source, ByteSink& sink) {
  NcReader reader(source);
  NcWriter writer(sink);
  PlungeScanner scanner;
  writer.write("(Tarvelin Ver ");
  writer.write(kVersion);
  writer.write(")");
  writer.writeLineEnd();
  std::string_view lines;
  ReadResult read;
  while ((read = reader.next(&lines)) == ReadResult::lines && writer.ok()) {
    rewriteLines(lines, !reader.bareLineFeeds(), scanner, writer);
  }
  if (read == ReadResult::error) return PassResult::readFailed;
  return writer.flush() ? PassResult::done : PassResult::writeFailed;
}

PassResult processFile(FileSystem& fileSystem, const std::string& path,
                       const platform::PathRules& rules) {
  FileSystem::Handle input = 0;
  if (!fileSystem.openRead(path, &input)) return PassResult::openFailed;
  const std::string outputPath = outputPathFor(path, rules);
  FileSystem::Handle output = 0;
  if (!fileSystem.createTemp(outputPath, &output)) {
    fileSystem.close(input);
    return PassResult::openFailed;
  }
  FileSource source(fileSystem, input);
  FileSink sink(fileSystem, output);
  const PassResult result = rewriteStream(source, sink);
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
