// The three passes together, as the page compressor runs them.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/page_error.h"
#include "compress/paragraphs.h"
#include "compress/rewrite.h"
#include "compress/tag_scanner.h"
#include "platform/code_page.h"
#include "tests/compress/line_break_twins.h"
#include "tests/compress/written_text.h"

namespace vantiro {
namespace {

std::string written(const PageSplit& s) { return encodeAnsi(test::writtenText(s)); }

PageSplit runPasses(const Text& page, bool check2, bool check6) {
  PageSplit s = scanPage(page);
  NoProgress progress;
  rewritePage(s, check2, progress);
  if (check6) convertParagraphs(s);
  return s;
}

std::string compressed(const std::string& bytes, bool check2, bool check6) {
  return written(runPasses(decodeAnsi(bytes), check2, check6));
}

TEST(Passes, OnePageUnderEveryOptionCombination) {
  const std::string page =
      "<html>\r\n<head>\r\n<script language=\"javascript\">\r\n  function f() {\r\n    go();\r\n  }\r\n</script>\r\n"
      "</head>\r\n<body bgcolor=\"#FFFFFF\">\r\n"
      "<p>&nbsp;&nbsp;&nbsp;\xC4\xE3\xBA\xC3,\r\n  \xCA\xC0\xBD\xE7<br>&nbsp;\xD4\xD9\xBC\xFB</p>\r\n"
      "<table width=\"100%\">\r\n  <tr>\r\n    <td>a</td>\r\n  </tr>\r\n</table>\r\n</body>\r\n</html>\r\n";
  const std::string head = "<html><head><script language=javascript>";
  const std::string scriptAsRead = "\r\n  function f() {\r\n    go();\r\n  }\r\n";
  const std::string scriptCompressed = "\r\nfunction f(){\r\ngo();\r\n}\r\n";
  const std::string middle = "</script></head><body bgcolor=#FFFFFF>";
  // Without a doctype a table may stand inside a paragraph, so "</p>" stays.
  const std::string paragraph = "<p>&nbsp;&nbsp;&nbsp;\xC4\xE3\xBA\xC3, \xCA\xC0\xBD\xE7<br>&nbsp;\xD4\xD9\xBC\xFB</p>";
  const std::string asPre = "<pre>   \xC4\xE3\xBA\xC3, \xCA\xC0\xBD\xE7\r\n \xD4\xD9\xBC\xFB</pre>";
  const std::string tail = "<table width=100%><tr><td>a</table></body></html>";
  struct Combo {
    bool check2, check6;
    std::string expected;
  };
  for (const Combo& c : {
           Combo{false, false, head + scriptAsRead + middle + paragraph + tail},
           Combo{true, false, head + scriptCompressed + middle + paragraph + tail},
           Combo{false, true, head + scriptAsRead + middle + asPre + tail},
           Combo{true, true, head + scriptCompressed + middle + asPre + tail},
       }) {
    EXPECT_EQ(compressed(page, c.check2, c.check6), c.expected) << c.check2 << c.check6;
  }
}

TEST(Passes, DoubleByteCharactersAreNeverMatchedInsideOrUpperCased) {
  // Second bytes "\", "|", "p", "P", "a", "{", "}", "@": a byte-wise pass
  // would see an end tag, a letter to upper-case or a brace in them.
  const std::string bs = "\x81\x5C", bar = "\x81\x7C", p = "\x81\x70", P = "\x81\x50", a = "\xB0\x61",
                    open = "\x81\x7B", close = "\x81\x7D", at = "\x81\x40";
  for (const std::string& c : {bs, bar, p, P, a, open, close, at}) ASSERT_EQ(decodeAnsi(c).size(), 1u);
  struct Case {
    std::string page, expected;
  };
  for (const Case& c : {
           Case{"<td>" + p + "</td>\r\n<td>/" + p + "</td>", "<td>" + p + "<td>/" + p},
           Case{"<a title=\"" + open + bs + bar + "\">" + a + a + "</a>",
                "<a title=" + open + bs + bar + ">" + a + a + "</a>"},
           Case{"<p class=\"" + a + ":  " + a + "\">" + P + "  " + p + "</p>",
                "<p class=\"" + a + ":  " + a + "\">" + P + " " + p},
           Case{"<script>{ s='" + close + "  " + open + "'; }</script>",
                "<script>{s='" + close + "  " + open + "';}</script>"},
           Case{"<pre>" + at + "  x</pre>", "<pre>" + at + "  x</pre>"},
           Case{"<" + a + ">" + a, "<" + a + ">" + a},
       }) {
    EXPECT_EQ(compressed(c.page, true, true), c.expected);
  }
}

// Pages made of the pieces that trouble a scanner: tags with and without
// quotes, nested and stray "<", scripts, server blocks, "&nbsp;", line ends.
Text randomPage(std::mt19937& rng) {
  // clang-format off
  static const char* const kPieces[] = {
      "<p>", "</p>", "<P>", "<br>", "<td>", "</td>", "</TR>", "<b>", "</b>", " ", "  ", "\r\n", "\n", "\t", "x",
      "\xD6\xD0", "\x81\x7D", "\x81\x5C", "&nbsp;", "&nbsp;&nbsp;&nbsp;", "<a href=\"x.htm\">", "</a>",
      "<font color=\"red\">", "</font>", "<img alt=\"\"  src=\"a b.gif\">", "<a title=\"x", "\"", "=\"", "'", "<",
      ">", "<>", "<script>", "</script>", "</SCRIPT>", "{", "}", "<%", "%>", "<%= v %>", "<!-- c -->", "<pre>",
      "</pre>", ": ", ", ", "; ", "<div style=\"a: b\">", "</div>", "\xFF", "<a <b>>", "<?x?>",
  };
  // clang-format on
  constexpr std::size_t kCount = sizeof kPieces / sizeof kPieces[0];
  std::uniform_int_distribution<std::size_t> pick(0, kCount - 1);
  std::uniform_int_distribution<int> length(0, 60);
  std::string bytes;
  for (int k = length(rng); k > 0; --k) bytes += kPieces[pick(rng)];
  return decodeAnsi(bytes);
}

// The characters a reader sees: texts without white space and "&nbsp;".
Text visible(TextView text) {
  Text t(text);
  for (std::size_t p; (p = t.find(U"&nbsp;")) != npos;) t.erase(p, 6);
  Text out;
  for (char32_t c : t)
    if (c != U' ' && c != U'\t' && c != U'\r' && c != U'\n' && c != U'\f') out += c;
  return out;
}

Text visibleTexts(const PageSplit& s, bool writtenOnly) {
  Text out = visible(s.leadingText);
  for (int i = 0; i <= s.lastIndex; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (!writtenOnly || !s.tags[k].empty()) out += visible(s.texts[k]);
  }
  return out;
}

TEST(Passes, RandomPagesNeverCrashOrLoseText) {
  std::mt19937 rng(20240607);
  int failed = 0;
  for (int round = 0; round < 4000; ++round) {
    const Text page = randomPage(rng);
    const bool check2 = round % 2 == 0, check6 = round % 4 < 2;
    try {
      PageSplit s = scanPage(page);
      ASSERT_EQ(s.tags.size(), s.texts.size());
      ASSERT_EQ(s.tags.size(), static_cast<std::size_t>(s.capacity) + 1);
      ASSERT_LE(s.lastIndex, s.capacity - 1);
      const Text before = visibleTexts(s, false);
      NoProgress progress;
      rewritePage(s, check2, progress);
      // Rewriting removes white space and repeats of "&nbsp;", never what
      // a reader sees between the tags.
      ASSERT_EQ(toUtf8(visibleTexts(s, true)), toUtf8(before)) << toUtf8(page);
      if (check6) convertParagraphs(s);
      const std::string out = written(s);
      ASSERT_EQ(encodeAnsi(decodeAnsi(out)), out);
    } catch (const PageError&) {
      ++failed;
    }
  }
  // Most random pages are accepted; refusals are the described overruns.
  EXPECT_LT(failed, 4000 / 2);
}

// What the passes make of a page, or "refused" when they refuse it.
Text passesResult(const Text& page, bool check2, bool check6) {
  try {
    return test::writtenText(runPasses(page, check2, check6));
  } catch (const PageError&) {
    return U"refused";
  }
}

TEST(Passes, RandomLfPagesCompressLikeTheirCrLfTwins) {
  std::mt19937 rng(20261208);
  int compared = 0;
  for (int round = 0; round < 1500; ++round) {
    const Text lfPage = test::asLf(randomPage(rng));
    if (lfPage.find(U"\r\n") != npos) continue;  // a CR before a line break: not an LF page
    const bool check2 = round % 2 == 0, check6 = round % 4 < 2;
    const Text twin = passesResult(test::asCrLf(lfPage), check2, check6);
    ASSERT_EQ(toUtf8(passesResult(lfPage, check2, check6)), toUtf8(test::asLf(twin))) << toUtf8(lfPage);
    ++compared;
  }
  EXPECT_GT(compared, 1500 / 2);
}

}  // namespace
}  // namespace vantiro
