#include "compress/inline_tags.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace vantiro {
namespace {

constexpr std::size_t kLongestName = 8;  // "textarea"

// A name of at most eight lower-case letters packed into one number, first
// letter highest, so that the table lookup compares numbers, not strings.
constexpr std::uint64_t packName(std::string_view name) {
  std::uint64_t v = 0;
  for (std::size_t k = 0; k < kLongestName; ++k)
    v = (v << 8) | (k < name.size() ? static_cast<unsigned char>(name[k]) : 0u);
  return v;
}

constexpr std::array<std::string_view, 36> kInlineNames = {
    "a",      "abbr",  "acronym", "b",      "bdi",    "bdo", "big", "button",   "cite", "code", "del", "dfn",
    "em",     "font",  "i",       "img",    "input",  "ins", "kbd", "label",    "mark", "q",    "s",   "samp",
    "select", "small", "span",    "strike", "strong", "sub", "sup", "textarea", "time", "tt",   "u",   "var"};

constexpr std::array<std::uint64_t, kInlineNames.size()> packedNames() {
  std::array<std::uint64_t, kInlineNames.size()> packed{};
  for (std::size_t k = 0; k < kInlineNames.size(); ++k) packed[k] = packName(kInlineNames[k]);
  std::sort(packed.begin(), packed.end());
  return packed;
}

constexpr std::array<std::uint64_t, kInlineNames.size()> kPacked = packedNames();

bool isNameEnd(char32_t c) { return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == U'\f' || c == U'/'; }

}  // namespace

bool isInlineTag(TextView tag) {
  const std::size_t b = (!tag.empty() && tag[0] == U'/') ? 1 : 0;
  std::uint64_t packed = 0;
  std::size_t length = 0;
  for (std::size_t k = b; k < tag.size() && !isNameEnd(tag[k]); ++k) {
    char32_t c = tag[k];
    if (c >= U'A' && c <= U'Z') c += 32;
    if (c < U'a' || c > U'z' || ++length > kLongestName) return false;
    packed = (packed << 8) | c;
  }
  if (length == 0) return false;
  packed <<= 8 * (kLongestName - length);
  return std::binary_search(kPacked.begin(), kPacked.end(), packed);
}

}  // namespace vantiro
