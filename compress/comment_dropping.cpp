#include "compress/comment_dropping.h"

#include <optional>

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
// declaration then need not: a browser reads the meta. Read from slot
// `from` on; nothing when neither such a meta nor the body's start tag
// comes before the split ends, and the page goes on.
std::optional<bool> declaresCharsetInMeta(const PageSplit& split, int from, bool reachesPageEnd) {
  for (int i = from; i <= split.lastIndex; ++i) {
    const TextView tag = split.tags[at(i)];
    if (isStartTagOf(tag, U"meta") && attributeValue(tag, U"charset")) return true;
    if (isStartTagOf(tag, U"body")) return false;
  }
  if (!reachesPageEnd) return std::nullopt;
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

void dropComments(PageSplit& split, const std::vector<std::uint8_t>& keptAsRead, const PagePiece* piece,
                  PieceBoundary* boundary) {
  if (split.endsInScript) return;
  const int first = piece != nullptr ? piece->contextTags : 0;
  const bool reachesPageEnd = piece == nullptr || piece->reachesPageEnd;
  const int reportAt = boundary != nullptr ? piece->reportAt : -1;
  std::optional<bool> charsetInMeta = piece != nullptr ? piece->passes.charsetInMeta : std::nullopt;
  // The open element that reads comments as text, by its name's key; 0 for none.
  std::uint64_t textElement = piece != nullptr ? piece->passes.commentTextElement : 0;
  // A window that reports to the next one reads on, whatever it holds.
  if (reportAt < 0 && textElement == 0 && !holdsCommentOrDeclaration(split)) return;
  if (!charsetInMeta) charsetInMeta = declaresCharsetInMeta(split, first, reachesPageEnd);
  if (reportAt >= 0) boundary->passes.charsetInMeta = charsetInMeta;
  SlotText* textBefore = &split.leadingText;  // the written text the next one joins
  for (int i = first; i <= split.lastIndex; ++i) {
    if (i == reportAt) boundary->passes.commentTextElement = textElement;
    SlotText& tag = split.tags[at(i)];
    if (tag.empty()) continue;
    const bool kept = keptAsRead[at(i)] != 0;
    if (!kept && textElement == 0) {
      bool goes = isDroppableComment(tag);
      if (!goes && isXmlDeclaration(tag)) {
        // Whether it goes may hang on tags the window does not hold yet.
        if (!charsetInMeta && boundary != nullptr) boundary->needsLaterTags = true;
        goes = charsetInMeta.value_or(false);
      }
      if (goes) {
        tag.clear();
        if (!split.texts[at(i)].empty()) textBefore->append(split.texts[at(i)].view());
        continue;
      }
    }
    textBefore = &split.texts[at(i)];
    if (kept || !isElementTag(tag)) continue;
    // Their names begin with t, i or n; most tags are passed at once.
    const char32_t first = tag[tag[0] == U'/' ? 1 : 0] | 0x20;
    if (first != U't' && first != U'i' && first != U'n') continue;
    const TextView name = elementName(tag);
    if (tag[0] == U'/') {
      if (textElement != 0 && nameKey(name) == textElement) textElement = 0;
    } else if (textElement == 0 && readsCommentsAsText(name)) {
      textElement = nameKey(name);
    }
  }
}

}  // namespace vantiro
