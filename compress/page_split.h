#pragma once
// A page cut into its tags and the texts that follow them.

#include <vector>

#include "platform/text.h"
#include "compress/line_break.h"
#include "compress/page_chars.h"
#include "compress/slot_text.h"

namespace vantiro {

struct PageSplit {
  static constexpr int kBlock = 500;

  // tags[i]: the text of tag i without "<" and ">"; an empty slot means the
  // tag and its text are not written. texts[i]: the page text after tag i's
  // ">" up to the next tag's "<" (for the last tag: up to the end of the
  // page). Both have slots 0..capacity.
  std::vector<SlotText> tags = std::vector<SlotText>(kBlock + 1);
  std::vector<SlotText> texts = std::vector<SlotText>(kBlock + 1);
  // The page text before the first tag (a byte-order mark, stray text or
  // white space); written before tag 0.
  SlotText leadingText;
  int lastIndex = -1;
  int capacity = kBlock;
  // The style, link and base start tags, in page order: what the page's
  // style rules come from, found while the page is cut.
  std::vector<int> styleSources;
  bool endsInScript = false;
  // The page's own line break, which the passes cut, join and add lines by.
  LineBreak lineBreak = LineBreak::CrLf;
  // The decoded page the slots are windows on. Shared by copies of the split,
  // whose own slots hold copies of their texts and never look into it.
  PageChars page;
};

}  // namespace vantiro
