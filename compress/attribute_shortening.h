#pragma once
// What the further level takes out of a start tag's attributes beyond the
// tag shortening every page gets.

#include "compress/slot_text.h"

#include <cstdint>

namespace vantiro {

// Rewrites the start tag `tag` (without "<" and ">", as shortenTag left it)
// so that a browser reads the same element from it:
// - a quoted value loses its quotes (double or single) where HTML reads it
//   the same unquoted: not empty, no white space, quote, "<" or ">";
// - an empty value goes with its "=" (the attribute is there, empty, either
//   way), as does the value of a boolean attribute (checked="checked");
// - defaults go: type="text/javascript" (or application/javascript) on a
//   script, type="text/css" on style and link, method="get" on a form, and a
//   script's language beside a type, which a browser then ignores, and the
//   XHTML namespace on html, which the HTML parser ignores; only
//   when the tag names the attribute once, since a browser takes the first;
// - runs of white space in a class value become one space, none at the ends;
// - a style value loses the white space and comments CSS ignores
//   (minifyDeclarations), when it holds no character reference.
// - <meta http-equiv=Content-Type content="text/html; charset=X"> becomes
//   <meta charset=X>, which declares the encoding the same way;
// - the "/" that closes the tag of a void element (br, img, meta, ...) goes.
// Boolean values go only on the elements that have such attributes (input,
// option, script, video, ...), which spares reading the attributes of most
// tags. A tag whose last value is left open, a comment and an end tag are left as
// they are. `nameKey` is the nameKey of the tag's element, which the caller
// has read already.
void shortenAttributesFurther(SlotText& tag, std::uint64_t nameKey);

}  // namespace vantiro
