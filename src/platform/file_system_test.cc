// The system's own files: what tells a file that changed from one that did
// not; and the reading of a small file whole, over any file system.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "memory_file_system.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;
using Version = platform::FileSystem::Version;

// Returns `path` as the UTF-8 text that the file system takes.
std::string utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

// Returns a path for a scratch file of its own in the temporary folder, so
// that test runs at the same time keep apart.
fs::path scratchFile(const std::string& name) {
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return fs::temp_directory_path() / ("tarvelin-" + std::to_string(now) + "-" + name);
}

TEST(SystemFileSystem, AFilesVersionChangesWithItsSizeOrWriteTime) {
  platform::FileSystem& files = platform::systemFileSystem();
  const fs::path path = scratchFile("version.nc");
  std::ofstream(path, std::ios::binary) << "G00Z5.\r\n";
  platform::FileSystem::Handle file = 0;
  ASSERT_FALSE(files.openRead(utf8(path), &file));

  Version opened;
  Version now;
  ASSERT_TRUE(files.version(file, &opened));
  EXPECT_EQ(opened.size, 8u);
  ASSERT_TRUE(files.version(file, &now));
  EXPECT_EQ(now, opened);

  std::ofstream(path, std::ios::binary | std::ios::app) << "M30\r\n";  // still being written
  ASSERT_TRUE(files.version(file, &now));
  EXPECT_EQ(now.size, 13u);

  const Version grown = now;  // saved again at the same size, at another time
  fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(1));
  ASSERT_TRUE(files.version(file, &now));
  EXPECT_EQ(now.size, grown.size);
  EXPECT_NE(now.writeTime, grown.writeTime);

  EXPECT_FALSE(files.close(file));
  fs::remove(path);
}

TEST(SystemFileSystem, AFileHeldOpenForWritingIsBeingWritten) {
  platform::FileSystem& files = platform::systemFileSystem();
  const fs::path path = scratchFile("writer.nc");
  auto writer = std::make_unique<std::ofstream>(path, std::ios::binary);
  *writer << "G00Z5.\r\n" << std::flush;
  platform::FileSystem::Handle file = 0;
  ASSERT_FALSE(files.openRead(utf8(path), &file));
  EXPECT_TRUE(files.beingWritten(file));
  writer.reset();
  EXPECT_FALSE(files.beingWritten(file));
  EXPECT_FALSE(files.close(file));
  fs::remove(path);
}

TEST(SystemFileSystem, AFolderHasNoVersion) {
  platform::FileSystem& files = platform::systemFileSystem();
  platform::FileSystem::Handle file = 0;
  // Only some systems open a folder for reading at all.
  if (!files.openRead(utf8(fs::temp_directory_path()), &file)) {
    Version version;
    EXPECT_FALSE(files.version(file, &version));
    files.close(file);
  }
}

// The system's own words for an error are what a cause line falls back on,
// in either language: one line without a final period. 5 is EIO on Linux and
// ERROR_ACCESS_DENIED on Windows.
TEST(SystemErrorText, IsOneLineWithoutAFinalPeriod) {
  for (const platform::Language language :
       {platform::Language::japanese, platform::Language::english}) {
    const std::string text = platform::systemErrorText(5, language);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    EXPECT_NE(text.back(), '.') << text;
  }
}

// A small file is read whole; anything else is nothing or unreadable, with
// why, and no file is left open either way.
TEST(ReadWholeFile, ReadsASmallRegularFileAndRefusesTheRest) {
  using Found = platform::FileSystem::Found;
  using Kind = platform::Error::Kind;
  const std::string largest(size_t{1} << 20, ';');
  struct Case {
    const char* name;
    std::string content;  // of the file "a.ini"
    const char* path;
    int failAt;  // the file system's operation to fail, 0 for none
    Found found;
    Kind why;
  } const cases[] = {
      {"a file", "words = yes\n", "a.ini", 0, Found::file, Kind::none},
      {"an empty file", "", "a.ini", 0, Found::file, Kind::none},
      {"1 MiB", largest, "a.ini", 0, Found::file, Kind::none},
      {"more than 1 MiB", largest + "\n", "a.ini", 0, Found::unreadable, Kind::tooLarge},
      {"nothing there", "", "b.ini", 0, Found::nothing, Kind::none},
      {"a folder", "", "folder", 0, Found::unreadable, Kind::folder},
      {"a failed open", "", "a.ini", 1, Found::unreadable, Kind::system},
      {"a failed read", "words = yes\n", "a.ini", 2, Found::unreadable, Kind::system},
  };
  for (const Case& c : cases) {
    MemoryFileSystem files;
    files.files["a.ini"] = c.content;
    files.directories.insert("folder");
    files.failAt = c.failAt;
    std::string text;
    platform::Error error;
    EXPECT_EQ(platform::readWholeFile(files, c.path, &text, &error), c.found) << c.name;
    EXPECT_EQ(error.kind, c.why) << c.name;
    if (c.found == Found::file) {
      EXPECT_EQ(text, c.content) << c.name;
    }
    EXPECT_EQ(files.openHandles(), 0) << c.name;
  }
}

}  // namespace
