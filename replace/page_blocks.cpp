#include "replace/page_blocks.h"

#include <algorithm>
#include <string>

namespace vantiro {
namespace {

// Decoding decides each character from at most its first four bytes, so
// every character that starts more than this many bytes before a block's end
// is decoded as in the whole page.
constexpr std::size_t kUndecidedBytes = CodePage::kMaxCharBytes - 1;

}  // namespace

PageBlocks::PageBlocks(std::string_view bytes, const CodePage& codePage, std::size_t blockBytes)
    : bytes_(bytes), codePage_(codePage), blockBytes_(std::max(blockBytes, CodePage::kMaxCharBytes)) {}

std::optional<TextView> PageBlocks::next() {
  if (at_ == bytes_.size()) return std::nullopt;
  const std::size_t end = std::min(bytes_.size(), at_ + blockBytes_);
  characters_.resize(end - at_);
  std::size_t kept = codePage_.decodeInto(bytes_.substr(at_, end - at_), characters_.data()).characters;
  std::size_t cut = end;
  if (end < bytes_.size()) {
    // The characters starting in the last bytes are given back: encoding a
    // character gives the very bytes it was decoded from, which tells where
    // each of them starts.
    std::string bytes;
    while (kept > 0) {
      bytes.clear();
      codePage_.encodeAppend(TextView(&characters_[kept - 1], 1), bytes);
      if (cut - bytes.size() < end - kUndecidedBytes) break;
      cut -= bytes.size();
      --kept;
    }
  }
  at_ = cut;
  return TextView(characters_.data(), kept);
}

}  // namespace vantiro
