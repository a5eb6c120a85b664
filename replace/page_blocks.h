#pragma once
// A page's bytes decoded a block at a time, so that a large page is never
// held whole in characters.

#include "platform/code_page.h"
#include "platform/text.h"

#include <optional>
#include <string_view>

namespace vantiro {

class PageBlocks {
 public:
  // Bytes decoded at once: their characters take four times as much.
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

  // `bytes` must outlive the blocks; `blockBytes` below four counts as four.
  PageBlocks(std::string_view bytes, const CodePage& codePage, std::size_t blockBytes = kBlockBytes);

  // The characters of the next block, valid until the next call; nothing
  // after the last. The blocks joined are what decoding the whole of `bytes`
  // gives: a block ends where a character ends, and a character that its
  // block's end may have cut short is left to the next block.
  std::optional<TextView> next();

 private:
  std::string_view bytes_;
  const CodePage& codePage_;
  std::size_t blockBytes_;
  std::size_t at_ = 0;  // the first byte of the next block
  Text characters_;
};

}  // namespace vantiro
