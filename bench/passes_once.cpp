// One page through the passes once, to measure peak memory:
//   /usr/bin/time -v vantiro-passes-once SHAPE [SIZE_BYTES]
//   /usr/bin/time -v vantiro-passes-once --file PAGE
// SHAPE: ordinary, nbsp-run, double-space, nested-tag-start, stray-less-than, empty-pair.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "bench/bench_pages.h"
#include "compress/paragraphs.h"
#include "compress/rewrite.h"
#include "compress/tag_scanner.h"
#include "platform/memory.h"
#include "platform/page_encoding.h"

int main(int argc, char** argv) {
  using namespace vantiro::bench;
  vantiro::keepFreedMemoryForReuse();  // as the program runs
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SHAPE [SIZE] | --file PAGE\n", argv[0]);
    return 2;
  }
  const std::string shape = argv[1];
  std::string bytes;
  if (shape == "--file" && argc > 2) {
    std::ifstream in(argv[2], std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } else {
    const std::size_t size = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 10000000;
    if (shape == "ordinary")
      bytes = ordinaryPage(size);
    else if (shape == "nbsp-run")
      bytes = nbspRunPage(size);
    else if (shape == "double-space")
      bytes = doubleSpacePage(size);
    else if (shape == "nested-tag-start")
      bytes = nestedTagStartPage(size);
    else if (shape == "stray-less-than")
      bytes = strayLessThanPage(size);
    else if (shape == "empty-pair")
      bytes = emptyPairPage(size);
    else {
      std::fprintf(stderr, "unknown shape %s\n", shape.c_str());
      return 2;
    }
  }
  // As the page compressor holds them: the bytes to the end (for the backup),
  // the page text in the split.
  const std::size_t size = bytes.size();
  vantiro::PageSplit split = vantiro::scanPage(vantiro::PageChars::decode(bytes, *vantiro::detectPageEncoding(bytes).codePage));
  const std::size_t characters = split.page.size();
  vantiro::NoProgress progress;
  vantiro::rewritePage(split, true, progress);
  vantiro::convertParagraphs(split);
  std::printf("%zu bytes, %zu characters, %d tags\n", size, characters, split.lastIndex + 1);
  return 0;
}
