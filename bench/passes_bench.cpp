// MB/s of the compressor's passes over ordinary and pathological pages.
//   vantiro-bench-passes [--benchmark_filter=REGEX]
// VANTIRO_BENCH_CORPUS names the directory make-corpus.sh filled (default /tmp/bench).
// VANTIRO_BENCH_KEEP_HEAP=1 keeps freed memory in the process (no mmap per large
// string, no heap trimming), to show what the page faults of a fresh page cost.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

#include "bench/bench_pages.h"

int main(int argc, char** argv) {
  if (const char* keep = std::getenv("VANTIRO_BENCH_KEEP_HEAP"); keep != nullptr && std::strcmp(keep, "1") == 0) {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest glibc accepts
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
  }
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
