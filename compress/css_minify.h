#pragma once
// Takes out of CSS the white space and comments a browser reads the same
// sheet without, by the tokens it reads the sheet as.

#include "compress/slot_text.h"
#include "platform/text.h"

namespace vantiro {

// Rewrites the text of a <style> element in place. White space goes at the
// sheet's ends, beside "{", "}", ";" and ",", after "(" and before ")", around
// ":" and "!" in a declaration and around the combinators ">", "+" and "~" of
// a selector; elsewhere (between the parts of a selector or a value) a run is
// one space. A ";" right before "}" goes. Comments go, but for "/**/" where
// the tokens on both sides would otherwise run together. Strings, url(),
// escapes and the values of custom properties (--name: ...) keep every
// character; a run that ends a broken string or follows a lone backslash
// keeps its line break, which is what ends them.
void minifyStyleSheet(SlotText& css);

// The same for a declaration list: the value of a style attribute.
void minifyDeclarations(Text& declarations);

}  // namespace vantiro
