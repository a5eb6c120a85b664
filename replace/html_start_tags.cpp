#include "replace/html_start_tags.h"

#include "compress/page_compressor.h"

#include <optional>

namespace vantiro {
namespace {

// "<html" is five characters; the one after it tells whether it is a start tag.
constexpr std::size_t kTagChars = 5;

}  // namespace

void HtmlStartTags::feed(TextView block) {
  if (exactCase_) return;  // an exact-case tag is a tag in any case too: nothing is left to find
  // A tag that begins in the characters carried over is found with the
  // block's first ones; one within the block, in the block.
  Text straddling = carried_;
  straddling += block.substr(0, kTagChars);
  look(straddling);
  look(block);
  if (block.size() >= kTagChars) {
    carried_ = block.substr(block.size() - kTagChars);
  } else {
    carried_ += block;
    if (carried_.size() > kTagChars) carried_.erase(0, carried_.size() - kTagChars);
  }
}

void HtmlStartTags::look(TextView text) {
  // A tag in the exact case is one in any case: the second test waits for the first.
  if (!anyCase_) anyCase_ = hasHtmlTag(text);
  if (anyCase_ && !exactCase_) exactCase_ = hasHtmlTagExactCase(text);
}

HtmlStartTags findHtmlStartTags(std::string_view bytes, const CodePage& codePage, std::size_t blockBytes) {
  HtmlStartTags tags;
  PageBlocks blocks(bytes, codePage, blockBytes);
  while (const std::optional<TextView> block = blocks.next()) tags.feed(*block);
  return tags;
}

}  // namespace vantiro
