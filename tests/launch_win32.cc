// Starts the command line held in TARVELIN_RAW_COMMAND_LINE exactly as written,
// waits for it and returns its exit status: the one way to hand a Windows
// program a raw command line from a Linux test.
// With TARVELIN_KILL_WHEN set to a file pattern, it ends the program with
// TerminateProcess as soon as a matching file holds 1 MiB, and returns 0 when
// it did so, 4 when the program ended first. With TARVELIN_WITHOUT_COMSPEC
// set, the program starts without the COMSPEC variable. With TARVELIN_LOCK set
// to a file's name, that file is held open, shared with no one, while the
// program runs, as another program in the shop may hold it; with TARVELIN_HOLD,
// held open for writing and shared with everyone, as a DNC program may hold
// it; 5 when it cannot be.
#include <windows.h>

#include <string>

namespace {

// Returns the environment variable `name`, empty when it is not set.
std::wstring variable(const wchar_t* name) {
  std::wstring value(32768, L'\0');
  const DWORD length =
      GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
  value.resize(length < value.size() ? length : 0);
  return value;
}

// True when a file matching `pattern` holds at least 1 MiB.
bool bigFileExists(const std::wstring& pattern) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool big = false;
  do {
    big = big || found.nFileSizeHigh > 0 || found.nFileSizeLow >= (1u << 20);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return big;
}

}  // namespace

int main() {
  std::wstring commandLine = variable(L"TARVELIN_RAW_COMMAND_LINE");
  if (commandLine.empty()) return 2;
  const std::wstring killWhen = variable(L"TARVELIN_KILL_WHEN");
  if (!variable(L"TARVELIN_WITHOUT_COMSPEC").empty()) SetEnvironmentVariableW(L"COMSPEC", nullptr);
  const std::wstring lock = variable(L"TARVELIN_LOCK");
  HANDLE locked = lock.empty() ? INVALID_HANDLE_VALUE
                               : CreateFileW(lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             OPEN_EXISTING, 0, nullptr);
  const std::wstring hold = variable(L"TARVELIN_HOLD");
  HANDLE held = hold.empty() ? INVALID_HANDLE_VALUE
                             : CreateFileW(hold.c_str(), GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr);
  if ((!lock.empty() && locked == INVALID_HANDLE_VALUE) ||
      (!hold.empty() && held == INVALID_HANDLE_VALUE)) {
    return 5;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 3;
  }
  if (!killWhen.empty()) {
    while (WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT) {
      if (bigFileExists(killWhen)) {
        TerminateProcess(process.hProcess, 9);
        WaitForSingleObject(process.hProcess, INFINITE);
        return 0;
      }
    }
    return 4;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}
