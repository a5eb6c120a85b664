#pragma once
// Compressing a page too large to hold whole as characters (four bytes each,
// and the split's slots over them): a window of it at a time, each rewritten
// as that part of the whole page would be. Peak memory is then the page's
// bytes, the result and one window, whatever the page's size.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/compression_options.h"
#include "compress/progress.h"
#include "platform/code_page.h"

namespace vantiro {

// Pages from this size on are compressed in windows where they can be.
inline constexpr std::size_t kPiecewiseFrom = std::size_t{16} << 20;

// What compressing in windows takes at most for each byte of the page: the
// bytes, the result (at most as long), and room for a few windows' worth.
inline constexpr std::uint64_t kPiecewiseMemoryPerByte = 3;

// The windows' sizes: `windowBytes` of the page at a time (more where a
// window would hold too few tags), of which the first and last `marginTags`
// tags are read only for what the passes look at around the window's own:
// more than the passes look past (kTagsLookedPast), or they are made so.
struct PieceSizes {
  std::size_t windowBytes = std::size_t{4} << 20;
  int marginTags = 512;
};

// Whether a page of `size` bytes is compressed in windows (where its
// encoding allows).
bool compressedInPieces(std::size_t size);

// What compressing a page in windows found.
struct PiecewiseResult {
  bool notPage = false;       // mostly undecodable, or not starting as a page does
  bool check4Failed = false;  // Check4 on and no "<html" or "<HTML" tag
  bool notHtml = false;       // no "<html" tag in any letter case
  std::string result;         // the compressed page (empty for the first two)
};

// Compresses `bytes`, a page in `codePage`, a window at a time; the result
// is what compressing it whole would give. Nothing when it cannot be so
// compressed (a code page whose characters have no bound, a tag whose scan
// cannot be told within a window, elements nested thousands deep), and the
// page must be compressed whole. Throws PageError as compressing it whole
// would.
std::optional<PiecewiseResult> compressInPieces(std::string_view bytes, const CodePage& codePage,
                                                const CompressionOptions& options, const std::string& nativePagePath,
                                                ProgressIndicator& progress, PieceSizes sizes = {});

}  // namespace vantiro
