#pragma once
// What is a page: a run rewrites only HTML pages. A script, a style sheet, a
// text, an image or an archive that happens to hold "<html" is left alone.

#include "compress/page_chars.h"
#include "platform/text.h"

#include <string_view>

namespace vantiro {

// The reason a file that is no page is left untouched, with no backup entry.
inline constexpr TextView kNotAPageReason = U"不是网页";

// Whether `fileName` (without its directory) ends in the extension of a kind
// of file that is never a page: scripts, style sheets, data and text formats,
// images, fonts, media and archives. Letters compared in either case.
bool hasNonPageName(std::string_view fileName);

// Whether `bytes` are binary data: they hold a NUL byte, which no text in an
// encoding a page may have holds.
bool holdsBinaryBytes(std::string_view bytes);

// Whether `page` is mostly invalid in its encoding: more than one character
// in four is the escape of a byte that starts no character. A stray byte or
// two in a page of old text does not count.
bool mostlyUndecodable(const PageChars& page);

// Whether `text` begins as an HTML page does: after a byte-order mark, white
// space and comments (bogus comments such as "<?xml ...?>" among them, as HTML
// reads them), a doctype or a tag ("<" and a letter).
bool startsLikeHtml(TextView text);

}  // namespace vantiro
