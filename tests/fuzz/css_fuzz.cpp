// The style sheet reader on arbitrary sheets: the tokens cover the sheet in
// order, reading a sheet and its declarations finishes, the same sheet gives
// the same answers, and collapsing white space changes nothing but white
// space and is done in one go.
#include <cstdint>
#include <string_view>

#include "compress/css_space.h"
#include "compress/css_tokens.h"
#include "compress/style_effects.h"
#include "compress/style_rules.h"
#include "platform/code_page.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using vantiro::CssToken;
using vantiro::CssTokenKind;
using vantiro::Text;
using vantiro::TextView;

// The sheet without its white space tokens, which collapsing must keep.
Text withoutWhiteSpace(TextView css) {
  vantiro::CssTokenizer tokens(css);
  Text kept;
  std::size_t covered = 0;
  for (CssToken t = tokens.next(); t.kind != CssTokenKind::End; t = tokens.next()) {
    vantiro::fuzz::require(t.begin == covered && t.end > t.begin && t.end <= css.size(),
                           "tokens cover the sheet in order");
    covered = t.end;
    if (t.kind != CssTokenKind::Whitespace) kept += css.substr(t.begin, t.end - t.begin);
  }
  vantiro::fuzz::require(covered == css.size() && tokens.next().kind == CssTokenKind::End,
                         "tokens end at the end of the sheet");
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text css = vantiro::decodeAnsi(std::string_view(reinterpret_cast<const char*>(data), size));
  const Text kept = withoutWhiteSpace(css);

  vantiro::StyleRules first, second;
  const auto imports = first.add(css);
  vantiro::fuzz::require(second.add(css) == imports, "a sheet gives the same imports");
  const TextView name = TextView(css).substr(0, 8);
  vantiro::fuzz::require(first.effectsOn(name, css, name) == second.effectsOn(name, css, name),
                         "a sheet gives the same answers");
  vantiro::declarationEffects(TextView(css));

  vantiro::SlotText collapsed{TextView(css)};
  vantiro::collapseStyleSheetSpace(collapsed);
  vantiro::fuzz::require(withoutWhiteSpace(collapsed) == kept, "collapsing changes only white space");
  vantiro::SlotText again = collapsed;
  vantiro::collapseStyleSheetSpace(again);
  vantiro::fuzz::require(again.view() == collapsed.view(), "collapsing twice changes nothing more");
  return 0;
}
