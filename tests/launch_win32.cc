// Starts the command line held in TARVELIN_RAW_COMMAND_LINE exactly as written,
// waits for it and returns its exit status: the one way to hand a Windows
// program a raw command line from a Linux test.
#include <windows.h>

#include <string>

int main() {
  char buffer[32768];
  const DWORD length = GetEnvironmentVariableA("TARVELIN_RAW_COMMAND_LINE", buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return 2;
  std::string commandLine(buffer, length);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 3;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}
