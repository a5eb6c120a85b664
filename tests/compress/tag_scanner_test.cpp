#include "compress/tag_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/page_error.h"
#include "platform/code_page.h"

namespace vantiro {
namespace {

PageSplit scan(const Text& page) { return scanPage(page); }

std::vector<std::string> tagsOf(const PageSplit& s) {
  std::vector<std::string> out;
  for (int i = 0; i <= s.lastIndex; ++i) out.push_back(toUtf8(s.tags[static_cast<std::size_t>(i)]));
  return out;
}

std::vector<std::string> textsOf(const PageSplit& s) {
  std::vector<std::string> out;
  for (int i = 0; i <= s.lastIndex; ++i) out.push_back(toUtf8(s.texts[static_cast<std::size_t>(i)]));
  return out;
}

struct ScanCase {
  const char32_t* page;
  const char32_t* leading;
  std::vector<std::string> tags;
  std::vector<std::string> texts;
  bool endsInScript = false;
};

TEST(TagScanner, CutsPagesIntoTagsAndTexts) {
  const std::vector<ScanCase> cases = {
      // The text before the first tag and after the last one are kept.
      {U"x<a href=y>one<b>two</b>\r\n", U"x", {"a href=y", "b", "/b"}, {"one", "two", "\r\n"}},
      {U"\uFEFF<html>", U"\uFEFF", {"html"}, {""}},
      {U"no tags at all", U"no tags at all", {}, {}},
      {U"", U"", {}, {}},
      // A tag start inside a tag: the tag runs to a ">" no tag start precedes.
      {U"<a title=\"<b>\">t</a>", U"", {"a title=\"<b>\"", "/a"}, {"t", ""}},
      {U"<a t=<b>>x", U"", {"a t=<b>"}, {"x"}},
      {U"<!-- note -->", U"", {"!-- note --"}, {""}},
      // Spaces at the start go (at the end too but in an element's tag, where
      // a cut value may hold them); an element's tag keeps its lines (a quoted
      // value holds them), a comment over several lines becomes one line.
      {U"<  p  >", U"<  p  >", {}, {}},
      {U"< p>x<p >", U"< p>x", {"p "}, {""}},
      {U"<a\r\n   href=x\r\n>y", U"", {"a\r\n   href=x\r\n"}, {"y"}},
      {U"<!-- a\r\n   b -->y", U"", {"!-- a b --"}, {"y"}},
      {U"<!-- <b>\r\n --> y", U"", {"!-- <b> --"}, {" y"}},  // the line break after an inner tag
      {U"<!DOCTYPE html\r\n  PUBLIC \"x\">", U"", {"!DOCTYPE html PUBLIC \"x\""}, {""}},
      // Script contents are never cut into tags; the closing tag in any case.
      {U"<script>if(a<b)go();</script>", U"", {"script", "/script"}, {"if(a<b)go();", ""}},
      {U"<SCRIPT>x<p>y</Script>z", U"", {"SCRIPT", "/Script"}, {"x<p>y", "z"}},
      {U"<script src=a.js></script>", U"", {"script src=a.js", "/script"}, {"", ""}},
      // A script without a closing tag keeps the rest of the page as its text.
      {U"<p>x<script>a<b>c", U"", {"p", "script"}, {"x", "a<b>c"}, true},
      {U"<p>x<script>", U"", {"p", "script"}, {"x", ""}, true},
      // So do the contents of textarea and xmp; plaintext holds the rest of the page.
      {U"<TEXTAREA name=c><a href=\"x\">  y</a></TextArea>z",
       U"",
       {"TEXTAREA name=c", "/TextArea"},
       {"<a href=\"x\">  y</a>", "z"}},
      {U"<xmp><b>as</b></xmp><b>", U"", {"xmp", "/xmp", "b"}, {"<b>as</b>", "", ""}},
      {U"<textarea/>a<b>", U"", {"textarea/"}, {"a<b>"}},
      {U"<plaintext><i>x</i></plaintext>", U"", {"plaintext"}, {"<i>x</i></plaintext>"}},
      {U"<textareax>a<b>", U"", {"textareax", "b"}, {"a", ""}},  // another element
      {U"<listing>a<b>", U"", {"listing", "b"}, {"a", ""}},      // tags in a listing are tags
      // Server-script blocks run to "%>" whatever they hold.
      {U"<%=x%>", U"", {"%=x%"}, {""}},
      {U"<% if a>b then %>t", U"", {"% if a>b then %"}, {"t"}},
      {U"<%>x", U"", {"%"}, {"x"}},
      // A "<" that does not start a tag is text, as a browser shows it.
      {U"<p>a<>b</p>", U"", {"p", "/p"}, {"a<>b", ""}},
      {U"<p>if a < b and c > d</p>", U"", {"p", "/p"}, {"if a < b and c > d", ""}},
      {U"<p>x<", U"", {"p"}, {"x<"}},
      {U"<p>1<2<3", U"", {"p"}, {"1<2<3"}},
      // A "<" that starts no tag before one that does, in one block and apart.
      {U"<p>1 <2 <b>x</b>", U"", {"p", "b", "/b"}, {"1 <2 ", "x", ""}},
      {U"<p>a <= b and c <> d, then <i>e</i>", U"", {"p", "i", "/i"}, {"a <= b and c <> d, then ", "e", ""}},
      // A page that ends inside a tag: the tag runs to the end.
      {U"<p>x<a href", U"", {"p", "a href"}, {"x", ""}},
  };
  for (const ScanCase& c : cases) {
    const PageSplit s = scan(c.page);
    const std::string where = toUtf8(c.page);
    EXPECT_EQ(toUtf8(s.leadingText), toUtf8(c.leading)) << where;
    EXPECT_EQ(tagsOf(s), c.tags) << where;
    EXPECT_EQ(textsOf(s), c.texts) << where;
    EXPECT_EQ(s.endsInScript, c.endsInScript) << where;
  }
}

TEST(TagScanner, RefusesTagsThatOverrunTheNextTag) {
  for (const char32_t* page : {
           U"<p>x<%a",     // server-script block without "%>"
           U"<%a>b<c>%>",  // a tag start inside a block, after its first ">"
           U"<p>x<a y<b",  // a tag start without ">" while another follows
           U"<html><%= x",
       }) {
    EXPECT_THROW(scan(page), PageError) << toUtf8(page);
  }
}

TEST(TagScanner, ListsGrowInBlocksOf500) {
  struct GrowCase {
    int tags;
    int capacity;
  };
  for (const GrowCase& c : {GrowCase{1, 500}, GrowCase{499, 500}, GrowCase{500, 500}, GrowCase{501, 1000},
                            GrowCase{1000, 1000}, GrowCase{1001, 1500}, GrowCase{1200, 1500}}) {
    Text page;
    for (int k = 0; k < c.tags; ++k) page += U"<b>" + toText(k);
    const PageSplit s = scan(page);
    EXPECT_EQ(s.lastIndex, c.tags - 1);
    EXPECT_EQ(s.capacity, c.capacity) << c.tags;
    EXPECT_EQ(s.tags.size(), static_cast<std::size_t>(c.capacity) + 1);
    EXPECT_EQ(s.texts.size(), static_cast<std::size_t>(c.capacity) + 1);
    EXPECT_EQ(toUtf8(s.texts[static_cast<std::size_t>(c.tags - 1)]), std::to_string(c.tags - 1));
    EXPECT_TRUE(s.tags[static_cast<std::size_t>(c.capacity)].empty());
  }
}

TEST(TagScanner, EndsInScriptFollowsTheLastTag) {
  EXPECT_FALSE(scan(U"<script>a</script><p>").endsInScript);
  EXPECT_FALSE(scan(U"<script>a</script>").endsInScript);
  EXPECT_TRUE(scan(U"<script>a</script><script>b").endsInScript);
}

TEST(TagScanner, LongNestingStaysLinear) {
  // 10^5 tag starts inside one tag, then their ">": one tag, found quickly.
  Text page = U"<a";
  for (int k = 0; k < 100000; ++k) page += U"<b";
  for (int k = 0; k < 100001; ++k) page += U">";
  page += U"x";
  const PageSplit s = scan(page);
  EXPECT_EQ(s.lastIndex, 0);
  EXPECT_EQ(s.tags[0].size(), page.size() - 2 - 100000);
}

TEST(TagScanner, FindsTagEndsAtEveryPosition) {
  // The scanner tests runs of characters in blocks; every offset of "<", ">"
  // and CR against a block must be found.
  for (std::size_t pad = 0; pad < 20; ++pad) {
    const Text x(pad, U'1');
    const Text page = x + U"<a" + x + U"\r\n" + x + U">" + x + U"<b " + x + U">" + x + U"<" + x;
    const PageSplit s = scan(page);
    ASSERT_EQ(s.lastIndex, 1) << pad;
    EXPECT_EQ(s.leadingText, x);
    EXPECT_EQ(s.tags[0], U"a" + x + U"\r\n" + x) << pad;
    EXPECT_EQ(s.texts[0], x);
    EXPECT_EQ(s.tags[1], U"b " + x) << pad;
    EXPECT_EQ(s.texts[1], x + U"<" + x);
  }
}

TEST(TagScanner, FindsInnerTagsAndTheNextTagAtEveryPosition) {
  // A tag's ">", the tag start inside it that a ">" closes first, and a "<"
  // that starts no tag before the next tag, at every offset against a block
  // and against each other.
  for (std::size_t inner = 0; inner < 12; ++inner)
    for (std::size_t after = 0; after < 12; ++after) {
      const Text x(inner, U'1'), y(after, U'2');
      const PageSplit s = scan(U"<a" + x + U"<b>" + x + U">" + y + U"< <>" + y + U"<c>" + x);
      ASSERT_EQ(s.lastIndex, 1) << inner << " " << after;
      EXPECT_EQ(s.tags[0], U"a" + x + U"<b>" + x) << inner << " " << after;
      EXPECT_EQ(s.texts[0], y + U"< <>" + y) << inner << " " << after;
      EXPECT_EQ(s.tags[1], U"c");
      EXPECT_EQ(s.texts[1], x);
    }
}

TEST(TagScanner, DoubleByteCharactersAreNeverSplit) {
  // GBK characters whose second byte is "\", "|", "p", "{", "}" or "@".
  const std::string zh = "\x81\x5C\x81\x7C\x81\x70\x81\x7B\x81\x7D\x81\x40";
  const Text page = decodeAnsi("<p title=\"" + zh + "\">" + zh + "</p>");
  ASSERT_EQ(decodeAnsi(zh).size(), 6u);
  const PageSplit s = scan(page);
  ASSERT_EQ(s.lastIndex, 1);
  EXPECT_EQ(encodeAnsi(s.tags[0]), "p title=\"" + zh + "\"");
  EXPECT_EQ(encodeAnsi(s.texts[0]), zh);
}

TEST(TagScanner, DecodedPagesBreakLinesAsTheirBytesSay) {
  // Pages decoded from bytes: one without a CR byte is known to break its
  // lines with LF; one with a CR LF anywhere breaks them with CR LF.
  const struct {
    const char* bytes;
    LineBreak expected;
  } cases[] = {
      {"<p>a\nb</p>", LineBreak::Lf},
      {"<p>a\rb\n</p>", LineBreak::Lf},
      {"<p>a\nb</p>\r\n", LineBreak::CrLf},
      {"<p title=\"\xE4\xB8\xAD\r\n\">\xE4\xB8\xAD</p>", LineBreak::CrLf},
      {"<p>\xE4\xB8\xAD\n</p>", LineBreak::Lf},
  };
  for (const auto& c : cases)
    EXPECT_EQ(scanPage(PageChars::decode(c.bytes, CodePage::utf8())).lineBreak, c.expected) << c.bytes;
}

}  // namespace
}  // namespace vantiro
