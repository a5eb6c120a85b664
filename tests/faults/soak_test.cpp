// Soak test of whole runs: generated pages of every kind the program meets
// (empty and binary files, 5 MB pages, GBK, UTF-8 with a byte order mark,
// invalid bytes, scripts, server blocks, CR LF, runs of "&nbsp;", tags with
// attributes, pages without an html tag) are compressed through the run
// driver with assorted switches, then the whole backup store is restored as
// "全部还原" does. Every file must come back byte for byte.
//
// VANTIRO_SOAK_PAGES sets the number of pages (default 300, one of them of
// 5 MB; one more 5 MB page per further 300). The figures go to stdout.

#include "tests/faults/fault_support.h"

#include "platform/code_page.h"
#include "platform/file_service.h"
#include "tests/support/program_directory_test.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;

std::size_t soakPages() {
  const char* value = std::getenv("VANTIRO_SOAK_PAGES");
  if (!value || !*value) return 300;
  return static_cast<std::size_t>(std::strtoull(value, nullptr, 10));
}

constexpr std::size_t kBigPage = 5 * 1024 * 1024;

// Builds pages from random pieces; the same seed gives the same pages.
class PageGenerator {
 public:
  explicit PageGenerator(unsigned seed) : rng_(seed) {}

  std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
  bool chance(int percent) { return below(100) < static_cast<std::size_t>(percent); }

