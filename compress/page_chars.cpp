#include "compress/page_chars.h"

#include <algorithm>

#include "platform/code_page.h"

namespace vantiro {

PageChars::PageChars(TextView text)
    : chars_(std::make_shared_for_overwrite<char32_t[]>(text.size())), size_(text.size()) {
  std::copy(text.begin(), text.end(), chars_.get());
}

PageChars PageChars::decode(std::string_view bytes) {
  PageChars page;
  page.chars_ = std::make_shared_for_overwrite<char32_t[]>(bytes.size());
  page.size_ = CodePage::ansi().decodeInto(bytes, page.chars_.get());
  return page;
}

}  // namespace vantiro
