#pragma once
// A tag's attributes as a browser reads them: after the element name come
// names, each with an optional "=" and a value that is double-quoted,
// single-quoted or unquoted, in that order and nothing else. So a quoted
// value may hold "=", "'" or a line break and still be just a value.

#include <cstddef>
#include <optional>

#include "platform/text.h"

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

// readAttribute up to where a quoted value starts, for a caller that looks
// for its closing quote itself (and reads the value on the way): such an
// attribute comes back with its `quote` and `valueAt` but not yet its
// `valueEnd` and `closed`, which closeValue sets.
std::optional<TagAttribute> readAttributeHead(TextView tag, std::size_t from);
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
