#include "compress/compression_run.h"

#include "platform/file_service.h"
#include "platform/system.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

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

// Prepares one page at a time on a thread of its own, so that later pages are
// read and compressed while the calling thread writes the current one. The
// thread starts with the first page given and ends with the object.
class PagePrefetch {
 public:
  PagePrefetch() = default;
  PagePrefetch(const PagePrefetch&) = delete;
  PagePrefetch& operator=(const PagePrefetch&) = delete;
  ~PagePrefetch() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  // Starts preparing row `row`; the previous page must have been taken.
  void start(std::size_t row, const Text& path, const CompressionOptions& options) {
    if (!thread_.joinable()) thread_ = std::thread([this] { work(); });
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = Job{path, options};
    }
    row_ = row;
    options_ = options;
    changed_.notify_all();
  }

  // The row being prepared, if any, and the options it is prepared with.
  std::optional<std::size_t> row() const { return row_; }
  const CompressionOptions& options() const { return options_; }

  // Waits for the page and hands it over.
  PreparedPage take() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return done_.has_value(); });
    PreparedPage page = std::move(*done_);
    done_.reset();
    row_.reset();
    return page;
  }

 private:
  struct Job {
    Text path;
    CompressionOptions options;
  };

  void work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stop_ || job_.has_value(); });
      if (stop_) return;
      const Job job = std::move(*job_);
      job_.reset();
      lock.unlock();
      PreparedPage page = preparePage(job.path, job.options, nullptr);
      lock.lock();
      done_ = std::move(page);
      changed_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<Job> job_;
  std::optional<PreparedPage> done_;
  std::optional<std::size_t> row_;  // these two are touched by the calling thread only
  CompressionOptions options_;
  bool stop_ = false;
  std::thread thread_;
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
// one path cannot slip through.
bool mayReadBefore(const RunRow& earlier, const RunRow& next, const CompressionOptions& options) {
  const TextView name = fileName(next.source);
  if (name == fileName(earlier.source) || name == U"bak.dat" || name == U"bak.kbq") return false;
  const Text mapped = destinationColumn(earlier.source, options);
  return mapped.empty() || name != fileName(mapped);
}

}  // namespace

void RunObserver::betweenPages() { pauseMilliseconds(1); }

Text destinationColumn(const Text& path, const CompressionOptions& options) {
  if (!options.Check1 || options.text1.empty() || options.text2.empty()) return {};
  const std::size_t n = options.text1.size();
  if (upperAscii(TextView(path).substr(0, n)) == upperAscii(options.text1))
    return options.text2 + path.substr(std::min(n, path.size()));
  return path;
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

RunTotals ys(std::vector<RunRow>& rows, RunObserver& observer) {
  RunTotals totals;
  totals.pages = rows.size();
  observer.notice(Text(kRunNotice));
  std::int64_t totalMaximum = 1;
  std::int64_t totalSaved = 0;
  reportBar(observer, RunBar::TotalSaving, totalMaximum, totalSaved);
  observer.setStatus(Text(kStatusInitialising));
  const auto rowCount = static_cast<std::int64_t>(rows.size());

  // Reading ahead runs the file service on other threads: only the real one,
  // since a replacement (a test's) need not be safe for that. Row k is
  // prepared by ahead[k % kAhead]; rows are started in order, each with its
  // options read in order, and never past a row that cannot be read ahead.
  const bool readAhead = &files() == &realFileService();
  constexpr std::size_t kAhead = 2;
  std::array<PagePrefetch, kAhead> ahead;
  std::size_t nextToStart = 0;

  for (std::size_t i = 0; i < rows.size(); ++i) {
    RunRow& row = rows[i];
    observer.setStatus(Text(kStatusCompressing) + row.source);
    Text path = row.source;
    std::optional<PreparedPage> prepared;
    CompressionOptions options;
    PagePrefetch& mine = ahead[i % kAhead];
    if (mine.row() == i) {
      options = mine.options();
      prepared = mine.take();
    }
    nextToStart = std::max(nextToStart, i + 1);
    if (!isNormalFile(nativePath(path))) {
      row.result = kResultMissing;
      ++totals.missing;
    } else {
      reportBar(observer, RunBar::Overall, rowCount, static_cast<std::int64_t>(i) + 1);
      if (!prepared) {
        options = observer.options();
        prepared = preparePage(path, options, &observer.pageProgress());
      } else if (!prepared->bytes) {
        // Read ahead before the file was complete, perhaps: read it again now.
        prepared = preparePage(path, options, &observer.pageProgress());
      }
      // Later pages are read and compressed while this one is written.
      while (readAhead && nextToStart < rows.size() && nextToStart <= i + kAhead) {
        const std::size_t k = nextToStart;
        bool safe = mayReadBefore(row, rows[k], options);
        for (std::size_t j = i + 1; safe && j < k; ++j)
          safe = mayReadBefore(rows[j], rows[k], ahead[j % kAhead].options());
        if (!safe || !isNormalFile(nativePath(rows[k].source))) break;
        ahead[k % kAhead].start(k, rows[k].source, observer.options());
        ++nextToStart;
      }
      int pageResult = 1;
      commitPage(*prepared, path, pageResult, options, observer.pageProgress(), observer.restoreQuestion());
      prepared.reset();
      row.outcome = path;
      std::optional<FileInfo> written;
      if (pageResult == 1) written = files().stat(nativePath(path));
      if (written) {
        const std::int64_t a = sizeColumnValue(row.size);
        const auto b = static_cast<std::int64_t>(written->size);
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
      } else {
        row.result = kResultFailed;
        ++totals.failed;
      }
    }
    observer.rowFinished(i, row);
    observer.betweenPages();
  }
  observer.setStatus(Text(kStatusFinished));
  return totals;
}

}  // namespace vantiro
