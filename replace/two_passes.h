#pragma once
// The two passes of a replace over a page's bytes, a block at a time: the
// first counts, and finds which piece is the last (its text is the page's
// tail, which is left alone); the second, only when a new page is wanted,
// writes it. Neither holds the page whole in characters.

#include "platform/code_page.h"
#include "replace/page_blocks.h"
#include "replace/piece_stream.h"
#include "replace/stream_replacer.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vantiro {

// What one pass met.
struct PiecePass {
  StreamCount count;
  long long pieces = 0;
};

// The last piece, before the first pass has told it.
inline constexpr long long kLastPieceUnknown = -1;

// What `put` is given, encoded and appended to `output`; nothing when
// `output` is null (a pass that only counts).
inline StreamReplacer::Put encodingInto(const CodePage& codePage, std::string* output) {
  if (output == nullptr) return {};
  return [&codePage, output](TextView chunk) { codePage.encodeAppend(chunk, *output); };
}

// Cuts the page's blocks into pieces for `sink`, which then ends the page
// (endPage) and tells what it met (total, pieces).
template <typename Sink>
PiecePass passPieces(std::string_view bytes, const CodePage& codePage, std::size_t blockBytes, Sink& sink,
                     ScanVariant variant) {
  PieceStream stream(sink, variant);
  PageBlocks blocks(bytes, codePage, blockBytes);
  while (const std::optional<TextView> block = blocks.next()) stream.feed(*block);
  stream.finish();
  sink.endPage();
  return {sink.total(), sink.pieces()};
}

// Counts with `onePass(nullptr, kLastPieceUnknown)` and, where
// `wanted(count)`, writes the new page with `onePass(&output, lastPiece)`:
// the count, and the new page when written.
template <typename OnePass, typename Wanted>
std::pair<StreamCount, std::optional<std::string>> countThenWrite(std::size_t pageBytes, OnePass onePass,
                                                                  Wanted wanted) {
  const PiecePass counted = onePass(nullptr, kLastPieceUnknown);
  if (!wanted(counted.count)) return {counted.count, std::nullopt};
  std::string output;
  output.reserve(pageBytes + pageBytes / 8);  // room for a page that grows a little
  onePass(&output, counted.pieces - 1);
  return {counted.count, std::move(output)};
}

}  // namespace vantiro
