#include "compress/style_effects.h"

#include <algorithm>
#include <initializer_list>

#include "compress/css_items.h"

namespace vantiro {
namespace {

bool isOneOf(TextView text, std::initializer_list<TextView> words) {
  return std::any_of(words.begin(), words.end(), [&](TextView w) { return isCssWord(text, w); });
}

// A value leaves the white space alone only when every token of it is one of
// `harmless`: a keyword not in the list, a function, a number, anything
// else may be one that changes it.
bool onlyHarmless(std::span<const CssToken> value, std::initializer_list<TextView> harmless) {
  for (std::size_t k = 0; k < value.size(); ++k) {
    const CssToken& t = value[k];
    if (t.kind == CssTokenKind::Whitespace) continue;
    if (t.kind == CssTokenKind::Delim && t.value == U"!") {
      std::size_t next = k + 1;
      while (next < value.size() && value[next].kind == CssTokenKind::Whitespace) ++next;
      if (next < value.size() && value[next].kind == CssTokenKind::Ident &&
          isCssWord(value[next].value, U"important")) {
        k = next;
        continue;
      }
      return false;
    }
    if (t.kind != CssTokenKind::Ident || !isOneOf(t.value, harmless)) return false;
  }
  return true;
}

// Displays that keep the element a block-level box in the flow, beside which
// the white space is dropped as it is beside a block element. Table parts
// count as such: white space between them is not shown.
bool keepsBlockDisplay(std::span<const CssToken> value) {
  return onlyHarmless(value, {U"block",
                              U"flow",
                              U"flow-root",
                              U"flex",
                              U"grid",
                              U"table",
                              U"list-item",
                              U"table-row-group",
                              U"table-header-group",
                              U"table-footer-group",
                              U"table-row",
                              U"table-cell",
                              U"table-column-group",
                              U"table-column",
                              U"table-caption",
                              U"-webkit-box",
                              U"-webkit-flex",
                              U"-moz-box",
                              U"-ms-flexbox",
                              U"-ms-grid"});
}

}  // namespace

StyleEffects declarationEffects(std::span<const CssToken> declaration) {
  if (declaration.empty() || declaration[0].kind != CssTokenKind::Ident) return {};
  std::size_t colon = 1;
  while (colon < declaration.size() && declaration[colon].kind == CssTokenKind::Whitespace) ++colon;
  if (colon == declaration.size() || declaration[colon].kind != CssTokenKind::Colon) return {};
  const TextView property = declaration[0].value;
  const std::span<const CssToken> value = declaration.subspan(colon + 1);
  StyleEffects effects;
  if (isCssWord(property, U"all")) {
    effects.inlineDisplay = effects.keepsWhiteSpace = true;
  } else if (isCssWord(property, U"display")) {
    effects.inlineDisplay = !keepsBlockDisplay(value);
  } else if (isCssWord(property, U"float")) {
    effects.inlineDisplay = !onlyHarmless(value, {U"none"});
  } else if (isCssWord(property, U"position")) {
    effects.inlineDisplay = !onlyHarmless(value, {U"static", U"relative", U"sticky", U"-webkit-sticky"});
  } else if (isCssWord(property, U"white-space")) {
    effects.keepsWhiteSpace =
        !onlyHarmless(value, {U"normal", U"nowrap", U"collapse", U"wrap", U"balance", U"pretty", U"stable"});
  } else if (isCssWord(property, U"white-space-collapse")) {
    effects.keepsWhiteSpace = !onlyHarmless(value, {U"collapse"});
  }
  return effects;
}

StyleEffects declarationEffects(TextView declarations) {
  CssItemReader reader(declarations);
  StyleEffects effects;
  for (;;) {
    const CssItemEnd end = reader.read(CssContext::StyleBlock);
    if (end == CssItemEnd::OpenCurly) {
      reader.skipBlock();  // a rule inside a style attribute is not applied
      continue;
    }
    effects |= declarationEffects(reader.tokens());
    if (end == CssItemEnd::End) return effects;
  }
}

}  // namespace vantiro
