#include "compress/page_elements.h"

#include <optional>

#include "compress/element_names.h"
#include "compress/tag_attributes.h"
#include "compress/text_routines.h"

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

// "<!DOCTYPE html>" and the XHTML doctypes; the older HTML ones may put a
// browser in quirks mode, where a table may stand inside a paragraph.
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

bool isComment(TextView tag) { return tag.size() >= 3 && tag[0] == U'!' && tag[1] == U'-' && tag[2] == U'-'; }

// What the style rules and the element's own attributes could do to it: its
// style attribute, and "hidden", which takes it out of the flow.
StyleEffects effectsOfStartTag(TextView tag, TextView name, const StyleRules& styles) {
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
  StyleEffects effects = styles.affectsNothing() ? StyleEffects{} : styles.effectsOn(name, classes, id);
  if (style) effects |= declarationEffects(*style);
  if (hidden) effects.inlineDisplay = true;
  return effects;
}

// Whether the start tag may hold a style attribute, so that a page without
// style rules reads the attributes only of such tags.
bool mayHoldStyle(TextView tag) {
  for (std::size_t k = findChar(tag, U'='); k != npos; k = findChar(tag, U'=', k + 1)) {
    std::size_t e = k;
    while (e > 0 && isHtmlSpace(tag[e - 1])) --e;
    if (e >= 5 && equalsUpper(tag.substr(e - 5, 5), U"STYLE")) return true;
  }
  return false;
}

}  // namespace

PageElements::PageElements(const PageSplit& split, const StyleRules& styles)
    : split_(split),
      styles_(styles),
      opener_(static_cast<std::size_t>(split.lastIndex + 1), -1),
      bits_(static_cast<std::size_t>(split.lastIndex + 1), 0) {
  struct Open {
    TextView name;
    int at;
    bool keeps;
  };
  std::vector<Open> open;
  int keeping = 0;  // open elements whose white space a rule could keep
  const bool rulesMayKeep = styles.possibleEffects().keepsWhiteSpace;
  bool seenATag = false;
  for (int i = 0; i <= split.lastIndex; ++i) {
    const TextView tag = split.tags[index(i)];
    if (tag.empty()) continue;
    if (!seenATag) standardsMode_ = isStandardsDoctype(tag);
    seenATag = true;
    opener_[index(i)] = i;
    const TextView name = elementName(tag);
    if (name.empty()) {
      if (keeping > 0) bits_[index(i)] |= kKeepsText;
      continue;
    }
    if (tag[0] == U'/') {
      std::size_t k = open.size();
      const std::size_t lowest = open.size() > kDeepestMatch ? open.size() - kDeepestMatch : 0;
      while (k > lowest && !sameName(open[k - 1].name, name)) --k;
      if (k > lowest) {
        opener_[index(i)] = open[k - 1].at;
        for (std::size_t j = k - 1; j < open.size(); ++j) keeping -= open[j].keeps ? 1 : 0;
        open.resize(k - 1);
      } else {
        opener_[index(i)] = -1;
      }
    } else {
      const ElementTraits traits = traitsOf(name);
      if (traits.box == ElementBox::Hidden && !traits.isVoid) bits_[index(i)] |= kHidesText;
      if (!traits.isVoid && tag.back() != U'/') {
        const bool keeps = (rulesMayKeep || mayHoldStyle(tag)) &&
                           effectsOfStartTag(tag, name, styles).keepsWhiteSpace;
        open.push_back({name, i, keeps});
        keeping += keeps ? 1 : 0;
      }
    }
    if (keeping > 0) bits_[index(i)] |= kKeepsText;
  }
}

PageElements::Flow PageElements::flowOf(int i) const {
  std::uint8_t& bits = bits_[index(i)];
  if ((bits & kFlowKnown) == 0) {
    const TextView tag = split_.tags[index(i)];
    Flow flow = Flow::None;
    if (elementName(tag).empty()) {
      if (startsWithUpper(tag, U"!DOCTYPE")) flow = Flow::Block;
      else if (!tag.empty() && tag[0] == U'%') flow = Flow::Inline;  // a server block writes text
      else flow = isComment(tag) || (!tag.empty() && tag[0] == U'?') ? Flow::None : Flow::Inline;
    } else if (const int start = opener_[index(i)]; start >= 0) {
      flow = start == i ? flowOfStart(i) : flowOf(start);
    }
    bits |= kFlowKnown | (flow == Flow::Inline ? kFlowInline : 0) | (flow == Flow::None ? kFlowNone : 0);
  }
  if (bits & kFlowInline) return Flow::Inline;
  return (bits & kFlowNone) ? Flow::None : Flow::Block;
}

PageElements::Flow PageElements::flowOfStart(int start) const {
  const TextView tag = split_.tags[index(start)];
  const TextView name = elementName(tag);
  const ElementBox box = traitsOf(name).box;
  if (box == ElementBox::Inline) return Flow::Inline;
  if (effectsOfStartTag(tag, name, styles_).inlineDisplay) return Flow::Inline;
  return box == ElementBox::Block ? Flow::Block : Flow::None;
}

}  // namespace vantiro
