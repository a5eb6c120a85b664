#pragma once
// What the tests read back from a split page.

#include "platform/text.h"
#include "compress/page_split.h"

namespace vantiro::test {

// The page as the compressor writes it without Check7, as text: the leading
// text, then "<tag>text" for every tag slot that is not empty.
inline Text writtenText(const PageSplit& s) {
  Text out(s.leadingText.view());
  for (int i = 0; i <= s.lastIndex; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (s.tags[k].empty()) continue;
    out += U"<";
    out += s.tags[k];
    out += U">";
    out += s.texts[k];
  }
  return out;
}

}  // namespace vantiro::test
