#pragma once
// A small table from element names to values, found by the names' nameKey
// in a probe or two: the further passes ask it of nearly every tag.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "compress/element_names.h"

namespace vantiro {

// `kSlots` (a power of two) is kept at least twice the names held, so that
// a name the table does not hold is passed in a probe or two.
template <typename Value, std::size_t kSlots = 64>
class NameKeyTable {
  static_assert(std::has_single_bit(kSlots));

 public:
  NameKeyTable() = default;
  NameKeyTable(std::initializer_list<std::pair<const char32_t*, Value>> entries) {
    for (const auto& [name, value] : entries) at(nameKey(TextView(name))) = value;
  }
  // The value of the name with `key` (not 0), made as Value{} when the table
  // does not hold it yet.
  Value& at(std::uint64_t key) {
    std::size_t k = slotOf(key);
    while (slots_[k].key != 0 && slots_[k].key != key) k = (k + 1) % kSlots;
    slots_[k].key = key;
    return slots_[k].value;
  }
  // The value of the name with `key`, or null.
  const Value* lookup(std::uint64_t key) const {
    if (key == 0) return nullptr;
    for (std::size_t k = slotOf(key);; k = (k + 1) % kSlots) {
      if (slots_[k].key == key) return &slots_[k].value;
      if (slots_[k].key == 0) return nullptr;
    }
  }
  // The value of the name with `key`, or `absent`.
  Value find(std::uint64_t key, Value absent) const {
    const Value* value = lookup(key);
    return value != nullptr ? *value : absent;
  }

 private:
  static std::size_t slotOf(std::uint64_t key) {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - std::countr_zero(kSlots)));
  }
  struct Slot {
    std::uint64_t key = 0;
    Value value{};
  };
  std::array<Slot, kSlots> slots_{};
};

}  // namespace vantiro
