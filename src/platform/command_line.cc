#include "platform/command_line.h"

namespace platform {
namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Returns the value of the variable `name` (matched without regard to case), or nullptr.
const char* lookUp(const std::vector<std::string>& environment, std::string_view name) {
  for (const std::string& entry : environment) {
    if (entry.size() <= name.size() || entry[name.size()] != '=') continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      char c = entry[i];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      same = c == name[i];
    }
    if (same) return entry.c_str() + name.size() + 1;
  }
  return nullptr;
}

// Returns `name` in `folder`, with a backslash between them unless the folder
// ends in a separator or is empty. UTF-8 has no multi-byte character with a
// byte that looks like a separator, so the last byte tells.
std::string inFolder(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  path += name;
  return path;
}

}  // namespace

std::vector<std::u16string> splitCommandLine(std::u16string_view line) {
  size_t i = 0;
  while (i < line.size() && isBlank(line[i])) ++i;
  // The program's own name: a quoted section, or everything up to a blank.
  if (i < line.size() && line[i] == u'"') {
    const size_t closing = line.find(u'"', i + 1);
    i = closing == std::u16string_view::npos ? line.size() : closing + 1;
  } else {
    while (i < line.size() && !isBlank(line[i])) ++i;
  }
  std::vector<std::u16string> arguments;
  for (;;) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size()) return arguments;
    std::u16string& argument = arguments.emplace_back();
    bool quoted = false;
    while (i < line.size() && (quoted || !isBlank(line[i]))) {
      if (line[i] == u'\\' && i + 1 < line.size() && line[i + 1] == u'"') {
        argument += u'"';
        i += 2;
      } else if (line[i] == u'"') {
        quoted = !quoted;
        ++i;
      } else {
        argument += line[i++];
      }
    }
  }
}

std::string findCommandProcessor(const std::vector<std::string>& environment,
                                 std::string_view currentDirectory,
                                 const std::function<bool(const std::string&)>& fileExists) {
  const char* comspec = lookUp(environment, "COMSPEC");
  if (comspec != nullptr && *comspec != '\0') return comspec;
  std::string inCurrent = inFolder(currentDirectory, "CMD.EXE");
  if (fileExists(inCurrent)) return inCurrent;
  const char* path = lookUp(environment, "PATH");
  std::string_view rest = path != nullptr ? path : "";
  while (!rest.empty()) {
    const size_t semicolon = rest.find(';');
    std::string dir;
    for (const char c : rest.substr(0, semicolon)) {
      if (c != '"') dir += c;
    }
    rest = semicolon == std::string_view::npos ? "" : rest.substr(semicolon + 1);
    if (dir.empty()) continue;
    std::string candidate = inFolder(dir, "CMD.EXE");
    if (fileExists(candidate)) return candidate;
  }
  return "";
}

}  // namespace platform
