#include "compress/compression_run.h"

#include "backup/backup_store.h"
#include "platform/file_service.h"
#include "platform/system.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
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

// Prepares pages on worker threads, so that later pages are read and
// compressed while the calling thread writes the current one. Rows are queued
// in row order and taken in the same order. Every thread, the calling one
// included while the row it takes next is not ready, prepares the earliest
// row no thread has begun: the row to be written next never waits behind
// later ones, and no thread waits for the writer while a queued row is left.
// The workers start with the first row queued and end with the object, after
// finishing the page each has begun.
class PagePool {
 public:
  PagePool(std::size_t threads, WriteMode mode) : threadCount_(threads), mode_(mode) {}
  PagePool(const PagePool&) = delete;
  PagePool& operator=(const PagePool&) = delete;
  ~PagePool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    queued_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  // Queues row `row`, which must follow the last row queued.
  void start(std::size_t row, const Text& path, const CompressionOptions& options) {
    if (!started_) {
      started_ = true;
      try {
        for (std::size_t t = 0; t < threadCount_; ++t) threads_.emplace_back([this] { work(); });
      } catch (const std::system_error&) {
        // Fewer workers, or none: the calling thread prepares what is left.
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slots_.push_back(Slot{row, path, options, State::Queued, {}});
    }
    queued_.notify_one();
  }

  // The options row `row` is prepared with; null when it is not queued.
  // Calling thread only.
  const CompressionOptions* options(std::size_t row) const {
    if (slots_.empty() || row < slots_.front().row || row - slots_.front().row >= slots_.size()) return nullptr;
    return &slots_[row - slots_.front().row].options;
  }

  // Hands over the first row queued once it is ready. Rather than wait, the
  // calling thread prepares rows no worker has begun, the first row queued
  // before any other.
  PreparedPage take() {
    std::unique_lock<std::mutex> lock(mutex_);
    Slot& first = slots_.front();
    while (first.state != State::Done) {
      if (Slot* slot = firstQueued())
        prepare(*slot, lock);
      else
        ready_.wait(lock);
    }
    PreparedPage page = std::move(first.page);
    slots_.pop_front();
    return page;
  }

 private:
  enum class State { Queued, Working, Done };
  // Elements of a deque stay where they are while others are added at the
  // back or removed at the front, so a thread may hold on to its slot.
  struct Slot {
    std::size_t row;
    Text path;
    CompressionOptions options;
    State state;
    PreparedPage page;
  };

  // The first row no thread has begun, if any; with the lock held.
  Slot* firstQueued() {
    for (Slot& slot : slots_)
      if (slot.state == State::Queued) return &slot;
    return nullptr;
  }

  // Prepares a queued row, unlocking meanwhile.
  void prepare(Slot& slot, std::unique_lock<std::mutex>& lock) {
    slot.state = State::Working;
    lock.unlock();
    PreparedPage page = preparePage(slot.path, slot.options, nullptr, mode_);
    lock.lock();
    slot.page = std::move(page);
    slot.state = State::Done;
  }

  void work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      Slot* slot = nullptr;
      queued_.wait(lock, [this, &slot] { return stop_ || (slot = firstQueued()) != nullptr; });
      if (stop_) return;
      prepare(*slot, lock);
      ready_.notify_one();
    }
  }

  const std::size_t threadCount_;
  const WriteMode mode_;
  std::mutex mutex_;
  std::condition_variable queued_;  // a row was queued, or the pool ends
  std::condition_variable ready_;   // a row is ready
  std::deque<Slot> slots_;          // rows in order; row, path and options are fixed once queued
  bool stop_ = false;
  bool started_ = false;
  std::vector<std::thread> threads_;
};

// The last component of a path.
TextView fileName(TextView path) {
  const std::size_t slash = path.find_last_of(U'/');
  return slash == npos ? path : path.substr(slash + 1);
}

// Whether the page of `next` may be read while the page of `earlier` is still
// to be written with `options`: not when the file written (the page, or its
// mirror) may be the next page itself, nor when the next page is a file of the
// backup store. Names are compared, not whole paths, so that two spellings of
// one path cannot slip through. A dry run writes nothing, so it may read any page.
bool mayReadBefore(const RunRow& earlier, const RunRow& next, const CompressionOptions& options, WriteMode mode) {
  if (mode == WriteMode::DryRun) return true;
  const TextView name = fileName(next.source);
  if (name == fileName(earlier.source) || name == U"bak.dat" || name == U"bak.kbq") return false;
  const Text mapped = destinationColumn(earlier.source, options);
  return mapped.empty() || name != fileName(mapped);
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
std::optional<std::string> fileIdentity(const std::string& native) {
  const std::optional<FileInfo> info = files().stat(native);
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

// While a run writes, the pages it replaces are kept to be written over by
// the next ones, and removed when it ends.
class KeptReplacedFiles {
 public:
  explicit KeptReplacedFiles(bool keep) : keep_(keep) {
    if (keep_) files().keepReplacedFiles(true);
  }
  ~KeptReplacedFiles() {
    if (keep_) files().keepReplacedFiles(false);
  }
  KeptReplacedFiles(const KeptReplacedFiles&) = delete;
  KeptReplacedFiles& operator=(const KeptReplacedFiles&) = delete;

 private:
  bool keep_;
};

}  // namespace

void RunObserver::betweenPages() { pauseMilliseconds(1); }

std::size_t RunObserver::pagesPerSync() { return kPagesPerSync; }

bool RunObserver::stopRequested() { return false; }

std::size_t RunObserver::jobs() { return defaultJobs(); }

std::size_t defaultJobs() { return std::max(std::thread::hardware_concurrency(), 1U); }

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
  Text digits = trimSpaces(text);
  if (digits.empty()) return 0;
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
  PagePool ahead(readAhead ? jobs - 1 : 0, mode);
  std::size_t nextToStart = 0;
  if (mode == WriteMode::Write) removeLeftovers(rows);
  const KeptReplacedFiles kept(mode == WriteMode::Write);

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
      if (w.outcome.succeeded && mode == WriteMode::DryRun) {
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
  // Whether row `k` may be read while the waiting rows are not in place.
  const auto mayReadBeforeWaiting = [&](std::size_t k) {
    for (const WaitingRow& w : waiting)
      if (!mayReadBefore(rows[w.index], rows[k], w.options, mode)) return false;
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
    if (const CompressionOptions* queued = ahead.options(i)) {
      current.options = *queued;
      current.page = ahead.take();
    }
    nextToStart = std::max(nextToStart, i + 1);
    // A page not read ahead is looked at only after the rows it may depend on
    // are in place: a waiting row may be about to write it, or create it.
    const bool readAheadWhole = current.page && current.page->bytes;
    if (!readAheadWhole && !mayReadBeforeWaiting(i)) placeWaiting();
    const std::string native = nativePath(current.path);
    if (!isNormalFile(native)) {
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
      bool safe = mayReadBefore(row, rows[k], current.options, mode) && mayReadBeforeWaiting(k);
      for (std::size_t j = i + 1; safe && j < k; ++j)
        safe = mayReadBefore(rows[j], rows[k], *ahead.options(j), mode);
      // A large page is never read beside another: it waits to be compressed alone.
      if (!safe || sizeColumnValue(rows[k].size) >= kBytesReadAhead || !isNormalFile(nativePath(rows[k].source)))
        break;
      ahead.start(k, rows[k].source, observer.options());
      ++nextToStart;
    }
    const std::optional<std::string> identity =
        mode == WriteMode::Write && !mirrorPath(current.path, current.options) ? fileIdentity(native) : std::nullopt;
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
