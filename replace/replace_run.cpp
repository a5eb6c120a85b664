#include "replace/replace_run.h"

#include "common/work_ahead.h"
#include "platform/file_service.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

namespace vantiro {
namespace {

// Pages read and searched ahead of the row being written, at most, for each job.
constexpr std::size_t kPagesAheadPerJob = 4;
// Pages whose backup entries one sync of the backup store makes durable before
// they are put in place, at most, as in a compression run.
constexpr std::size_t kPagesPerSync = 32;
// A page this large is searched alone, as a compression run compresses it:
// several of them read at once, or waiting with their results, could take
// more memory than the machine has.
constexpr std::uint64_t kLargePage = 16 << 20;

struct QueuedRow {
  Text path;
  CompressionOptions options;
};

PreparedReplacement prepareRow(const QueuedRow& row, const SearchParameters& params) {
  return params.mode == ReplaceMode::Specific ? prepareAttributeReplacement(row.path, params, row.options)
                                              : prepareReplacement(row.path, params);
}

// Whether the page a preparation read is no longer what it read: an earlier
// row wrote it meanwhile, through another of its names.
bool changedSinceRead(const PreparedReplacement& prepared) {
  if (!prepared.readInfo || prepared.native.empty()) return false;
  const std::optional<FileInfo> now = files().stat(prepared.native);
  return !now || !now->unchangedSince(*prepared.readInfo);
}

// A row begun and waiting for its batch to be put in place.
struct WaitingRow {
  std::size_t index;
  PreparedReplacement prepared;
};

// Whether the page `next` read may be a file that a waiting row is still to
// write: the same file (by its identity as read, whatever name reached it),
// or a file of the same name (a mirror not there yet when the page was read).
bool mayBeWrittenBy(const Text& nextPage, const PreparedReplacement& next, const WaitingRow& waiting) {
  const PreparedReplacement& w = waiting.prepared;
  if (!w.staged) return false;
  if (next.readInfo && w.readInfo && next.readInfo->sameFile(*w.readInfo)) return true;
  const TextView written = fileNameOf(w.result.path);
  return fileNameOf(nextPage) == written || fileNameOf(next.result.path) == written;
}

}  // namespace

std::size_t replaceInRows(std::vector<ReplaceRow>& rows, const SearchParameters& params, std::size_t jobs,
                          const ReplaceRunHooks& hooks) {
  const bool renames = params.mode == ReplaceMode::Specific && params.target.kind == kKindFileName;
  if (jobs <= 1 || renames || !files().servesThreads()) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (hooks.stopRequested()) return i;
      hooks.rowBegins(i);
      replaceInPageOfRow(rows[i], params, hooks.options());
      hooks.rowFinished(i);
    }
    return rows.size();
  }
  WorkAhead<QueuedRow, PreparedReplacement> pool(jobs - 1, [&params](const QueuedRow& row) {
    return prepareRow(row, params);
  });
  std::deque<WaitingRow> waiting;
  // Row k's size, looked at once, when it is first to be queued (0 for no file).
  std::vector<std::optional<std::uint64_t>> sizes(rows.size());
  const auto sizeOf = [&](std::size_t k) {
    if (!sizes[k]) {
      const std::optional<FileInfo> info = files().stat(nativePath(rows[k].path));
      sizes[k] = info ? info->size : 0;
    }
    return *sizes[k];
  };
  const auto isLarge = [&](std::size_t k) { return sizeOf(k) >= kLargePage; };
  // Puts the waiting rows in place, in order, after one sync of the store.
  const auto placeWaiting = [&] {
    for (; !waiting.empty(); waiting.pop_front()) {
      WaitingRow& w = waiting.front();
      showReplacement(rows[w.index], placeReplacement(w.prepared));
      hooks.rowFinished(w.index);
    }
  };
  std::size_t queued = 0;
  std::size_t i = 0;
  for (; i < rows.size() && !hooks.stopRequested(); ++i) {
    // A large page is never read beside another: it is queued only once the
    // rows before it are taken and those waiting to be put in place have given
    // their memory back, and nothing is queued behind it until it is taken.
    if (queued == i && isLarge(i)) placeWaiting();
    // Beyond a page a job, pages are read ahead only while those read ahead
    // stay under kLargePage between them, as in a compression run.
    std::uint64_t bytesAhead = 0;
    for (std::size_t k = i + 1; k < queued; ++k) bytesAhead += sizeOf(k);
    for (; queued < rows.size() && queued < i + kPagesAheadPerJob * jobs; ++queued) {
      if (queued > i && (isLarge(queued) || isLarge(i))) break;
      if (queued > i + jobs && bytesAhead + sizeOf(queued) >= kLargePage) break;
      if (queued > i) bytesAhead += sizeOf(queued);
      pool.start(QueuedRow{rows[queued].path, hooks.options()});
    }
    const QueuedRow row = pool.input(0);
    PreparedReplacement prepared = pool.take();
    hooks.rowBegins(i);
    if (!params.dryRun) {
      // A page a waiting row may write is looked at again once that row is in place.
      if (std::any_of(waiting.begin(), waiting.end(),
                      [&](const WaitingRow& w) { return mayBeWrittenBy(row.path, prepared, w); }))
        placeWaiting();
      if (changedSinceRead(prepared)) prepared = prepareRow(row, params);
    }
    beginReplacementCommit(prepared, params);
    waiting.push_back(WaitingRow{i, std::move(prepared)});
    // A large page is put in place before the next page is read.
    if (waiting.size() >= kPagesPerSync || isLarge(i)) placeWaiting();
  }
  placeWaiting();
  return i;
}

}  // namespace vantiro
