#pragma once
// A page's characters, decoded once. The split cut from them keeps them, and
// its slots are windows on them.

#include <cstddef>
#include <memory>
#include <string_view>

#include "platform/text.h"
#include "platform/code_page.h"

namespace vantiro {

class PageChars {
 public:
  PageChars() = default;
  // A copy of `text`.
  explicit PageChars(TextView text);
  // The characters of `bytes` in `codePage`, which the page is then written
  // in. The storage is not cleared first: decoding writes every character of
  // it that is used.
  static PageChars decode(std::string_view bytes, const CodePage& codePage);
  // `prefix` followed by the characters of `bytes` in `codePage`.
  static PageChars decodeAfter(TextView prefix, std::string_view bytes, const CodePage& codePage);

  char32_t* data() const { return chars_.get(); }
  std::size_t size() const { return size_; }
  TextView view() const { return TextView(chars_.get(), size_); }
  // The page's own encoding (the process code page for a copied text).
  const CodePage& codePage() const { return codePage_ != nullptr ? *codePage_ : CodePage::ansi(); }
  // False only for a page decoded from bytes without a CR in a code page
  // that writes a CR as that byte alone (UTF-8, the table code pages): it
  // holds no CR LF then, and the scan need not look for one.
  bool mayHoldCr() const { return mayHoldCr_; }
  // How many characters are the escape of a byte that starts no character in
  // the page's encoding (none for a copied text).
  std::size_t undecodableBytes() const { return undecodable_; }

 private:
  std::shared_ptr<char32_t[]> chars_;
  std::size_t size_ = 0;
  const CodePage* codePage_ = nullptr;
  bool mayHoldCr_ = true;
  std::size_t undecodable_ = 0;
};

}  // namespace vantiro
