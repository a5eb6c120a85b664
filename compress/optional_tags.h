#pragma once
// The start and end tags HTML lets a page leave out, where a browser builds
// the same document without them.

#include <cstdint>
#include <vector>

#include "compress/page_elements.h"
#include "compress/page_piece.h"
#include "compress/page_split.h"

namespace vantiro {

// Clears, in `split` as the rewriting pass left it, the tags a browser infers
// by itself: the end tags of li, dt, dd, p, rt, rp, option, optgroup, thead,
// tbody, tfoot, tr, td, th, colgroup, caption, head, body and html, and the
// start tags of head, body, tbody and colgroup (without attributes), each
// only where HTML's optional-tag condition holds for what follows it: the
// next tag (a comment counts, so one that stays keeps the tag) and the text
// after it, which must be empty, so that no white space moves into or out of
// an element whatever a style rule shows inline. An end tag goes only when
// it closes its element with nothing left open inside it, and "no more
// content in the parent" only before an end tag that closes the parent the
// same way without it. The html start tag stays: it is how the program
// itself tells a page from other files.
// Beyond those, the end tag of a span (and of label, kbd, abbr, q and the
// like: no formatting element, nothing "special") goes right before the end
// tags that close what holds it, outside svg and math, where the first of
// them not of that kind closes everything open inside its element, and
// none of them has its name: a browser then closes it the same way. So does
// the end tag of a div (section, ul, nav ...) right before the end tag of
// another such block that holds it. Both only where the elements involved
// started after the last tag at which a browser may build otherwise than the
// tags say (a block inside a phrase, a button inside a button, a table's
// parts out of place, an end tag closing what it need not): there the
// elements open here may not be the browser's.
//
// `keptAsRead[i]` marks slots that must not change (inside a value the scan
// cut); nothing around them goes. `elements`, made for `split` before any
// tag was cleared, gives each tag's element (and whether a table start tag
// ends an open p: in standards mode). A page whose scan ended inside a
// script is left as it is.
// In a window on a larger page (`piece`), the pass starts from the state
// the window's first tag carries, reports its state at the piece's reportAt
// in `boundary`, and tells there from which tag it looked past the window.
void dropOptionalTags(PageSplit& split, const std::vector<std::uint8_t>& keptAsRead, const PageElements& elements,
                      const PagePiece* piece = nullptr, PieceBoundary* boundary = nullptr);

}  // namespace vantiro
