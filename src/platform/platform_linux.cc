#include <fcntl.h>
#include <linux/magic.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <clocale>
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

// Writes all bytes to `fd`, retrying after interruptions; returns 0, or the
// error number of the write that failed.
int writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;  // no progress and no error: nothing more will go
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
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

// The signals that end a run early; they are caught to clean up first.
constexpr std::array<int, 3> kInterrupts = {SIGINT, SIGTERM, SIGHUP};

// What an interrupt must undo before the process ends, kept where a signal
// handler may read it: the name of a temporary file that has one, and the
// terminal's settings while the key wait has changed them.
char pendingTemp[PATH_MAX];
std::atomic<bool> tempPending{false};
termios savedTerminal{};
std::atomic<bool> terminalChanged{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read from a signal handler");

// Removes the temporary file and restores the terminal, then ends the process
// by the same signal, as if it had not been caught. Async-signal-safe.
void onInterrupt(int number) {
  if (tempPending.load()) ::unlink(pendingTemp);
  if (terminalChanged.load()) ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
  ::signal(number, SIG_DFL);
  ::raise(number);
}

// Returns the set of interrupt signals.
sigset_t interruptSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int number : kInterrupts) sigaddset(&set, number);
  return set;
}

// Catches the interrupt signals, except those the run was started with
// ignored (as nohup does), which stay ignored.
void catchInterrupts() {
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  action.sa_mask = interruptSet();
  for (const int number : kInterrupts) {
    struct sigaction old {};
    if (::sigaction(number, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
      ::sigaction(number, &action, nullptr);
    }
  }
}

// Holds the interrupt signals off while it lives, so that a temporary file
// and the record of its name come and go together.
class InterruptsHeld {
 public:
  InterruptsHeld() {
    const sigset_t set = interruptSet();
    pthread_sigmask(SIG_BLOCK, &set, &saved_);
  }
  ~InterruptsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t saved_{};
};

// Returns the folder part of `path`, with its final '/'; empty for a bare name.
std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

// Returns the name under which the process reaches its open file `fd`.
std::string procPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// True when the link `link` in `dir` is one the kernel's protected_symlinks
// would not follow: in a sticky folder open to all, and owned by neither the
// user nor the folder's owner, so possibly put there to aim an output at the
// user's own files.
bool strangersLink(const struct stat& link, const std::string& dir) {
  struct stat folder {};
  return ::stat(dir.empty() ? "." : dir.c_str(), &folder) == 0 &&
         (folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH) &&
         link.st_uid != ::geteuid() && link.st_uid != folder.st_uid;
}

// Returns why `info`, which is there, is no input: a folder, or something
// else that is neither a regular file nor a pipe.
Error notInput(const struct stat& info) {
  return refusal(S_ISDIR(info.st_mode) ? Error::Kind::folder : Error::Kind::notAFile);
}

// Follows `path` through symbolic links to the file that a plain open for
// writing would write, which need not exist yet. A link to anything but a
// regular file is not followed but replaced itself, as before, so that a
// device or pipe it points to is never replaced. Fails for a stranger's link
// and for a loop.
Error followLinks(const std::string& path, std::string* resolved) {
  *resolved = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat link {};
    struct stat end {};
    if (::lstat(resolved->c_str(), &link) != 0 || !S_ISLNK(link.st_mode) ||
        (::stat(resolved->c_str(), &end) == 0 && !S_ISREG(end.st_mode))) {
      return {};
    }
    const std::string dir = folderOf(*resolved);
    if (strangersLink(link, dir)) return refusal(Error::Kind::strangersLink);
    char target[PATH_MAX];
    const ssize_t n = ::readlink(resolved->c_str(), target, sizeof target);
    if (n < 0) return systemError(errno);
    if (n == 0 || static_cast<size_t>(n) == sizeof target) return systemError(ENAMETOOLONG);
    *resolved = (target[0] == '/' ? "" : dir) + std::string(target, static_cast<size_t>(n));
  }
  return systemError(ELOOP);
}

// Tries `create` on fresh names in `dir` until one is free; on success keeps
// the name in `*name` and for the interrupt handler. Interrupts must be held.
template <typename Create>
Error atFreshName(const std::string& dir, std::string* name, Create create) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name =
        dir + ".tarvelin-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
    if (name->size() >= sizeof pendingTemp) return systemError(ENAMETOOLONG);
    if (create(name->c_str())) {
      std::memcpy(pendingTemp, name->c_str(), name->size() + 1);
      tempPending.store(true);
      return {};
    }
    if (errno != EEXIST) return systemError(errno);
  }
  return systemError(EEXIST);
}

