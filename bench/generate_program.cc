// Writes a realistic NC program of about the given size to standard output.
// Usage: generate_program <bytes> [--block-numbers]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "program_generator.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <bytes> [--block-numbers]\n", argv[0]);
    return 2;
  }
  const bool blockNumbers = argc > 2 && std::strcmp(argv[2], "--block-numbers") == 0;
  generateProgram(std::strtoull(argv[1], nullptr, 10), blockNumbers,
                  [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); });
  return 0;
}
