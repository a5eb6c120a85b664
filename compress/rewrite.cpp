#include "compress/rewrite.h"

#include "compress/attribute_shortening.h"
#include "compress/character_references.h"
#include "compress/comment_dropping.h"
#include "compress/css_minify.h"
#include "compress/css_space.h"
#include "compress/element_names.h"
#include "compress/optional_tags.h"
#include "compress/page_elements.h"
#include "compress/script_compression.h"
#include "compress/script_minify.h"
#include "compress/shown_as_written.h"
#include "compress/tag_attributes.h"
#include "compress/tag_scanner.h"
#include "compress/tag_shortening.h"
#include "compress/text_routines.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace vantiro {
namespace {

// Words the passes look for in every tag and text. Named constants, so that
// their lengths are known when compiling: a literal that becomes a TextView
// where it is used is measured character by character each time.
constexpr TextView kScript = U"SCRIPT";
constexpr TextView kSpace = U" ";

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// Exactly /p /P /tr /TR /td /TD: no other letter case, no spaces.
bool isOptionalEndTag(TextView tag) {
  if (tag.size() == 2) return tag[0] == U'/' && (tag[1] == U'p' || tag[1] == U'P');
  if (tag.size() != 3 || tag[0] != U'/') return false;
  return (tag[1] == U't' && (tag[2] == U'r' || tag[2] == U'd')) ||
         (tag[1] == U'T' && (tag[2] == U'R' || tag[2] == U'D'));
}

bool namesOneOf(TextView name, std::initializer_list<TextView> lowerNames) {
  for (TextView n : lowerNames)
    if (namesAre(name, n)) return true;
  return false;
}

// Whether end tag i (/p, /td or /tr, its text blank) may go: HTML lets the
// element end by itself there, so a browser builds the same page without it.
// A p ends by itself before a start tag that closes it (a table only in
// standards mode) or at an end tag that closes whatever holds it; a cell
// before the next cell or row or where its table part ends; a row likewise.
// Comments between change nothing.
bool endTagMayGo(const PageSplit& split, const PageElements& elements, int i) {
  if (elements.closesNothingButMakesAParagraph(i)) return false;
  int j = i + 1;
  for (; j <= split.lastIndex; ++j) {
    const TextView tag = split.tags[at(j)];
    if (!tag.empty() && !isCommentTag(tag)) break;
    if (!isBlankText(split.texts[at(j)])) return false;
  }
  if (j > split.lastIndex) return true;
  const TextView next = split.tags[at(j)];
  const TextView name = elementName(next);
  if (name.empty()) return false;
  const bool isEnd = next[0] == U'/';
  // An end tag that follows must close what holds this element, not a
  // sibling after it nor nothing at all.
  if (isEnd && (elements.startOf(j) < 0 || elements.startOf(j) >= elements.startOf(i))) return false;
  const char32_t kind = foldedUpper(split.tags[at(i)][1]);
  if (kind == U'P') {
    const ElementTraits traits = traitsOf(name);
    if (isEnd) return traits.endClosesParagraph;
    return traits.startClosesParagraph || (elements.standardsMode() && namesAre(name, U"table"));
  }
  const bool cell = foldedUpper(split.tags[at(i)][2]) == U'D';
  if (isEnd) return namesOneOf(name, {U"tbody", U"thead", U"tfoot", U"table"}) || (cell && namesAre(name, U"tr"));
  return namesOneOf(name, {U"tr", U"tbody", U"thead", U"tfoot"}) || (cell && namesOneOf(name, {U"td", U"th"}));
}

// An end tag whose element starts again right after one or more removed tags,
// for elements that look the same inside themselves: "</b>" + removed + "<b>"
// is one bold run to a browser.
bool repeatsAfterRemovedTags(const PageSplit& split, int i) {
  if (i + 1 > split.lastIndex || !split.tags[at(i + 1)].empty()) return false;
  const TextView name = split.tags[at(i)].view().substr(1);
  if (!traitsOf(name).nestsUnchanged) return false;
  int j = i + 1;
  while (j <= split.capacity - 2 && split.tags[at(j)].empty()) ++j;
  if (j == split.capacity - 1) return false;
  const TextView later = split.tags[at(j)];
  if (!split.tags[at(j - 1)].empty()) return false;
  return later == name;
}

// Whether what stands before text i may show on the same line as it: tag i,
// or, past tags without a box, the text or tag before them. A removed tag
// ended its element where a block begins.
bool inlineBefore(const PageSplit& split, const PageElements& elements, int i) {
  for (int k = i, steps = 0; k >= 0; --k) {
    if (++steps > kTagsLookedPast) return true;
    if (split.tags[at(k)].empty()) return false;
    const PageElements::Flow flow = elements.flowOf(k);
    if (flow != PageElements::Flow::None) return flow == PageElements::Flow::Inline;
    const TextView before = k == 0 ? split.leadingText.view() : split.texts[at(k - 1)].view();
    const bool shown = k == 0 || (!split.tags[at(k - 1)].empty() && !elements.hidesTextAfter(k - 1));
    if (shown && !isBlankText(before)) return true;
  }
  return false;
}

// The same for what follows text i.
bool inlineAfter(const PageSplit& split, const PageElements& elements, int i) {
  for (int k = i + 1, steps = 0; k <= split.lastIndex; ++k) {
    if (++steps > kTagsLookedPast) return true;
    if (split.tags[at(k)].empty()) continue;
    const PageElements::Flow flow = elements.flowOf(k);
    if (flow != PageElements::Flow::None) return flow == PageElements::Flow::Inline;
    if (!elements.hidesTextAfter(k) && !isBlankText(split.texts[at(k)])) return true;
  }
  return false;
}

// Three "&nbsp;" in a row as "&nbsp; &nbsp;": the same inside a pre block,
// where no line breaks at the space.
void shortenSpaceEntities(SlotText& text) {
  constexpr TextView kThree = U";&nbsp;&nbsp", kSpaced = U"; &nbsp";
  if (text.size() >= 11) replaceAll(text, kThree, kSpaced);
}

// Joined and collapsed; `blankGoes` decides whether white space other than
// spaces alone also vanishes.
void rewriteLooseText(SlotText& text, LineBreak lineBreak, bool blankGoes) {
  collapseLinesAndSpaces(text, lineBreak);
  if (text.view().find_first_not_of(U' ') == npos || (blankGoes && isBlankText(text))) text.clear();
}

// The first two letters of the names of the tags the loop below treats
// apart (sc, st, te, xm, pl, pr, li), as the top twelve bits of their
// nameKeys: a bit for each.
const std::array<std::uint64_t, 64> kTreatedApartStarts = [] {
  std::array<std::uint64_t, 64> bits{};
  for (const char32_t* start : {U"sc", U"st", U"te", U"xm", U"pl", U"pr", U"li"}) {
    const std::uint64_t top = nameKey(start) >> 48;
    bits[top / 64] |= std::uint64_t{1} << (top % 64);
  }
  return bits;
}();

// Whether `tag`, its element's nameKey `key`, may be one that the loop below
// treats apart: a script, style, textarea, xmp or plaintext start tag, or a
// pre or listing tag. Told by the first two letters of the name, which pass
// nearly every tag (td, tr, table, span and p among them): from the key, or
// for a tag without one from the name itself.
bool mayBeTreatedApart(TextView tag, std::uint64_t key) {
  if (key != 0) {
    const std::uint64_t top = key >> 48;
    return !tag.empty() && ((kTreatedApartStarts[top / 64] >> (top % 64)) & 1) != 0;
  }
  const std::size_t b = !tag.empty() && tag[0] == U'/' ? 1 : 0;
  if (tag.size() < b + 2) return false;
  const char32_t second = tag[b + 1] | 0x20;
  switch (tag[b] | 0x20) {
    case U's':
      return second == U'c' || second == U't';
    case U't':
      return second == U'e';
    case U'x':
      return second == U'm';
    case U'p':
      return second == U'l' || second == U'r';
    case U'l':
      return second == U'i';
    default:
      return false;
  }
}

bool holdsJavaScript(TextView scriptTag) {
  return isJavaScriptType(attributeValue(scriptTag, U"type"), attributeValue(scriptTag, U"language"));
}

// Whether a browser reads the page as UTF-8, which its first window tells
// the later ones: a window that cannot tell it yet needs more tags.
bool readAsUtf8InWindows(const PageSplit& split, const PagePiece* piece, PieceBoundary* boundary) {
  if (piece == nullptr) return readAsUtf8(split, split.lastIndex + 1).value_or(false);
  std::optional<bool> utf8 = piece->passes.readAsUtf8;
  if (!utf8) utf8 = readAsUtf8(split, piece->ownEnd);
  if (boundary != nullptr) {
    if (!utf8) boundary->needsLaterTags = true;
    boundary->passes.readAsUtf8 = utf8;
  }
  return utf8.value_or(false);
}

}  // namespace

