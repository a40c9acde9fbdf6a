// What every system's file layer does alike, over the FileSystem interface.
#include "platform/platform.h"

namespace platform {

FileSystem::Found readWholeFile(FileSystem& fileSystem, const std::string& path, std::string* text,
                                Error* error) {
  constexpr size_t kLargest = size_t{1} << 20;
  FileSystem::Handle file = 0;
  const FileSystem::Found found = fileSystem.openRegular(path, &file, error);
  if (found != FileSystem::Found::file) return found;
  char buffer[4096];
  std::ptrdiff_t got = 0;
  while (text->size() <= kLargest &&
         (got = fileSystem.read(file, buffer, sizeof buffer, error)) > 0) {
    text->append(buffer, static_cast<size_t>(got));
  }
  fileSystem.close(file);
  if (got < 0) return FileSystem::Found::unreadable;
  if (text->size() > kLargest) {
    *error = refusal(Error::Kind::tooLarge);
    return FileSystem::Found::unreadable;
  }
  return found;
}

}  // namespace platform
