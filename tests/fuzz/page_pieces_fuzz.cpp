// A page compressed a window at a time against the same page compressed
// whole: the same result, the same refusals, wherever the windows end. The
// input is repeated until windows that hold their margins cut it several times.
#include "compress/page_compressor.h"
#include "compress/page_kind.h"
#include "compress/page_pieces.h"
#include "platform/page_encoding.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>
#include <optional>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  vantiro::CompressionOptions options;
  options.compressScripts = (data[0] & 1) != 0;
  options.breakLinesAfterTags = (data[0] & 2) != 0;
  options.requireHtml = (data[0] & 4) != 0;
  if ((data[0] & 8) != 0) options.level = vantiro::CompressionLevel::Further;
  options.preformatParagraphs = (data[0] & 16) != 0;
  const std::size_t windowBytes = 1 + data[1] * 16u;
  const std::string input(reinterpret_cast<const char*>(data + 2), size - 2);
  if (input.empty() || vantiro::holdsBinaryBytes(input)) return 0;
  std::string page;
  for (int k = 0; k < 40 && page.size() < 16384; ++k) page += input;

  const vantiro::PreparedPage whole = vantiro::preparePageBytes(page, options, nullptr, "");
  const vantiro::PageEncoding encoding = vantiro::detectPageEncoding(page);
  if (encoding.codePage == nullptr) return 0;
  vantiro::NoProgress progress;
  std::optional<vantiro::PiecewiseResult> pieces;
  try {
    pieces = vantiro::compressInPieces(page, *encoding.codePage, options, "", progress,
                                       {.windowBytes = windowBytes, .marginTags = 0});
  } catch (const std::exception&) {
    vantiro::fuzz::require(whole.error != nullptr, "windows refuse only what the whole page refuses");
    return 0;
  }
  if (!pieces) return 0;  // compressed whole
  vantiro::fuzz::require(pieces->notPage == whole.notPage, "windows tell a page as the whole page does");
  if (whole.notPage) return 0;
  vantiro::fuzz::require(pieces->check4Failed == whole.check4Failed, "windows find the html tag as the whole page does");
  if (whole.check4Failed) return 0;
  vantiro::fuzz::require(whole.error == nullptr, "windows refuse what the whole page refuses");
  vantiro::fuzz::require(pieces->notHtml == whole.notHtml, "windows find the html tag in any case as the whole page does");
  vantiro::fuzz::require(pieces->result == whole.result, "windows give the whole page's result");
  return 0;
}