void rewritePage(PageSplit& split, bool compressScripts, ProgressIndicator& progress) {
  static const StyleRules kNoStyleRules;
  rewritePage(split, compressScripts, kNoStyleRules, progress);
}

void rewritePage(PageSplit& split, bool compressScripts, const StyleRules& styles, ProgressIndicator& progress) {
  rewritePage(split, compressScripts, styles, progress, CompressionLevel::Standard);
}

void rewritePage(PageSplit& split, bool compressScripts, const StyleRules& styles, ProgressIndicator& progress,
                 CompressionLevel level, const PagePiece* piece, PieceBoundary* boundary) {
  const int reportAt = piece != nullptr && boundary != nullptr ? piece->reportAt : -1;
  const int contextTags = piece != nullptr ? piece->contextTags : -1;
  const bool further = level == CompressionLevel::Further;
  rewriteLooseText(split.leadingText, split.lineBreak, true);
  const int last = split.lastIndex;

  // Tags are shortened first: what the passes read from them below (names,
  // attributes and their values) is what it was.
  std::vector<std::uint8_t> tagStyles(at(last + 1), 0);
  std::vector<std::uint8_t> keptAsRead(at(last + 1), 0);  // slot inside a value the scan cut at a ">"
  std::vector<std::uint64_t> nameKeys;  // one for every slot, in order
  nameKeys.reserve(at(last + 1));
  {
    // The slots and the byte lists are reached through pointers held here:
    // a byte written through a list may alias anything, and would have every
    // list's start read again from memory for the next slot.
    SlotText* const tags = split.tags.data();
    const SlotText* const texts = split.texts.data();
    std::uint8_t* const styleBits = tagStyles.data();
    std::uint8_t* const kept = keptAsRead.data();
    const bool endsInScript = split.endsInScript;
    for (int i = 0, openQuote = 0; i <= last; ++i) {
      SlotText& tag = tags[at(i)];
      const SlotText& text = texts[at(i)];
      if (openQuote != 0) {
        // Still inside that value: kept exactly up to its closing quote.
        kept[at(i)] = 1;
        nameKeys.push_back(tagName(tag).key);
        const char32_t quote = static_cast<char32_t>(openQuote);
        if (findChar(tag, quote) != npos || findChar(text, quote) != npos) openQuote = 0;
        continue;
      }
      if (endsInScript || (tag.size() >= 3 && tag[0] == U'%')) {
        nameKeys.push_back(tagName(tag).key);
        continue;
      }
      const ShortenedTag shortened = shortenTag(tag);
      nameKeys.push_back(shortened.nameKey);
      styleBits[at(i)] = PageElements::kAttributesRead | (shortened.holdsStyle ? PageElements::kHoldsStyle : 0) |
                         (shortened.styleNamesSpace ? PageElements::kStyleNamesSpace : 0) |
                         (shortened.holdsHidden ? PageElements::kHoldsHidden : 0);
      if (shortened.openQuote != 0) {
        kept[at(i)] = 1;
        if (findChar(text, shortened.openQuote) == npos) openQuote = static_cast<int>(shortened.openQuote);
      }
    }
  }
  // Inside a value the scan cut there: kept as read without being shortened itself.
  if (reportAt >= 0)
    boundary->insideValue =
        keptAsRead[at(reportAt)] != 0 && (tagStyles[at(reportAt)] & PageElements::kAttributesRead) == 0;
  const PageElements elements(split, styles, tagStyles, std::move(nameKeys), piece, boundary);

  bool inPreBlock = false;
  const int step = last / 30;
  // The loop does more than rewrite at a few tags only: progress steps and,
  // in a window on a larger page, where the window's own tags begin and
  // where the next window will.
  int nextProgress = step != 0 ? 0 : -1;
  const auto nextStop = [&](int after) {
    int stop = last + 1;
    for (const int candidate : {nextProgress, contextTags, reportAt})
      if (candidate > after && candidate < stop) stop = candidate;
    return stop;
  };
  for (int i = 0, stop = nextStop(-1); i <= last; ++i) {
    if (i == stop) {
      if (i == nextProgress) {
        progress.setValue(i);
        nextProgress += step;
      }
      if (i == contextTags) inPreBlock = piece->inPreformatted;
      if (i == reportAt) boundary->inPreformatted = inPreBlock;
      stop = nextStop(i);
    }
    SlotText& tag = split.tags[at(i)];
    SlotText& text = split.texts[at(i)];

    if (keptAsRead[at(i)] != 0) continue;
    // Only end tags go here, and none of a page whose scan ended in a script.
    if (!split.endsInScript && !tag.empty() && tag[0] == U'/') {
      // Dropping an end tag drops its text too, so only a blank text that
      // shows nothing may go (a style rule may show the element inline).
      if (isOptionalEndTag(tag) && isBlankText(text) && endTagMayGo(split, elements, i) &&
          (text.empty() || !inlineBefore(split, elements, i) || !inlineAfter(split, elements, i))) {
        tag.clear();
        continue;
      }
      if (repeatsAfterRemovedTags(split, i) && isBlankText(text)) tag.clear();
    }

    if (mayBeTreatedApart(tag, elements.nameKeyOf(i))) {
      if (startsWithUpper(tag, kScript)) {
        // Data a page keeps in a script element (JSON, templates) is no script.
        if (compressScripts && holdsJavaScript(tag)) {
          if (further)
            minifyScript(text, split.lineBreak);
          else
            compressScript(text, split.lineBreak);
        }
        continue;
      }
      if (isStartTagOf(tag, U"style")) {
        if (elements.keepsTextAfter(i)) continue;
        if (further)
          minifyStyleSheet(text);
        else
          collapseStyleSheetSpace(text);
        continue;
      }
      if (rawTextEnd(tag)) continue;  // a textarea's text is what the form sends

      if (opensPreformatted(tag)) inPreBlock = true;
      if (closesPreformatted(tag)) inPreBlock = false;
    }
    // An empty text, as between tags that stand next to each other, has
    // nothing to rewrite.
    if (text.empty()) continue;
    if (elements.keepsTextAfter(i)) continue;  // a style rule may show it as written

    if (!inPreBlock) {
      if (isBlankText(text)) {
        const bool shows = i != last && inlineBefore(split, elements, i) && inlineAfter(split, elements, i);
        if (shows)
          text.assign(kSpace);
        else
          text.clear();
      } else {
        rewriteLooseText(text, split.lineBreak, i == last);
      }
    } else {
      if (i == last && isBlankText(text)) text.clear();
      shortenSpaceEntities(text);
    }
  }
  if (!further || split.endsInScript) return;
  for (int i = 0; i <= last; ++i) {
    SlotText& tag = split.tags[at(i)];
    // It leaves end tags as they are: they are passed here without a call.
    if (keptAsRead[at(i)] == 0 && !tag.empty() && tag[0] != U'/') shortenAttributesFurther(tag, elements.nameKeyOf(i));
  }
  dropComments(split, keptAsRead, piece, boundary);
  dropOptionalTags(split, keptAsRead, elements, piece, boundary);
  const bool beyondAscii = readAsUtf8InWindows(split, piece, boundary);
  for (int i = 0; i <= last; ++i) {
    // Most texts hold no reference: their tags need not be read.
    SlotText& text = split.texts[at(i)];
    if (text.empty() || findChar(text, U'&') == npos) continue;
    const SlotText& tag = split.tags[at(i)];
    if (keptAsRead[at(i)] != 0 || tag.empty() || startsWithUpper(tag, kScript) || isStartTagOf(tag, U"style") ||
        rawTextEnd(tag))
      continue;
    writeReferencesOut(text, beyondAscii);
  }
}

}  // namespace vantiro
