#include "compress/text_routines.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <string>

#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/compress/line_break_twins.h"
#include "tests/support/temp_dir.h"

namespace vantiro {
namespace {

struct Case {
  const char32_t* input;
  const char32_t* expected;
};

// Every case runs on a CR LF page and, where an LF page has it as its twin,
// on that LF page, where it must give the result with LF for CR LF.
void expectTable(const char* routine, void (*fn)(SlotText&, LineBreak), std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    SlotText s{TextView(c.input)};
    fn(s, LineBreak::CrLf);
    EXPECT_EQ(toUtf8(s), toUtf8(c.expected)) << routine << " on \"" << toUtf8(c.input) << "\"";
    const std::optional<Text> lfPage = test::lfPageOf(c.input);
    if (!lfPage) continue;
    SlotText lf{TextView(*lfPage)};
    fn(lf, LineBreak::Lf);
    EXPECT_EQ(toUtf8(lf), toUtf8(test::asLf(c.expected))) << routine << " on LF page \"" << toUtf8(*lfPage) << "\"";
  }
}

TEST(TextRoutines, JoinTrimmedLinesMakesATagOneLine) {
  expectTable("joinTrimmedLines", joinTrimmedLines,
              {
                  {U"a\r\n  href=x", U"a href=x"},
                  {U"a\r\n\r\nb", U"a  b"},  // an empty line still gives its space
                  {U"  x  ", U"x"},
                  {U"a \r\n b \r\n", U"a b"},
                  {U"\r\n\r\n", U""},
                  {U"", U""},
                  {U"a\rb\nc", U"a\rb\nc"},  // lone CR and LF are ordinary characters
                  {U"a\r\r\nb", U"a\r b"},   // the CR LF pair is the later two
                  {U"\t a \t", U"\t a \t"},  // tabs are never trimmed
                  {U"a\r\n\tb", U"a \tb"},
                  {U"a\r \r\n b", U"a\r b"},  // a lone CR stays on an LF page too
              });
}

TEST(TextRoutines, CollapseLinesAndSpacesMakesOneLineWithSingleSpaces) {
  expectTable("collapseLinesAndSpaces", collapseLinesAndSpaces,
              {
                  {U"one\r\n\r\n  two", U"one two"},
                  {U"a\nb\tc", U"a\nb\tc"},
                  {U" a  b ", U" a b "},  // a single space at either end stays
                  {U"\r\n", U" "},
                  {U"Hello,\r\n  world", U"Hello, world"},
                  {U"    ", U" "},
                  {U"", U""},
                  {U"a\t  \tb", U"a\t \tb"},
                  {U"a\r\r\n", U"a\r "},
                  {U"a \r \r\n\r\n b", U"a \r b"},
              });
}

// Long texts are searched a block at a time for the first place where
// anything moves: a line break or a doubled space anywhere is found, a lone
// CR or LF of a CR LF page or a single space changes nothing.
TEST(TextRoutines, CollapseFindsWhatMovesAnywhereInALongText) {
  struct Insert {
    const char32_t* text;
    LineBreak lineBreak;
    const char32_t* becomes;
  };
  for (const Insert& insert : {Insert{U"\r\n", LineBreak::CrLf, U" "}, Insert{U"\n", LineBreak::Lf, U" "},
                               Insert{U"  ", LineBreak::CrLf, U" "}, Insert{U"  ", LineBreak::Lf, U" "},
                               Insert{U"\r", LineBreak::CrLf, U"\r"}, Insert{U"\n", LineBreak::CrLf, U"\n"},
                               Insert{U"\r", LineBreak::Lf, U"\r"}, Insert{U" ", LineBreak::CrLf, U" "}})
    for (std::size_t at = 0; at <= 20; ++at) {
      const Text line = U"abcdefghijklmnopqrstu";
      SlotText s{TextView(line.substr(0, at) + insert.text + line.substr(at))};
      collapseLinesAndSpaces(s, insert.lineBreak);
      EXPECT_EQ(toUtf8(s), toUtf8(line.substr(0, at) + insert.becomes + line.substr(at)))
          << toUtf8(insert.text) << " at " << at;
    }
}

// Long texts are copied a block at a time between the places that change,
// wherever line breaks and runs of spaces fall: random texts give what one
// character at a time does.
TEST(TextRoutines, CollapseGivesWhatOneCharacterAtATimeGives) {
  const auto collapsedOneByOne = [](const Text& text, LineBreak lineBreak) {
    Text out;
    for (std::size_t k = 0; k < text.size(); ++k) {
      char32_t c = text[k];
      if (lineBreak == LineBreak::Lf ? c == U'\n' : c == U'\r' && k + 1 < text.size() && text[k + 1] == U'\n') {
        c = U' ';
        if (lineBreak == LineBreak::CrLf) ++k;
      }
      if (c != U' ' || out.empty() || out.back() != U' ') out += c;
    }
    return out;
  };
  std::mt19937 random(7);
  // Every other text is mostly spaces and line breaks, as indentation is.
  const Text mixed = U"ab  \n\r\t\u4E2D", indented = U"a      \n\n";
  for (int round = 0; round < 4000; ++round) {
    const Text& alphabet = round % 2 == 0 ? mixed : indented;
    Text text(random() % 60, U'a');
    for (char32_t& c : text) c = alphabet[random() % alphabet.size()];
    for (const LineBreak lineBreak : {LineBreak::Lf, LineBreak::CrLf}) {
      SlotText s{TextView(text)};
      collapseLinesAndSpaces(s, lineBreak);
      EXPECT_EQ(toUtf8(s), toUtf8(collapsedOneByOne(text, lineBreak))) << toUtf8(text);
    }
  }
}

TEST(TextRoutines, TrimLinesTrimsEveryLineAndKeepsBreaks) {
  expectTable("trimLines", trimLines,
              {
                  {U"  x \r\n y", U"x\r\ny"},
                  {U"a\r\n   \r\n b ", U"a\r\n\r\nb"},
                  {U"\r\n", U"\r\n"},
                  {U"\t x ", U"\t x"},
                  {U"", U""},
                  {U" \r \r\n\r\n", U"\r\r\n\r\n"},
              });
}

TEST(TextRoutines, APageHoldingACrLfAnywhereBreaksLinesWithIt) {
  struct BreakCase {
    const char32_t* page;
    LineBreak expected;
  };
  for (const BreakCase& c : {
           BreakCase{U"", LineBreak::Lf},
           BreakCase{U"<p>a\nb\n", LineBreak::Lf},
           BreakCase{U"a\rb\n\rc", LineBreak::Lf},
           BreakCase{U"a\nb\nc\r\n", LineBreak::CrLf},
           BreakCase{U"\r\n", LineBreak::CrLf},
           BreakCase{U"\r\r\n\n", LineBreak::CrLf},
           // Long pages are read in blocks of 32 characters.
           BreakCase{U"0123456789012345678901234567890123456789012345678901234567890123456789\n", LineBreak::Lf},
           BreakCase{U"012345678901234567890123456789\r\n", LineBreak::CrLf},
           BreakCase{U"0123456789012345678901234567890\r\n", LineBreak::CrLf},  // across two blocks
           BreakCase{U"0\r23456789012345678901234567890123456789012345678901234567890123456789\r\n", LineBreak::CrLf},
           BreakCase{U"0123456789012345678901234567890123456789012345678901234567890123\r", LineBreak::Lf},
       }) {
    EXPECT_EQ(lineBreakOf(c.page), c.expected) << toUtf8(c.page);
  }
}

TEST(TextRoutines, ReplaceAllReplacesEveryOccurrence) {
  struct ThCase {
    const char32_t* input;
    const char32_t* find;
    const char32_t* repl;
    const char32_t* expected;
  };
  for (const ThCase& c : {
           ThCase{U"a&nbsp;&nbsp;b", U"&nbsp;", U" ", U"a  b"},
           ThCase{U"&nbsp;", U"&nbsp;", U" ", U" "},
           ThCase{U"&nbsp&nbsp;;", U"&nbsp;", U" ", U"&nbsp ;"},
           ThCase{U"no entity", U"&nbsp;", U" ", U"no entity"},
           ThCase{U"xababy", U"ab", U"", U"xy"},
           ThCase{U"abc", U"b", U"xyz", U"axyzc"},
           ThCase{U"aa", U"a", U"aa", U"aaaa"},  // a replacement is never searched again
           ThCase{U"abc", U"", U"x", U"abc"},
       }) {
    SlotText s{TextView(c.input)};
    replaceAll(s, c.find, c.repl);
    EXPECT_EQ(toUtf8(s), toUtf8(c.expected)) << toUtf8(c.input);
  }
}

class ReadPageTextTest : public ::testing::Test {
 protected:
  void SetUp() override { setProgramDirectory(home_.path()); }
  test::TempDir home_;
  test::TempDir dir_;
};

TEST_F(ReadPageTextTest, ReadsWholeFilesOfEverySize) {
  // Chinese characters straddling any piece boundary a reader might choose.
  for (std::size_t size : {0u, 1u, 1999u, 2000u, 2001u, 40000u}) {
    std::string bytes;
    while (bytes.size() + 2 <= size) bytes += (bytes.size() % 6 == 0) ? "<p" : "\xD6\xD0";
    if (bytes.size() < size) bytes += "x";
    ASSERT_EQ(bytes.size(), size);
    const std::string path = dir_ / ("page" + std::to_string(size) + ".htm");
    test::writeBytes(path, bytes);
    const Text text = readPageText(path).text;
    EXPECT_EQ(text, decodeAnsi(bytes)) << size;
    EXPECT_EQ(encodeAnsi(text), bytes) << size;
  }
}

TEST_F(ReadPageTextTest, MissingFileThrows) { EXPECT_THROW(readPageText(dir_ / "absent.htm"), FileError); }

}  // namespace
}  // namespace vantiro

