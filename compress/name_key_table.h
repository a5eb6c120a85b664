#pragma once
// A small table from element names to values, found by the names' nameKey
// in a probe or two: the further passes ask it of nearly every tag.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "compress/element_names.h"

namespace vantiro {

template <typename Value>
class NameKeyTable {
 public:
  // At most 32 names (a-z, 0-9, ten characters at most).
  NameKeyTable(std::initializer_list<std::pair<const char32_t*, Value>> entries) {
    for (const auto& [name, value] : entries) {
      const std::uint64_t key = nameKey(TextView(name));
      std::size_t k = slotOf(key);
      while (slots_[k].key != 0) k = (k + 1) % kSlots;
      slots_[k] = {key, value};
    }
  }
  // The value of the name with `key`, or `absent`.
  Value find(std::uint64_t key, Value absent) const {
    if (key == 0) return absent;
    for (std::size_t k = slotOf(key);; k = (k + 1) % kSlots) {
      if (slots_[k].key == key) return slots_[k].value;
      if (slots_[k].key == 0) return absent;
    }
  }

 private:
  static constexpr std::size_t kSlots = 64;
  static std::size_t slotOf(std::uint64_t key) { return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 58); }
  struct Slot {
    std::uint64_t key = 0;
    Value value{};
  };
  std::array<Slot, kSlots> slots_{};
};

}  // namespace vantiro
