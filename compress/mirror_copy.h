#pragma once
// What makes a mirror a whole site: after a run has written its pages into the
// destination directory, every other file of the queued trees (style sheets,
// scripts, images, files that are no pages, pages the run refused) is copied
// there unchanged.

#include "common/compression_options.h"
#include "compress/compression_run.h"
#include "compress/progress.h"
#include "platform/text.h"

#include <cstddef>
#include <vector>

namespace vantiro {

struct MirrorCopy {
  std::size_t copied = 0;     // files written into the destination
  std::size_t unchanged = 0;  // already there with the same size and time
  // "path|reason" for each file that could not be copied.
  std::vector<Text> failures;
};

// Copies every file of the trees `roots` (listSiteFiles: the hidden files a
// site is served with too) to its mirror under options.destinationDirectory,
// except the files the run `rows` compressed there. A copy keeps the bytes,
// the permission bits (a new file) and the modification time. A file whose
// mirror is there with the same size and time is left as it is, and so is a
// file outside options.sourceDirectory or inside the destination itself. A
// mirror that a link would take out of the destination is a failure, and
// nothing is written for it. Copies make no backup entry: they are the site's
// own files. Nothing is done unless the mirror is on. `progress` gets the
// range 0..files found and the number of files gone through, for a site
// whose media take a while to copy.
MirrorCopy copyOtherFilesIntoMirror(const std::vector<Text>& roots, const std::vector<RunRow>& rows,
                                    const CompressionOptions& options, ProgressIndicator& progress);

}  // namespace vantiro
