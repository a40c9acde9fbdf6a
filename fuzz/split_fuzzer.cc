// Raw UTF-16 command lines through the splitter: no crash, no read past the
// end, and never more arguments, or more units, than the line can hold: one
// argument more than runs of blanks at most, as one may follow the program's
// quoted name directly. Each argument also comes back unchanged from its trip
// through UTF-8, as every path does on its way to the system.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/command_line.h"
#include "platform/wide_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string line;  // the bytes as little-endian units
  for (size_t i = 0; i + 1 < size; i += 2) {
    line += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  const std::vector<std::u16string> arguments = platform::splitCommandLine(line);
  size_t separators = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if ((line[i] == u' ' || line[i] == u'\t') &&
        (i == 0 || (line[i - 1] != u' ' && line[i - 1] != u'\t'))) {
      ++separators;
    }
  }
  size_t units = 0;
  for (const std::u16string& argument : arguments) {
    units += argument.size();
    if (platform::toUtf16(platform::toUtf8(argument)) != argument) std::abort();
  }
  if (arguments.size() > separators + 1 || units > line.size()) std::abort();
  return 0;
}
