// Copies a program the way the rewrite reads and writes it, with nothing in it
// read as moves: the same output file, chunks, threads, checks and line-end
// conversion. Set beside `dd` and the rewrite, its time shows how much of the
// rewrite's time the moving of the bytes takes on this machine.
// Usage: copy_floor <input> <output>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "rewrite/file_pass.h"

namespace {

using platform::FileSystem;

// Copies everything `source` holds to `sink` as text; returns false on failure.
bool copyText(ByteSource& source, ByteSink& sink) {
  Background background;
  TextReader reader(source, background);
  TextWriter writer(sink, background);
  std::string_view lines;
  ReadResult read = ReadResult::end;
  while ((read = reader.next(&lines)) == ReadResult::lines) {
    writer.shareWriting(!reader.bareLineFeeds());
    if (reader.bareLineFeeds()) {
      writer.writeText(lines);
    } else {
      writer.write(lines);
    }
  }
  return read == ReadResult::end && writer.flush();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: copy_floor <input> <output>\n", stderr);
    return 2;
  }
  FileSystem& files = platform::systemFileSystem();
  FileSystem::Handle input = 0;
  FileSystem::Handle output = 0;
  if (files.openRead(argv[1], &input)) return 1;
  if (files.createTemp(argv[2], &output)) return 1;
  files.reserve(output, input);
  FileSource source(files, input);
  FileSink sink(files, output, true);
  const bool copied = copyText(source, sink);
  files.close(input);
  if (!copied) {
    files.discard(output);
    return 1;
  }
  platform::Error error;
  return files.commit(output, argv[2], &error) == FileSystem::Commit::done ? 0 : 1;
}
