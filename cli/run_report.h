#pragma once
// What `vantiro-cli compress` prints of a run: a row per page as it finishes
// (all of them, only the failures, or JSON objects), the reasons of failures
// on standard error, the progress line on a terminal, then the summary.

#include "cli/output_format.h"
#include "cli/progress_line.h"
#include "compress/compression_run.h"
#include "platform/system.h"

#include <cstdint>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

namespace vantiro::cli {

// Where a run's progress is shown, and how far the earlier runs of one
// command got: a command may run the same pages more than once.
struct ProgressCount {
  ProgressLine* line = nullptr;  // none: no progress shown
  bool rowsOnTerminal = false;   // the rows go to the terminal that shows the line
  std::size_t done = 0;          // pages finished by earlier runs
  std::size_t total = 0;         // pages of all runs together
  std::int64_t bytes = 0;        // bytes of pages finished by earlier runs
};

class RunReport final : public RunObserver {
 public:
  // `printRows` false runs silently (progress aside), keeping only the sizes.
  RunReport(CompressionOptions options, OutputStyle style, bool printRows, std::ostream& out, std::ostream& err,
            ProgressCount& progress, std::size_t jobs = processorCores());

  CompressionOptions options() override { return options_; }
  void notice(const Text&) override {}
  void setStatus(const Text& status) override;
  void setBar(RunBar, int, int) override {}
  void rowFinished(std::size_t index, const RunRow& row) override;
  ProgressIndicator& pageProgress() override { return pageProgress_; }
  RestoreQuestion& restoreQuestion() override { return answer_; }
  void betweenPages() override {}
  // The rows' output was closed (a reader such as `head` is gone).
  bool stopRequested() override { return out_.fail(); }
  std::size_t jobs() override { return jobs_; }

  // The new size of each row that succeeded, by row.
  const std::vector<std::optional<std::int64_t>>& newSizes() const { return newSizes_; }

 private:
  // Prints whole lines, above the progress line when they go to its terminal.
  void print(std::ostream& stream, const std::string& text, bool onTerminal);

  CompressionOptions options_;
  OutputStyle style_;
  bool printRows_;
  std::ostream& out_;
  std::ostream& err_;
  ProgressCount& progress_;
  NoProgress pageProgress_;
  FixedAnswer answer_;
  std::vector<std::optional<std::int64_t>> newSizes_;
  std::size_t jobs_;
};

// What an option adds over the run without it, over the pages that succeeded
// both ways.
struct OptionSaving {
  std::string option;          // "--scripts"
  std::int64_t bytesAfter = 0;  // the run's total after, with this option's sizes where it succeeded
  std::int64_t extraSaved = 0;  // bytes fewer than without the option
};

OptionSaving optionSaving(std::string option, const RunTotals& without,
                          const std::vector<std::optional<std::int64_t>>& sizesWithout,
                          const std::vector<std::optional<std::int64_t>>& sizesWith);

// The summary line (or object), followed by one line per option measured.
void printSummary(const RunTotals& totals, const std::vector<OptionSaving>& savings, OutputStyle style,
                  bool dryRun, std::ostream& out);

}  // namespace vantiro::cli
