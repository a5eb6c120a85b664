#include "compress/slot_text.h"

#include <algorithm>
#include <utility>

namespace vantiro {

void SlotText::swap(SlotText& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  std::swap(room_, other.room_);
  std::swap(own_, other.own_);
}

void SlotText::reserve(std::size_t n) {
  if (n <= room_) return;
  const std::size_t room = std::max({n, 2 * room_, std::size_t{16}});
  auto storage = std::make_unique_for_overwrite<char32_t[]>(room);
  std::copy_n(data_, size_, storage.get());
  own_ = std::move(storage);
  data_ = own_.get();
  room_ = room;
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
    size_ = text.size();
    return;
  }
  SlotText fresh;
  fresh.reserve(text.size());
  std::copy(text.begin(), text.end(), fresh.data_);
  fresh.size_ = text.size();
  swap(fresh);
}

void SlotText::append(TextView text) {
  const std::size_t n = size_ + text.size();
  if (n > room_) {
    // The text may be a part of this slot: copy it before the old storage goes.
    SlotText grown;
    grown.reserve(std::max(n, 2 * room_));
    std::copy_n(data_, size_, grown.data_);
    std::copy(text.begin(), text.end(), grown.data_ + size_);
    grown.size_ = n;
    swap(grown);
    return;
  }
  std::copy(text.begin(), text.end(), data_ + size_);
  size_ = n;
}

}  // namespace vantiro
