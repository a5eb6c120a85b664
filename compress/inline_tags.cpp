#include "compress/inline_tags.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vantiro {
namespace {

// Sorted, for the binary search.
constexpr std::array<std::string_view, 36> kInlineNames = {
    "a",     "abbr", "acronym", "b",    "bdi",    "bdo",    "big",    "button", "cite",     "code", "del", "dfn",
    "em",    "font", "i",       "img",  "input",  "ins",    "kbd",    "label",  "mark",     "q",    "s",   "samp",
    "select", "small", "span",  "strike", "strong", "sub",  "sup",    "textarea", "time",   "tt",   "u",   "var"};

bool isNameEnd(char32_t c) {
  return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == U'\f' || c == U'/';
}

}  // namespace

bool isInlineTag(TextView tag) {
  std::size_t b = (!tag.empty() && tag[0] == U'/') ? 1 : 0;
  std::size_t e = b;
  while (e < tag.size() && !isNameEnd(tag[e])) ++e;
  constexpr std::size_t kLongest = 8;  // "textarea"
  if (e == b || e - b > kLongest) return false;
  char name[kLongest];
  for (std::size_t k = b; k < e; ++k) {
    char32_t c = tag[k];
    if (c >= U'A' && c <= U'Z') c += 32;
    if (c < U'a' || c > U'z') return false;
    name[k - b] = static_cast<char>(c);
  }
  const std::string_view key(name, e - b);
  return std::binary_search(kInlineNames.begin(), kInlineNames.end(), key);
}

}  // namespace vantiro
