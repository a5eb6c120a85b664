#include "compress/comment_dropping.h"

#include "compress/element_names.h"
#include "compress/tag_attributes.h"
#include "compress/tag_scanner.h"
#include "compress/text_routines.h"

namespace vantiro {
namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// A comment that ends where the tag ends and that nothing asks to keep.
bool isDroppableComment(TextView tag) {
  if (tag.size() < 5 || !closesComment(tag) || tag.back() != U'-') return false;
  const char32_t first = tag[3];
  if (first == U'[' || first == U'!' || first == U'<') return false;
  return findChar(tag, U'>') == npos;
}

// Whether a meta tag of the page declares its encoding, which an XML
// declaration then need not: a browser reads the meta.
bool declaresCharsetInMeta(const PageSplit& split) {
  for (int i = 0; i <= split.lastIndex; ++i) {
    const TextView tag = split.tags[at(i)];
    if (isStartTagOf(tag, U"meta") && attributeValue(tag, U"charset")) return true;
    if (isStartTagOf(tag, U"body")) break;
  }
  return false;
}

bool isXmlDeclaration(TextView tag) { return tag.size() > 5 && tag.substr(0, 5) == TextView(U"?xml ") && tag.back() == U'?'; }

// Elements whose contents a browser reads as text, comments included.
bool readsCommentsAsText(TextView name) {
  return namesAre(name, U"title") || namesAre(name, U"iframe") || namesAre(name, U"noembed") ||
         namesAre(name, U"noframes") || namesAre(name, U"noscript");
}

// Whether any tag is a comment or an XML declaration: most pages, once the
// tag shortening every page gets has run, hold neither.
bool holdsCommentOrDeclaration(const PageSplit& split) {
  for (int i = 0; i <= split.lastIndex; ++i) {
    const TextView tag = split.tags[at(i)];
    if (tag.size() >= 3 && ((tag[0] == U'!' && tag[1] == U'-') || tag[0] == U'?')) return true;
  }
  return false;
}

}  // namespace

void dropComments(PageSplit& split, const std::vector<std::uint8_t>& keptAsRead) {
  if (split.endsInScript || !holdsCommentOrDeclaration(split)) return;
  SlotText* textBefore = &split.leadingText;  // the written text the next one joins
  TextView textElement;                       // the open element that reads comments as text
  const bool xmlDeclarationGoes = declaresCharsetInMeta(split);
  for (int i = 0; i <= split.lastIndex; ++i) {
    SlotText& tag = split.tags[at(i)];
    if (tag.empty()) continue;
    const bool kept = keptAsRead[at(i)] != 0;
    if (!kept && textElement.empty() && (isDroppableComment(tag) || (xmlDeclarationGoes && isXmlDeclaration(tag)))) {
      tag.clear();
      if (!split.texts[at(i)].empty()) textBefore->append(split.texts[at(i)].view());
      continue;
    }
    textBefore = &split.texts[at(i)];
    if (kept || !isElementTag(tag)) continue;
    // Their names begin with t, i or n; most tags are passed at once.
    const char32_t first = tag[tag[0] == U'/' ? 1 : 0] | 0x20;
    if (first != U't' && first != U'i' && first != U'n') continue;
    const TextView name = elementName(tag);
    if (tag[0] == U'/') {
      if (!textElement.empty() && nameKey(name) == nameKey(textElement)) textElement = {};
    } else if (textElement.empty() && readsCommentsAsText(name)) {
      textElement = name;
    }
  }
}

}  // namespace vantiro
