// Does for the Wine tests what the Windows shell does:
//   shell.exe shortcut <target> <link>  makes a shortcut (.lnk) to <target>
//   shell.exe short <path>               prints the short (8.3) form of <path>
// Returns 0 on success, 1 on failure, 2 on a usage error.
#include <windows.h>
// After windows.h, which they build on.
#include <shlguid.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>

namespace {

// Makes the shortcut `link` to `target`, which need not exist.
bool makeShortcut(const wchar_t* target, const wchar_t* link) {
  IShellLinkW* shortcut = nullptr;
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) ||
      FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shortcut)))) {
    return false;
  }
  IPersistFile* file = nullptr;
  // SetPath says S_FALSE for a target that is not there, which is kept all the same.
  const bool made =
      SUCCEEDED(shortcut->SetPath(target)) &&
      SUCCEEDED(shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Save(link, TRUE));
  if (file != nullptr) file->Release();
  shortcut->Release();
  return made;
}

// Prints the short form of `path`, in UTF-8.
bool printShortForm(const wchar_t* path) {
  wchar_t shortPath[32768];
  const DWORD length = GetShortPathNameW(path, shortPath, 32768);
  if (length == 0 || length >= 32768) return false;
  char bytes[4 * 32768];
  const int size = WideCharToMultiByte(CP_UTF8, 0, shortPath, static_cast<int>(length), bytes,
                                       sizeof bytes, nullptr, nullptr);
  std::fwrite(bytes, 1, static_cast<size_t>(size), stdout);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"shortcut" && argc == 4) return makeShortcut(argv[2], argv[3]) ? 0 : 1;
  if (command == L"short" && argc == 3) return printShortForm(argv[2]) ? 0 : 1;
  return 2;
}
