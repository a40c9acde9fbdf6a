// The one narrow layer between the program and the operating system:
// files, console, arguments, the wait for a key and the process end.
// platform_linux.cc and platform_win32.cc implement it.
#ifndef TARVELIN_PLATFORM_PLATFORM_H_
#define TARVELIN_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// How this system writes file names. Paths travel through the program as
// UTF-8 on every system, so no byte of a longer character can look like a
// separator or a '.'.
struct PathRules {
  std::string_view separators;  // bytes that end a directory name
  std::string_view doneMark;    // "済" in UTF-8
};

// Returns the rules of this system's file names.
PathRules pathRules();

// Why an operation failed, as a value: the system's error number, and what
// it means where the program has words of its own for it.
struct Error {
  enum class Kind : uint8_t {
    none,           // no failure
    system,         // told only by the system's own words for `number`
    noSuchFile,     // no such file, or a folder on its way is missing
    noPermission,   // the user may not do it
    folder,         // a folder where a file must be
    notAFile,       // a device, a pipe or the like where a regular file must be
    brokenLink,     // a symbolic link to nothing
    badName,        // no name a file can have (on Windows "a?.nc", say)
    noSpace,        // the disk or the user's quota is full
    readOnlyDisk,   // the file system or medium is read-only
    inUse,          // another program holds the file, or a lock on it
    readOnlyFile,   // a read-only file that was to be replaced
    hiddenFile,     // a hidden or system file that was to be replaced (Windows)
    strangersLink,  // another user's link in a shared folder, not followed
    tooLarge,       // more than the file can be (a settings file of over 1 MiB)
    // A Windows shortcut's bytes where a program must be; on Windows, a
    // shortcut to a folder, to a file that is not there, or to another
    // shortcut, which is not followed.
    shortcut,
    shortcutToFolder,
    shortcutToNothing,
    shortcutToShortcut,
  };
  Kind kind = Kind::none;
  int number = 0;  // errno, or GetLastError() on Windows; 0 where the system reported none

  // True iff this is a failure.
  explicit operator bool() const { return kind != Kind::none; }
  bool operator==(const Error&) const = default;
};

// Returns the failure that the system's error number `number` stands for.
Error systemError(int number);

// Returns a failure that this program finds itself, the system having reported none.
constexpr Error refusal(Error::Kind kind) { return Error{kind, 0}; }

// The languages the program speaks.
enum class Language : uint8_t { japanese, english };

// Returns the user's language: on Windows the user's display language; elsewhere
// the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty. Japanese
// where it is Japanese ("ja..."), else English.
Language userLanguage();

// Returns the system's own words for its error `number`, without a final
// period, in `language` where the system has them; empty when it has none.
std::string systemErrorText(int number, Language language);

