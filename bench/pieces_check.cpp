// Compares, page by page, compressing a page in windows with compressing it
// whole: the results must be the same bytes. Small windows and margins make
// every page of a corpus one of many windows, as only very large pages are.
//
//   vantiro-pieces-check [--window BYTES] [--margin TAGS] [--scripts] [--readable] [--level 2] [--paragraphs]
//                        PAGE|DIRECTORY...
//
// Prints a line for every page that differs or cannot be cut, and the counts.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "compress/page_compressor.h"
#include "compress/page_pieces.h"
#include "platform/page_encoding.h"

namespace {

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  vantiro::PieceSizes sizes{.windowBytes = 4096, .marginTags = 128};
  vantiro::CompressionOptions options;
  std::vector<std::filesystem::path> pages;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--window" && k + 1 < argc) sizes.windowBytes = std::strtoull(argv[++k], nullptr, 10);
    else if (arg == "--margin" && k + 1 < argc) sizes.marginTags = std::atoi(argv[++k]);
    else if (arg == "--scripts") options.compressScripts = true;
    else if (arg == "--readable") options.breakLinesAfterTags = true;
    else if (arg == "--level" && k + 1 < argc && std::string(argv[++k]) == "2")
      options.level = vantiro::CompressionLevel::Further;
    else if (arg == "--paragraphs") options.preformatParagraphs = true;
    else if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(arg))
        if (entry.is_regular_file()) pages.push_back(entry.path());
    } else {
      pages.emplace_back(arg);
    }
  }
  int same = 0, differ = 0, whole = 0, failed = 0;
  for (const auto& path : pages) {
    const std::string bytes = readAll(path);
    const vantiro::PreparedPage reference = vantiro::preparePageBytes(bytes, options, nullptr, path.string());
    const vantiro::PageEncoding encoding = vantiro::detectPageEncoding(bytes);
    vantiro::NoProgress progress;
    std::optional<vantiro::PiecewiseResult> pieces;
    bool threw = false;
    try {
      if (encoding.codePage != nullptr)
        pieces = vantiro::compressInPieces(bytes, *encoding.codePage, options, path.string(), progress, sizes);
    } catch (const std::exception&) {
      threw = true;
    }
    if (threw || reference.error) {
      if (threw && reference.error) ++same;
      else { ++failed; std::printf("FAILS %s (%s)\n", path.c_str(), threw ? "in windows" : "whole"); }
      continue;
    }
    if (!pieces) {
      ++whole;
      std::printf("WHOLE %s\n", path.c_str());
      continue;
    }
    const bool equal = pieces->notPage == reference.notPage && pieces->check4Failed == reference.check4Failed &&
                       (reference.notPage || reference.check4Failed || (pieces->notHtml == reference.notHtml && pieces->result == reference.result));
    if (equal) {
      ++same;
    } else {
      ++differ;
      std::printf("DIFF  %s\n", path.c_str());
    }
  }
  std::printf("%d same, %d differ, %d compressed whole, %d failed one way only\n", same, differ, whole, failed);
  return differ == 0 && failed == 0 ? 0 : 1;
}
