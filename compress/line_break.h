#pragma once
// A page's own line break. A page that holds a CR LF anywhere breaks its lines
// with CR LF, and a lone CR or LF in it is an ordinary character; a page that
// holds none (as pages made on Linux) breaks them with LF. Every pass that
// cuts, joins, trims or adds line breaks uses the page's line break, so an LF
// page compresses to what its CR LF twin does, with LF for CR LF, and never
// gains a CR.

#include "platform/text.h"

namespace vantiro {

enum class LineBreak { CrLf, Lf };

// The lengths are given: a literal's would be measured at run time.
constexpr TextView lineBreakText(LineBreak b) {
  return b == LineBreak::CrLf ? TextView(U"\r\n", 2) : TextView(U"\n", 1);
}

}  // namespace vantiro
