#include "compress/slot_text.h"

#include "common/page_error.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace vantiro {

void SlotText::swap(SlotText& other) noexcept {
  SlotText held;
  held.take(other);
  other.take(*this);
  take(held);
}

void SlotText::reserve(std::size_t n) {
  if (n <= room_) return;
  if (n > kMaxChars) throw PageError("页面太大: 一段文字超过 " + std::to_string(kMaxChars) + " 个字符");
  const std::size_t room = std::min(std::max({n, 2 * std::size_t{room_}, std::size_t{16}}), kMaxChars);
  char32_t* const storage = std::make_unique_for_overwrite<char32_t[]>(room).release();
  std::copy_n(data_, size_, storage);
  release();
  data_ = storage;
  room_ = static_cast<std::uint32_t>(room);
  owned_ = 1;
}

void SlotText::fillTo(std::size_t n) {
  reserve(n);
  std::fill(data_ + size_, data_ + n, U'\0');
}

void SlotText::assign(TextView text) {
  if (text.size() <= room_) {
    // Within the slot's own characters the text can only lie at or after the
    // start, so copying forward never overwrites what is still to be read.
    std::copy(text.begin(), text.end(), data_);
    size_ = static_cast<std::uint32_t>(text.size());
    return;
  }
  SlotText fresh;
  fresh.reserve(text.size());
  std::copy(text.begin(), text.end(), fresh.data_);
  fresh.size_ = static_cast<std::uint32_t>(text.size());
  swap(fresh);
}

void SlotText::append(TextView text) {
  const std::size_t n = size_ + text.size();
  if (n > room_) {
    // The text may be a part of this slot: copy it before the old storage goes.
    SlotText grown;
    grown.reserve(std::max(n, std::min(2 * std::size_t{room_}, kMaxChars)));
    std::copy_n(data_, size_, grown.data_);
    std::copy(text.begin(), text.end(), grown.data_ + size_);
    grown.size_ = static_cast<std::uint32_t>(n);
    swap(grown);
    return;
  }
  std::copy(text.begin(), text.end(), data_ + size_);
  size_ = static_cast<std::uint32_t>(n);
}

}  // namespace vantiro
