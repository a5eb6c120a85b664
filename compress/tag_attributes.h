#pragma once
// A tag's attributes as a browser reads them: after the element name come
// names, each with an optional "=" and a value that is double-quoted,
// single-quoted or unquoted, in that order and nothing else. So a quoted
// value may hold "=", "'" or a line break and still be just a value.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/text.h"
#include "compress/text_routines.h"

namespace vantiro {

struct TagAttribute {
  std::size_t nameAt = 0;   // position of the name in the tag
  std::size_t nameEnd = 0;
  std::size_t valueAt = npos;  // first character of the value (after an opening quote); npos: no "="
  std::size_t valueEnd = npos;  // just after the value (at its closing quote, when there is one)
  char32_t quote = 0;           // '"' or '\'' around the value, 0 when unquoted or missing
  bool closed = true;           // false when a quoted value runs to the tag's end without its quote

  TextView name(TextView tag) const { return tag.substr(nameAt, nameEnd - nameAt); }
  TextView value(TextView tag) const {
    return valueAt == npos ? TextView() : tag.substr(valueAt, valueEnd - valueAt);
  }
};

// Where the attributes of tag text `tag` (without "<" and ">") begin: after
// an optional "/" and the element name.
std::size_t attributesStart(TextView tag);

// Reads the attribute starting at or after `from` (white space and "/"
// between attributes skipped). Returns nothing when the tag holds no more.
// Continue from the returned attribute's end: the value's end, past its
// closing quote, or the name's end.
std::optional<TagAttribute> readAttribute(TextView tag, std::size_t from);

// White space, "/" or "=": what ends an attribute's name. All lie below 64,
// so that one comparison passes the letters a name is made of.
inline bool endsAttributeName(char32_t c) {
  constexpr std::uint64_t kEnds = 1ull << U' ' | 1ull << U'\t' | 1ull << U'\r' | 1ull << U'\n' | 1ull << U'\f' |
                                  1ull << U'/' | 1ull << U'=';
  return c < 64 && ((kEnds >> c) & 1) != 0;
}

// readAttribute up to where a quoted value starts, for a caller that looks
// for its closing quote itself (and reads the value on the way): such an
// attribute comes back with its `quote` and `valueAt` but not yet its
// `valueEnd` and `closed`, which closeValue sets. Inline: tag shortening
// reads every attribute of a page with it, and keeps what it reads in
// registers.
inline std::optional<TagAttribute> readAttributeHead(TextView tag, std::size_t from) {
  const std::size_t n = tag.size();
  std::size_t k = from;
  while (k < n && (isHtmlSpace(tag[k]) || tag[k] == U'/')) ++k;
  if (k >= n) return std::nullopt;
  TagAttribute a;
  a.nameAt = k;
  // A name may begin with "=", which is then part of it.
  ++k;
  while (k < n && !endsAttributeName(tag[k])) ++k;
  a.nameEnd = k;
  while (k < n && isHtmlSpace(tag[k])) ++k;
  if (k >= n || tag[k] != U'=') return a;
  ++k;
  while (k < n && isHtmlSpace(tag[k])) ++k;
  if (k < n && (tag[k] == U'"' || tag[k] == U'\'')) {
    a.quote = tag[k];
    a.valueAt = k + 1;
    return a;
  }
  a.valueAt = k;
  while (k < n && !isHtmlSpace(tag[k])) ++k;
  a.valueEnd = k;
  return a;
}

// Sets the end of the quoted value of `a`, a head read from `tag`, from
// `close`: the position of its closing quote, npos when the tag holds none.
inline void closeValue(TagAttribute& a, TextView tag, std::size_t close) {
  a.closed = close != npos;
  a.valueEnd = a.closed ? close : tag.size();
}

// Where reading goes on after `a`.
inline std::size_t afterAttribute(const TagAttribute& a) {
  if (a.valueAt == npos) return a.nameEnd;
  return a.valueEnd + (a.quote != 0 && a.closed ? 1 : 0);
}

// Calls visit(attribute) for every attribute of `tag` in order.
template <typename Visit>
void forEachAttribute(TextView tag, Visit&& visit) {
  for (std::size_t k = attributesStart(tag);;) {
    const std::optional<TagAttribute> a = readAttribute(tag, k);
    if (!a) return;
    visit(*a);
    k = afterAttribute(*a);
  }
}

// The value of the first attribute named `lowerName` (ASCII letters in any
// case), an empty view for an attribute without "="; nothing when absent.
std::optional<TextView> attributeValue(TextView tag, TextView lowerName);

}  // namespace vantiro
