#pragma once
// The page compressor's html tests made on a page that is decoded a block at
// a time: an html start tag may straddle two blocks.

#include "platform/code_page.h"
#include "platform/text.h"
#include "replace/page_blocks.h"

#include <string_view>

namespace vantiro {

class HtmlStartTags {
 public:
  // The next block of the page.
  void feed(TextView block);
  // hasHtmlTag of the blocks fed so far, joined.
  bool anyCase() const { return anyCase_; }
  // hasHtmlTagExactCase of the blocks fed so far, joined.
  bool exactCase() const { return exactCase_; }

 private:
  void look(TextView text);

  Text carried_;  // the last characters fed, in which a start tag may still begin
  bool anyCase_ = false;
  bool exactCase_ = false;
};

// The html tests of `bytes`, a page in `codePage`, decoded `blockBytes` at a time.
HtmlStartTags findHtmlStartTags(std::string_view bytes, const CodePage& codePage,
                                std::size_t blockBytes = PageBlocks::kBlockBytes);

}  // namespace vantiro
