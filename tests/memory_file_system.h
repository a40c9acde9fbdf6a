// An in-memory file system for tests, able to fail its Nth operation.
#ifndef TARVELIN_TESTS_MEMORY_FILE_SYSTEM_H_
#define TARVELIN_TESTS_MEMORY_FILE_SYSTEM_H_

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/platform.h"

class MemoryFileSystem : public platform::FileSystem {
 public:
  using Error = platform::Error;
  std::map<std::string, std::string> files;
  std::set<std::string> directories;      // open for reading, but unreadable
  std::set<std::string> writers;          // files another program holds open for writing
  int failAt = 0;                         // the operation to fail, counting from 1; 0 for none
  Error failure{Error::Kind::system, 5};  // what the failed operation reports
  int operations = 0;                     // operations so far
  std::string failedOperation;            // the name of the operation failed, and its path
  std::string failedPath;
  // Called with a file's content after each read of it, as another program might change it.
  std::function<void(std::string&)> afterRead;
  int openHandles() const { return static_cast<int>(handles_.size()); }
  // The writer writes from a thread of its own, so every operation takes the lock.

  Found openRegular(const std::string& path, Handle* file, Error* error) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (failNow("openRegular", path) || directories.count(path) != 0) {
      *error = directories.count(path) != 0 ? platform::refusal(Error::Kind::folder) : failure;
      return Found::unreadable;
    }
    if (files.count(path) == 0) return Found::nothing;
    *file = open(path);
    return Found::file;
  }
  // Names are read as given, and tell files apart as they are.
  Error inputName(const std::string& given, std::string* name) override {
    *name = given;
    return {};
  }
  std::string nameKey(const std::string& path) override { return path; }
  Error openRead(const std::string& path, Handle* file) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (failNow("openRead", path)) return failure;
    if (files.count(path) == 0 && directories.count(path) == 0) return kMissing;
    *file = open(path);
    return {};
  }
  Error createTemp(const std::string& target, Handle* file) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (failNow("createTemp", target)) return failure;
    if (directories.count(target) != 0) return platform::refusal(Error::Kind::folder);
    const std::string tempPath =
        target.substr(0, target.rfind('/') + 1) + ".temp" + std::to_string(++temps_);
    files[tempPath];
    *file = open(tempPath);
    return {};
  }
  void reserve(Handle /*file*/, Handle /*like*/) override {}
  // A file's content stands for its write time.
  bool version(Handle file, Version* version) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::string& path = handles_.at(file).path;
    if (directories.count(path) != 0) return false;
    const std::string& data = files.at(path);
    version->size = data.size();
    version->writeTime = static_cast<int64_t>(std::hash<std::string>{}(data));
    return true;
  }
  bool beingWritten(Handle file) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    return writers.count(handles_.at(file).path) != 0;
  }
  std::ptrdiff_t read(Handle file, char* buffer, size_t size, Error* error) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    Open& f = handles_.at(file);
    if (failNow("read", f.path) || directories.count(f.path) != 0) {
      *error = directories.count(f.path) != 0 ? platform::refusal(Error::Kind::folder) : failure;
      return -1;
    }
    std::string& data = files.at(f.path);
    f.pos = std::min(f.pos, data.size());  // as for a file cut short meanwhile
    const size_t n = std::min({size, kChunk, data.size() - f.pos});
    std::copy_n(data.data() + f.pos, n, buffer);
    f.pos += n;
    if (afterRead) afterRead(data);
    return static_cast<std::ptrdiff_t>(n);
  }
  Error rewind(Handle file) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (failNow("rewind", handles_.at(file).path)) return failure;  // as from a pipe: stays put
    handles_.at(file).pos = 0;
    return {};
  }
  Error write(Handle file, const char* data, size_t size) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (failNow("write", handles_.at(file).path)) return failure;
    files.at(handles_.at(file).path).append(data, size);
    return {};
  }
  Error startOver(Handle file) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (failNow("startOver", handles_.at(file).path)) return failure;
    files.at(handles_.at(file).path).clear();
    return {};
  }
  // Files here have one name each, and these are no operations that can fail.
  bool isFileAt(Handle file, const std::string& path) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    return handles_.at(file).path == path;
  }
  bool sameFile(Handle a, Handle b) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    return handles_.at(a).path == handles_.at(b).path;
  }
  Error close(Handle file) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    return closeLocked(file) ? Error{} : failure;
  }
  Commit commit(Handle file, const std::string& target, Error* error) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::string tempPath = handles_.at(file).path;
    Commit result = Commit::done;
    if (!closeLocked(file)) {
      *error = failure;
      result = Commit::writeFailed;
    } else if (failNow("rename", target) || directories.count(target) != 0) {
      *error = directories.count(target) != 0 ? platform::refusal(Error::Kind::folder) : failure;
      result = Commit::replaceFailed;
    } else {
      files[target] = files[tempPath];
    }
    files.erase(tempPath);
    return result;
  }
  void discard(Handle file) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::string tempPath = handles_.at(file).path;
    closeLocked(file);
    files.erase(tempPath);
  }
  Handle standardOutput() override {
    const std::lock_guard<std::mutex> lock(mutex_);
    files[kStandardOutput];
    return open(kStandardOutput);
  }
  static constexpr const char* kStandardOutput = "<standard output>";
  // What opening a file that is not there reports.
  static constexpr Error kMissing{Error::Kind::noSuchFile, 2};

 private:
  struct Open {
    std::string path;
    size_t pos;
  };
  static constexpr size_t kChunk = 64 << 10;  // reads come in pieces, as from a disk

  bool closeLocked(Handle file) {
    const std::string path = handles_.at(file).path;
    handles_.erase(file);
    return !failNow("close", path);
  }
  bool failNow(const char* operation, const std::string& path) {
    if (++operations != failAt) return false;
    failedOperation = operation;
    failedPath = path;
    return true;
  }
  Handle open(const std::string& path) {
    handles_[++lastHandle_] = Open{path, 0};
    return lastHandle_;
  }

  std::mutex mutex_;
  std::map<Handle, Open> handles_;
  Handle lastHandle_ = 0;
  int temps_ = 0;
};

#endif  // TARVELIN_TESTS_MEMORY_FILE_SYSTEM_H_
