// Throughput of the scanner, the line-end conversion and the whole in-memory
// rewrite, on each shape of program that bench/run_benchmark.sh times. The
// reader, the writer and the whole rewrite run a thread of their own, whose
// waits spin before they sleep: their rates are per second of wall time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "memory_streams.h"
#include "program_generator.h"
#include "stream/byte_search.h"
#include "rewrite/file_pass.h"
#include "rewrite/plunge_scanner.h"
#include "stream/text_stream.h"
#include "rewrite/word_scanner.h"

namespace {

constexpr ProgramShape kRaster{};
constexpr ProgramShape kDense{.dense = true};
constexpr ProgramShape kDenseLf{.dense = true, .lineFeeds = true};
constexpr ProgramShape kDenseNumbered{.dense = true, .blockNumbers = true};
constexpr ProgramShape kDenseBlanks{.dense = true, .blanks = true};

// A 64 MiB program of the shape, generated once, before any clock runs.
const std::string& program(const ProgramShape& shape) {
  static std::map<int, std::string> programs;
  const int key = shape.dense * 8 + shape.lineFeeds * 4 + shape.blockNumbers * 2 + shape.blanks;
  std::string& text = programs[key];
  if (text.empty()) {
    generateProgram(size_t{64} << 20, shape, [&](std::string_view piece) { text += piece; });
  }
  return text;
}

void setBytes(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

class NullSink : public ByteSink {
 public:
  bool write(const char* data, size_t size) override {
    benchmark::DoNotOptimize(data);
    bytes += size;
    return true;
  }
  size_t bytes = 0;
};

// The scanner fed one line at a time.
void BM_ScanLine(benchmark::State& state) {
  std::vector<std::string_view> lines;
  std::string_view rest = program(kRaster);
  for (size_t lf; (lf = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(lf + 1)) {
    lines.push_back(rest.substr(0, lf + 1));
  }
  for (auto _ : state) {
    PlungeScanner scanner;
    size_t approaches = 0;
    for (const std::string_view line : lines) approaches += !scanner.scanLine(line).empty();
    benchmark::DoNotOptimize(approaches);
  }
  setBytes(state, program(kRaster).size());
}
BENCHMARK(BM_ScanLine)->Unit(benchmark::kMillisecond);

// The scanner fed runs of lines as the file pass feeds it, from one approach to the next.
void BM_ScanLines(benchmark::State& state, const ProgramShape& shape) {
  const std::string& text = program(shape);
  constexpr size_t kRun = size_t{256} << 10;
  for (auto _ : state) {
    PlungeScanner scanner;
    size_t approaches = 0;
    for (size_t from = 0; from < text.size();) {
      size_t to = std::min(from + kRun, text.size());
      to = text.rfind('\n', to - 1) + 1;
      std::string_view lines(text.data() + from, to - from);
      size_t lineEnd = 0;
      while (scanner.scanLines(lines, &lineEnd) != lines.size()) {
        ++approaches;
        lines.remove_prefix(lineEnd);
      }
      from = to;
    }
    benchmark::DoNotOptimize(approaches);
  }
  setBytes(state, text.size());
}
BENCHMARK_CAPTURE(BM_ScanLines, raster, kRaster)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScanLines, dense, kDense)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScanLines, dense_lf, kDenseLf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScanLines, dense_numbered, kDenseNumbered)->Unit(benchmark::kMillisecond);

// The word reader over the whole program, in the stretches the file pass hands it.
void BM_ScanWords(benchmark::State& state, const ProgramShape& shape) {
  const std::string& text = program(shape);
  constexpr size_t kRun = size_t{256} << 10;
  for (auto _ : state) {
    WordScanner scanner;
    size_t approaches = 0;
    for (size_t from = 0; from < text.size();) {
      const size_t to = text.rfind('\n', std::min(from + kRun, text.size()) - 1) + 1;
      scanner.scanRun(std::string_view(text).substr(from, to - from),
                      [&](size_t, std::string_view) { ++approaches; });
      from = to;
    }
    benchmark::DoNotOptimize(approaches);
  }
  setBytes(state, text.size());
}
BENCHMARK_CAPTURE(BM_ScanWords, dense, kDense)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScanWords, dense_numbered, kDenseNumbered)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScanWords, dense_blanks, kDenseBlanks)->Unit(benchmark::kMillisecond);

