#pragma once
// Character references a text reads the same without.

#include "compress/slot_text.h"

namespace vantiro {

// Writes, in place, the printable ASCII characters that the text spells as
// references (&gt; &quot; &#39; &apos; &#64; &#x40; ...) as themselves, where the
// character means the same written out: "&" only where no reference can
// follow it (&amp; before a character that is no letter, digit or "#"),
// "<" only where no tag can start (&lt; before white space, a digit, "=" or
// the like), and never a ">" that would end a comment ("-->", "--!>").
// Meant for the text between tags, not for attribute values or the contents
// of script, style, textarea, xmp and plaintext.
void writeReferencesOut(SlotText& text);

}  // namespace vantiro
