#pragma once
// Replacing in every row of a run: later pages are read and searched on other
// threads while the calling thread writes the rows in order. The window and
// `vantiro-cli replace` both drive it.

#include "common/compression_options.h"
#include "replace/search_replace.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace vantiro {

// What a replace run tells its front end, and asks of it, on the calling thread.
struct ReplaceRunHooks {
  // The options of the next row, read once for each row, in row order.
  std::function<CompressionOptions()> options;
  // Row `index` is about to be written (its status may be shown).
  std::function<void(std::size_t index)> rowBegins;
  // Row `index` is final (rows are finished in order, a batch at a time).
  std::function<void(std::size_t index)> rowFinished;
  // Asked before each row: true ends the run there (the command line's output
  // was closed). Rows already begun are finished; later rows stay as they are.
  std::function<bool()> stopRequested;
};

// Replaces in every row in order as replaceInPageOfRow does, with up to
// `jobs` pages read and searched at once when the file service serves
// threads; the file-name kind, which renames pages as it goes, one page at a
// time. With several jobs one sync of the backup store covers a batch of
// rows, each put in place only once its entry is durable. The rows, files and
// backup entries are the same whatever `jobs` is: a page that a row still to
// be put in place may write is read again once that row is in place. A page
// of 16 MB or more is read alone, after the rows before it are in place, and
// put in place before the next page is read; beyond a page a job, pages are
// read ahead only while they stay under 16 MB between them. Returns the rows
// finished.
std::size_t replaceInRows(std::vector<ReplaceRow>& rows, const SearchParameters& params, std::size_t jobs,
                          const ReplaceRunHooks& hooks);

}  // namespace vantiro
