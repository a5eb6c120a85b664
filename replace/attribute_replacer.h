#pragma once
// Replacing in the specific mode's titles and tags over a page's bytes,
// decoding and encoding a block at a time: the page is never held whole in
// characters, only its bytes and the new page's are.

#include "platform/code_page.h"
#include "replace/page_blocks.h"
#include "replace/search_replace.h"

#include <optional>
#include <string>
#include <string_view>

namespace vantiro {

// When the new page is made.
enum class NewPage {
  Never,         // only counted: the page is not written
  WhenReplaced,  // when something was replaced
  Always,        // a mirror gets the page even when nothing was replaced
};

struct AttributeBytesReplacement {
  long long count = 0;                // the occurrences met, or the fixed replacements made
  bool replaced = false;              // something in the page changed
  std::optional<std::string> output;  // the new page in `codePage`, as `newPage` asks
};

// Replaces in `bytes`, a page in `codePage`, as the specific mode does for
// params.target: in the text after each tag the title kind names, or inside
// each tag the tag-inside kind names; with params.fixedReplacement that text
// or tag becomes the replacement whatever it held. The page is cut as
// cutPieces's Specific variant cuts it and written as its pieces join: tags
// trimmed of spaces, the head and tail as they were, a last tag without ">"
// written without one. The text of the last piece is the page's tail and is
// never searched: to a title there it counts as empty. Other kinds find
// nothing. `blockBytes` is the size of the blocks decoded at once. Throws
// PageError where cutPieces does.
AttributeBytesReplacement replaceAttributeInPageBytes(std::string_view bytes, const CodePage& codePage,
                                                      const SearchParameters& params, NewPage newPage,
                                                      std::size_t blockBytes = PageBlocks::kBlockBytes);

}  // namespace vantiro
