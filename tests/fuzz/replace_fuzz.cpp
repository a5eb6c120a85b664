// The search-and-replace piece scanner and `replaceInText` on any page: the
// pieces give the page back, and `replaceInText` equals the step-by-step
// replacement.
#include "common/page_error.h"
#include "platform/code_page.h"
#include "replace/piece_scanner.h"
#include "replace/search_replace.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>

namespace {

using vantiro::Text;
using vantiro::TextView;

// Replaces as the program always has: search, count, test, insert, move on
// one character past the inserted text. Quadratic, for short texts only.
void stepByStep(Text& text, TextView find, TextView repl, int flags, long long& count) {
  if (find.empty()) return;
  const bool matchCase = flags & vantiro::kMatchCase, wholeWord = flags & vantiro::kMatchWholeWord;
  const Text needle = matchCase ? Text(find) : vantiro::upperAscii(find);
  std::size_t from = 0;
  for (;;) {
    const Text hay = matchCase ? text : vantiro::upperAscii(text);
    std::size_t p = hay.find(needle, from);
    if (p == Text::npos) return;
    ++count;
    bool rejected = wholeWord && ((p > 0 && vantiro::isWordCharacter(text[p - 1])) ||
                                  (p + find.size() < text.size() && vantiro::isWordCharacter(text[p + find.size()])));
    if (!rejected) text = text.substr(0, p) + Text(repl) + text.substr(p + find.size());
    from = p + repl.size() + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const int flags = data[0] & 3;
  const std::size_t findLen = data[1] % 5, replLen = data[2] % 5;
  if (size < 3 + findLen + replLen) return 0;
  auto at = [&](std::size_t from, std::size_t n) {
    return vantiro::decodeAnsi(std::string_view(reinterpret_cast<const char*>(data + from), n));
  };
  const Text find = at(3, findLen), repl = at(3 + findLen, replLen);
  const Text page = at(3 + findLen + replLen, size - 3 - findLen - replLen);

  for (auto variant : {vantiro::ScanVariant::General, vantiro::ScanVariant::Specific}) {
    try {
      auto pieces = vantiro::cutPieces(page, variant);
      // Tags are trimmed of spaces; everything else comes back as it was.
      if (variant == vantiro::ScanVariant::General && page.find(U"< ") == Text::npos &&
          page.find(U" >") == Text::npos)
        vantiro::fuzz::require(vantiro::joinPieces(pieces) == page, "the pieces give the page back");
    } catch (const vantiro::PageError&) {
    }
  }
  if (page.size() <= 4096) {
    Text fast = page, slow = page;
    long long slowCount = 0;
    const long long fastCount = vantiro::replaceInText(fast, find, repl, flags).count;
    stepByStep(slow, find, repl, flags, slowCount);
    vantiro::fuzz::require(fast == slow && fastCount == slowCount, "replaceInText replaces step by step");
  }
  return 0;
}
