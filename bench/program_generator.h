// A deterministic generator of realistic NC programs, for benchmarks.
#ifndef TARVELIN_BENCH_PROGRAM_GENERATOR_H_
#define TARVELIN_BENCH_PROGRAM_GENERATOR_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Produces about `bytes` bytes of a raster-surfacing program cut in depth
// passes (retract, rapid XY move, plunge, 400 moves, again), Fanuc style
// without blanks, CR LF line ends, optionally with block numbers. The text is
// handed to `write` in pieces of about 64 KiB; the same arguments always give
// the same program.
void generateProgram(size_t bytes, bool blockNumbers,
                     const std::function<void(std::string_view)>& write);

#endif  // TARVELIN_BENCH_PROGRAM_GENERATOR_H_
