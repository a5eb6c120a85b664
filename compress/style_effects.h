#pragma once
// What CSS declarations could do to the white space of the element they
// style. The passes drop white space beside block elements and collapse it
// inside them; a declaration that could make either show gets reported, and
// anything the program cannot judge counts as doing so.

#include <span>

#include "compress/css_tokens.h"
#include "platform/text.h"

namespace vantiro {

struct StyleEffects {
  // White space beside the element may show: a display that is not a plain
  // block-level one (inline-*, contents, none, ruby, ...), a float, an
  // absolute or fixed position, or a value that cannot be judged.
  bool inlineDisplay = false;
  // White space inside the element may show as written: white-space other
  // than a collapsing value, white-space-collapse other than collapse.
  bool keepsWhiteSpace = false;

  bool any() const { return inlineDisplay || keepsWhiteSpace; }
  StyleEffects& operator|=(StyleEffects other) {
    inlineDisplay = inlineDisplay || other.inlineDisplay;
    keepsWhiteSpace = keepsWhiteSpace || other.keepsWhiteSpace;
    return *this;
  }
  friend bool operator==(StyleEffects, StyleEffects) = default;
};

// What a declaration list (the value of a style attribute) does to its
// element. Property names and keywords are read in any letter case;
// "!important" changes nothing; a declaration of "all" counts for both.
// Values that depend on something else (var(), env(), attr(), inherit,
// initial, unset, revert, revert-layer or any other function) count.
StyleEffects declarationEffects(TextView declarations);

// The same for one declaration: its tokens from the property name on,
// without comments, up to but not including the ";". Tokens that do not make
// a declaration do nothing.
StyleEffects declarationEffects(std::span<const CssToken> declaration);

}  // namespace vantiro
