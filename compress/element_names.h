#pragma once
// What HTML says about an element by its name alone: how a browser lays it
// out before any style sheet, and which tags end a paragraph by themselves.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/text.h"

namespace vantiro {

// How an element takes part in the flow of text when no style sheet says
// otherwise.
enum class ElementBox : std::uint8_t {
  // Shown within a line of text: every phrasing element, and every name HTML
  // does not know (custom elements, svg, math), which a browser shows inline.
  Inline,
  // Starts and ends its own block: white space beside it never shows.
  Block,
  // Not shown at all (script, style, title, template, meta, link, base): text
  // on both sides of it meets as if it were not there.
  Hidden,
};

// One byte: looked up for nearly every tag, and passed in a register.
struct ElementTraits {
  ElementBox box : 2 = ElementBox::Inline;
  bool isVoid : 1 = false;                // has no contents and no end tag (br, img, meta, ...)
  bool startClosesParagraph : 1 = false;  // its start tag ends an open p (HTML's list, table aside)
  bool endClosesParagraph : 1 = false;    // its end tag ends a p still open inside it
  bool nestsUnchanged : 1 = false;        // the element inside itself looks the same (b, i, span, ...)
  bool bordersScope : 1 = false;          // a p outside it is not ended from inside it (table, td, button, ...)
};

// The traits of the element named `name` (ASCII letters in any case).
ElementTraits traitsOf(TextView name);

// `name` as one number, the same for the name in any letter case; 0 for a
// name longer than ten characters or holding other than letters and digits.
std::uint64_t nameKey(TextView name);
// traitsOf for a name given by its key.
ElementTraits traitsOfKey(std::uint64_t key);
// The nameKeys of every element traitsOf knows, so that a pass's own table
// by nameKey can carry their traits and spare a second lookup.
std::vector<std::uint64_t> knownElementKeys();

// The longest name that has a nameKey other than 0.
inline constexpr std::size_t kLongestKeyedName = 10;
// The length of the name whose nameKey is `key` (not 0): a key holds the
// name's characters from its top bits down, six bits each and none of them 0,
// so the passes that have the key need not read the name again to measure it.
inline std::size_t nameLengthOfKey(std::uint64_t key) {
  return kLongestKeyedName - static_cast<std::size_t>(std::countr_zero(key)) / 6;
}

// The element name of a tag text without "<" and ">": after an optional "/",
// up to white space, "/" or the end. Empty for comments, declarations and
// server blocks.
TextView elementName(TextView tag);

// Whether `name` equals `lowerName` with ASCII letters in any case.
bool namesAre(TextView name, TextView lowerName);
// The same for a literal, whose characters are then known when compiling:
// compared in place, a letter by setting its case bit, anything else exactly.
template <std::size_t N>
bool namesAre(TextView name, const char32_t (&lowerName)[N]) {
  if (name.size() != N - 1) return false;
  for (std::size_t k = 0; k + 1 < N; ++k) {
    const char32_t lower = lowerName[k];
    if (lower >= U'a' && lower <= U'z' ? (name[k] | 0x20) != lower : name[k] != lower) return false;
  }
  return true;
}

// An element's name in a tag and its nameKey, read in one pass. Where the
// name lies rather than a view of it: sixteen bytes come back in registers,
// for every tag of a page. The name is empty exactly for the tags that are
// no element's (see isElementTag).
struct TagName {
  std::uint32_t at = 0;  // where the name starts in the tag
  std::uint32_t length = 0;
  std::uint64_t key = 0;
  // The name in `tag`, the tag it was read from.
  TextView in(TextView tag) const { return tag.substr(at, length); }
};
TagName tagName(TextView tag);

// Whether `c` ends an element's name in a tag.
inline bool endsElementName(char32_t c) {
  return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == U'\f' || c == U'/';
}

// Whether `tag` is a start tag of the element `lowerName` (lower-case letters
// and digits). Asked of every tag, so it compares in place.
template <std::size_t N>
bool isStartTagOf(TextView tag, const char32_t (&lowerName)[N]) {
  constexpr std::size_t n = N - 1;
  if (tag.size() < n) return false;
  for (std::size_t k = 0; k < n; ++k)
    if ((tag[k] | 0x20) != lowerName[k]) return false;
  return tag.size() == n || endsElementName(tag[n]);
}

// Whether `tag` is an element's start or end tag (not a comment, a
// declaration or a server block).
inline bool isElementTag(TextView tag) {
  const std::size_t b = !tag.empty() && tag[0] == U'/' ? 1 : 0;
  return b < tag.size() && ((tag[b] | 0x20) >= U'a' && (tag[b] | 0x20) <= U'z');
}

}  // namespace vantiro
