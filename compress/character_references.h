#pragma once
// Character references a text reads the same without.

#include <optional>

#include "compress/page_split.h"
#include "compress/slot_text.h"

namespace vantiro {

// Writes, in place, the printable ASCII characters that the text spells as
// references (&gt; &quot; &#39; &apos; &#64; &#x40; ...) as themselves, where the
// character means the same written out: "&" only where no reference can
// follow it (&amp; before a character that is no letter, digit, "#" or "&"),
// "<" only where no tag can start (&lt; before white space, a digit, "=" or
// the like), and never a ">" that would end a comment ("-->", "--!>").
// With `beyondAscii`, for a page written in UTF-8 that a browser reads as
// UTF-8, references to characters from U+00A0 up (numeric ones, and the
// common named ones such as &nbsp; &copy; &raquo; &mdash;) are written as the
// characters too, which UTF-8 spells in fewer bytes; never U+FEFF (a
// byte-order mark at a page's start), surrogates or noncharacters.
// Meant for the text between tags, not for attribute values or the contents
// of script, style, textarea, xmp and plaintext.
void writeReferencesOut(SlotText& text, bool beyondAscii = false);

// Whether a browser reads `split` as UTF-8 whatever it guesses: the page is
// written in UTF-8 and starts with a byte-order mark, or declares UTF-8 in a
// meta tag within its first 1024 characters. Nothing when that needs tags
// from `knownTags` on, which a window on a larger page cannot yet tell.
std::optional<bool> readAsUtf8(const PageSplit& split, int knownTags);

}  // namespace vantiro
