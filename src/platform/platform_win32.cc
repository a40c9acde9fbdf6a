#include <windows.h>

#include <cstring>
#include <map>

#include "app/command_line.h"
#include "platform/platform.h"

namespace platform {
namespace {

constexpr UINT kMessageCodePage = 932;

// Console output: written at once on a console, buffered when redirected.
struct Console {
  HANDLE handle = nullptr;
  bool isConsole = false;
  std::string pending;

  Console() { use(STD_OUTPUT_HANDLE); }
  void use(DWORD standardHandle) {
    handle = GetStdHandle(standardHandle);
    DWORD mode = 0;
    isConsole = GetConsoleMode(handle, &mode) != 0;
  }
};

Console& console() {
  static Console instance;
  return instance;
}

// Returns `text` in `codePage` as UTF-16.
std::wstring toWide(std::string_view text, UINT codePage) {
  const int size = static_cast<int>(text.size());
  std::wstring wide(
      static_cast<size_t>(MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0)), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

// Returns UTF-16 text in `codePage`.
std::string fromWide(const std::wstring& wide, UINT codePage) {
  const int size = static_cast<int>(wide.size());
  std::string text(static_cast<size_t>(WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr,
                                                           0, nullptr, nullptr)),
                   '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), size, text.data(), static_cast<int>(text.size()),
                      nullptr, nullptr);
  return text;
}

// Writes all bytes to `handle`; returns false on error.
bool writeAll(HANDLE handle, const char* data, size_t size) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// Prints text given in `codePage`, each line feed as CR LF, as the console can show it.
void print(std::string_view text, UINT codePage) {
  std::string crlf;
  for (const char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  Console& out = console();
  if (!out.isConsole) {
    out.pending += crlf;
    return;
  }
  // A console in another code page gets the characters, not the bytes.
  if (GetConsoleOutputCP() == codePage) {
    writeAll(out.handle, crlf.data(), crlf.size());
  } else {
    const std::wstring wide = toWide(crlf, codePage);
    DWORD written = 0;
    WriteConsoleW(out.handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  }
}

// Returns the directory part of `path`, separator included.
std::string directoryOf(const std::string& path) {
  size_t end = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      ++i;
    } else if (path[i] == '\\' || path[i] == '/') {
      end = i + 1;
    }
  }
  return path.substr(0, end);
}

class WindowsFileSystem : public FileSystem {
 public:
  bool exists(const std::string& path) override {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  bool openRead(const std::string& path, Handle* file) override {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    *file = reinterpret_cast<Handle>(h);
    return h != INVALID_HANDLE_VALUE;
  }

  bool createTemp(const std::string& target, Handle* file) override {
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
      return false;
    }
    static unsigned counter = 0;
    const std::string dir = directoryOf(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string tempPath = dir + "tarvelin-" + std::to_string(GetCurrentProcessId()) + "-" +
                                   std::to_string(counter++) + ".tmp";
      HANDLE h = CreateFileA(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        *file = reinterpret_cast<Handle>(h);
        temps_[*file] = tempPath;
        return true;
      }
      if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
  }

  std::ptrdiff_t read(Handle file, char* buffer, size_t size) override {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(file), buffer, chunk, &got, nullptr)) return -1;
    return got;
  }

  bool rewind(Handle file) override {
    LARGE_INTEGER zero{};
    return SetFilePointerEx(reinterpret_cast<HANDLE>(file), zero, nullptr, FILE_BEGIN) != 0;
  }

  bool write(Handle file, const char* data, size_t size) override {
    return writeAll(reinterpret_cast<HANDLE>(file), data, size);
  }

  bool close(Handle file) override { return CloseHandle(reinterpret_cast<HANDLE>(file)) != 0; }

  Commit commit(Handle file, const std::string& target) override {
    const std::string tempPath = temps_[file];
    temps_.erase(file);
    Commit result = Commit::done;
    if (!CloseHandle(reinterpret_cast<HANDLE>(file))) {
      result = Commit::writeFailed;
    } else if (!MoveFileExA(tempPath.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      result = Commit::replaceFailed;
    }
    if (result != Commit::done) DeleteFileA(tempPath.c_str());
    return result;
  }

  void discard(Handle file) override {
    CloseHandle(reinterpret_cast<HANDLE>(file));
    DeleteFileA(temps_[file].c_str());
    temps_.erase(file);
  }

  Handle standardOutput() override {
    return reinterpret_cast<Handle>(GetStdHandle(STD_OUTPUT_HANDLE));
  }

 private:
  std::map<Handle, std::string> temps_;  // the name of each temporary file
};

// Returns the lead bytes of the system's narrow code page.
LeadByteTable leadBytes() {
  LeadByteTable table{};
  CPINFO info{};
  if (!GetCPInfo(CP_ACP, &info)) return table;
  for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
    for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b)
      table[static_cast<size_t>(b)] = true;
  }
  return table;
}

// Returns the environment as "NAME=value" entries.
std::vector<std::string> environment() {
  std::vector<std::string> entries;
  char* block = GetEnvironmentStringsA();
  if (block == nullptr) return entries;
  for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1)
    entries.emplace_back(entry);
  FreeEnvironmentStringsA(block);
  return entries;
}

bool isFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

PathRules pathRules() { return PathRules{"\\/", "\x8D\xCF", leadBytes()}; }

FileSystem& systemFileSystem() {
  static WindowsFileSystem fileSystem;
  return fileSystem;
}

std::vector<std::string> arguments(int /*argc*/, char** /*argv*/) {
  // The C runtime's own splitting differs; the raw command line is split here.
  return splitCommandLine(GetCommandLineA(), leadBytes());
}

std::string settingsPath() {
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return "";
  return directoryOf(std::string(path, length)) + "tarvelin.ini";
}

void messagesToStandardError() {
  flushConsole();
  console().use(STD_ERROR_HANDLE);
}

void printMessage(std::string_view utf8) {
  print(fromWide(toWide(utf8, CP_UTF8), kMessageCodePage), kMessageCodePage);
}

void printName(std::string_view name) { print(name, GetACP()); }

void flushConsole() {
  Console& out = console();
  writeAll(out.handle, out.pending.data(), out.pending.size());
  out.pending.clear();
}

void waitForKey() {
  flushConsole();
  std::string processor = findCommandProcessor(environment(), isFile);
  if (processor.empty()) return;
  char shortPath[MAX_PATH * 4];
  const DWORD length = GetShortPathNameA(processor.c_str(), shortPath, sizeof shortPath);
  if (length > 0 && length < sizeof shortPath) processor.assign(shortPath, length);
  std::string commandLine = processor + " /c pause";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

void exitProcess(int status) {
  flushConsole();
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace platform
