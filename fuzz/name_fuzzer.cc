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
  size_t length = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (rules.leadBytes[static_cast<unsigned char>(path[i])] && i + 1 < path.size()) {
      ++i;
    } else if (rules.separators.find(path[i]) != std::string_view::npos) {
      length = i + 1;
    }
  }
  return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  platform::PathRules rules{"/", "\xE6\xB8\x88", {}};
  if (data[0] & 1) {  // Windows: both separators, code page 932
    rules = platform::PathRules{"\\/", "\x8D\xCF", {}};
    for (int b = 0x81; b <= 0xFC; ++b) rules.leadBytes[b] = b <= 0x9F || b >= 0xE0;
  }
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
