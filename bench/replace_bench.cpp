// Search and replace on a 10 MB page with 10^5 matches: `replaceInText` in
// memory, and whole pages through `replaceInPage` / `replaceAttributeInPage`
// (read, backup, replace, atomic write) in every mode.
//   vantiro-bench-replace [--benchmark_filter=REGEX]
#include "backup/backup_store.h"
#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/memory.h"
#include "platform/system.h"
#include "replace/search_replace.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace vantiro;

constexpr std::size_t kPageBytes = 10'000'000;
constexpr std::size_t kMatches = 100'000;

// One 100-byte line per match: the word "cat" sits in the text, in the tag or
// in a script body, padded with ordinary words.
std::string line(const std::string& shape) {
  std::string l;
  if (shape == "text") l = "<p class=c>lorem ipsum cat dolor sit amet";
  if (shape == "tag") l = "<a href=cat.htm>lorem ipsum dolor sit amet";
  if (shape == "script") l = "<script>var cat=1;";
  while (l.size() < 88) l += " consectetur";
  l.resize(88);
  l += shape == "script" ? "</script>\r\n" : "</p>\r\n";
  l.resize(100, ' ');
  return l;
}

std::string page(const std::string& shape) {
  std::string body = "<html><title>cat</title>\r\n";
  const std::string l = line(shape);
  while (body.size() + l.size() <= kPageBytes) body += l;
  return body;
}

class BenchDir {
 public:
  BenchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vantiro-replace-bench-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    dir_ = tmpl + "/";
    setProgramDirectory(dir_);
  }
  ~BenchDir() { std::filesystem::remove_all(dir_); }
  const std::string& path() const { return dir_; }

 private:
  std::string dir_;
};

void replaceInTextBench(benchmark::State& state, int flags) {
  const Text original = decodeAnsi(page("text"));
  long long count = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Text text = original;
    state.ResumeTiming();
    count = replaceInText(text, U"cat", U"dog", flags).count;
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["matches"] = static_cast<double>(count);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * original.size()));
}

void pageBench(benchmark::State& state, const std::string& shape, SearchParameters params) {
  BenchDir dir;
  const std::string bytes = page(shape);
  const std::string file = dir.path() + "page.htm";
  long long count = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClearBackupStore();
    files().writeFileAtomic(file, bytes);
    const Text path = textPath(file);
    state.ResumeTiming();
    const PageReplacement done = params.mode == ReplaceMode::Specific ? replaceAttributeInPage(path, params, {})
                                                                      : replaceInPage(path, params);
    count = done.count;
    if (!done.succeeded) state.SkipWithError(toUtf8(done.error).c_str());
  }
  state.counters["matches"] = static_cast<double>(count);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

SearchParameters params(ReplaceMode mode, int kind = kKindNone, Text tag = {}) {
  SearchParameters p;
  p.findText = U"cat";
  p.replacement = U"dog";
  p.mode = mode;
  p.target = {kind, std::move(tag)};
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  using vantiro::ReplaceMode;
  vantiro::keepFreedMemoryForReuse();  // as the program runs
  setPauseScale(0);
  benchmark::RegisterBenchmark("replaceInText/exact", replaceInTextBench, vantiro::kMatchCase)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("replaceInText/ignore-case", replaceInTextBench, 0)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("replaceInText/whole-word", replaceInTextBench, vantiro::kMatchWholeWord)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("replaceInPage/text", pageBench, "text", params(ReplaceMode::Text))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("replaceInPage/tags", pageBench, "tag", params(ReplaceMode::Tags))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("replaceInPage/page", pageBench, "text", params(ReplaceMode::Page))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("replaceInPage/scripts", pageBench, "script", params(ReplaceMode::Scripts))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("replaceAttributeInPage/link", pageBench, "tag",
                               params(ReplaceMode::Specific, vantiro::kKindTagInside, U"A"))
      ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
