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
  // A broken string and a lone backslash are ended by the line break that
  // follows them; there the run keeps that line break instead of a space.
  bool needsLineBreak = false;
  for (CssToken t = tokens.next(); t.kind != CssTokenKind::End; t = tokens.next()) {
    const char32_t* from = css.data() + t.begin;
    std::size_t length = t.end - t.begin;
    if (t.kind == CssTokenKind::Whitespace && needsLineBreak) {
      length = (from[0] == U'\r' && length > 1 && from[1] == U'\n') ? 2 : 1;
    } else if (t.kind == CssTokenKind::Whitespace) {
      from = U" ";
      length = 1;
    }
    if (out != from) std::copy_n(from, length, out);
    out += length;
    needsLineBreak = t.kind == CssTokenKind::BadString || (t.kind == CssTokenKind::Delim && t.value == U"\\");
  }
  css.resize(static_cast<std::size_t>(out - css.data()));
}

}  // namespace vantiro
