#pragma once
// The second pass of the page compressor: shortens every tag and the text that
// follows it, in page order.

#include "compress/page_split.h"
#include "compress/progress.h"

namespace vantiro {

// Rewrites `split` in place:
// - tags: optional end tags (/p /P /tr /TR /td /TD) and an end tag repeated
//   right after removed tags are dropped when the text after them is blank;
//   outside quoted attribute values, spaces after ":", "," and ";" go and
//   runs of spaces become one; quotes go around attribute values that hold no
//   white space, "<", ">" or "'". Tags of
//   a page whose scan ended inside a script, and server-script blocks, are left
//   as they are.
// - texts: outside preformatted blocks, lines are joined and space runs made
//   one space; white space between tags goes, except one space between two
//   inline elements. Runs of three "&nbsp;" become two with a space between.
//   Script contents are compressed with compressScript when `compressScripts` (Check2)
//   is set and otherwise left exactly as read; the contents of textarea, xmp
//   and plaintext are always left exactly as read, and listing is a
//   preformatted block like pre.
// - leadingText is treated like a text outside a preformatted block; it and
//   the text after the last tag (inside a preformatted block too) vanish when
//   they are only white space.
// Sets `progress` to i for every i that is a multiple of lastIndex / 30 (when
// that is not 0); the caller sets the range 0..lastIndex.
// Throws PageError for a quoted attribute value that has no closing quote
// (unless it is the tag's first and could not lose its quotes anyway).
void rewritePage(PageSplit& split, bool compressScripts, ProgressIndicator& progress);

// The tag rules alone (spacing and quotes), as rewritePage applies them to one tag.
void shortenTag(SlotText& tag);

}  // namespace vantiro
