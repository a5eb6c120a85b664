#pragma once
// A page cut into its tags and the texts that follow them.

#include <algorithm>
#include <vector>

#include "common/text.h"

namespace vantiro {

struct PageSplit {
  static constexpr int kBlock = 500;

  PageSplit() = default;
  PageSplit(const PageSplit&) = default;
  PageSplit(PageSplit&&) noexcept = default;
  PageSplit& operator=(const PageSplit&) = default;
  PageSplit& operator=(PageSplit&&) noexcept = default;
  // Frees the slots from the last to the first, text then tag: the reverse of
  // the order the scanner allocated them, so the allocator can merge each
  // piece into free space at once instead of sorting a large page's pieces
  // into its bins one by one (that took a fifth of the time of a 10 MB page).
  ~PageSplit() {
    for (std::size_t k = std::min(tags.size(), texts.size()); k-- > 0;) {
      Text().swap(texts[k]);
      Text().swap(tags[k]);
    }
  }

  // tags[i]: the text of tag i without "<" and ">"; an empty slot means the
  // tag and its text are not written. texts[i]: the page text after tag i's
  // ">" up to the next tag's "<" (for the last tag: up to the end of the
  // page). Both have slots 0..capacity.
  std::vector<Text> tags = std::vector<Text>(kBlock + 1);
  std::vector<Text> texts = std::vector<Text>(kBlock + 1);
  // The page text before the first tag (a byte-order mark, stray text or
  // white space); written before tag 0.
  Text leadingText;
  int lastIndex = -1;
  int capacity = kBlock;
  bool endsInScript = false;
};

}  // namespace vantiro
