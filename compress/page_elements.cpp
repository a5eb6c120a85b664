#include "compress/page_elements.h"

#include "compress/css_tokens.h"
#include "compress/element_names.h"
#include "compress/tag_attributes.h"
#include "compress/tag_scanner.h"
#include "compress/text_routines.h"

#include <optional>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantiro {
namespace {

// An end tag is matched against at most this many open elements; one that
// closes nothing nearer is taken to close nothing, which keeps white space.
constexpr std::size_t kDeepestMatch = 256;

bool sameName(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k)
    if (foldedUpper(a[k]) != foldedUpper(b[k])) return false;
  return true;
}

// Whether `tag` holds "idden" or "IDDEN" (of "hidden"): found by its "d" or
// "D", which few tags hold, rather than by an "i" in nearly every one; both
// letter cases in one pass, eight characters a step.
bool holdsIdden(TextView tag) {
  constexpr TextView kLower = U"idden", kUpper = U"IDDEN";
  const auto wordAt = [&](std::size_t p) {  // tag[p] is "d" or "D"
    return tag.compare(p - 1, kLower.size(), tag[p] == U'd' ? kLower : kUpper) == 0;
  };
  const char32_t* const d = tag.data();
  const std::size_t n = tag.size();
  std::size_t k = 1;
#if defined(__SSE2__)
  // With the case bit set, only "d" and "D" become "d".
  const __m128i caseBit = _mm_set1_epi32(0x20), lowerD = _mm_set1_epi32(U'd');
  const auto isD = [&](std::size_t at) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at));
    return _mm_cmpeq_epi32(_mm_or_si128(c, caseBit), lowerD);
  };
  for (; k + 8 <= n; k += 8) {
    // Two bits a character once narrowed to 16 bits; the low one is read.
    unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi32(isD(k), isD(k + 4)))) & 0x5555u;
    for (; hits != 0; hits &= hits - 1)
      if (wordAt(k + static_cast<std::size_t>(__builtin_ctz(hits)) / 2)) return true;
  }
#endif
  for (; k < n; ++k)
    if ((d[k] | 0x20) == U'd' && wordAt(k)) return true;
  return false;
}

// Whether the CSS of a style attribute could name a property whose
// declaration declarationEffects reports: all, display, float, position,
// white-space (and white-space-collapse). A name is read as it is written
// unless it holds an escape or a NUL, so a value without those that holds
// none of the names in any letter case does nothing. Most style values
// (margins, colours, list styles) are so passed without being read as CSS,
// which costs far more.
bool mayNameEffectiveProperty(TextView css) {
  constexpr TextView kAll = U"all", kDisplay = U"display", kFloat = U"float", kPosition = U"position",
                     kWhiteSpace = U"white-space";
  for (std::size_t k = 0; k < css.size(); ++k) {
    const char32_t c = css[k];
    if (c == U'\\' || c == U'\0') return true;
    TextView property;
    switch (c | 0x20) {  // a letter in either case
      case U'a': property = kAll; break;
      case U'd': property = kDisplay; break;
      case U'f': property = kFloat; break;
      case U'p': property = kPosition; break;
      case U'w': property = kWhiteSpace; break;
      default: continue;
    }
    if (isCssWord(css.substr(k, property.size()), property)) return true;
  }
  return false;
}

// What the style rules and the element's own attributes could do to it: its
// style attribute, and "hidden", which takes it out of the flow. `read` holds
// the TagStyle bits the rewriting pass learned of the tag.
StyleEffects effectsOfStartTag(TextView tag, const StyleRules& styles, std::uint8_t read) {
  // Without rules only a style or hidden attribute can do anything.
  const bool holdsStyle = (read & PageElements::kHoldsStyle) != 0;
  const bool mayHoldHidden =
      (read & PageElements::kAttributesRead) != 0 ? (read & PageElements::kHoldsHidden) != 0 : holdsIdden(tag);
  if (styles.affectsNothing() && !holdsStyle && !mayHoldHidden) return {};
  TextView classes, id;
  std::optional<TextView> style;
  bool hidden = false;
  forEachAttribute(tag, [&](const TagAttribute& a) {
    const TextView attribute = a.name(tag);
    if (namesAre(attribute, U"class")) classes = a.value(tag);
    else if (namesAre(attribute, U"id")) id = a.value(tag);
    else if (namesAre(attribute, U"style")) style = a.value(tag);
    else if (namesAre(attribute, U"hidden")) hidden = true;
  });
  StyleEffects effects = styles.affectsNothing() ? StyleEffects{} : styles.effectsOn(elementName(tag), classes, id);
  if (style && mayNameEffectiveProperty(*style)) effects |= declarationEffects(*style);
  if (hidden) effects.inlineDisplay = true;
  return effects;
}

}  // namespace

