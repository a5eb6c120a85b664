#pragma once
// Comments a page does not need: a browser shows none of them.

#include <cstdint>
#include <vector>

#include "compress/page_piece.h"
#include "compress/page_split.h"

namespace vantiro {

// Clears every comment tag of `split` that is one whole comment ("!--" to
// "--", no ">" inside), the text after it joining the text before it. Kept:
// conditional comments ("<!--[if", "<!--<![endif]"), comments a page keeps
// on purpose ("<!--!"), and comments inside title, iframe, noembed, noframes
// and noscript, whose contents a browser reads as text. Slots marked in
// `keptAsRead` are not touched, nor is a page whose scan ended in a script.
// An XML declaration ("<?xml ...?>", a comment to HTML) goes too when a meta
// tag declares the page's encoding.
// In a window on a larger page (`piece`), the pass starts from the state the
// window's first tag carries and reports its state at the piece's reportAt
// in `boundary`.
void dropComments(PageSplit& split, const std::vector<std::uint8_t>& keptAsRead, const PagePiece* piece = nullptr,
                  PieceBoundary* boundary = nullptr);

}  // namespace vantiro
