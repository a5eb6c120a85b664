#pragma once
// A compression run without its window: the rows of the result list, what a
// run start puts in them, and the driver compressQueuedRows that compresses row after row
// and fills in each outcome. The run window and the command line both use it.

#include "common/compression_options.h"
#include "platform/text.h"
#include "compress/page_compressor.h"
#include "compress/progress.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantiro {

inline constexpr TextView kResultSucceeded = U"压缩成功";
inline constexpr TextView kResultFailed = U"压缩失败";
inline constexpr TextView kResultMissing = U"文件不在";
inline constexpr TextView kResultNotPage = U"不是网页";  // left untouched: no HTML page

inline constexpr TextView kRunNotice = U"如果出现问题，请大家在压缩之后按还原压缩功能";
inline constexpr TextView kStatusInitialising = U"正在初始化中……";
inline constexpr TextView kStatusCompressing = U"正在压缩 ";
inline constexpr TextView kStatusFinished = U"压缩结束";

// One row of the result list, the seven columns in order.
struct RunRow {
  Text source;       // 0 "源文件地址": the page as queued
  Text destination;  // 1 "目的文件地址": the mapped output path, empty when in place
  Text size;         // 2 "文件大小": bytes, decimal; empty when the file could not be read
  Text date;         // 3 "日期": last-modified local date and time
  Text result;       // 4 "压缩结果": kResultSucceeded, kResultFailed, kResultMissing or kResultNotPage
  Text newSize;      // 5 "压缩后大小": bytes of the written file
  Text ratio;        // 6 "压缩率": the saving, e.g. "23.4%"
  // Not a column: the path as the compressor returned it (the output path,
  // or the page with "|" and the reason when it failed).
  Text outcome;
};

// Column 1 of a run start: with Check1 on and text1 and text2 both given,
// text2 followed by the rest of `path` when `path` begins with text1 (compared
// upper-cased, texts joined as they are), otherwise `path` itself; empty when
// the mapping is off.
Text destinationColumn(const Text& path, const CompressionOptions& options);

// Columns 0 to 3 as a run start fills them. A file that cannot be read leaves
// size and date empty; the run then reports it.
RunRow makeRunRow(const Text& path, const CompressionOptions& options);

// The saving of a page that was `before` bytes and is `after` bytes, as
// column 6 shows it: the percentage rounded down to two decimals ("23.4%",
// "33.33%"), negative for a page that grew, "0%" when `before` is 0.
Text savingText(std::int64_t before, std::int64_t after);

// A size column read back as a number; 0 for an empty or unreadable text.
std::int64_t sizeColumnValue(TextView text);

enum class RunBar {
  Overall,      // ProgressBar1: 0..rows, the row being compressed
  PageSaving,   // ProgressBar4: 0..page size, bytes saved on the page
  TotalSaving,  // ProgressBar6: 0..1 + sizes so far, bytes saved so far
};

// What a run reports to its front end.
class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // The switches, read afresh for every page.
  virtual CompressionOptions options() = 0;
  // Shown once before the first page (the window's OK box).
  virtual void notice(const Text& message) = 0;
  virtual void setStatus(const Text& status) = 0;
  // Values always lie in 0..maximum and maximum is at least 1, scaled down
  // when the byte counts do not fit an int: a bar never ends a run.
  virtual void setBar(RunBar bar, int maximum, int value) = 0;
  // Columns 4 to 6 of row `index` are final.
  virtual void rowFinished(std::size_t index, const RunRow& row) = 0;
  virtual ProgressIndicator& pageProgress() = 0;
  virtual RestoreQuestion& restoreQuestion() = 0;
  // Between pages; the window pauses 1 ms, as the run always has.
  virtual void betweenPages();
  // How many pages one sync of the backup store covers at most (kPagesPerSync);
  // with 1 every row is finished before the next one begins.
  virtual std::size_t pagesPerSync();
  // Asked before each row: true ends the run there (the command line's output
  // was closed). Rows already begun are finished; later rows stay as queued.
  virtual bool stopRequested();
  // How many pages are compressed at once, at least 1: processorCores()
  // unless the front end was told otherwise. With 1 every page is read, compressed
  // and written in turn on the calling thread.
  virtual std::size_t jobs();
};


struct RunTotals {
  std::size_t pages = 0;
  std::size_t succeeded = 0;
  std::size_t failed = 0;
  std::size_t missing = 0;
  std::size_t notPages = 0;      // files left untouched as no HTML page
  std::size_t stoppedBefore = 0;  // rows.size(), or the first row a stop left as queued
  std::int64_t bytesBefore = 0;  // column 2 of the pages that succeeded
  std::int64_t bytesAfter = 0;   // column 5 of the same pages
};

// Pages a run reads and compresses ahead of the row it is writing, at most
// (or twice the jobs, when that is more): enough that the other cores still
// have pages while the writing thread puts a batch in place, or compresses a
// large page itself (with 16, two jobs were 5% slower on real pages). Beyond
// kPagesReadAheadAlways (or the jobs), only while the pages ahead hold less
// than kBytesReadAhead, so that large pages do not pile up in memory; a page
// of kBytesReadAhead or more is never read ahead, and is compressed once the
// rows before it are in place, alone.
inline constexpr std::size_t kPagesReadAhead = 64;
inline constexpr std::size_t kPagesReadAheadAlways = 4;
inline constexpr std::int64_t kBytesReadAhead = 16 << 20;
// Pages whose backup entries one sync of the backup store makes durable before
// they are put in place, at most: a sync per page would slow a run down many
// times over.
inline constexpr std::size_t kPagesPerSync = 32;

// Compresses every row from the first to the last and fills in columns
// 4 to 6. A row whose file is not a normal file gets "文件不在"; a file that
// is no HTML page gets "不是网页"; a page that fails gets "压缩失败"; no page ends the run, whatever its sizes (64-bit).
// Rows are written and reported in order, each with the options read for it
// in that order; later pages are read and compressed meanwhile, on
// observer.jobs() threads in all (the calling thread one of them) when the
// file service serves threads, none before an earlier row that may write its
// file. Whatever the number of jobs, the rows, files and backup entries are
// the same. Each page is put in place only once its backup entry is
// durable; a file reached again through another name is not compressed again.
// Leftover temporary files of earlier runs beside the pages are removed. A
// stop (RunObserver::stopRequested) puts the rows begun in place and removes
// every temporary file of the rows read ahead. In a dry run (`mode`) every row is compressed and reported
// as it would have been, its new size the size of the result, and nothing is
// written.
RunTotals compressQueuedRows(std::vector<RunRow>& rows, RunObserver& observer, WriteMode mode = WriteMode::Write);

}  // namespace vantiro