bool isStandardsDoctype(TextView tag) {
  constexpr TextView kDoctype = U"!DOCTYPE";
  if (!startsWithUpper(tag, kDoctype)) return false;
  TextView rest = tag.substr(kDoctype.size());
  while (!rest.empty() && isHtmlSpace(rest.front())) rest.remove_prefix(1);
  while (!rest.empty() && isHtmlSpace(rest.back())) rest.remove_suffix(1);
  if (equalsUpper(rest, U"HTML")) return true;
  for (std::size_t k = 0; k + 5 <= rest.size(); ++k)
    if (startsWithUpper(rest.substr(k), U"XHTML")) return true;
  return false;
}

PageElements::PageElements(const PageSplit& split, const StyleRules& styles, const std::vector<std::uint8_t>& tagStyles,
                           std::vector<std::uint64_t> nameKeys, const PagePiece* piece,
                           PieceBoundary* boundary)
    : split_(split),
      styles_(styles),
      tagStyles_(tagStyles),
      opener_(static_cast<std::size_t>(split.lastIndex + 1), -1),
      keys_(std::move(nameKeys)),
      bits_(static_cast<std::size_t>(split.lastIndex + 1), 0) {
  if (piece != nullptr) {
    standardsMode_ = piece->standardsMode;
  } else {
    for (int i = 0; i <= split.lastIndex; ++i)
      if (!split.tags[index(i)].empty()) {
        standardsMode_ = isStandardsDoctype(split.tags[index(i)]);
        break;
      }
  }
  readNesting(piece != nullptr && boundary != nullptr ? piece->reportAt : -1, boundary);
}

