// The Windows layer. It talks to the system in UTF-16 (the wide APIs) and
// hands the program UTF-8; paths go to the system in their full \\?\ form,
// with file names exactly as given.
#include <windows.h>
// After windows.h, which they build on.
#include <shlguid.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/platform.h"
#include "platform/wide_text.h"

namespace platform {
namespace {

constexpr UINT kMessageCodePage = 932;

// An existing output with any of these is refused, as a plain open for writing refuses it.
constexpr DWORD kUnwritable = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY |
                              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

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

// Returns UTF-8 text in the system's wide characters.
std::wstring wideOf(std::string_view utf8) {
  const std::u16string text = toUtf16(utf8);
  return {text.begin(), text.end()};
}

// Returns the system's wide characters as UTF-8.
std::string utf8Of(std::wstring_view wide) {
  return toUtf8(std::u16string(wide.begin(), wide.end()));
}

// Returns wide text in code page 932, each character that the code page lacks
// as one '?' (no look-alike substitutes).
std::string inCodePage932(std::wstring_view wide) {
  const std::u16string basic = withinBasicPlane(std::u16string(wide.begin(), wide.end()));
  const std::wstring text(basic.begin(), basic.end());
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(kMessageCodePage, WC_NO_BEST_FIT_CHARS, text.data(), size,
                                         nullptr, 0, "?", nullptr);
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(kMessageCodePage, WC_NO_BEST_FIT_CHARS, text.data(), size, bytes.data(),
                      length, "?", nullptr);
  return bytes;
}

// Writes all bytes to `handle`; returns 0, or the error of the write that failed.
DWORD writeAll(HANDLE handle, const char* data, size_t size) {
  while (size > 0) {
    const DWORD part = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle, data, part, &written, nullptr)) return GetLastError();
    if (written == 0) return ERROR_WRITE_FAULT;  // no progress and no error: nothing more will go
    data += written;
    size -= written;
  }
  return 0;
}

// Prints UTF-8 text, each line feed as CR LF: as characters on a console,
// whatever its code page; in code page 932 when redirected.
void print(std::string_view utf8) {
  std::wstring text;
  for (const wchar_t c : wideOf(utf8)) {
    if (c == L'\n') text += L'\r';
    text += c;
  }
  Console& out = console();
  if (!out.isConsole) {
    out.pending += inCodePage932(text);
    return;
  }
  DWORD written = 0;
  WriteConsoleW(out.handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// Returns the full path of `path`, made absolute against the current folder
// (of the path's own drive, for "D:part.nc"); empty on failure, with why in
// `*error` if given.
std::wstring fullPathOf(const std::wstring& path, Error* error = nullptr) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) {
    if (error != nullptr) *error = systemError(static_cast<int>(GetLastError()));
    return {};
  }
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) {
    // The current folder changed between the two calls; only a thread could do that.
    if (error != nullptr) *error = systemError(ERROR_INVALID_NAME);
    return {};
  }
  full.resize(length);
  return full;
}

// Returns a full path in its \\?\ form, which the system takes at any length
// and as it is, without dropping a final dot or blank.
std::wstring longForm(const std::wstring& fullPath) {
  const std::u16string form = longPathForm(std::u16string(fullPath.begin(), fullPath.end()));
  return {form.begin(), form.end()};
}

// Returns where the file name starts in `path`.
size_t nameStartOf(const std::wstring& path) {
  return nameStart(std::u16string(path.begin(), path.end()));
}

