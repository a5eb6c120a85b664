#include "compress/tag_attributes.h"

#include "compress/element_names.h"
#include "compress/text_routines.h"


namespace vantiro {

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