// Opens a file without a name in `dir`, to be named once complete; returns -1
// with errno set when that cannot be done.
int openUnnamed(const std::string& dir) {
  // 0666 is narrowed by the umask, as for any newly created file.
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0 || ::access(procPath(fd).c_str(), F_OK) == 0) return fd;
  // Without /proc the file could never be given a name.
  ::close(fd);
  errno = EOPNOTSUPP;
  return -1;
}

// True when `error` from openUnnamed() says that the system or the file system
// has no unnamed files (EISDIR from kernels older than O_TMPFILE), rather than
// that the folder refuses new files.
bool unnamedUnsupported(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

// Gives the new file `fd` the permission bits of the file it replaces, and its
// owner and group as far as the user may give them (only root may give a file
// away); fails when the bits cannot be set.
Error keepOwnerAndMode(int fd, const struct stat& replaced) {
  struct stat made {};
  if (::fstat(fd, &made) != 0) return systemError(errno);
  if ((made.st_uid != replaced.st_uid || made.st_gid != replaced.st_gid) &&
      ::fchown(fd, replaced.st_uid, replaced.st_gid) != 0 &&
      ::fchown(fd, static_cast<uid_t>(-1), replaced.st_gid) != 0) {
    // Neither owner nor group could be kept: the file stays the user's, as a new one would.
  }
  const mode_t bits = replaced.st_mode & 0777;
  if ((made.st_mode & 0777) == bits || ::fchmod(fd, bits) == 0) return {};
  return systemError(errno);
}

// True for what may be read as a program: a regular file, or a pipe.
bool isInput(const struct stat& info) { return S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode); }

// True iff the open file `fd` is the file that `info` describes.
bool isFile(int fd, const struct stat& info) {
  struct stat open {};
  return ::fstat(fd, &open) == 0 && open.st_dev == info.st_dev && open.st_ino == info.st_ino;
}

