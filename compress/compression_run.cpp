#include "compress/compression_run.h"

#include "backup/backup_store.h"
#include "common/work_ahead.h"
#include "platform/file_service.h"
#include "platform/system.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <ctime>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace vantiro {
namespace {

// Puts a 64-bit range into an int bar: value clamped into 0..maximum,
// maximum at least 1, both scaled by the same factor when needed.
void reportBar(RunObserver& observer, RunBar bar, std::int64_t maximum, std::int64_t value) {
  maximum = std::max<std::int64_t>(maximum, 1);
  value = std::clamp<std::int64_t>(value, 0, maximum);
  if (maximum > INT_MAX) {
    const std::int64_t factor = maximum / INT_MAX + 1;
    maximum /= factor;
    value /= factor;
  }
  observer.setBar(bar, static_cast<int>(maximum), static_cast<int>(value));
}

// Floor of (before - after) * 10000 / before, in hundredths of a percent.
std::int64_t savingHundredths(std::int64_t before, std::int64_t after) {
  const std::int64_t saved = before - after;
  constexpr std::int64_t kSafe = INT64_MAX / 10000;
  if (saved > -kSafe && saved < kSafe) {
    const std::int64_t scaled = saved * 10000;
    std::int64_t q = scaled / before;
    if ((scaled % before != 0) && ((scaled < 0) != (before < 0))) --q;
    return q;
  }
  return static_cast<std::int64_t>(std::floor(static_cast<long double>(saved) * 10000 / before));
}

// A row queued to be read and compressed ahead of the row being written.
struct QueuedPage {
  std::size_t row;
  Text path;
  CompressionOptions options;
};


// The names of the files a row still to be written may write: its page's, and
// its mirror's when the options map it there.
struct WrittenNames {
  Text page;
  Text mirror;
};

WrittenNames writtenNames(const RunRow& row, const CompressionOptions& options) {
  return {Text(fileNameOf(row.source)), Text(fileNameOf(destinationColumn(row.source, options)))};
}

// Whether the next page, its file named `name`, may be read while a row that
// writes `earlier` is still to be written: not when a file written may be the
// next page itself, nor when the next page is a file of the backup store.
// Names are compared, not whole paths, so that two spellings of one path
// cannot slip through. A dry run writes nothing, so it may read any page.
bool mayReadBefore(const WrittenNames& earlier, TextView name, WriteMode mode) {
  if (mode == WriteMode::DryRun) return true;
  if (name == earlier.page || name == U"bak.dat" || name == U"bak.kbq") return false;
  return earlier.mirror.empty() || name != earlier.mirror;
}

// A row whose outcome is reported once the rows before it are.
struct WaitingRow {
  std::size_t index;
  Text path;  // the page as queued
  CompressionOptions options;
  std::optional<PreparedPage> page;  // none for a row whose file is not a normal file
  PageOutcome outcome;               // as beginCommit, then placePage leave it
};

// The file a page's name reaches, whatever name it is reached by: a file with
// several names by its device and inode (it is rewritten where it is, so they
// stay its own), any other by its path with the links resolved. A replaced
// file's inode is free for the next new file, so it names nothing for long.
// `known` is how the file was a moment ago, when the caller has it.
std::optional<std::string> fileIdentity(const std::string& native, std::optional<FileInfo> known) {
  const std::optional<FileInfo> info = known ? known : files().stat(native);
  if (!info) return std::nullopt;
  if (info->links > 1) {
    // Appended piece by piece: GCC 12 warns of a false overlap in the chain of "+".
    std::string identity = "#";
    identity += std::to_string(info->device);
    identity += ':';
    identity += std::to_string(info->inode);
    return identity;
  }
  return resolvedPath(native);
}

// Removes what earlier runs that were killed left beside the rows' pages and
// mirrors: only temporary files older than this run.
void removeLeftovers(const std::vector<RunRow>& rows) {
  std::vector<std::string> written;
  written.reserve(rows.size());
  for (const RunRow& row : rows) {
    written.push_back(nativePath(row.source));
    if (!row.destination.empty()) written.push_back(nativePath(row.destination));
  }
  removeLeftoverTemporaries(written, std::time(nullptr));
}

// While a run writes, what spares the next pages work is kept (the pages it
// replaces, to be written over by the next ones; the backup store open; the
// directories it resolved), and let go when it ends.
class KeptBetweenPages {
 public:
  explicit KeptBetweenPages(bool keep) : keep_(keep) {
    if (keep_) files().keepBetweenPages(true);
  }
  ~KeptBetweenPages() {
    if (keep_) files().keepBetweenPages(false);
  }
  KeptBetweenPages(const KeptBetweenPages&) = delete;
  KeptBetweenPages& operator=(const KeptBetweenPages&) = delete;

