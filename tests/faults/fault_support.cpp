#include "tests/faults/fault_support.h"

#include "backup/restore_selection.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace vantiro::test {

CompressionOptions RecordingRun::options() {
  const std::size_t n = pagesAsked_++;
  return optionsForPage ? optionsForPage(n) : opts;
}

void RecordingRun::setBar(RunBar, int maximum, int value) {
  EXPECT_GE(maximum, 1);
  EXPECT_GE(value, 0);
  EXPECT_LE(value, maximum);
}

void RecordingRun::rowFinished(std::size_t index, const RunRow& row) {
  EXPECT_EQ(index, finished.size());
  finished.push_back(row);
  if (afterRow) afterRow(index);
}

std::vector<RunRow> runPages(const std::vector<std::string>& paths, RecordingRun& run) {
  std::vector<RunRow> rows;
  for (const std::string& path : paths) rows.push_back(makeRunRow(textPath(path), run.opts));
  compressQueuedRows(rows, run);
  return rows;
}

std::optional<std::string> cleanOutput(const std::string& page, const CompressionOptions& options) {
  const std::string home = programDirectory();
  TempDir scratchHome, scratch;
  setProgramDirectory(scratchHome.path());
  writeBytes(scratch / "page.htm", readBytes(page));
  CompressionOptions inPlace = options;
  inPlace.mirror = false;
  inPlace.offerRestoreAfterError = false;
  NoProgress progress;
  FixedAnswer no(false);
  const PageOutcome outcome = compressPageFile(textPath(scratch / "page.htm"), inPlace, progress, no);
  setProgramDirectory(home);
  if (!outcome.succeeded) return std::nullopt;
  return readBytes(scratch / "page.htm");
}

RestoreTally restoreAll() {
  struct Quiet final : RestoreObserver {
    void showStatus(const Text&) override {}
  } quiet;
  RestoreTally tally;
  const std::vector<BackupEntry> entries = ReadBackupIndex(false);
  const BackupIndexChecks checks = BackupIndexChecks::read();
  tally.entries = entries.size();
  for (std::size_t n : oldestEntryOfEachPage(entries)) {
    const BackupEntry& entry = entries[n];
    if (restoreEntry(entry, quiet, &checks))
      ++tally.restored;
    else
      tally.failedPaths.push_back(entry.path);
  }
  return tally;
}

Text failureReason(const RunRow& row) {
  const std::size_t bar = row.outcome.find(U'|');
  return bar == npos ? Text() : row.outcome.substr(bar + 1);
}

}  // namespace vantiro::test
