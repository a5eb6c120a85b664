#pragma once
// The rules that shorten one tag's text (without "<" and ">").

#include "compress/slot_text.h"

#include <cstdint>

namespace vantiro {

// Shortens `tag` without changing what a browser reads from it:
// - an element's start or end tag: white space between attributes (line
//   breaks included) becomes one space and goes at the tag's end; a
//   double-quoted value loses its quotes when it is not empty and holds no
//   white space, "<", ">", "'" or '"' (a space is put after it when another
//   attribute followed the quote directly); a style value is CSS, where
//   white space after ":", ",", ";" and white space runs (outside CSS
//   strings) show nothing, and loses them first. Every other value, a quoted
//   one with its line breaks, stays as it is.
// - a comment: runs of spaces become one, spaces after ":", "," and ";" go.
// - anything else (a declaration such as the doctype, "<?...>", a server
//   block) is left as it is.
struct ShortenedTag {
  // The quote of a value left open at the tag's end (the scan cut the tag at
  // a ">" inside that value, which goes on in the page after it), or 0.
  char32_t openQuote = 0;
  bool holdsStyle = false;       // the tag has a style attribute
  bool styleNamesSpace = false;  // ... whose value holds "space" (white-space and its kin)
  bool holdsHidden = false;      // the tag has a hidden attribute
  // The nameKey of the element an element's tag names, as tagName reads it
  // (shortening keeps the name); 0 for other tags. Read here so that the
  // passes after this one need not read the name again.
  std::uint64_t nameKey = 0;
};
ShortenedTag shortenTag(SlotText& tag);

}  // namespace vantiro