// Returns a UTF-8 path as the system is to take it: its full path, in the
// \\?\ form, the folder made full by the system and the file name kept
// exactly as given, since the system's own full path drops a final dot or
// blank from it and so names another file ("a.nc." would open a.nc). A
// device (NUL, COM1) is named as the system names it, and a \\?\ path is
// taken as it is. Where no full path can be made, why is stored in
// `*error`, if given, and the path is returned as given, for the system to refuse.
std::wstring systemPath(std::string_view utf8, Error* error = nullptr) {
  std::wstring path = wideOf(utf8);
  if (path.starts_with(L"\\\\?\\")) return path;
  std::wstring full = fullPathOf(path, error);
  if (full.empty()) return path;
  if (full.starts_with(L"\\\\.\\")) return full;
  const size_t start = nameStartOf(path);
  const std::wstring name = path.substr(start);
  std::wstring folder = fullPathOf(start == 0 ? std::wstring(L".") : path.substr(0, start));
  if (name.empty() || name == L"." || name == L".." || folder.empty()) return longForm(full);
  if (folder.back() != L'\\') folder += L'\\';
  return longForm(folder + name);
}

// True iff the names `a` and `b` are the same to the file system, which
// tells no case apart.
bool sameName(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Returns `text` in capitals, as the file system compares names.
std::wstring inCapitals(const std::wstring& text) {
  const int size = static_cast<int>(text.size());
  std::wstring capitals(text.size(), L'\0');
  if (size == 0 || LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), size,
                                 capitals.data(), size, nullptr, nullptr, 0) != size) {
    return text;
  }
  return capitals;
}

// Returns the final path of what is at `path`, as the system takes it: its
// links followed, in the \\?\ form; empty where nothing is there.
std::wstring finalPathAt(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::wstring final(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()), 0);
  if (length >= final.size()) {
    // Too small: the length asked for counts the closing null.
    final.resize(length);
    length = GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()), 0);
  }
  CloseHandle(h);
  final.resize(length < final.size() ? length : 0);
  return final;
}

// True iff the file name of `path` ends in ".lnk", as the shell knows its shortcuts.
bool isShortcutName(const std::wstring& path) {
  return path.size() - nameStartOf(path) > 4 &&
         sameName(std::wstring_view(path).substr(path.size() - 4), L".lnk");
}

// Reads the path that the shortcut at `link` (as the system takes it) points
// to into `*target`, empty for a shortcut to no file (a printer, say).
// Returns false where it cannot be read as a shortcut.
bool readShortcut(const std::wstring& link, std::wstring* target) {
  static const bool comStarted =
      SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
  IShellLinkW* shortcut = nullptr;
  if (!comStarted ||
      FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shortcut)))) {
    return false;
  }
  IPersistFile* file = nullptr;
  std::wstring path(32768, L'\0');
  const bool read =
      SUCCEEDED(shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
      SUCCEEDED(shortcut->GetPath(path.data(), static_cast<int>(path.size()), nullptr, 0));
  if (file != nullptr) file->Release();
  shortcut->Release();
  path.resize(std::wcslen(path.c_str()));
  *target = path;
  return read;
}

// Returns why the file a shortcut points to, `target`, is not to be read
// through it: a folder, nothing, or another shortcut, which is not followed
// so that no chain of them can loop.
Error unfollowable(const std::wstring& target) {
  const DWORD attributes = target.empty() ? INVALID_FILE_ATTRIBUTES
                                          : GetFileAttributesW(systemPath(utf8Of(target)).c_str());
  const DWORD number = target.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
  if (attributes == INVALID_FILE_ATTRIBUTES &&
      (number == ERROR_FILE_NOT_FOUND || number == ERROR_PATH_NOT_FOUND)) {
    return refusal(Error::Kind::shortcutToNothing);
  }
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return refusal(Error::Kind::shortcutToFolder);
  }
  if (isShortcutName(target)) return refusal(Error::Kind::shortcutToShortcut);
  return {};
}

// Returns `path` with its file name in the long form where it is a short
// (8.3) name such as LONG~YD2.NC, so that the output is named after the name
// the user knows; a name without '~' is no such name, and keeps its case.
std::wstring withLongName(const std::wstring& path) {
  const size_t start = nameStartOf(path);
  if (path.find(L'~', start) == std::wstring::npos) return path;
  // Wine makes no long name of a \\?\ path: a shorter one goes as it is.
  const std::wstring full = fullPathOf(path);
  const std::wstring name = full.size() < MAX_PATH ? full : longForm(full);
  const DWORD size = GetLongPathNameW(name.c_str(), nullptr, 0);
  std::wstring longPath(size, L'\0');
  const DWORD length = size == 0 ? 0 : GetLongPathNameW(name.c_str(), longPath.data(), size);
  if (length == 0 || length >= size) return path;
  longPath.resize(length);
  const std::wstring longName = longPath.substr(longPath.rfind(L'\\') + 1);
  return sameName(longName, std::wstring_view(path).substr(start))
             ? path
             : path.substr(0, start) + longName;
}

