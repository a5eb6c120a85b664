#include "bench/bench_pages.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "compress/paragraphs.h"
#include "compress/rewrite.h"
#include "compress/tag_scanner.h"
#include "platform/page_encoding.h"

namespace vantiro::bench {
namespace {

std::string repeatTo(const std::string& head, const std::string& unit, const std::string& tail, std::size_t size) {
  std::string page = head;
  page.reserve(size + unit.size() + tail.size());
  do page += unit;
  while (page.size() + tail.size() < size);
  page += tail;
  return page;
}

std::string repeat(const std::string& s, std::size_t times) {
  std::string out;
  out.reserve(s.size() * times);
  for (std::size_t k = 0; k < times; ++k) out += s;
  return out;
}

const std::string kHead =
    "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n"
    "<title>\xD0\xC2\xCE\xC5\xD6\xD0\xD0\xC4</title>\r\n"
    "<script language=\"JavaScript\">\r\n<!--\r\n  function MM_swapImage() {\r\n    var i, j = 0;\r\n"
    "    for (i = 0; i < 10; i++) { j += i; }\r\n  }\r\n//-->\r\n</script>\r\n</head>\r\n"
    "<body bgcolor=\"#FFFFFF\" leftmargin=\"0\" topmargin=\"0\">\r\n";
const std::string kTail = "</body>\r\n</html>\r\n";

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The corpus's GBK pages joined until `size` bytes.
std::string corpusPage(const std::string& dir, std::size_t size) {
  std::vector<std::filesystem::path> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path());
  std::sort(names.begin(), names.end());
  std::string page;
  for (const auto& name : names) {
    if (page.size() >= size) break;
    page += readFile(name);
  }
  return page;
}

}  // namespace

std::string ordinaryPage(std::size_t size) {
  // One row of a news list, varied a little from row to row.
  std::string rows;
  for (int k = 0; k < 40; ++k) {
    const std::string n = std::to_string(k);
    rows +=
        "  <tr>\r\n    <td width=\"20\" height=\"24\" align=\"center\"><img src=\"images/dot.gif\" width=\"5\" "
        "height=\"5\"></td>\r\n    <td class=\"news\"><a href=\"news/2003/" +
        n + ".htm\" target=\"_blank\">\xB1\xBE\xCA\xD0\xBD\xF1\xC4\xEA\xB5\xDA" + n +
        "\xBC\xBE\xB6\xC8\xBE\xAD\xBC\xC3\xD4\xCB\xD0\xD0\xC7\xE9\xBF\xF6\xB7\xD6\xCE\xF6</a>&nbsp;&nbsp;&nbsp;"
        "<font color=\"#999999\" size=\"2\">(2003-0" +
        std::to_string(k % 9 + 1) + "-1" + std::to_string(k % 10) + ")</font></td>\r\n  </tr>\r\n";
    if (k % 8 == 7)
      rows +=
          "  <tr>\r\n    <td colspan=\"2\">\r\n      <p>&nbsp;&nbsp;&nbsp;&nbsp;\xCE\xAA\xC1\xCB\xBD\xF8\xD2\xBB"
          "\xB2\xBD\xBC\xD3\xC7\xBF\xB9\xDC\xC0\xED,\r\n      \xCC\xE1\xB8\xDF\xB7\xFE\xCE\xF1\xD6\xCA\xC1\xBF"
          "\xA3\xAC\xCF\xD6\xBD\xAB\xD3\xD0\xB9\xD8\xCA\xC2\xCF\xEE\xCD\xA8\xD6\xAA\xC8\xE7\xCF\xC2\xA3\xBA<br>\r\n"
          "      &nbsp;&nbsp;&nbsp;&nbsp;\xD2\xBB\xA1\xA2\xCB\xF9\xD3\xD0\xB2\xBF\xC3\xC5  \xD3\xA6\xB5\xB1 "
          "\xB0\xB4\xCA\xB1\xCC\xEE\xB1\xA8.</p>\r\n    </td>\r\n  </tr>\r\n";
  }
  const std::string table =
      "<!-- news list -->\r\n<table width=\"760\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" "
      "style=\"margin: 0 auto; font-size: 12px\">\r\n" +
      rows + "</table>\r\n<br>\r\n";
  return repeatTo(kHead, table, kTail, size);
}

std::string nbspRunPage(std::size_t size) {
  return repeatTo(kHead, "<p>" + repeat("&nbsp;", 1000000) + "</p>\r\n", kTail, size);
}

std::string doubleSpacePage(std::size_t size) {
  return repeatTo(kHead, "<p>" + repeat("a  ", 1000000) + "</p>\r\n", kTail, size);
}

std::string nestedTagStartPage(std::size_t size) {
  return repeatTo(kHead, "<a title=" + repeat("<b", 100000) + repeat(">", 100001) + "x\r\n", kTail, size);
}

std::string strayLessThanPage(std::size_t size) {
  return repeatTo(kHead, "<a title=" + repeat("<", 100000) + ">x\r\n", kTail, size);
}

std::string emptyPairPage(std::size_t size) {
  return repeatTo(kHead, "<p>" + repeat("<>", 100000) + "\r\n", kTail, size);
}

std::vector<PageShape> allShapes(const std::string& corpusDir) {
  constexpr std::size_t kMB = 1000000;
  std::vector<PageShape> shapes = {
      {"ordinary/1MB", ordinaryPage(kMB)},
      {"ordinary/10MB", ordinaryPage(10 * kMB)},
      {"nbsp-run/10MB", nbspRunPage(10 * kMB)},
      {"double-space/10MB", doubleSpacePage(10 * kMB)},
      {"nested-tag-start/10MB", nestedTagStartPage(10 * kMB)},
      {"stray-less-than/10MB", strayLessThanPage(10 * kMB)},
      {"empty-pair/10MB", emptyPairPage(10 * kMB)},
  };
  std::error_code ec;
  const std::string zh = corpusDir + "/corpus-zh-gbk";
  if (std::filesystem::is_directory(zh, ec)) {
    shapes.push_back({"corpus-zh-gbk/1MB", corpusPage(zh, kMB)});
    shapes.push_back({"corpus-zh-gbk/10MB", corpusPage(zh, 10 * kMB)});
  }
  const std::string big = corpusDir + "/big.html";
  if (std::filesystem::is_regular_file(big, ec)) shapes.push_back({"big.html/10MB", readFile(big)});
  return shapes;
}

std::size_t runPasses(const std::string& bytes, bool check2, bool check6) {
  PageSplit split = scanPage(PageChars::decode(bytes, *detectPageEncoding(bytes).codePage));
  NoProgress progress;
  rewritePage(split, check2, progress);
  if (check6) convertParagraphs(split);
  std::size_t tags = 0;
  for (int i = 0; i <= split.lastIndex; ++i) tags += split.tags[static_cast<std::size_t>(i)].empty() ? 0 : 1;
  return tags;
}

}  // namespace vantiro::bench
