// Throughput of the scanner and of the whole in-memory rewrite.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "memory_streams.h"
#include "program_generator.h"
#include "rewrite/file_pass.h"
#include "rewrite/nc_text.h"
#include "rewrite/plunge_scanner.h"

namespace {

const std::string& program() {
  static const std::string text = [] {
    std::string all;
    generateProgram(size_t{64} << 20, false, [&](std::string_view piece) { all += piece; });
    return all;
  }();
  return text;
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

void BM_ScanLine(benchmark::State& state) {
  std::vector<std::string_view> lines;
  std::string_view rest = program();
  for (size_t lf; (lf = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(lf + 1)) {
    lines.push_back(rest.substr(0, lf + 1));
  }
  for (auto _ : state) {
    PlungeScanner scanner;
    size_t approaches = 0;
    for (const std::string_view line : lines) approaches += !scanner.scanLine(line).empty();
    benchmark::DoNotOptimize(approaches);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * program().size()));
}
BENCHMARK(BM_ScanLine)->Unit(benchmark::kMillisecond);

void BM_ReadLines(benchmark::State& state) {
  program();  // generated before the clock runs
  for (auto _ : state) {
    MemorySource source(program());
    NcReader reader(source);
    std::string_view lines;
    size_t bytes = 0;
    while (reader.next(&lines) == ReadResult::lines) bytes += lines.size();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * program().size()));
}
BENCHMARK(BM_ReadLines)->Unit(benchmark::kMillisecond);

void BM_RewriteStream(benchmark::State& state) {
  program();  // generated before the clock runs
  for (auto _ : state) {
    MemorySource source(program());
    NullSink sink;
    benchmark::DoNotOptimize(rewriteStream(source, sink));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * program().size()));
}
BENCHMARK(BM_RewriteStream)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
