#pragma once
// Pages for measuring the compressor's passes: an ordinary page made of
// real-looking HTML, pages read from the shared benchmark corpus, and the
// pathological shapes a naive pass would spend quadratic time on.

#include <string>
#include <vector>

#include "platform/text.h"

namespace vantiro::bench {

struct PageShape {
  std::string name;
  std::string bytes;  // in the ANSI code page
};

// An ordinary GBK page of about `size` bytes: table layout, attributes in
// quotes, indented lines ending in CR LF, Chinese text, "&nbsp;" runs, scripts.
std::string ordinaryPage(std::size_t size);

// Pathological pages of about `size` bytes, each one shape repeated.
std::string nbspRunPage(std::size_t size);         // 10^6 "&nbsp;" in a row per paragraph
std::string doubleSpacePage(std::size_t size);     // 10^6 runs of two spaces per paragraph
std::string nestedTagStartPage(std::size_t size);  // 10^5 tag starts nested in one tag
std::string strayLessThanPage(std::size_t size);   // 10^5 "<" (no tag start) inside one tag
std::string emptyPairPage(std::size_t size);       // runs of 10^5 "<>"

// Every shape the benchmark reports, at 1 MB and 10 MB; pages of the corpus
// under `corpusDir` (made by the shared make-corpus.sh) when it exists.
std::vector<PageShape> allShapes(const std::string& corpusDir);

// What the page compressor does with a page before writing it: decode, scan, rewrite, convert paragraphs. Returns the number of
// non-empty tags, so that nothing is optimised away.
std::size_t runPasses(const std::string& bytes, bool check2, bool check6);

}  // namespace vantiro::bench
