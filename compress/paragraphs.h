#pragma once
// The optional third pass of the page compressor (Check6): paragraphs laid out
// with runs of "&nbsp;" become preformatted blocks, which show spaces and line
// breaks as they are, with fewer bytes.

#include "compress/page_piece.h"
#include "compress/page_split.h"

namespace vantiro {

// Converts `split` in place. A paragraph tag without attributes ("p", any case)
// whose text holds at least two "&nbsp;" becomes "pre" and opens a block. In a
// block, a "br" tag is removed and its text moved to the end of the block as a
// new line; link and font tags (start tags with attributes, or their end tags)
// stay; any other tag (an empty slot too) closes the block with "</pre>" at the
// end of the block's last kept text. In every text of a block, "&nbsp;" becomes
// a space, and white space that holds a tab or a lone CR, LF or form feed
// becomes one space, as it showed outside the block. A block still open after
// the last tag gets no "</pre>".
// In a window on a larger page (`piece`), the pass starts from the state the
// window's first tag carries and reports its state at the piece's reportAt
// in `boundary`.
void convertParagraphs(PageSplit& split, const PagePiece* piece = nullptr, PieceBoundary* boundary = nullptr);

}  // namespace vantiro
