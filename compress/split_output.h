#pragma once
// A rewritten split written out as the page's bytes.

#include <string>

#include "compress/page_split.h"

namespace vantiro {

// The result as written, in the page's own encoding: "<tag>text" for every
// tag slot that is not empty, after the leading text; with `readable`
// (Check7) the page's line break after each tag and each non-empty text, but
// for textarea, xmp and plaintext, whose contents are kept exactly. The
// split is freed before the result is made whole, so that a large page
// never holds both at once.
std::string assembleEncoded(PageSplit split, bool readable);

// Appends to `out` what assembleEncoded writes for tags [from, to) of
// `split`, after its leading text when `withLeadingText`.
void appendEncoded(const PageSplit& split, bool readable, int from, int to, bool withLeadingText, std::string& out);

}  // namespace vantiro