 private:
  bool keep_;
};

}  // namespace

void RunObserver::betweenPages() { pauseMilliseconds(1); }

std::size_t RunObserver::pagesPerSync() { return kPagesPerSync; }

bool RunObserver::stopRequested() { return false; }

std::size_t RunObserver::jobs() { return processorCores(); }

Text destinationColumn(const Text& path, const CompressionOptions& options) {
  if (!options.mirror || options.sourceDirectory.empty() || options.destinationDirectory.empty()) return {};
  return mirrorPath(path, options).value_or(path);
}

RunRow makeRunRow(const Text& path, const CompressionOptions& options) {
  RunRow row;
  row.source = path;
  row.destination = destinationColumn(path, options);
  if (auto info = files().stat(nativePath(path))) {
    row.size = fromUtf8(std::to_string(info->size));
    row.date = localDateTimeText(info->modified);
  }
  return row;
}

Text savingText(std::int64_t before, std::int64_t after) {
  if (before == 0) return U"0%";
  const std::int64_t q = savingHundredths(before, after);
  const std::uint64_t magnitude = q < 0 ? 0 - static_cast<std::uint64_t>(q) : static_cast<std::uint64_t>(q);
  std::string text = q < 0 ? "-" : "";
  text += std::to_string(magnitude / 100);
  const std::uint64_t fraction = magnitude % 100;
  if (fraction != 0) {
    text += '.';
    text += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
  }
  return fromUtf8(text + "%");
}

std::int64_t sizeColumnValue(TextView text) {
  // Read in place: a run reads the sizes of the pages ahead for every page.
  const std::size_t first = text.find_first_not_of(U' ');
  if (first == npos) return 0;
  const TextView digits = text.substr(first, text.find_last_not_of(U' ') + 1 - first);
  std::int64_t value = 0;
  for (char32_t c : digits) {
    if (c < U'0' || c > U'9' || value > (INT64_MAX - 9) / 10) return 0;
    value = value * 10 + static_cast<std::int64_t>(c - U'0');
  }
  return value;
}