// Sets or clears the delete disposition: while set, the system deletes the
// file when its last handle closes, however the process ends.
bool markForDeletion(HANDLE file, bool deleteIt) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = deleteIt ? TRUE : FALSE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) !=
         0;
}

// Renames the open file to `fullPath`, replacing a file there.
bool renameByHandle(HANDLE file, const std::wstring& fullPath) {
  const std::wstring name = longForm(fullPath);
  const size_t nameBytes = name.size() * sizeof(wchar_t);
  std::vector<std::byte> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(info->FileName, name.data(), nameBytes);
  return SetFileInformationByHandle(file, FileRenameInfo, info,
                                    static_cast<DWORD>(buffer.size())) != 0;
}

// Returns the system handle that a FileSystem::Handle holds.
HANDLE handleOf(FileSystem::Handle file) {
  return reinterpret_cast<HANDLE>(file);  // NOLINT(performance-no-int-to-ptr): it holds a HANDLE
}

// True iff the open files `a` and `b` are one file: the same id on the same
// volume. Only files on a disk have these; a pipe or a console is no file
// here. Wine tells no volume (0) for a standard handle that it took over from
// the system: there the id alone decides, which at worst takes a file on
// another volume with the same id for the same one, and refuses it.
bool sameFileOnDisk(HANDLE a, HANDLE b) {
  FILE_ID_INFO first{};
  FILE_ID_INFO second{};
  if (GetFileType(a) != FILE_TYPE_DISK || GetFileType(b) != FILE_TYPE_DISK ||
      !GetFileInformationByHandleEx(a, FileIdInfo, &first, sizeof first) ||
      !GetFileInformationByHandleEx(b, FileIdInfo, &second, sizeof second)) {
    return false;
  }
  const bool volumeKnown = first.VolumeSerialNumber != 0 && second.VolumeSerialNumber != 0;
  return (!volumeKnown || first.VolumeSerialNumber == second.VolumeSerialNumber) &&
         std::memcmp(&first.FileId, &second.FileId, sizeof first.FileId) == 0;
}

// Returns why the file at `name`, as the system takes it, could not be
// opened when the system said `number`: a folder, which does not open as a
// file at all, and a link to nothing have words of their own.
Error whyNotOpened(const std::wstring& name, DWORD number) {
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return refusal(Error::Kind::folder);
    if (number == ERROR_FILE_NOT_FOUND || number == ERROR_PATH_NOT_FOUND) {
      return refusal(Error::Kind::brokenLink);
    }
  }
  return systemError(static_cast<int>(number));
}

// Returns why an existing output with the `attributes` of kUnwritable is not replaced.
Error unwritable(DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return refusal(Error::Kind::folder);
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return refusal(Error::Kind::readOnlyFile);
  return refusal(Error::Kind::hiddenFile);
}

class WindowsFileSystem : public FileSystem {
 public:
  // A shortcut is followed as the desktop follows it when the file is
  // opened, but never searched for where its file has gone (which could
  // find another); one the shell cannot read is read as a file, and refused
  // for its bytes.
  Error inputName(const std::string& given, std::string* name) override {
    std::wstring path = wideOf(given);
    std::wstring target;
    if (isShortcutName(path) && readShortcut(systemPath(given), &target)) {
      if (const Error error = unfollowable(target)) return error;
      path = target;
    }
    *name = utf8Of(withLongName(path));
    return {};
  }