// The text reader alone.
void BM_ReadLines(benchmark::State& state, const ProgramShape& shape) {
  const std::string& text = program(shape);
  for (auto _ : state) {
    MemorySource source(text);
    Background background;
    TextReader reader(source, background);
    std::string_view lines;
    size_t bytes = 0;
    while (reader.next(&lines) == ReadResult::lines) bytes += lines.size();
    benchmark::DoNotOptimize(bytes);
  }
  setBytes(state, text.size());
}
BENCHMARK_CAPTURE(BM_ReadLines, raster, kRaster)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadLines, dense_lf, kDenseLf)->UseRealTime()->Unit(benchmark::kMillisecond);

// The LF-to-CR LF conversion alone, in 256 KiB pieces.
void BM_ExpandLineFeeds(benchmark::State& state, char* (*expand)(const char*, const char*, char*)) {
  const std::string& text = program(kDenseLf);
  constexpr size_t kPiece = size_t{256} << 10;
  std::vector<char> out(2 * kPiece + kExpandSlack);
  for (auto _ : state) {
    for (size_t from = 0; from < text.size(); from += kPiece) {
      const size_t size = std::min(kPiece, text.size() - from);
      benchmark::DoNotOptimize(expand(text.data() + from, text.data() + from + size, out.data()));
      benchmark::ClobberMemory();
    }
  }
  setBytes(state, text.size());
}
BENCHMARK_CAPTURE(BM_ExpandLineFeeds, plain, expandLineFeedsPlain)->Unit(benchmark::kMillisecond);
#if defined(__SSE2__)
BENCHMARK_CAPTURE(BM_ExpandLineFeeds, sse2, expandLineFeedsSse2)->Unit(benchmark::kMillisecond);
#endif
#if defined(TARVELIN_AVX2)
BENCHMARK_CAPTURE(BM_ExpandLineFeeds, avx2, expandLineFeedsAvx2)->Unit(benchmark::kMillisecond);
#endif

// The writer given LF text in the pieces the file pass hands it, which it
// gives CR LF line ends as it copies them.
void BM_WriteText(benchmark::State& state) {
  const std::string& text = program(kDenseLf);
  for (auto _ : state) {
    NullSink sink;
    Background background;
    TextWriter writer(sink, background);
    for (size_t from = 0; from < text.size(); from += 1300) {
      writer.writeText(std::string_view(text).substr(from, 1300));
    }
    benchmark::DoNotOptimize(writer.flush());
  }
  setBytes(state, text.size());
}
BENCHMARK(BM_WriteText)->UseRealTime()->Unit(benchmark::kMillisecond);

// Times the whole rewrite of `text`, from bytes in memory to a sink that drops them.
void rewriteInMemory(benchmark::State& state, const std::string& text, bool words) {
  RewriteSettings settings;
  settings.words = words;
  for (auto _ : state) {
    MemorySource source(text);
    NullSink sink;
    benchmark::DoNotOptimize(rewriteStream(source, sink, settings));
  }
  setBytes(state, text.size());
}

// The whole rewrite of each shape of program.
void BM_RewriteStream(benchmark::State& state, const ProgramShape& shape, bool words) {
  rewriteInMemory(state, program(shape), words);
}
BENCHMARK_CAPTURE(BM_RewriteStream, raster, kRaster, false)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RewriteStream, dense, kDense, false)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RewriteStream, dense_lf, kDenseLf, false)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RewriteStream, dense_numbered, kDenseNumbered, false)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_RewriteStream, words_dense, kDense, true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RewriteStream, words_dense_lf, kDenseLf, true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RewriteStream, words_dense_blanks, kDenseBlanks, true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The whole rewrite of a program that is one long line, in the shapes that
// once took minutes: plunges and distance words over and over, and distance
// words inside one comment.
void BM_LongLine(benchmark::State& state, const char* unit, bool comment, bool words) {
  const auto size = static_cast<size_t>(state.range(0));
  std::string text = "G00Z5.\r\nG00X1.Y1.\r\n";
  text += comment ? "(" : "";
  while (text.size() < size) text += unit;
  text += comment ? ")\r\n" : "\r\n";
  rewriteInMemory(state, text, words);
}
BENCHMARK_CAPTURE(BM_LongLine, plunges_and_g90, "G90G01Z-1.F100", false, false)
    ->Arg(30 << 10)
    ->Arg(1 << 20)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LongLine, plunge_then_g90, "G01Z-1G90", false, false)
    ->Arg(1 << 20)
    ->Arg(3 << 20)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LongLine, g90_in_a_comment, "G90", true, false)
    ->Arg(1 << 20)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LongLine, words_plunges, "G01Z-1G90", false, true)
    ->Arg(1 << 20)
    ->Arg(3 << 20)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
