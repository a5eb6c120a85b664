#pragma once
// The mirror of a run or a search-and-replace: pages under a source directory
// are written to the same place under a destination directory.

#include "common/compression_options.h"
#include "platform/text.h"

#include <optional>

namespace vantiro {

// Why a page is not written when the mirror is on and the page lies outside
// its source directory: it is never written in place instead.
inline constexpr TextView kOutsideSourceReason = U"不在源目录中";

// Whether the mirror is on: Check1 with both directories given.
bool mirrorOn(const CompressionOptions& options);

// Where the mirror from `source` to `destination` puts `path`. All three are
// made absolute first; `path` must lie under `source` by whole components
// (ASCII letters compared in either case) and goes to the same place under
// `destination`. Nothing for a path outside `source`, for `source` itself, and
// for a path whose part under `source` has a ".." that could climb out of it.
std::optional<Text> mirroredPath(TextView path, TextView source, TextView destination);

}  // namespace vantiro