RunTotals compressQueuedRows(std::vector<RunRow>& rows, RunObserver& observer, WriteMode mode) {
  RunTotals totals;
  totals.pages = rows.size();
  observer.notice(Text(kRunNotice));
  std::int64_t totalMaximum = 1;
  std::int64_t totalSaved = 0;
  reportBar(observer, RunBar::TotalSaving, totalMaximum, totalSaved);
  observer.setStatus(Text(kStatusInitialising));
  const auto rowCount = static_cast<std::int64_t>(rows.size());

  // Reading ahead runs the file service on other threads, when it serves
  // them. Rows are queued in order, each with its options read in order, at
  // most pagesAhead ahead of the row being written, and never past a row that
  // cannot be read ahead. The calling thread is a worker too while it has
  // nothing to write, so the pool has one thread fewer than the jobs: a thread
  // more would only take time from the one that writes, which every row waits for.
  const std::size_t jobs = std::max<std::size_t>(observer.jobs(), 1);
  const bool readAhead = jobs > 1 && files().servesThreads();
  const std::size_t pagesAhead = std::max(kPagesReadAhead, 2 * jobs);
  const std::size_t pagesAheadAlways = std::max(kPagesReadAheadAlways, jobs);
  WorkAhead<QueuedPage, PreparedPage> ahead(readAhead ? jobs - 1 : 0, [mode](const QueuedPage& page) {
    return preparePage(page.path, page.options, nullptr, mode);
  });
  // The options row `k` was queued with; null when it is not queued.
  const auto queuedOptions = [&ahead](std::size_t k) -> const CompressionOptions* {
    if (ahead.size() == 0 || k < ahead.input(0).row || k - ahead.input(0).row >= ahead.size()) return nullptr;
    return &ahead.input(k - ahead.input(0).row).options;
  };
  std::size_t nextToStart = 0;
  if (mode == WriteMode::Write) removeLeftovers(rows);
  const KeptBetweenPages kept(mode == WriteMode::Write);

  // Rows whose backup entries are appended and whose results wait to be put
  // in place, in order: one sync of the backup store covers them all.
  std::deque<WaitingRow> waiting;
  std::size_t waitingToPlace = 0;
  // The files compressed in place so far, with the name that reached them:
  // another name of one of them (a link) does not compress it again. The same
  // name queued twice does, as it always has.
  std::map<std::string, Text> compressedFiles;
  const std::size_t perSync = std::max<std::size_t>(observer.pagesPerSync(), 1);

  const auto report = [&](WaitingRow& w) {
    RunRow& row = rows[w.index];
    if (!w.page) {
      row.result = kResultMissing;
      ++totals.missing;
    } else {
      w.outcome = placePage(*w.page, std::move(w.outcome), w.options, observer.restoreQuestion());
      row.outcome = w.outcome.path;
      std::optional<std::int64_t> written;
      // What was written is the result (or, left as it was, the same bytes),
      // except for a page compressed earlier through another name.
      if (w.outcome.succeeded && (mode == WriteMode::DryRun || w.page->bytes)) {
        written = static_cast<std::int64_t>(w.page->result.size());
      } else if (w.outcome.succeeded) {
        if (std::optional<FileInfo> info = files().stat(nativePath(w.outcome.path)))
          written = static_cast<std::int64_t>(info->size);
      }
      w.page.reset();
      if (written) {
        const std::int64_t a = sizeColumnValue(row.size);
        const std::int64_t b = *written;
        row.result = kResultSucceeded;
        row.newSize = fromUtf8(std::to_string(b));
        row.ratio = savingText(a, b);
        reportBar(observer, RunBar::PageSaving, a, a - b);
        totalMaximum += a;
        totalSaved += a - b;
        reportBar(observer, RunBar::TotalSaving, totalMaximum, totalSaved);
        ++totals.succeeded;
        totals.bytesBefore += a;
        totals.bytesAfter += b;
      } else if (w.outcome.notPage) {
        row.result = kResultNotPage;
        ++totals.notPages;
      } else {
        row.result = kResultFailed;
        ++totals.failed;
      }
    }
    observer.rowFinished(w.index, row);
    observer.betweenPages();
  };
  const auto placeWaiting = [&] {
    for (; !waiting.empty(); waiting.pop_front()) report(waiting.front());
    // Only once the batch is durable may the files it replaced take later pages.
    if (waitingToPlace != 0) files().syncPlacedFiles();
    waitingToPlace = 0;
  };
  // Rows wait only while a result waits with them, and no more than perSync results.
  const auto placeWhenDue = [&] {
    if (waitingToPlace == 0 || waitingToPlace >= perSync) placeWaiting();
  };
  // The names each row may write, worked out once its options are fixed: the
  // checks below ask for them again and again.
  std::vector<std::optional<WrittenNames>> namesWritten(rows.size());
  const auto namesOf = [&](std::size_t row, const CompressionOptions& options) -> const WrittenNames& {
    if (!namesWritten[row]) namesWritten[row] = writtenNames(rows[row], options);
    return *namesWritten[row];
  };
  // Whether row `k` may be read while the waiting rows are not in place.
  const auto mayReadBeforeWaiting = [&](std::size_t k) {
    const TextView name = fileNameOf(rows[k].source);
    for (const WaitingRow& w : waiting)
      if (!mayReadBefore(namesOf(w.index, w.options), name, mode)) return false;
    return true;
  };

  totals.stoppedBefore = rows.size();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (observer.stopRequested()) {
      totals.stoppedBefore = i;
      break;
    }
    RunRow& row = rows[i];
    observer.setStatus(Text(kStatusCompressing) + row.source);
    WaitingRow current{i, row.source, {}, {}, {}};
    if (const CompressionOptions* queued = queuedOptions(i)) {
      current.options = *queued;
      current.page = ahead.take();
    }
    nextToStart = std::max(nextToStart, i + 1);
    // A page not read ahead is looked at only after the rows it may depend on
    // are in place: a waiting row may be about to write it, or create it.
    const bool readAheadWhole = current.page && current.page->bytes;
    if (!readAheadWhole && !mayReadBeforeWaiting(i)) placeWaiting();
    const std::string native = nativePath(current.path);
    // A page read whole was a normal file just now: no need to look again.
    const bool normalFile = readAheadWhole ? current.page->readInfo && current.page->readInfo->kind == EntryKind::File &&
                                                 !isHiddenName(native)
                                           : isNormalFile(native);
    if (!normalFile) {
      current.page.reset();
      waiting.push_back(std::move(current));
      placeWhenDue();
      continue;
    }
    reportBar(observer, RunBar::Overall, rowCount, static_cast<std::int64_t>(i) + 1);
    // A large page is compressed alone: the pages waiting to be put in place
    // give their memory back first.
    if (!readAheadWhole && sizeColumnValue(row.size) >= kBytesReadAhead) placeWaiting();
    if (!readAheadWhole) {
      // Not read ahead, or read ahead before the file was complete perhaps.
      if (!current.page) current.options = observer.options();
      current.page = preparePage(current.path, current.options, &observer.pageProgress(), mode);
    }
    // Later pages are read and compressed while this one is written.
    std::int64_t bytesAhead = 0;
    for (std::size_t k = i + 1; k < nextToStart; ++k) bytesAhead += sizeColumnValue(rows[k].size);
    while (readAhead && nextToStart < rows.size() && nextToStart <= i + pagesAhead &&
           (nextToStart <= i + pagesAheadAlways || bytesAhead < kBytesReadAhead)) {
      const std::size_t k = nextToStart;
      bytesAhead += sizeColumnValue(rows[k].size);
      const TextView name = fileNameOf(rows[k].source);
      bool safe = mayReadBefore(namesOf(i, current.options), name, mode) && mayReadBeforeWaiting(k);
      for (std::size_t j = i + 1; safe && j < k; ++j) safe = mayReadBefore(namesOf(j, *queuedOptions(j)), name, mode);
      // A large page is never read beside another: it waits to be compressed alone.
      // A row that is no normal file is read in vain and then reported missing.
      if (!safe || sizeColumnValue(rows[k].size) >= kBytesReadAhead) break;
      ahead.start(QueuedPage{k, rows[k].source, observer.options()});
      ++nextToStart;
    }
    const std::optional<std::string> identity =
        mode == WriteMode::Write && !mirrorPath(current.path, current.options)
            ? fileIdentity(native, current.page->readInfo)
            : std::nullopt;
    const auto compressed = identity ? compressedFiles.find(*identity) : compressedFiles.end();
    if (compressed != compressedFiles.end() && compressed->second != current.path) {
      // Compressed already through another name: reported as it is now.
      placeWaiting();
      waiting.push_back(WaitingRow{i, current.path, current.options, PreparedPage{}, {current.path, true}});
      placeWhenDue();
      continue;
    }
    current.outcome = beginCommit(*current.page, current.path, current.options, observer.pageProgress(),
                                  observer.restoreQuestion(), mode);
    if (identity && current.outcome.succeeded) compressedFiles.emplace(*identity, current.outcome.path);
    if (current.page->awaitingPlace) ++waitingToPlace;
    waiting.push_back(std::move(current));
    placeWhenDue();
  }
  placeWaiting();
  observer.setStatus(Text(kStatusFinished));
  return totals;
}

}  // namespace vantiro
