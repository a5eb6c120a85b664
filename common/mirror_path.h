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

// Why a page is not written when a symbolic link in the destination directory
// would take its mirror (or a directory made for it) out of that directory.
inline constexpr TextView kLinkOutOfDestinationReason = U"目的目录中的链接指向目的目录以外";

// Whether the mirror is on: Check1 with both directories given.
bool mirrorOn(const CompressionOptions& options);

// Where the mirror from `source` to `destination` puts `path`. All three are
// made absolute first; `path` must lie under `source` by whole components
// (ASCII letters compared in either case) and goes to the same place under
// `destination`. Nothing for a path outside `source`, for `source` itself, and
// for a path whose part under `source` has a ".." that could climb out of it.
std::optional<Text> mirroredPath(TextView path, TextView source, TextView destination);

// Whether writing `mirror`, a path mirroredPath gave under `destination`,
// lands inside `destination` once the links on the way (and the file itself,
// when it is a link) are followed; directories created for it then lie there too.
bool mirrorStaysInDestination(TextView mirror, TextView destination);

}  // namespace vantiro