  // A name that is there is known by its final path; one that is not yet,
  // by its folder's final path and the name.
  std::string nameKey(const std::string& path) override {
    const std::wstring name = systemPath(path);
    std::wstring key = finalPathAt(name);
    if (key.empty()) {
      const size_t start = name.rfind(L'\\') + 1;
      std::wstring folder = finalPathAt(name.substr(0, start));
      if (folder.empty()) folder = name.substr(0, start);
      if (folder.back() != L'\\') folder += L'\\';
      key = folder + name.substr(start);
    }
    return utf8Of(inCapitals(key));
  }

  Found openRegular(const std::string& path, Handle* file, Error* error) override {
    const std::wstring name = systemPath(path);
    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      // A link that leads nowhere is something, which then cannot be read.
      *error = whyNotOpened(name, GetLastError());
      return error->kind == Error::Kind::noSuchFile ? Found::nothing : Found::unreadable;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
      CloseHandle(h);
      *error = refusal(Error::Kind::notAFile);
      return Found::unreadable;
    }
    *file = reinterpret_cast<Handle>(h);
    return Found::file;
  }

  Error openRead(const std::string& path, Handle* file) override {
    const std::wstring name = systemPath(path);
    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return whyNotOpened(name, GetLastError());
    // A device (CON, NUL, COM1) is no program.
    const DWORD type = GetFileType(h);
    if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE) {
      CloseHandle(h);
      return refusal(Error::Kind::notAFile);
    }
    *file = reinterpret_cast<Handle>(h);
    return {};
  }

  // The temporary file goes into the output's own folder, drive included, and
  // is marked for deletion at once: a run ended in any way leaves nothing.
  // An output name that is a symbolic link to a file has that file replaced,
  // the temporary file beside it. A link to nothing looks like nothing here:
  // the output takes its place.
  Error createTemp(const std::string& target, Handle* file) override {
    Error error;
    std::wstring output = systemPath(target, &error);
    if (error) return error;
    const std::wstring linked = finalPathAt(output);
    if (!linked.empty() && !sameName(linked, output)) output = linked;
    const DWORD attributes = GetFileAttributesW(output.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kUnwritable) != 0) {
      return unwritable(attributes);
    }
    const std::wstring folder = output.substr(0, output.rfind(L'\\') + 1);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::wstring tempPath = folder + L"tarvelin-" + std::to_wstring(GetCurrentProcessId()) +
                                    L"-" + std::to_wstring(counter++) + L".tmp";
      HANDLE h = CreateFileW(tempPath.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        *file = reinterpret_cast<Handle>(h);
        temps_[*file] = TempFile{tempPath, output, markForDeletion(h, true)};
        return {};
      }
      const DWORD number = GetLastError();
      if (number != ERROR_FILE_EXISTS) return systemError(static_cast<int>(number));
    }
    return systemError(ERROR_FILE_EXISTS);
  }

  // Windows sets no room aside here: the file takes its room as it is written.
  void reserve(Handle /*file*/, Handle /*like*/) override {}

  bool version(Handle file, Version* version) override {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handleOf(file)) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(handleOf(file), &info)) {
      return false;
    }
    version->size = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    version->writeTime =
        static_cast<int64_t>(static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32 |
                             info.ftLastWriteTime.dwLowDateTime);
    return true;
  }

  // A second handle that lets no one else write cannot be had while a
  // program holds the file open for writing; one that may delete or rename
  // it does not count.
  bool beingWritten(Handle file) override {
    HANDLE other = ReOpenFile(handleOf(file), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, 0);
    if (other != INVALID_HANDLE_VALUE) {
      CloseHandle(other);
      return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
  }

  std::ptrdiff_t read(Handle file, char* buffer, size_t size, Error* error) override {
    const DWORD part = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD got = 0;
    if (ReadFile(handleOf(file), buffer, part, &got, nullptr)) return got;
    const DWORD number = GetLastError();
    // A pipe whose writer has closed it is at its end.
    if (number == ERROR_BROKEN_PIPE) return 0;
    *error = systemError(static_cast<int>(number));
    return -1;
  }

  Error rewind(Handle file) override {
    LARGE_INTEGER zero{};
    if (SetFilePointerEx(handleOf(file), zero, nullptr, FILE_BEGIN) != 0) return {};
    return systemError(static_cast<int>(GetLastError()));
  }

  Error write(Handle file, const char* data, size_t size) override {
    const DWORD number = writeAll(handleOf(file), data, size);
    return number == 0 ? Error{} : systemError(static_cast<int>(number));
  }

  Error startOver(Handle file) override {
    LARGE_INTEGER zero{};
    if (SetFilePointerEx(handleOf(file), zero, nullptr, FILE_BEGIN) != 0 &&
        SetEndOfFile(handleOf(file)) != 0) {
      return {};
    }
    return systemError(static_cast<int>(GetLastError()));
  }

  // The file at `path` is opened without any access, only to tell which it is.
  bool isFileAt(Handle file, const std::string& path) override {
    HANDLE named = CreateFileW(systemPath(path).c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    const bool same = sameFileOnDisk(handleOf(file), named);
    CloseHandle(named);
    return same;
  }

  bool sameFile(Handle a, Handle b) override { return sameFileOnDisk(handleOf(a), handleOf(b)); }

  Error close(Handle file) override {
    if (CloseHandle(handleOf(file))) return {};
    return systemError(static_cast<int>(GetLastError()));
  }

  // Clears the deletion mark just before the rename, so that only the instant
  // between the two could leave the file behind.
  Commit commit(Handle file, const std::string& /*target*/, Error* error) override {
    const TempFile temp = temps_.extract(file).mapped();
    HANDLE h = handleOf(file);
    if (temp.markedForDeletion && !markForDeletion(h, false)) {
      *error = systemError(static_cast<int>(GetLastError()));
      closeAndDelete(h, temp);
      return Commit::replaceFailed;
    }
    if (renameByHandle(h, temp.target)) {
      // The output is in place already; a failing close is still reported.
      if (CloseHandle(h)) return Commit::done;
      *error = systemError(static_cast<int>(GetLastError()));
      return Commit::writeFailed;
    }
    // Where the system cannot rename through the handle: close, then move by name.
    if (!CloseHandle(h)) {
      *error = systemError(static_cast<int>(GetLastError()));
      DeleteFileW(temp.path.c_str());
      return Commit::writeFailed;
    }
    if (MoveFileExW(temp.path.c_str(), temp.target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      return Commit::done;
    }
    *error = systemError(static_cast<int>(GetLastError()));
    DeleteFileW(temp.path.c_str());
    return Commit::replaceFailed;
  }

  void discard(Handle file) override {
    closeAndDelete(handleOf(file), temps_.extract(file).mapped());
  }

  Handle standardOutput() override {
    return reinterpret_cast<Handle>(GetStdHandle(STD_OUTPUT_HANDLE));
  }

 private:
  struct TempFile {
    std::wstring path;       // as the system takes it
    std::wstring target;     // the file it is to replace, links followed, as the system takes it
    bool markedForDeletion;  // the system deletes it when it is closed
  };

  static void closeAndDelete(HANDLE h, const TempFile& temp) {
    CloseHandle(h);
    if (!temp.markedForDeletion) DeleteFileW(temp.path.c_str());
  }

  std::map<Handle, TempFile> temps_;
};

// Returns the environment as "NAME=value" entries.
std::vector<std::string> environment() {
  std::vector<std::string> entries;
  wchar_t* strings = GetEnvironmentStringsW();
  if (strings == nullptr) return entries;
  for (const wchar_t* entry = strings; *entry != L'\0'; entry += std::wcslen(entry) + 1)
    entries.push_back(utf8Of(entry));
  FreeEnvironmentStringsW(strings);
  return entries;
}

// Returns the current folder, empty when unknown.
std::string currentDirectory() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return "";
  std::wstring path(size, L'\0');
  const DWORD length = GetCurrentDirectoryW(size, path.data());
  if (length == 0 || length >= size) return "";
  path.resize(length);
  return utf8Of(path);
}

// Returns the path of this program, empty when unknown.
std::wstring programPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

// Returns the short (8.3) form of a path where it has one, else the path.
std::wstring shortPathOf(const std::wstring& path) {
  const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (size == 0) return path;
  std::wstring shortPath(size, L'\0');
  const DWORD length = GetShortPathNameW(path.c_str(), shortPath.data(), size);
  if (length == 0 || length >= size) return path;
  shortPath.resize(length);
  return shortPath;
}

bool isFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

Error systemError(int number) {
  using Kind = Error::Kind;
  switch (static_cast<DWORD>(number)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
      return Error{Kind::noSuchFile, number};
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      return Error{Kind::badName, number};
    case ERROR_ACCESS_DENIED:
      return Error{Kind::noPermission, number};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case 1295:  // ERROR_DISK_QUOTA_EXCEEDED, which MinGW-w64 does not name
      return Error{Kind::noSpace, number};
    case ERROR_WRITE_PROTECT:
      return Error{Kind::readOnlyDisk, number};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return Error{Kind::inUse, number};
    default:
      return Error{Kind::system, number};
  }
}

Language userLanguage() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::japanese
                                                                    : Language::english;
}

