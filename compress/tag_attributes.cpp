#include "compress/tag_attributes.h"

#include "compress/element_names.h"
#include "compress/text_routines.h"

#include <cstdint>

namespace vantiro {

namespace {

// White space, "/" or "=": what ends an attribute's name. All lie below 64,
// so that one comparison passes the letters a name is made of.
bool endsAttributeName(char32_t c) {
  constexpr std::uint64_t kEnds = 1ull << U' ' | 1ull << U'\t' | 1ull << U'\r' | 1ull << U'\n' | 1ull << U'\f' |
                                  1ull << U'/' | 1ull << U'=';
  return c < 64 && ((kEnds >> c) & 1) != 0;
}

}  // namespace

std::size_t attributesStart(TextView tag) {
  std::size_t k = !tag.empty() && tag[0] == U'/' ? 1 : 0;
  while (k < tag.size() && !isHtmlSpace(tag[k]) && tag[k] != U'/') ++k;
  return k;
}

std::optional<TagAttribute> readAttribute(TextView tag, std::size_t from) {
  std::optional<TagAttribute> a = readAttributeHead(tag, from);
  if (a && a->quote != 0) closeValue(*a, tag, findChar(tag, a->quote, a->valueAt));
  return a;
}

std::optional<TagAttribute> readAttributeHead(TextView tag, std::size_t from) {
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

std::optional<TextView> attributeValue(TextView tag, TextView lowerName) {
  std::optional<TextView> found;
  for (std::size_t k = attributesStart(tag); !found;) {
    const std::optional<TagAttribute> a = readAttribute(tag, k);
    if (!a) break;
    if (namesAre(a->name(tag), lowerName)) found = a->value(tag);
    k = afterAttribute(*a);
  }
  return found;
}

}  // namespace vantiro
