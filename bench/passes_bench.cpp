// MB/s of the compressor's passes over ordinary and pathological pages.
//   vantiro-bench-passes [--benchmark_filter=REGEX]
// VANTIRO_BENCH_CORPUS names the directory make-corpus.sh filled (default /tmp/bench).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "bench/bench_pages.h"
#include "platform/memory.h"

int main(int argc, char** argv) {
  vantiro::keepFreedMemoryForReuse();  // as the program runs
  const char* dir = std::getenv("VANTIRO_BENCH_CORPUS");
  static const auto shapes = vantiro::bench::allShapes(dir != nullptr ? dir : "/tmp/bench");
  for (const auto& shape : shapes) {
    benchmark::RegisterBenchmark(("passes/" + shape.name).c_str(), [&shape](benchmark::State& state) {
      for (auto _ : state) benchmark::DoNotOptimize(vantiro::bench::runPasses(shape.bytes, true, true));
      state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * shape.bytes.size()));
    })->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
