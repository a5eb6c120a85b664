#pragma once
// The first pass of the page compressor: cuts a page into its tags and the
// texts between them.

#include "platform/text.h"
#include "compress/page_split.h"

namespace vantiro {

// Cuts `page` into `PageSplit`, which keeps the page and makes its slots
// windows on it. Closing script tags are found in any letter
// case (a-z folded, as everywhere in the program).
//
// - A tag starts at a "<" followed by an ASCII letter, "/", "!", "?" or "%";
//   any other "<" (as in "a < b" or "<>") is text, as a browser shows it.
// - A tag runs to the first ">" that no later tag start precedes since the
//   last ">" (so an attribute holding "<b>" stays inside its tag); without a
//   ">" it runs to the end of the page. Its text is stored without "<" and ">",
//   trimmed of spaces and made one line (joinTrimmedLines). A comment that
//   goes on past its tag's ">" ("<!-- a > b -->", "<!--a-- >b-->") keeps what
//   ends its tag, so that its end stays where a browser finds it.
// - A server-script block ("<%" with at least one more character) runs to the
//   first "%>", whatever it holds.
// - The content of a script element runs to the next "</script" in any case
//   and is never cut into tags; without one, the rest of the page is the
//   script's text and `endsInScript` is true.
// - So do the contents of textarea and xmp, up to their end tags, and all of
//   the page after a plaintext start tag (see rawTextEnd).
// - The text before the first tag goes to `leadingText`, the text after the
//   last tag to texts[lastIndex].
//
// Throws PageError for a server-script block without "%>" and for a tag that
// runs past the start of the next one (a server-script block holding a tag
// start after its first ">", or a tag start without any ">" after it while
// another tag start follows).
PageSplit scanPage(PageChars page);

// The same with the line break the page is known to use: a piece of a larger
// page takes the whole page's, which its own characters may not show.
PageSplit scanPage(PageChars page, LineBreak lineBreak);

// The same for a page held as text: the split keeps a copy of it.
PageSplit scanPage(TextView page);

// Whether `tag` (without "<" and ">") begins a comment: "!--". Compared
// character by character: asked of most tags, and a literal made a view
// would be measured each time.
inline bool isCommentTag(TextView tag) { return tag.size() >= 3 && tag[0] == U'!' && tag[1] == U'-' && tag[2] == U'-'; }

// Whether `tag` (without "<" and ">") is a comment that HTML ends at the
// tag's ">": "!--" and "!---" end at once, others at "--" or "--!" before it.
bool closesComment(TextView tag);

// Where the next tag starts at or after `from`, by the rule above, or npos.
std::size_t findTagStart(TextView page, std::size_t from);

}  // namespace vantiro
