// Raw command lines through the splitter: no crash, no read past the end,
// and never more arguments, or more bytes, than the line can hold: one
// argument more than runs of blanks at most, as one may follow the program's
// quoted name directly.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  platform::LeadByteTable leadBytes{};
  if (data[0] & 1) {  // code page 932's lead bytes, or none
    for (int b = 0x81; b <= 0xFC; ++b) leadBytes[b] = b <= 0x9F || b >= 0xE0;
  }
  const std::string_view line(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::vector<std::string> arguments = splitCommandLine(line, leadBytes);
  size_t separators = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if ((line[i] == ' ' || line[i] == '\t') &&
        (i == 0 || (line[i - 1] != ' ' && line[i - 1] != '\t'))) {
      ++separators;
    }
  }
  size_t bytes = 0;
  for (const std::string& argument : arguments) bytes += argument.size();
  if (arguments.size() > separators + 1 || bytes > line.size()) std::abort();
  return 0;
}