namespace vantiro {
namespace {

// The searches work on blocks of eight characters and a tail: an occurrence
// in every position of a block, across a block's edge and in the tail is found.
// Blank is space, tab, CR and LF, wherever a text holds the one character
// that is not: a form feed, an ideographic space and characters outside 16
// bits (that become other characters if cut to 16 bits) are not blank.
TEST(TextRoutines, ABlankTextHoldsOnlySpacesTabsAndLineBreaks) {
  const Text blanks = U" \t\r\n";
  for (std::size_t size = 0; size < 40; ++size) {
    Text s;
    for (std::size_t k = 0; k < size; ++k) s += blanks[k % blanks.size()];
    EXPECT_TRUE(isBlankText(s)) << size;
    for (std::size_t at = 0; at < size; ++at)
      for (char32_t other : {U'a', U'\f', U'\u3000', char32_t{0x10020}, char32_t{0x1000A}, char32_t{0xFFFF0020}}) {
        Text t = s;
        t[at] = other;
        EXPECT_FALSE(isBlankText(t)) << size << " " << at << " " << static_cast<unsigned>(other);
      }
  }
}

TEST(TextRoutines, FindCharAndFindTextFindEveryOccurrence) {
  for (std::size_t size = 0; size < 40; ++size) {
    for (std::size_t at = 0; at < size; ++at) {
      Text s(size, U'a');
      s[at] = U'<';
      EXPECT_EQ(findChar(s, U'<'), at) << size << " " << at;
      EXPECT_EQ(findChar(s, U'<', at + 1), npos) << size << " " << at;
      if (at + 2 <= size) {
        s[at + 1] = U'%';
        EXPECT_EQ(findText(s, U"<%"), at);
        EXPECT_EQ(findText(s, U"<%a"), at + 3 <= size ? at : npos);
      }
    }
    EXPECT_EQ(findChar(Text(size, U'a'), U'<'), npos);
  }
  // From any start, with two occurrences: the tail of a search overlaps its
  // last block, which must not report what lies before the start.
  for (std::size_t size = 2; size < 24; ++size)
    for (std::size_t at = 0; at + 1 < size; ++at)
      for (std::size_t from = 0; from <= size; ++from) {
        Text s(size, U'a');
        s[at] = s[size - 1] = U'<';
        EXPECT_EQ(findChar(s, U'<', from), from <= at ? at : from < size ? size - 1 : npos)
            << size << " " << at << " " << from;
      }
  EXPECT_EQ(findChar(U"abc", U'c', 5), npos);
  EXPECT_EQ(findText(U"x;&nbsp;&nbsp;&nbsp", U";&nbsp;&nbsp", 2), 7u);
  EXPECT_EQ(findText(U"&nbs", U"&nbsp;"), npos);
  EXPECT_EQ(findChar(U"\U0010FFFF<", U'<'), 1u);
}

}  // namespace
}  // namespace vantiro