void PageElements::readNesting(int reportAt, PieceBoundary* boundary) {
  // What is open at and below an element is kept with it, so that closing
  // elements is only cutting the list.
  struct Open {
    std::uint64_t key;  // nameKey, 0 for names it cannot hold
    int at;
    bool bordersScope;
    bool keepingToHere;    // it or an element it stands in may keep its white space
    bool paragraphToHere;  // it or an element it stands in is a p
  };
  std::vector<Open> open;
  open.reserve(kDeepestMatch);
  // Whether a rule could keep the white space of an open element; whether a p is open.
  const auto keeping = [&] { return !open.empty() && open.back().keepingToHere; };
  const auto paragraphOpen = [&] { return !open.empty() && open.back().paragraphToHere; };
  // Without a rule that could keep white space, only a style attribute that
  // names a white-space property can.
  const bool rulesMayKeep = styles_.possibleEffects().keepsWhiteSpace;
  static const std::uint64_t kParagraph = nameKey(U"p"), kTable = nameKey(U"table");
  // The lists are read and written through pointers held here: a byte
  // written to bits_ may alias anything, and would have every list's start
  // read again from memory for the next tag.
  const SlotText* const tags = split_.tags.data();
  const std::uint64_t* const keys = keys_.data();
  const std::uint8_t* const tagStyles = tagStyles_.data();
  int* const opener = opener_.data();
  std::uint8_t* const bits = bits_.data();
  const int last = split_.lastIndex;
  for (int i = 0; i <= last; ++i) {
    // A window on a larger page tells the next one what is open where it begins.
    if (i == reportAt)
      for (const Open& o : open) boundary->openStarts.push_back(o.at);
    const TextView tag = tags[index(i)];
    // Only an element's name has a key: most tags need not be read for it.
    const std::uint64_t key = keys[index(i)];
    if (key == 0 && !isElementTag(tag)) {
      if (keeping()) bits[index(i)] |= kKeepsText;
      continue;
    }
    if (tag[0] == U'/') {
      // Only a name without a key is compared by its characters.
      const TextView name = key == 0 ? tagName(tag).in(tag) : TextView();
      std::size_t k = open.size();
      const std::size_t lowest = open.size() > kDeepestMatch ? open.size() - kDeepestMatch : 0;
      const auto closes = [&](const Open& o) {
        if (o.key != key) return false;
        const TextView opened = tags[index(o.at)];
        return key != 0 || sameName(tagName(opened).in(opened), name);
      };
      // "</p>" ends only a paragraph open within its scope (not one outside
      // a button or a table cell it stands in).
      const auto beyondReach = [&](const Open& o) { return key == kParagraph && o.bordersScope; };
      while (k > lowest && !closes(open[k - 1]) && !beyondReach(open[k - 1])) --k;
      if (k > lowest && !closes(open[k - 1])) k = lowest;
      if (k > lowest) {
        opener[index(i)] = open[k - 1].at;
        open.resize(k - 1);
      } else {
        opener[index(i)] = -1;
      }
    } else {
      opener[index(i)] = i;
      const ElementTraits traits = traitsOfKey(key);
      if (traits.box == ElementBox::Hidden && !traits.isVoid) bits[index(i)] |= kHidesText;
      // A tag that ends a paragraph ends the one open within its scope, so
      // that a later "</p>" is seen to close nothing (a browser makes an
      // empty paragraph of it).
      if (paragraphOpen() && (traits.startClosesParagraph || (key == kTable && standardsMode_))) {
        for (std::size_t k = open.size(); k > 0 && !open[k - 1].bordersScope; --k)
          if (open[k - 1].key == kParagraph) {
            open.resize(k - 1);
            break;
          }
      }
      if (!traits.isVoid && tag.back() != U'/') {
        const std::uint8_t styled = tagStyles[index(i)];
        const bool keeps = (rulesMayKeep || (styled & kStyleNamesSpace) != 0) &&
                           effectsOfStartTag(tag, styles_, styled).keepsWhiteSpace;
        open.push_back({key, i, traits.bordersScope, keeps || keeping(), key == kParagraph || paragraphOpen()});
      }
    }
    if (keeping()) bits[index(i)] |= kKeepsText;
  }
}

bool PageElements::closesNothingButMakesAParagraph(int i) const {
  const TextView tag = split_.tags[index(i)];
  static const std::uint64_t kParagraph = nameKey(U"p");
  return opener_[index(i)] < 0 && tag.size() >= 2 && tag[0] == U'/' && keys_[index(i)] == kParagraph;
}

PageElements::Flow PageElements::readFlow(int i) const {
  const TextView tag = split_.tags[index(i)];
  Flow flow = Flow::None;
  if (!isElementTag(tag)) {
    if (startsWithUpper(tag, U"!DOCTYPE")) flow = Flow::Block;
    else if (!tag.empty() && tag[0] == U'%') flow = Flow::Inline;  // a server block writes text
    else flow = isCommentTag(tag) || (!tag.empty() && tag[0] == U'?') ? Flow::None : Flow::Inline;
  } else if (const int start = opener_[index(i)]; start >= 0) {
    flow = start == i ? flowOfStart(i) : flowOf(start);
  } else if (closesNothingButMakesAParagraph(i)) {
    flow = Flow::Block;
  }
  bits_[index(i)] |= kFlowKnown | (flow == Flow::Inline ? kFlowInline : 0) | (flow == Flow::None ? kFlowNone : 0);
  return flow;
}

PageElements::Flow PageElements::flowOfStart(int start) const {
  const TextView tag = split_.tags[index(start)];
  const ElementBox box = traitsOfKey(keys_[index(start)]).box;
  if (box == ElementBox::Inline) return Flow::Inline;
  if (effectsOfStartTag(tag, styles_, tagStyles_[index(start)]).inlineDisplay)
    return Flow::Inline;
  return box == ElementBox::Block ? Flow::Block : Flow::None;
}

}  // namespace vantiro
