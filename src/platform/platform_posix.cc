#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/platform.h"

namespace platform {
namespace {

// Console output: buffered, written out at once when it goes to a terminal.
char consoleBuffer[4096];
size_t consoleUsed = 0;
int consoleFd = STDOUT_FILENO;

// Writes all bytes to `fd`, retrying after interruptions; false on error.
bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Appends text to the console buffer.
void print(std::string_view text) {
  if (text.size() > sizeof consoleBuffer - consoleUsed) {
    flushConsole();
    if (text.size() > sizeof consoleBuffer) {
      writeAll(consoleFd, text.data(), text.size());
      return;
    }
  }
  std::memcpy(consoleBuffer + consoleUsed, text.data(), text.size());
  consoleUsed += text.size();
  if (isatty(consoleFd) != 0) flushConsole();
}

class PosixFileSystem : public FileSystem {
 public:
  bool openRead(const std::string& path, Handle* file) override {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    *file = fd;
    return fd >= 0;
  }

  bool createTemp(const std::string& target, Handle* file) override {
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 &&
        (S_ISDIR(info.st_mode) || ::access(target.c_str(), W_OK) != 0)) {
      return false;
    }
    const std::string dir = target.substr(0, target.rfind('/') + 1);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string tempPath =
          dir + ".tarvelin-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
      // 0666 is narrowed by the umask, as for any newly created file.
      const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) {
        *file = fd;
        temps_[fd] = tempPath;
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  std::ptrdiff_t read(Handle file, char* buffer, size_t size) override {
    for (;;) {
      const ssize_t n = ::read(static_cast<int>(file), buffer, size);
      if (n >= 0 || errno != EINTR) return n;
    }
  }

  bool rewind(Handle file) override { return ::lseek(static_cast<int>(file), 0, SEEK_SET) == 0; }

  bool write(Handle file, const char* data, size_t size) override {
    return writeAll(static_cast<int>(file), data, size);
  }

  bool close(Handle file) override { return ::close(static_cast<int>(file)) == 0; }

  Commit commit(Handle file, const std::string& target) override {
    const std::string tempPath = temps_[file];
    temps_.erase(file);
    Commit result = Commit::done;
    if (::close(static_cast<int>(file)) != 0) {
      result = Commit::writeFailed;
    } else if (::rename(tempPath.c_str(), target.c_str()) != 0) {
      result = Commit::replaceFailed;
    }
    if (result != Commit::done) ::unlink(tempPath.c_str());
    return result;
  }

  void discard(Handle file) override {
    ::close(static_cast<int>(file));
    ::unlink(temps_[file].c_str());
    temps_.erase(file);
  }

  Handle standardOutput() override { return STDOUT_FILENO; }

 private:
  std::map<Handle, std::string> temps_;  // the name of each temporary file
};

}  // namespace

PathRules pathRules() { return PathRules{"/", "\xE6\xB8\x88"}; }

FileSystem& systemFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

std::vector<std::string> arguments(int argc, char** argv) {
  // A closed console pipe must not kill a run halfway through its files.
  std::signal(SIGPIPE, SIG_IGN);
  return {argv + (argc > 0 ? 1 : 0), argv + argc};
}

std::string settingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && *config == '/') return std::string(config) + "/tarvelin/tarvelin.ini";
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return "";
  return std::string(home) + "/.config/tarvelin/tarvelin.ini";
}

void messagesToStandardError() {
  flushConsole();
  consoleFd = STDERR_FILENO;
}

void printMessage(std::string_view utf8) { print(utf8); }

void printName(std::string_view name) { print(name); }

void flushConsole() {
  writeAll(consoleFd, consoleBuffer, consoleUsed);
  consoleUsed = 0;
}

void waitForKey() {
  flushConsole();
  termios saved{};
  if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &saved) != 0) return;
  print("続行するには何かキーを押してください . . .");
  flushConsole();
  // One key, unechoed and without Enter; Ctrl-C counts as a key too.
  termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw);
  char key = 0;
  while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
  }
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  print("\n");
  flushConsole();
}

void exitProcess(int status) {
  flushConsole();
  std::exit(status);
}

}  // namespace platform
