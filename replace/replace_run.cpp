#include "replace/replace_run.h"

#include "common/work_ahead.h"
#include "platform/file_service.h"

#include <optional>
#include <utility>

namespace vantiro {
namespace {

// Pages read and searched ahead of the row being written, at most, for each job.
constexpr std::size_t kPagesAheadPerJob = 4;

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

}  // namespace

std::size_t replaceInRows(std::vector<ReplaceRow>& rows, const SearchParameters& params, std::size_t jobs,
                          const ReplaceRunHooks& hooks) {
  const bool renames = params.mode == ReplaceMode::Specific && params.target.kind == kKindFileName;
  if (jobs <= 1 || renames || !files().servesThreads()) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      hooks.rowBegins(i);
      replaceInPageOfRow(rows[i], params, hooks.options());
      if (!hooks.rowFinished(i)) return i + 1;
    }
    return rows.size();
  }
  WorkAhead<QueuedRow, PreparedReplacement> pool(jobs - 1, [&params](const QueuedRow& row) {
    return prepareRow(row, params);
  });
  std::size_t queued = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (; queued < rows.size() && queued < i + kPagesAheadPerJob * jobs; ++queued)
      pool.start(QueuedRow{rows[queued].path, hooks.options()});
    const QueuedRow row = pool.input(0);
    PreparedReplacement prepared = pool.take();
    hooks.rowBegins(i);
    if (!params.dryRun && changedSinceRead(prepared)) prepared = prepareRow(row, params);
    showReplacement(rows[i], commitReplacement(prepared, params));
    if (!hooks.rowFinished(i)) return i + 1;
  }
  return rows.size();
}

}  // namespace vantiro
