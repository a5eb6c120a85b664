#pragma once
// The second pass of the page compressor: shortens every tag and the text that
// follows it, in page order, without changing what a browser shows.

#include "common/compression_options.h"
#include "compress/page_piece.h"
#include "compress/page_split.h"
#include "compress/progress.h"
#include "compress/style_rules.h"

namespace vantiro {

// Past this many tags without a box of their own, what stands beyond them is
// taken to be shown inline, which keeps the white space: the rewriting of a
// text looks no further.
inline constexpr int kTagsLookedPast = 64;

// Rewrites `split` in place:
// - tags: shortened by shortenTag (compress/tag_shortening.h). /p, /td and
//   /tr (in those letter cases) go with their blank text where HTML lets the
//   element end by itself; an end tag of an element that looks the same
//   nested (b, i, span, ...) goes when the same start tag follows right after
//   removed tags. Tags of a page whose scan ended inside a script, and
//   server-script blocks, are left as they are; so is everything from an
//   attribute value the scan cut at a ">" inside it up to its closing quote.
// - white space between tags becomes one space where both sides may show in
//   one line (an inline element by HTML or by a rule of `styles`, text),
//   looking past comments and hidden elements, and goes elsewhere.
// - other texts: outside preformatted blocks, lines are joined and space runs
//   made one space. Inside pre (and listing) blocks, runs of three "&nbsp;"
//   become two with a space between. A text inside an element a rule of
//   `styles` could make keep its white space is left exactly as read, as are
//   the contents of textarea, xmp and plaintext.
// - scripts: compressed with compressScript when `compressScripts` (Check2)
//   is set and the script element holds JavaScript; otherwise, and JSON or
//   templates in script elements always, left exactly as read. Style
//   elements: white space outside strings and comments collapsed.
// - leadingText is treated like a text outside a preformatted block; it and
//   the text after the last tag (inside a preformatted block too) vanish when
//   they are only white space.
// Sets `progress` to i for every i that is a multiple of lastIndex / 30 (when
// that is not 0); the caller sets the range 0..lastIndex.
void rewritePage(PageSplit& split, bool compressScripts, const StyleRules& styles, ProgressIndicator& progress);

// The same at `level`. At CompressionLevel::Further, style elements are
// minified (minifyStyleSheet) instead of having their white space collapsed,
// and after the rules above every start tag goes through
// shortenAttributesFurther, then comments (dropComments) and optional tags
// (dropOptionalTags) go, and the texts between tags (not the contents of
// script, style, textarea, xmp or plaintext) write out the references to
// printable ASCII that mean the same written out, and in a page a browser
// reads as UTF-8 those to other characters (writeReferencesOut).
//
// A split that is a window on a larger page (`piece`) is rewritten as that
// part of the whole page would be, and `boundary` gets the state where the
// next window begins, and whether the passes needed tags past the window's
// end to tell what its own tags become.
void rewritePage(PageSplit& split, bool compressScripts, const StyleRules& styles, ProgressIndicator& progress,
                 CompressionLevel level, const PagePiece* piece = nullptr, PieceBoundary* boundary = nullptr);

// The same for a page without style rules.
void rewritePage(PageSplit& split, bool compressScripts, ProgressIndicator& progress);

}  // namespace vantiro