  std::string word() {
    static const char* const kWords[] = {"news", "the", "page", "x", "a&amp;b", "1999", "img", "td", "TABLE", "cat"};
    return kWords[below(std::size(kWords))];
  }
  std::string chinese() {
    static const char32_t* const kChinese[] = {U"压缩", U"网页", U"新闻", U"猫", U"你好，世界", U"（注）", U"一二三"};
    return encodeAnsi(kChinese[below(std::size(kChinese))]);
  }
  std::string space() {
    static const char* const kSpaces[] = {" ", "  ", "\r\n", "\r\n    ", "\t", "\n", "   \r\n\r\n  "};
    return kSpaces[below(std::size(kSpaces))];
  }
  std::string attributes() {
    static const char* const kAttributes[] = {" class=\"a b\"",
                                              " href='x.htm?a=1&b=2'",
                                              " width=100",
                                              " style = \"color: red; font-size : 12px\"",
                                              " onclick=\"go(1, 2);\"",
                                              " title='a, b'",
                                              " id=x",
                                              " data-x=\"\"",
                                              " checked"};
    std::string out;
    for (std::size_t n = below(4); n > 0; --n) out += kAttributes[below(std::size(kAttributes))];
    return out;
  }
  std::string text() {
    std::string out;
    for (std::size_t n = 1 + below(6); n > 0; --n) {
      out += chance(30) ? chinese() : word();
      out += chance(20) ? "&nbsp;&nbsp;&nbsp;" : space();
    }
    return out;
  }
  std::string script() {
    static const char* const kBodies[] = {
        "\r\n  var a = 1;   // comment\r\n  if (a < 2) { document.write(\"<b>x</b>\"); }\r\n",
        "\r\n<!--\r\n  function f(x) {\r\n    return x  +  1;\r\n  }\r\n//-->\r\n", "  var s = '</scr' + 'ipt>';  ",
        ""};
    return "<script language=javascript>" + std::string(kBodies[below(std::size(kBodies))]) + "</script>";
  }
  std::string element() {
    static const char* const kTags[] = {"p", "b", "td", "tr", "div", "span", "font", "a", "li", "pre", "table"};
    const std::string tag = kTags[below(std::size(kTags))];
    switch (below(10)) {
      case 0:
        return script();
      case 1:
        return "<% Response.Write(\"<b>\" & x) %>";
      case 2:
        return "<!-- a comment <b> -->";
      case 3:
        return "<br>" + space();
      case 4:
        return "<" + tag + attributes() + ">" + text() + "</" + tag + ">";
      case 5:
        return "<P>&nbsp;&nbsp;&nbsp;&nbsp;" + text() + "&nbsp;&nbsp;" + text() + "</P>";
      default:
        return "<" + tag + attributes() + ">" + space() + text() + space() + "</" + tag + ">" + space();
    }
  }
  std::string body(std::size_t elements) {
    std::string out;
    for (; elements > 0; --elements) out += element();
    return out;
  }
  std::string html(std::size_t elements) {
    std::string head = chance(50) ? "<html>" : chance(50) ? "<HTML lang=\"zh\">" : "<Html>";
    return (chance(20) ? "  " : "") + head + "\r\n<head><title>" + text() + "</title>" +
           (chance(30) ? "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">" : "") +
           "</head>\r\n<body>\r\n" + body(elements) + "\r\n</body>\r\n</html>\r\n" + (chance(20) ? "  \r\n" : "");
  }
  std::string binary(std::size_t size) {
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(below(256));
    return out;
  }
  std::string utf8(const std::string& gbkPage) {
    return "\xEF\xBB\xBF" + toUtf8(decodeAnsi(gbkPage));  // GBK text written as UTF-8 with a BOM
  }
  std::string invalidBytes(std::string page) {
    static const char* const kBad[] = {"\x80", "\xFF", "\xB0", "\x81\x20", "\xFE<", "\xA1\r\n", "\x00"};
    for (std::size_t n = 1 + below(8); n > 0; --n) {
      const std::size_t at = below(page.size());
      const char* bad = kBad[below(std::size(kBad))];
      page.insert(at, bad, bad[0] == 0 ? 1 : std::char_traits<char>::length(bad));
    }
    return page + (chance(50) ? "\xB0" : "");  // a lone lead byte at the very end
  }
  std::string big() {
    std::string out = "<html>\r\n<body>\r\n";
    while (out.size() < kBigPage) out += element();
    return out + "</body></html>\r\n";
  }

  // The page of kind `k`.
  std::string page(std::size_t k) {
    switch (k % 12) {
      case 0:
        return "";
      case 1:
        return binary(1 + below(4096));
      case 2:
        return utf8(html(5 + below(40)));
      case 3:
        return invalidBytes(html(5 + below(40)));
      case 4:
        return body(3 + below(20));  // no html tag
      case 5:
        return "<html><body>" + script() + script() + "</body></html>";
      case 6:
        return html(200 + below(800));
      case 7:
        return "<html>only one tag";
      case 8: {
        std::string lf = html(10 + below(30));
        std::erase(lf, '\r');
        return lf;
      }
      case 11: {
        // A ">" or "<" inside a quoted value, which the scanner refuses: the
        // page fails and must be left as it was.
        std::string page = html(5 + below(20));
        return page.insert(page.find("<body>"), "<a title=\"a > b\" onclick=\"if (a < b) go();\">x</a>");
      }
      default:
        return html(5 + below(60));
    }
  }

 private:
  std::mt19937 rng_;
};

// Writes `count` pages under `root` in directories of 40, a few with GBK
// names; returns their paths in queue order and their bytes.
std::map<std::string, std::string> generateSite(const std::string& root, std::size_t count, unsigned seed,
                                                std::vector<std::string>& order) {
  PageGenerator gen(seed);
  std::map<std::string, std::string> pages;
  const std::size_t bigEvery = 300;
  for (std::size_t k = 0; k < count; ++k) {
    const std::string dir = root + "d" + std::to_string(k / 40) + "/";
    std::filesystem::create_directories(dir);
    std::string name = k % 17 == 3 ? encodeAnsi(U"页面" + toText(static_cast<long long>(k))) : std::to_string(k);
    if (k % 17 != 3) name.insert(0, 1, 'p');
    name += k % 5 == 0 ? ".html" : ".htm";
    std::string bytes = k % bigEvery == bigEvery / 2 || (count < bigEvery && k == count / 2) ? gen.big() : gen.page(k);
    writeBytes(dir + name, bytes);
    pages[dir + name] = std::move(bytes);
    order.push_back(dir + name);
  }
  return pages;
}

// Every regular file under `root`, so that stray temporary files show up.
std::vector<std::string> filesUnder(const std::string& root) {
  std::vector<std::string> out;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    if (entry.is_regular_file()) out.push_back(entry.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> keys(const std::map<std::string, std::string>& pages) {
  std::vector<std::string> out;
  for (const auto& [path, bytes] : pages) out.push_back(path);
  return out;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

CompressionOptions assorted(std::size_t n) {
  CompressionOptions o;
  o.compressScripts = n % 2 == 1;
  o.preformatParagraphs = n % 3 == 1;
  o.breakLinesAfterTags = n % 5 == 2;
  return o;
}

class Soak : public test::ProgramDirectoryTest {
 protected:
  test::TempDir site;
};

TEST_F(Soak, InPlaceRunThenRestoreAllGivesBackEveryByte) {
  const std::size_t count = soakPages();
  std::vector<std::string> order;
  const auto pages = generateSite(site.path(), count, 20240601, order);
  std::uint64_t bytes = 0;
  for (const auto& [path, content] : pages) bytes += content.size();

  const auto start = std::chrono::steady_clock::now();
  test::RecordingRun run;
  run.optionsForPage = assorted;
  const std::vector<RunRow> rows = test::runPages(order, run);
  const double compressSeconds = secondsSince(start);

  std::size_t succeeded = 0, failed = 0, changed = 0;
  std::uint64_t after = 0;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const std::string now = readBytes(order[k]);
    if (now != pages.at(order[k])) ++changed;
    if (rows[k].result == kResultSucceeded) {
      ++succeeded;
      after += now.size();
    } else {
      ++failed;
      EXPECT_TRUE(rows[k].result == kResultFailed || rows[k].result == kResultNotPage) << order[k];
      EXPECT_FALSE(test::failureReason(rows[k]).empty()) << order[k];
      EXPECT_EQ(now, pages.at(order[k])) << order[k] << ": a failed page is left as it was";
    }
  }
  EXPECT_EQ(filesUnder(site.path()), keys(pages)) << "no stray files beside the pages";

  const auto restoreStart = std::chrono::steady_clock::now();
  const test::RestoreTally tally = test::restoreAll();
  const double restoreSeconds = secondsSince(restoreStart);
  for (const Text& path : tally.failedPaths) EXPECT_TRUE(hasResultMarker(path)) << toUtf8(path);

  std::size_t differing = 0;
  for (const auto& [path, content] : pages)
    if (readBytes(path) != content) ++differing;
  EXPECT_EQ(differing, 0u);
  EXPECT_EQ(filesUnder(site.path()), keys(pages));
  EXPECT_GT(succeeded, count / 3);
  EXPECT_GT(changed, 0u);

  std::printf(
      "soak in place: %zu pages, %llu bytes (%llu after compression of %zu pages), %zu failed, "
      "%zu backup entries (%zu not restorable: pages without an html tag), compress %.2f s, "
      "restore %.2f s, files differing after restore: %zu\n",
      count, static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(after), succeeded, failed,
      tally.entries, tally.failedPaths.size(), compressSeconds, restoreSeconds, differing);
}

TEST_F(Soak, RunIntoAnotherDirectoryLeavesSourcesAndRestoresTheMirrors) {
  const std::size_t count = std::max<std::size_t>(soakPages() / 4, 40);
  test::TempDir out;
  std::vector<std::string> order;
  const auto pages = generateSite(site.path(), count, 7, order);
  std::uint64_t bytes = 0;
  for (const auto& [path, content] : pages) bytes += content.size();

  const auto start = std::chrono::steady_clock::now();
  test::RecordingRun run;
  run.opts.mirror = true;
  run.opts.sourceDirectory = textPath(site.path().substr(0, site.path().size() - 1));
  run.opts.destinationDirectory = textPath(out.path().substr(0, out.path().size() - 1));
  run.optionsForPage = [&](std::size_t n) {
    CompressionOptions o = assorted(n);
    o.mirror = true;
    o.sourceDirectory = run.opts.sourceDirectory;
    o.destinationDirectory = run.opts.destinationDirectory;
    return o;
  };
  const std::vector<RunRow> rows = test::runPages(order, run);
  const double seconds = secondsSince(start);

  std::size_t sourcesChanged = 0;
  for (const auto& [path, content] : pages)
    if (readBytes(path) != content) ++sourcesChanged;
  EXPECT_EQ(sourcesChanged, 0u) << "a run into another directory never touches its sources";
  EXPECT_EQ(filesUnder(site.path()), keys(pages));

  // Every mirror belongs to a page that succeeded.
  std::map<std::string, std::string> mirrors;  // mirror path -> the source's bytes
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const std::string mirror = out.path() + order[k].substr(site.path().size());
    EXPECT_EQ(rows[k].destination, textPath(mirror));
    if (rows[k].result == kResultSucceeded) {
      EXPECT_EQ(rows[k].outcome, textPath(mirror));
      mirrors[mirror] = pages.at(order[k]);
    }
  }
  EXPECT_EQ(filesUnder(out.path()), keys(mirrors));

  const test::RestoreTally tally = test::restoreAll();
  for (const Text& path : tally.failedPaths) EXPECT_TRUE(hasResultMarker(path)) << toUtf8(path);
  std::size_t differing = 0;
  for (const auto& [mirror, content] : mirrors)
    if (readBytes(mirror) != content) ++differing;
  for (const auto& [path, content] : pages)
    if (readBytes(path) != content) ++differing;
  EXPECT_EQ(differing, 0u);
  EXPECT_EQ(filesUnder(out.path()), keys(mirrors));

  std::printf(
      "soak into another directory: %zu pages, %llu bytes, %zu mirrors written, %.2f s, "
      "files differing after restore: %zu\n",
      count, static_cast<unsigned long long>(bytes), mirrors.size(), seconds + 0.0, differing);
}

}  // namespace
}  // namespace vantiro
