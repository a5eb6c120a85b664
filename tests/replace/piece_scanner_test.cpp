#include "replace/piece_scanner.h"

#include "common/page_error.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <vector>

namespace vantiro {
namespace {

struct Scanned {
  std::vector<Text> tags;
  std::vector<Text> texts;
  bool failed = false;
};

// The cut written the way it reads: 1-based positions, InStr searches, the
// upper-cased page for "</SCRIPT", and a tag start wherever a "<" stands before
// an ASCII letter, "/", "!", "?" or "%". The only departure is the last tag
// without ">" in the specific variant, which runs to the page's end (its last
// character included) instead of dropping that character.
Scanned literalCut(const Text& page, ScanVariant variant) {
  auto inStr = [](std::size_t start, const Text& s, const Text& f) -> std::size_t {
    if (start > s.size()) return 0;
    std::size_t at = s.find(f, start - 1);
    return at == npos ? 0 : at + 1;
  };
  auto mid = [&](std::size_t from, std::size_t to) { return page.substr(from - 1, to + 1 - from); };
  auto tagStart = [&](std::size_t start) -> std::size_t {
    for (std::size_t k = start; k < page.size(); ++k) {
      const char32_t c = page[k];
      const bool letter = (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
      if (page[k - 1] == U'<' && (letter || c == U'/' || c == U'!' || c == U'?' || c == U'%')) return k;
    }
    return 0;
  };
  Scanned out;
  const Text upper = upperAscii(page);
  std::size_t p = tagStart(1);
  while (p != 0) {
    std::size_t q = p, g = 0;
    for (;;) {
      g = inStr(q + 1, page, U">");
      std::size_t l = tagStart(q + 1);
      if (l != 0 && l < g) {
        q = g;
        continue;
      }
      break;
    }
    std::size_t tagEnd = g;  // one past the tag's last character
    bool open = false;
    if (g == 0) {
      if (variant == ScanVariant::General) {
        out.failed = true;
        return out;
      }
      g = page.size();
      tagEnd = page.back() == U'>' ? g : g + 1;
      open = page.back() != U'>';
    }
    Text tag = trimSpaces(mid(p + 1, tagEnd - 1));
    if (variant == ScanVariant::Specific && tag.size() >= 2 && tag[0] == U'%') {
      std::size_t close = inStr(p + 1, page, U"%>");
      if (close == 0) {
        out.failed = true;
        return out;
      }
      g = close + 1;
      open = false;
      tag = trimSpaces(mid(p + 1, g - 1));
    }
    out.tags.push_back(tag);
    out.texts.emplace_back();
    if (open) break;
    std::size_t next = 0;
    if (tag.size() >= 6 && upperAscii(tag.substr(0, 6)) == U"SCRIPT")
      next = inStr(g + 1, upper, U"</SCRIPT");
    else
      next = tagStart(g + 1);
    if (next == 0) break;
    out.texts.back() = mid(g + 1, next - 1);
    p = next;
  }
  return out;
}

Text tagsOf(const PieceList& pieces) {
  Text all;
  for (int i = 0; i <= pieces.lastIndex; ++i) all += U"[" + pieces.tags[static_cast<std::size_t>(i)] + U"]";
  return all;
}

struct CutCase {
  const char* name;
  Text page;
  ScanVariant variant;
  Text tags;  // each tag in brackets
  Text joined;
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.name; }

class CutTable : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutTable, TagsAndRewrittenPage) {
  const CutCase& c = GetParam();
  PieceList pieces = cutPieces(c.page, c.variant);
  EXPECT_EQ(toUtf8(tagsOf(pieces)), toUtf8(c.tags));
  EXPECT_EQ(toUtf8(joinPieces(pieces)), toUtf8(c.joined));
}

constexpr auto kGen = ScanVariant::General;
constexpr auto kSpec = ScanVariant::Specific;

INSTANTIATE_TEST_SUITE_P(
    Cases, CutTable,
    ::testing::Values(
        CutCase{"TagsTrimmed", U"<b >x</b >", kGen, U"[b][/b]", U"<b>x</b>"},
        // A "<" before anything but a letter, "/", "!", "?" or "%" is text.
        CutCase{"LessThanInTextIsText", U"<p>x < y and y > z</p>", kGen, U"[p][/p]", U"<p>x < y and y > z</p>"},
        CutCase{"LessThanBeforeSpaceIsNoTag", U"< b >x</b >", kGen, U"[/b]", U"< b >x</b>"},
        CutCase{"MarkupStarts", U"<!x><?y><%z><a1>", kGen, U"[!x][?y][%z][a1]", U"<!x><?y><%z><a1>"},
        CutCase{"HeadAndTailKept", U"  \xFEFFhi<p>x</p>\r\nend", kGen, U"[p][/p]", U"  \xFEFFhi<p>x</p>\r\nend"},
        CutCase{"NoTagAtAll", U"plain text", kGen, U"", U"plain text"},
        // Once a "<" stands inside a tag, every later tag is swallowed too.
        CutCase{"LessThanInsideTagMovesOn", U"<a title=x<b>x</a>y", kSpec, U"[a title=x<b>x</a>y]",
                U"<a title=x<b>x</a>y"},
        CutCase{"LessThanBeforeDigitInsideTag", U"<a title=1<2>x</a>y", kGen, U"[a title=1<2][/a]",
                U"<a title=1<2>x</a>y"},
        CutCase{"ScriptOwnsItsBody", U"<script language=javascript>if(a<b)x='<p>';</SCRIPT><p>", kGen,
                U"[script language=javascript][/SCRIPT][p]",
                U"<script language=javascript>if(a<b)x='<p>';</SCRIPT><p>"},
        CutCase{"ScriptWithoutEndKeepsTheRest", U"<p>a<script>x<b>y", kGen, U"[p][script]", U"<p>a<script>x<b>y"},
        CutCase{"ServerBlockOnlyInSpecific", U"<%if a>b then%>z", kSpec, U"[%if a>b then%]", U"<%if a>b then%>z"},
        CutCase{"ServerBlockIsATagInGeneral", U"<%if a>b then%>z", kGen, U"[%if a]", U"<%if a>b then%>z"},
        CutCase{"ShortPercentTagIsNoBlock", U"<%>x", kSpec, U"[%]", U"<%>x"},
        CutCase{"OpenLastTagRunsToTheEnd", U"<a>x<b", kSpec, U"[a][b]", U"<a>x<b"},
        CutCase{"PageEndingInLessThan", U"<a>x<", kSpec, U"[a]", U"<a>x<"},
        CutCase{"OpenTagSwallowsLaterLessThan", U"<a>x<b <c", kSpec, U"[a][b <c]", U"<a>x<b <c"},
        CutCase{"EndingInGreaterAfterMovingOn", U"<a title=x<b>x</a>", kSpec, U"[a title=x<b>x</a]",
                U"<a title=x<b>x</a>"},
        CutCase{"EmptyTagIsText", U"<>x<>", kGen, U"", U"<>x<>"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CutPieces, GeneralFailsOnTagWithoutEnd) {
  EXPECT_THROW(cutPieces(U"<a title=x<b>x</a>", ScanVariant::General), PageError);
  EXPECT_THROW(cutPieces(U"<p>x<b", ScanVariant::General), PageError);
}

TEST(CutPieces, ServerBlockWithoutEndFails) {
  EXPECT_THROW(cutPieces(U"<p><%= a >x", ScanVariant::Specific), PageError);
}

TEST(CutPieces, GrowsInBlocksOf500) {
  Text page;
  for (int i = 0; i < 1200; ++i) page += U"<i>x";
  PieceList pieces = cutPieces(page, ScanVariant::General);
  EXPECT_EQ(pieces.lastIndex, 1199);
  EXPECT_EQ(pieces.capacity, 1500);
  EXPECT_EQ(pieces.tags.size(), 1501u);
  EXPECT_EQ(pieces.texts[1198], U"x");
  EXPECT_EQ(pieces.texts[1199], U"");  // the last piece's text is the page's tail
  EXPECT_EQ(pieces.tail, U"x");
}

// Random pages from pieces that stress the scanner: stray "<" and ">",
// scripts in either case, server blocks, Chinese, spaces inside tags.
Text randomPage(std::mt19937& rng) {
  static const std::vector<Text> parts = {U"<",  U">",        U"<p>",        U"< b >",     U"x",        U" ",
                                          U"中", U"<script>", U"<SCRIPT a>", U"</script>", U"</Script", U"<%",
                                          U"%>", U"<% x %>",  U"a",          U"\r\n"};
  Text page;
  int n = std::uniform_int_distribution<int>(0, 14)(rng);
  for (int i = 0; i < n; ++i) page += parts[std::uniform_int_distribution<std::size_t>(0, parts.size() - 1)(rng)];
  return page;
}

TEST(CutPieces, AgreesWithTheLiteralScanOnRandomPages) {
  std::mt19937 rng(4711);
  for (int round = 0; round < 30000; ++round) {
    Text page = randomPage(rng);
    for (ScanVariant variant : {ScanVariant::General, ScanVariant::Specific}) {
      Scanned expected = literalCut(page, variant);
      PieceList got;
      bool failed = false;
      try {
        got = cutPieces(page, variant);
      } catch (const PageError&) {
        failed = true;
      }
      ASSERT_EQ(failed, expected.failed) << toUtf8(page);
      if (failed) continue;
      ASSERT_EQ(got.count(), static_cast<int>(expected.tags.size())) << toUtf8(page);
      for (std::size_t i = 0; i < expected.tags.size(); ++i) {
        ASSERT_EQ(got.tags[i], expected.tags[i]) << toUtf8(page);
        ASSERT_EQ(got.texts[i], expected.texts[i]) << toUtf8(page);
      }
      // Nothing but the spaces trimmed from tags is ever lost.
      Text joined = joinPieces(got);
      Text withoutSpaces;
      for (char32_t c : page)
        if (c != U' ') withoutSpaces += c;
      Text joinedWithoutSpaces;
      for (char32_t c : joined)
        if (c != U' ') joinedWithoutSpaces += c;
      ASSERT_EQ(toUtf8(joinedWithoutSpaces), toUtf8(withoutSpaces)) << toUtf8(page);
    }
  }
}

TEST(CutPieces, LinearOnPathologicalPages) {
  Text nested;
  for (int i = 0; i < 500'000; ++i) nested += U"<a";  // every tag start moves the tag's end on
  EXPECT_EQ(cutPieces(nested + U">", ScanVariant::Specific).count(), 1);
  EXPECT_EQ(cutPieces(U"<p>" + Text(1'000'000, U'<') + U">", ScanVariant::General).count(), 1);
  Text open = U"<" + Text(1'000'000, U'x');
  EXPECT_EQ(cutPieces(open, ScanVariant::Specific).tags[0].size(), 1'000'000u);
  Text manyEmpty;
  for (int i = 0; i < 300'000; ++i) manyEmpty += U"</>";
  EXPECT_EQ(cutPieces(manyEmpty, ScanVariant::General).count(), 300'000);
  Text scripts;
  for (int i = 0; i < 100'000; ++i) scripts += U"<script>a<b</script>";
  EXPECT_EQ(cutPieces(scripts, ScanVariant::General).count(), 200'000);
}

}  // namespace
}  // namespace vantiro
