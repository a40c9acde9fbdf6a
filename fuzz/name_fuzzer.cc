// Arbitrary paths through the output naming: the output name always ends in
// "済.ncd", stays in the input's folder, and holds the echoed name.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "rewrite/file_pass.h"

namespace {

// Returns the length of the folder part of `path` (through its last separator).
size_t folderLength(std::string_view path, const platform::PathRules& rules) {
  const size_t separator = path.find_last_of(rules.separators);
  return separator == std::string_view::npos ? 0 : separator + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // Windows takes both separators; "済" is UTF-8 on both systems.
  const platform::PathRules rules{(data[0] & 1) != 0 ? "\\/" : "/", "\xE6\xB8\x88"};
  const std::string_view path(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string output = outputPathFor(path, rules);
  const std::string suffix = std::string(rules.doneMark) + ".ncd";
  if (output.size() < suffix.size() ||
      output.compare(output.size() - suffix.size(), suffix.size(), suffix) != 0) {
    std::abort();
  }
  const size_t folder = folderLength(path, rules);
  if (output.compare(0, folder, path.substr(0, folder)) != 0 ||
      folderLength(output, rules) != folder) {
    std::abort();  // the output would land in another folder
  }
  const std::string_view echo = echoNameFor(path, rules);
  if (output.compare(folder, echo.size(), echo) != 0) std::abort();
  return 0;
}