// In the language asked for where the system has its texts, else in the
// system's own.
std::string systemErrorText(int number, Language language) {
  const LANGID wanted = language == Language::japanese
                            ? MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN)
                            : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
  for (const LANGID id : {wanted, LANGID{0}}) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(number), id, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0) continue;
    std::wstring words(text, length);
    LocalFree(text);
    while (!words.empty() &&
           std::wstring_view(L" \r\n.\u3002").find(words.back()) != std::wstring_view::npos) {
      words.pop_back();
    }
    return utf8Of(words);
  }
  return "";
}

PathRules pathRules() { return PathRules{"\\/", "\xE6\xB8\x88"}; }

FileSystem& systemFileSystem() {
  static WindowsFileSystem fileSystem;
  return fileSystem;
}

std::vector<std::string> arguments(int /*argc*/, char** /*argv*/) {
  // The C runtime's own splitting differs; the raw command line is split here.
  const wchar_t* line = GetCommandLineW();
  const std::vector<std::u16string> split =
      splitCommandLine(std::u16string(line, line + std::wcslen(line)));
  std::vector<std::string> files(split.size());
  std::transform(split.begin(), split.end(), files.begin(),
                 [](const std::u16string& argument) { return toUtf8(argument); });
  return files;
}

std::string settingsPath() {
  const std::wstring program = programPath();
  if (program.empty()) return "";
  return utf8Of(program.substr(0, program.rfind(L'\\') + 1)) + "tarvelin.ini";
}

bool hasEnvironmentVariable(const char* name) {
  // The size it asks for counts the closing null: 1 for a variable set to nothing.
  return GetEnvironmentVariableW(wideOf(name).c_str(), nullptr, 0) != 0;
}

void messagesToStandardError() {
  flushConsole();
  console().use(STD_ERROR_HANDLE);
}

void printMessage(std::string_view utf8) { print(utf8); }

void printName(std::string_view name) { print(name); }

void flushConsole() {
  Console& out = console();
  writeAll(out.handle, out.pending.data(), out.pending.size());
  out.pending.clear();
}

bool standardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void printOnStandardError(std::string_view text) {
  flushConsole();
  writeAll(GetStdHandle(STD_ERROR_HANDLE), text.data(), text.size());
}

// The command processor's pause prompts in the system's language.
void waitForKey(std::string_view /*prompt*/) {
  flushConsole();
  const std::string processor = findCommandProcessor(environment(), currentDirectory(), isFile);
  if (processor.empty()) return;
  // Started by the path where it was found, so that no other CMD.EXE runs.
  const std::wstring application = wideOf(processor);
  std::wstring commandLine = shortPathOf(application) + L" /c pause";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      nullptr, &startup, &process)) {
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
