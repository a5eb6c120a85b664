#include "compress/css_space.h"

#include <algorithm>

#include "compress/css_tokens.h"

namespace vantiro {
namespace {

// Whether some white space would change: a tab or line break, or two spaces
// in a row. Most sheets of a compressed page already pass, without a token read.
bool hasSpaceToCollapse(TextView css) {
  for (std::size_t k = 0; k < css.size(); ++k) {
    const char32_t c = css[k];
    if (c == U'\t' || c == U'\n' || c == U'\r' || c == U'\f') return true;
    if (c == U' ' && k + 1 < css.size() && css[k + 1] == U' ') return true;
  }
  return false;
}

}  // namespace

void collapseStyleSheetSpace(SlotText& css) {
  if (!hasSpaceToCollapse(css.view())) return;
  // The text only shrinks, and a token is read before anything is written
  // over it, so the sheet is rewritten where it lies.
  CssTokenizer tokens(css.view());
  char32_t* out = css.data();
  for (CssToken t = tokens.next(); t.kind != CssTokenKind::End; t = tokens.next()) {
    if (t.kind == CssTokenKind::Whitespace) {
      *out++ = U' ';
    } else if (out == css.data() + t.begin) {
      out += t.end - t.begin;  // nothing has moved yet
    } else {
      out = std::copy(css.data() + t.begin, css.data() + t.end, out);
    }
  }
  css.resize(static_cast<std::size_t>(out - css.data()));
}

}  // namespace vantiro
