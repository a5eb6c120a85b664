#include "compress/page_chars.h"

#include <algorithm>


namespace vantiro {

PageChars::PageChars(TextView text)
    : chars_(std::make_shared_for_overwrite<char32_t[]>(text.size())), size_(text.size()) {
  std::copy(text.begin(), text.end(), chars_.get());
}

PageChars PageChars::decode(std::string_view bytes, const CodePage& codePage) {
  return decodeAfter(TextView(), bytes, codePage);
}

PageChars PageChars::decodeAfter(TextView prefix, std::string_view bytes, const CodePage& codePage) {
  PageChars page;
  page.chars_ = std::make_shared_for_overwrite<char32_t[]>(prefix.size() + bytes.size());
  std::copy(prefix.begin(), prefix.end(), page.chars_.get());
  const CodePage::Decoded decoded = codePage.decodeInto(bytes, page.chars_.get() + prefix.size());
  page.size_ = prefix.size() + decoded.characters;
  page.undecodable_ = decoded.undecodable;
  page.codePage_ = &codePage;
  // One fast look at the bytes spares reading every character for a CR LF
  // in the many pages written with LF alone.
  page.mayHoldCr_ = !codePage.boundsCharBytes() || bytes.find('\r') != std::string_view::npos;
  return page;
}

}  // namespace vantiro
