// A deterministic generator of realistic NC programs, for benchmarks.
#ifndef TARVELIN_BENCH_PROGRAM_GENERATOR_H_
#define TARVELIN_BENCH_PROGRAM_GENERATOR_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// What the generated program looks like.
struct ProgramShape {
  // Dense CAM pocket output ("G01X…Y…Z…F…" on every line, a retract, rapid and
  // plunge every 40 lines, four passes per pocket, each deeper) instead of a
  // sparse raster program (modal "X…Y…Z…" moves, a plunge every 400 lines).
  bool dense = false;
  bool lineFeeds = false;     // lines end in LF instead of CR LF
  bool blockNumbers = false;  // "N…" in front of every line
  bool blanks = false;        // a blank between words ("G01 X… Y…"), as most CAM output has
};

// Produces about `bytes` bytes of a program of the given shape, Fanuc style,
// without blanks unless the shape asks for them. The text is handed to
// `write` in pieces of about 64 KiB; the same arguments always give the same
// program.
void generateProgram(size_t bytes, const ProgramShape& shape,
                     const std::function<void(std::string_view)>& write);

#endif  // TARVELIN_BENCH_PROGRAM_GENERATOR_H_
