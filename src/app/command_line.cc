#include "app/command_line.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

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

}  // namespace

std::vector<std::string> splitCommandLine(std::string_view line,
                                          const platform::LeadByteTable& leadBytes) {
  const auto isLead = [&](size_t i) {
    return leadBytes[static_cast<unsigned char>(line[i])] && i + 1 < line.size();
  };
  size_t i = 0;
  while (i < line.size() && isBlank(line[i])) ++i;
  // The program's own name: a quoted section, or everything up to a blank.
  if (i < line.size() && line[i] == '"') {
    for (++i; i < line.size() && line[i] != '"'; ++i) {
      if (isLead(i)) ++i;
    }
    if (i < line.size()) ++i;
  } else {
    for (; i < line.size() && !isBlank(line[i]); ++i) {
      if (isLead(i)) ++i;
    }
  }
  std::vector<std::string> arguments;
  for (;;) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size()) return arguments;
    std::string& argument = arguments.emplace_back();
    bool quoted = false;
    while (i < line.size() && (quoted || !isBlank(line[i]))) {
      if (isLead(i)) {
        argument.append(line, i, 2);
        i += 2;
      } else if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
        argument += '"';
        i += 2;
      } else if (line[i] == '"') {
        quoted = !quoted;
        ++i;
      } else {
        argument += line[i++];
      }
    }
  }
}

std::string findCommandProcessor(const std::vector<std::string>& environment,
                                 const std::function<bool(const std::string&)>& fileExists) {
  const char* comspec = lookUp(environment, "COMSPEC");
  if (comspec != nullptr && *comspec != '\0') return comspec;
  if (fileExists("CMD.EXE")) return "CMD.EXE";
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
    if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
    dir += "CMD.EXE";
    if (fileExists(dir)) return dir;
  }
  return "";
}
