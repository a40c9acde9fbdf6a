// Writes a realistic NC program of about the given size to standard output.
// Usage: generate_program <bytes> [--dense] [--lf] [--block-numbers] [--blanks]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "program_generator.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <bytes> [--dense] [--lf] [--block-numbers] [--blanks]\n",
                 argv[0]);
    return 2;
  }
  ProgramShape shape;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dense") == 0) {
      shape.dense = true;
    } else if (std::strcmp(argv[i], "--lf") == 0) {
      shape.lineFeeds = true;
    } else if (std::strcmp(argv[i], "--block-numbers") == 0) {
      shape.blockNumbers = true;
    } else if (std::strcmp(argv[i], "--blanks") == 0) {
      shape.blanks = true;
    } else {
      std::fprintf(stderr, "%s: unknown option %s\n", argv[0], argv[i]);
      return 2;
    }
  }
  generateProgram(std::strtoull(argv[1], nullptr, 10), shape,
                  [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); });
  return 0;
}