class PosixFileSystem : public FileSystem {
 public:
  // Looked at before it is opened, so that a pipe or device is never opened,
  // and opened without waiting in case it became one meanwhile.
  Found openRegular(const std::string& path, Handle* file, Error* error) override {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
      const int number = errno;
      const bool missing = number == ENOENT || number == ENOTDIR;
      // A link that leads nowhere is something, which then cannot be read.
      if (missing && ::lstat(path.c_str(), &info) != 0) return Found::nothing;
      *error = missing ? refusal(Error::Kind::brokenLink) : systemError(number);
      return Found::unreadable;
    }
    if (!S_ISREG(info.st_mode)) {
      *error = notInput(info);
      return Found::unreadable;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
      *error = systemError(errno);
      return Found::unreadable;
    }
    // The name may have been given to another file meanwhile.
    *error = ::fstat(fd, &info) != 0 ? systemError(errno)
             : S_ISREG(info.st_mode) ? Error{}
                                     : notInput(info);
    if (*error) {
      ::close(fd);
      return Found::unreadable;
    }
    *file = fd;
    return Found::file;
  }

  // A Windows shortcut here is no link the system follows: it is read as a
  // file, and refused for its bytes.
  Error inputName(const std::string& given, std::string* name) override {
    *name = given;
    return {};
  }

  // The name's links are followed as a write to it would follow them, and
  // its folder is named by the path the system resolves it to.
  std::string nameKey(const std::string& path) override {
    std::string resolved;
    if (followLinks(path, &resolved)) resolved = path;
    const std::string dir = folderOf(resolved);
    char real[PATH_MAX];
    if (::realpath(dir.empty() ? "." : dir.c_str(), real) == nullptr) return resolved;
    const std::string folder(real);
    return folder + (folder.ends_with('/') ? "" : "/") + resolved.substr(dir.size());
  }

  // Anything else is refused before it is opened, since opening a device may
  // do something and reading one may never end (/dev/zero), and again once
  // open, in case the name was given to another file meanwhile.
  Error openRead(const std::string& path, Handle* file) override {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return systemError(errno);
    if (!isInput(info)) return notInput(info);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return systemError(errno);
    const Error error = ::fstat(fd, &info) != 0 ? systemError(errno)
                        : isInput(info)         ? Error{}
                                                : notInput(info);
    if (error) {
      ::close(fd);
      return error;
    }
    *file = fd;
    return {};
  }

  // The temporary file has no name until commit() where the file system
  // allows; elsewhere it has a hidden name that an interrupt removes.
  Error createTemp(const std::string& target, Handle* file) override {
    TempFile temp;
    if (const Error error = followLinks(target, &temp.target)) return error;
    struct stat existing {};
    const bool replacing = ::stat(temp.target.c_str(), &existing) == 0;
    if (replacing && S_ISDIR(existing.st_mode)) return refusal(Error::Kind::folder);
    if (replacing && ::access(temp.target.c_str(), W_OK) != 0) return systemError(errno);
    const std::string dir = folderOf(temp.target);
    const InterruptsHeld held;
    int fd = openUnnamed(dir);
    Error error = fd < 0 ? systemError(errno) : Error{};
    if (fd < 0 && unnamedUnsupported(error.number)) {
      error = atFreshName(dir, &temp.name, [&fd](const char* name) {
        fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return fd >= 0;
      });
    }
    if (fd < 0) return error;
    *file = fd;
    temps_[fd] = temp;
    if (replacing) error = keepOwnerAndMode(fd, existing);
    if (error) discard(fd);
    return error;
  }

  // Room past the end does not change the file's size. Only ext4 and XFS
  // are asked for it: they give back what a file did not take when it is cut
  // to its own size, where btrfs keeps a whole extent for the part of it in
  // use and tmpfs would hold the room in memory. One that fails part of the
  // way may keep what it set aside, so commit() gives back the room whatever
  // the outcome. No more than half the free room is taken, so that an input
  // whose text ends early (at a 0x1A) cannot fill the disk for a moment.
  void reserve(Handle file, Handle like) override {
    const int fd = static_cast<int>(file);
    struct stat input {};
    struct statfs disk {};
    if (::fstat(static_cast<int>(like), &input) != 0 || !S_ISREG(input.st_mode) ||
        input.st_size == 0 || ::fstatfs(fd, &disk) != 0 ||
        (disk.f_type != EXT4_SUPER_MAGIC && disk.f_type != XFS_SUPER_MAGIC) ||
        static_cast<unsigned long long>(input.st_size) >
            static_cast<unsigned long long>(disk.f_bavail) * disk.f_bsize / 2) {
      return;
    }
    temps_.at(file).reserved = true;
    static_cast<void>(::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, input.st_size));
  }

  bool version(Handle file, Version* version) override {
    struct stat info {};
    if (::fstat(static_cast<int>(file), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    version->size = static_cast<uint64_t>(info.st_size);
    version->writeTime = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                         static_cast<int64_t>(info.st_mtim.tv_nsec);
    return true;
  }

  // A read lease is granted only while no one has the file open for
  // writing; it is given back at once, so that no writer waits for it. The
  // system grants leases only to the file's owner and to root, on local file
  // systems: elsewhere nothing can be told.
  bool beingWritten(Handle file) override {
    const int fd = static_cast<int>(file);
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
      ::fcntl(fd, F_SETLEASE, F_UNLCK);
      return false;
    }
    return errno == EAGAIN;
  }

  std::ptrdiff_t read(Handle file, char* buffer, size_t size, Error* error) override {
    for (;;) {
      const ssize_t n = ::read(static_cast<int>(file), buffer, size);
      if (n >= 0) return n;
      if (errno != EINTR) {
        *error = systemError(errno);
        return -1;
      }
    }
  }

  Error rewind(Handle file) override {
    return ::lseek(static_cast<int>(file), 0, SEEK_SET) == 0 ? Error{} : systemError(errno);
  }

  Error write(Handle file, const char* data, size_t size) override {
    const int number = writeAll(static_cast<int>(file), data, size);
    return number == 0 ? Error{} : systemError(number);
  }

  Error startOver(Handle file) override {
    const int fd = static_cast<int>(file);
    const bool emptied = ::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0;
    return emptied ? Error{} : systemError(errno);
  }

  bool isFileAt(Handle file, const std::string& path) override {
    struct stat named {};
    return ::stat(path.c_str(), &named) == 0 && isFile(static_cast<int>(file), named);
  }

  bool sameFile(Handle a, Handle b) override {
    struct stat other {};
    return ::fstat(static_cast<int>(b), &other) == 0 && isFile(static_cast<int>(a), other);
  }

  Error close(Handle file) override {
    return ::close(static_cast<int>(file)) == 0 ? Error{} : systemError(errno);
  }

  // An unnamed file is linked under a hidden name first, since the system can
  // only give it a name that is free; that name then replaces the target.
  Commit commit(Handle file, const std::string& /*target*/, Error* error) override {
    const int fd = static_cast<int>(file);
    TempFile temp = temps_.at(file);
    temps_.erase(file);
    if (temp.reserved) giveBackRoom(fd);
    const InterruptsHeld held;
    if (temp.name.empty()) {
      *error = atFreshName(folderOf(temp.target), &temp.name, [fd](const char* name) {
        return ::linkat(AT_FDCWD, procPath(fd).c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0;
      });
      if (*error) {
        ::close(fd);
        return Commit::replaceFailed;
      }
    }
    Commit result = Commit::done;
    if (::close(fd) != 0) {
      *error = systemError(errno);
      result = Commit::writeFailed;
    } else if (::rename(temp.name.c_str(), temp.target.c_str()) != 0) {
      *error = systemError(errno);
      result = Commit::replaceFailed;
    }
    if (result != Commit::done) ::unlink(temp.name.c_str());
    tempPending.store(false);
    return result;
  }

  void discard(Handle file) override {
    const InterruptsHeld held;
    ::close(static_cast<int>(file));
    const std::string& name = temps_.at(file).name;
    if (!name.empty()) ::unlink(name.c_str());
    tempPending.store(false);
    temps_.erase(file);
  }

  Handle standardOutput() override { return STDOUT_FILENO; }

 private:
  struct TempFile {
    std::string target;     // the file it is to replace, links followed
    std::string name;       // its hidden name; empty while it has none
    bool reserved = false;  // it has room set aside past its end
  };

  // Gives back the room set aside past the end of the file: cutting a file
  // to the size it has frees the room past its end, and changes nothing
  // else. Returns false when it could not, which only leaves the room taken.
  static bool giveBackRoom(int fd) {
    struct stat written {};
    return ::fstat(fd, &written) == 0 && ::ftruncate(fd, written.st_size) == 0;
  }
  std::map<Handle, TempFile> temps_;
};

}  // namespace

