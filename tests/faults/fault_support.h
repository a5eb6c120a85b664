#pragma once
// What the fault tests and the soak test share: a run observer like the command
// line's that lets a test arm and clear faults between rows, the output a
// clean run gives for a page, and restoring the whole backup store as the
// restore window's "全部还原" does.

#include "backup/backup_store.h"
#include "common/compression_options.h"
#include "compress/compression_run.h"
#include "compress/page_compressor.h"
#include "platform/system.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantiro::test {

// Reports a run as the command line does, keeps every finished row, checks
// every bar value against its range, and calls `afterRow` between rows so a
// test can change the faults from one page to the next.
class RecordingRun final : public RunObserver {
 public:
  CompressionOptions opts;
  // Options for the n-th page the run compresses (0-based), when set.
  std::function<CompressionOptions(std::size_t)> optionsForPage;
  std::function<void(std::size_t row)> afterRow;
  std::size_t syncEvery = kPagesPerSync;  // pagesPerSync()
  std::size_t jobCount = processorCores();   // jobs()
  std::vector<RunRow> finished;
  std::vector<Text> statuses;
  FixedAnswer answer{false};

  CompressionOptions options() override;
  void notice(const Text&) override {}
  void setStatus(const Text& status) override { statuses.push_back(status); }
  void setBar(RunBar bar, int maximum, int value) override;
  void rowFinished(std::size_t index, const RunRow& row) override;
  ProgressIndicator& pageProgress() override { return progress_; }
  RestoreQuestion& restoreQuestion() override { return answer; }
  void betweenPages() override {}
  std::size_t pagesPerSync() override { return syncEvery; }
  std::size_t jobs() override { return jobCount; }

 private:
  NoProgress progress_;
  std::size_t pagesAsked_ = 0;
};

// Queues `paths` as a run start does and runs compressQueuedRows over them.
std::vector<RunRow> runPages(const std::vector<std::string>& paths, RecordingRun& run);

// The bytes a clean compression of `page` with `options` writes, or nothing
// when a clean run fails the page. Uses a scratch directory and program
// directory of its own and puts the current program directory back.
std::optional<std::string> cleanOutput(const std::string& page, const CompressionOptions& options);

// Restores every page to its oldest entry, as the restore window's "全部还原"
// does, with the index read once for all entries. `entries` counts the whole
// index.
struct RestoreTally {
  std::size_t entries = 0;
  std::size_t restored = 0;
  std::vector<Text> failedPaths;
};
RestoreTally restoreAll();

// The reason a failed row shows after the page's path: the text after the
// first "|" of the compressor's outcome, empty when there is none.
Text failureReason(const RunRow& row);

}  // namespace vantiro::test
