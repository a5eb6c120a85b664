#pragma once
// Search and replace over a page's bytes in the general modes, decoding and
// encoding a block at a time: the page is never held whole in characters,
// only its bytes and the new page's are.

#include "platform/code_page.h"
#include "replace/page_blocks.h"
#include "replace/search_replace.h"

#include <optional>
#include <string>
#include <string_view>

namespace vantiro {

// What replacing in a page's bytes did.
struct BytesReplacement {
  long long count = 0;                // the occurrences met, as replaceInText counts them
  std::optional<std::string> output;  // the new page in `codePage`, when something was replaced
};

// Replaces in `bytes`, a page in `codePage`, in params.mode (Text, Tags, Page
// or Scripts) as replacing in the whole decoded page would: in the texts
// between tags, the tags, the whole page or the scripts' bodies, never in
// the text before the first tag nor after the last piece. `blockBytes` is the
// size of the blocks decoded at once. Throws PageError where cutPieces does.
BytesReplacement replaceInPageBytes(std::string_view bytes, const CodePage& codePage, const SearchParameters& params,
                                    std::size_t blockBytes = PageBlocks::kBlockBytes);

}  // namespace vantiro
