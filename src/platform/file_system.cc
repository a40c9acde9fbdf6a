// What every system's file layer does alike, over the FileSystem interface.
#include "platform/platform.h"

namespace platform {

FileSystem::Found readWholeFile(FileSystem& fileSystem, const std::string& path,
                                std::string* text) {
  constexpr size_t kLargest = size_t{1} << 20;
  FileSystem::Handle file = 0;
  const FileSystem::Found found = fileSystem.openRegular(path, &file);
  if (found != FileSystem::Found::file) return found;
  char buffer[4096];
  std::ptrdiff_t got = 0;
  while (text->size() <= kLargest && (got = fileSystem.read(file, buffer, sizeof buffer)) > 0) {
    text->append(buffer, static_cast<size_t>(got));
  }
  fileSystem.close(file);
  return got == 0 && text->size() <= kLargest ? found : FileSystem::Found::unreadable;
}

}  // namespace platform
