#pragma once
// A page's characters, decoded once. The split cut from them keeps them, and
// its slots are windows on them.

#include <cstddef>
#include <memory>
#include <string_view>

#include "common/text.h"

namespace vantiro {

class PageChars {
 public:
  PageChars() = default;
  // A copy of `text`.
  explicit PageChars(TextView text);
  // The characters of `bytes` in the process code page. The storage is not
  // cleared first: decoding writes every character of it that is used.
  static PageChars decode(std::string_view bytes);

  char32_t* data() const { return chars_.get(); }
  std::size_t size() const { return size_; }
  TextView view() const { return TextView(chars_.get(), size_); }

 private:
  std::shared_ptr<char32_t[]> chars_;
  std::size_t size_ = 0;
};

}  // namespace vantiro
