// compressScript on any script: it only ever drops spaces, compressing its
// result again changes nothing, and an LF page compresses as its CR LF twin.
#include "compress/script_compression.h"
#include "compress/text_routines.h"
#include "platform/code_page.h"
#include "tests/compress/line_break_twins.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdint>

namespace {

using vantiro::Text;

Text compressed(const Text& script, vantiro::LineBreak lineBreak) {
  vantiro::SlotText s{vantiro::TextView(script)};
  vantiro::compressScript(s, lineBreak);
  return Text(s.view());
}

Text withoutSpaces(Text text) {
  text.erase(std::remove(text.begin(), text.end(), U' '), text.end());
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text script = vantiro::decodeAnsi(std::string_view(reinterpret_cast<const char*>(data), size));
  const vantiro::LineBreak lineBreak = vantiro::lineBreakOf(script);
  const Text once = compressed(script, lineBreak);
  vantiro::fuzz::require(withoutSpaces(once) == withoutSpaces(script), "only spaces are dropped");
  vantiro::fuzz::require(compressed(once, lineBreak) == once, "a compressed script stays as it is");
  if (lineBreak == vantiro::LineBreak::Lf) {
    const Text twin = compressed(vantiro::test::asCrLf(script), vantiro::LineBreak::CrLf);
    vantiro::fuzz::require(vantiro::test::asLf(twin) == once, "an LF script compresses as its CR LF twin");
  }
  return 0;
}