// File operations, behind an interface so that tests can fake them and fail any one.
// A rewrite reads its input on one thread while it writes its output on
// another: read() and write() on different files may run at the same time.
// Every operation that can fail returns why, or takes where to store it.
class FileSystem {
 public:
  using Handle = std::intptr_t;
  enum class Commit { done, writeFailed, replaceFailed };
  enum class Found { file, nothing, unreadable };
  // What tells one version of a file from another.
  struct Version {
    uint64_t size = 0;
    int64_t writeTime = 0;  // the last write, in the system's own units
    bool operator==(const Version&) const = default;
  };
  virtual ~FileSystem() = default;
  // Opens the regular file at `path` for reading, never waiting (on a pipe,
  // say). Returns `file`, with `*file` set; `nothing` only when there is
  // nothing at `path` (no such name, or a folder on the way that does not
  // exist or is no folder); `unreadable` for anything else that keeps it from
  // being read, with why in `*error`: no permission, a folder, a pipe, a
  // device, a broken link.
  virtual Found openRegular(const std::string& path, Handle* file, Error* error) = 0;
  // Stores in `*name` the name by which the input named `given` is read and
  // its output named: `given` itself, but on Windows the file that a
  // shortcut (a name ending in .lnk) points to, and a short (8.3) file name's
  // long one. Fails for a shortcut to a folder, to nothing or to another shortcut.
  virtual Error inputName(const std::string& given, std::string* name) = 0;
  // Returns what tells the file at `path`, which need not exist, from every
  // other as the system compares names: symbolic links followed, folders by
  // their own names, and on Windows without regard to case. Two paths with
  // one key name one file.
  virtual std::string nameKey(const std::string& path) = 0;
  // Opens an existing regular file or pipe for reading; fails for anything
  // else (a folder, a device), which is no program.
  virtual Error openRead(const std::string& path, Handle* file) = 0;
  // Creates an empty temporary file for writing in the folder where `target`
  // is to be stored, which stays out of sight until commit() where the system
  // allows; fails too when `target` exists but could not be opened for
  // writing (a folder, a read-only file), since the new file is to take its place.
  virtual Error createTemp(const std::string& target, Handle* file) = 0;
  // Sets aside room on the disk for the temporary file `file` to take as many
  // bytes as the file `like` holds, where the system can, so that writing it
  // costs less and leaves it in fewer pieces. Its size and content do not
  // change, and commit() gives back the room it did not take.
  virtual void reserve(Handle file, Handle like) = 0;
  // Stores the size and last write time of the regular file `file` in
  // `*version`; returns false for input that has none (a pipe, a device) and on error.
  virtual bool version(Handle file, Version* version) = 0;
  // Returns true iff another program holds the file `file` open for writing,
  // as far as the system can tell (a copy not yet finished, say).
  virtual bool beingWritten(Handle file) = 0;
  // Reads up to `size` bytes; returns the count, 0 at the end, -1 on error,
  // with why in `*error`.
  virtual std::ptrdiff_t read(Handle file, char* buffer, size_t size, Error* error) = 0;
  // Goes back to the start of the file; fails also for input that cannot go
  // back, such as a pipe.
  virtual Error rewind(Handle file) = 0;
  // Writes all `size` bytes.
  virtual Error write(Handle file, const char* data, size_t size) = 0;
  // Empties the temporary file `file`, so that writing starts again at its
  // first byte.
  virtual Error startOver(Handle file) = 0;
  // Returns true iff `path`, its links followed, leads to the open file
  // `file`: the same file on the same device, whatever its name.
  virtual bool isFileAt(Handle file, const std::string& path) = 0;
  // Returns true iff the open files `a` and `b` are one and the same file.
  virtual bool sameFile(Handle a, Handle b) = 0;
  // Closes a file opened for reading.
  virtual Error close(Handle file) = 0;
  // Closes the temporary file and puts it in place of `target`, replacing any
  // file there. On failure nothing of it is left and `target` is untouched,
  // and why is stored in `*error`: writeFailed when its data may not all have
  // been stored, replaceFailed when it could not take the target's place.
  virtual Commit commit(Handle file, const std::string& target, Error* error) = 0;
  // Closes the temporary file and deletes it.
  virtual void discard(Handle file) = 0;
  // Returns standard output, for writing a rewritten program there.
  virtual Handle standardOutput() = 0;
};

// Returns the operating system's file system.
FileSystem& systemFileSystem();

// Reads the whole of the small regular file at `path` into `*text`. Returns
// `nothing` when there is nothing at `path`, and `unreadable` when what is
// there cannot be read, is no regular file, or holds more than a settings
// file ever should (1 MiB), with why in `*error`.
FileSystem::Found readWholeFile(FileSystem& fileSystem, const std::string& path, std::string* text,
                                Error* error);

// Sets the process up for a run (a closed console pipe must not end it) and
// returns the files named on the command line, in order.
std::vector<std::string> arguments(int argc, char** argv);

// Returns where the settings file is looked for: beside the program on
// Windows, in the user's configuration folder elsewhere; empty when unknown.
std::string settingsPath();

// Returns true iff the environment variable `name` is set, to any value.
bool hasEnvironmentVariable(const char* name);

// Sends every later console message to standard error, keeping standard
// output for a rewritten program.
void messagesToStandardError();

// Prints one of the program's fixed messages, given in UTF-8, in the console's encoding.
void printMessage(std::string_view utf8);
// Prints a file name, given in UTF-8, as exactly as the console can show it.
void printName(std::string_view name);
// Writes out everything printed so far.
void flushConsole();

// Returns true iff standard error is a terminal (a console on Windows), where
// a line can be shown and overwritten.
bool standardErrorIsTerminal();
// Writes ASCII `text` to standard error at once, after what the console holds.
void printOnStandardError(std::string_view text);

// Waits for the user to press a key, after writing out the console, showing
// `prompt` where the system has no prompt of its own. Returns at once when
// nobody can press one.
void waitForKey(std::string_view prompt);

// Writes out the console and ends the process with `status`.
[[noreturn]] void exitProcess(int status);

}  // namespace platform

#endif  // TARVELIN_PLATFORM_PLATFORM_H_
