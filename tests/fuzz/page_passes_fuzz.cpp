// The three page passes on arbitrary bytes, at either level: they finish, raise only page
// errors, give the same page for the same input, treat an LF page as its
// CR LF twin, and the page round-trips
// through the code page. (A result need not decode back to the same text:
// removing a space can put a stray lead byte of a broken page next to a byte
// it then pairs with, just as in the page's own bytes.)
#include "compress/paragraphs.h"
#include "compress/rewrite.h"
#include "compress/tag_scanner.h"
#include "common/page_error.h"
#include "platform/code_page.h"
#include "tests/compress/line_break_twins.h"
#include "tests/compress/written_text.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>
#include <optional>

namespace {

using vantiro::Text;

std::optional<Text> compressInMemory(const Text& page, bool scripts, bool paragraphs, vantiro::CompressionLevel level) {
  try {
    vantiro::PageSplit split = vantiro::scanPage(page);
    vantiro::NoProgress progress;
    static const vantiro::StyleRules kNoRules;
    vantiro::rewritePage(split, scripts, kNoRules, progress, level);
    if (paragraphs) vantiro::convertParagraphs(split);
    return vantiro::test::writtenText(split);
  } catch (const vantiro::PageError&) {
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool scripts = data[0] & 1, paragraphs = data[0] & 2;
  const auto level = (data[0] & 4) != 0 ? vantiro::CompressionLevel::Further : vantiro::CompressionLevel::Standard;
  std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const Text page = vantiro::decodeAnsi(bytes);
  vantiro::fuzz::require(vantiro::encodeAnsi(page) == bytes, "every byte of a page round-trips");
  auto first = compressInMemory(page, scripts, paragraphs, level);
  auto second = compressInMemory(page, scripts, paragraphs, level);
  vantiro::fuzz::require(first == second, "the same page compresses the same way");
  if (page.find(U"\r\n") == vantiro::npos) {
    auto twin = compressInMemory(vantiro::test::asCrLf(page), scripts, paragraphs, level);
    if (twin) twin = vantiro::test::asLf(*twin);
    vantiro::fuzz::require(first == twin, "an LF page compresses as its CR LF twin");
  }
  return 0;
}