Error systemError(int number) {
  using Kind = Error::Kind;
  switch (number) {
    case ENOENT:
    case ENOTDIR:
      return Error{Kind::noSuchFile, number};
    case EACCES:
    case EPERM:
      return Error{Kind::noPermission, number};
    case EISDIR:
      return Error{Kind::folder, number};
    case ENOSPC:
    case EDQUOT:
      return Error{Kind::noSpace, number};
    case EROFS:
      return Error{Kind::readOnlyDisk, number};
    case ETXTBSY:
    case EBUSY:
      return Error{Kind::inUse, number};
    default:
      return Error{Kind::system, number};
  }
}

Language userLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return std::string_view(value).starts_with("ja") ? Language::japanese : Language::english;
    }
  }
  return Language::english;
}

// The C locale has the system's English words; the user's own locale, where
// it is a Japanese one, its Japanese words.
std::string systemErrorText(int number, Language language) {
  locale_t locale = newlocale(LC_ALL_MASK, language == Language::japanese ? "" : "C", nullptr);
  if (locale == nullptr) locale = newlocale(LC_ALL_MASK, "C", nullptr);
  if (locale == nullptr) return "";
  std::string text = strerror_l(number, locale);
  freelocale(locale);
  while (!text.empty() && (text.back() == '.' || text.back() == '\n')) text.pop_back();
  return text;
}

PathRules pathRules() { return PathRules{"/", "\xE6\xB8\x88"}; }

FileSystem& systemFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

std::vector<std::string> arguments(int argc, char** argv) {
  // A closed console pipe must not kill a run halfway through its files.
  std::signal(SIGPIPE, SIG_IGN);
  // A writer that opens the input just while its lease is held would end the
  // run by this signal's default.
  std::signal(SIGIO, SIG_IGN);
  catchInterrupts();
  return {argv + (argc > 0 ? 1 : 0), argv + argc};
}

std::string settingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && *config == '/') return std::string(config) + "/tarvelin/tarvelin.ini";
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return "";
  return std::string(home) + "/.config/tarvelin/tarvelin.ini";
}

bool hasEnvironmentVariable(const char* name) { return std::getenv(name) != nullptr; }

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

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void printOnStandardError(std::string_view text) {
  flushConsole();
  writeAll(STDERR_FILENO, text.data(), text.size());
}

void waitForKey(std::string_view prompt) {
  flushConsole();
  termios saved{};
  if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &saved) != 0) return;
  print(prompt);
  flushConsole();
  // One key, unechoed and without Enter; Ctrl-C counts as a key too.
  termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  savedTerminal = saved;
  terminalChanged.store(true);
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw);
  char key = 0;
  while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
  }
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  terminalChanged.store(false);
  print("\n");
  flushConsole();
}

void exitProcess(int status) {
  flushConsole();
  std::exit(status);
}

}  // namespace platform
