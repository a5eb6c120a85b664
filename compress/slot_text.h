#pragma once
// The text of one slot of a split page.
//
// A slot starts as a window on the decoded page it was cut from, so cutting a
// page copies no character and allocates nothing per tag. The passes nearly
// always shorten a slot, and they rewrite it where it lies; a slot that must
// grow past its window (a paragraph that becomes "pre", lines gathered into a
// block) moves into storage of its own. Windows of different slots never
// overlap, so rewriting one never touches another.
//
// A page has two slots for every tag, so a slot is kept to 16 bytes: its
// lengths are 32-bit, and the largest slot (kMaxChars) is far above any page
// that fits in memory; a page the size of which a slot cannot hold is refused
// before it is cut.

#include <cstddef>
#include <cstdint>
#include <utility>

#include "platform/text.h"

namespace vantiro {

class SlotText {
 public:
  static constexpr std::size_t kMaxChars = (std::size_t{1} << 31) - 1;

  SlotText() = default;
  // A slot of its own holding a copy of `text`.
  explicit SlotText(TextView text) { assign(text); }
  // A window on [data, data + size): the caller keeps those characters alive
  // for the slot's life and gives them to no other slot.
  static SlotText window(char32_t* data, std::size_t size) {
    SlotText s;
    s.setWindow(data, size);
    return s;
  }

  // Makes this slot the window `window` makes, dropping any storage of its
  // own. Inline and without a temporary slot: the scanner sets two slots for
  // every tag of a page.
  void setWindow(char32_t* data, std::size_t size) {
    release();
    data_ = data;
    size_ = static_cast<std::uint32_t>(size);
    room_ = static_cast<std::uint32_t>(size);
  }

  // A copy owns its characters, so it never shares a window with its original.
  SlotText(const SlotText& other) : SlotText(other.view()) {}
  SlotText& operator=(const SlotText& other) {
    if (this != &other) assign(other.view());
    return *this;
  }
  SlotText(SlotText&& other) noexcept { take(other); }
  SlotText& operator=(SlotText&& other) noexcept {
    if (this != &other) take(other);
    return *this;
  }
  ~SlotText() { release(); }

  SlotText& operator=(TextView text) {
    assign(text);
    return *this;
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  char32_t* data() { return data_; }
  const char32_t* data() const { return data_; }
  char32_t& operator[](std::size_t i) { return data_[i]; }
  char32_t operator[](std::size_t i) const { return data_[i]; }
  char32_t* begin() { return data_; }
  char32_t* end() { return data_ + size_; }
  const char32_t* begin() const { return data_; }
  const char32_t* end() const { return data_ + size_; }

  TextView view() const { return TextView(data_, size_); }
  operator TextView() const { return view(); }  // NOLINT: a slot reads as the text it holds

  void clear() { size_ = 0; }
  // Shortening never moves the text; lengthening fills with zero characters.
  // Inline: every pass shortens slots.
  void resize(std::size_t n) {
    if (n > size_) fillTo(n);
    size_ = static_cast<std::uint32_t>(n);
  }
  // `text` may be a part of this slot.
  void assign(TextView text);
  void append(TextView text);
  SlotText& operator+=(TextView text) {
    append(text);
    return *this;
  }

  friend bool operator==(const SlotText& a, TextView b) { return a.view() == b; }

 private:
  void swap(SlotText& other) noexcept;
  // Takes over the text of `other`, which is left empty. Inline: the scanner
  // moves a window into every slot.
  void take(SlotText& other) noexcept {
    release();
    data_ = other.data_;
    size_ = other.size_;
    room_ = other.room_;
    owned_ = other.owned_;
    other.data_ = nullptr;
    other.size_ = 0;
    other.room_ = 0;
    other.owned_ = 0;
  }
  // Frees the slot's own storage, if it has any. Inline: the scanner sets
  // two windows for every tag.
  void release() noexcept {
    if (owned_ != 0) delete[] data_;
    owned_ = 0;
  }
  // Lengthens the text to `n` characters with zero characters.
  void fillTo(std::size_t n);
  // Makes room for `n` characters, keeping the text; grows geometrically so
  // that repeated appends stay linear. Throws PageError past kMaxChars.
  void reserve(std::size_t n);

  char32_t* data_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t room_ : 31 = 0;   // characters that fit at data_
  std::uint32_t owned_ : 1 = 0;   // data_ is the slot's own storage
};

static_assert(sizeof(SlotText) == 16);

}  // namespace vantiro
