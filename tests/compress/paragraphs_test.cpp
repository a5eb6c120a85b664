#include "compress/paragraphs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantiro {
namespace {

struct Slot {
  const char32_t* tag;
  const char32_t* text;
};

PageSplit splitOf(const std::vector<Slot>& slots) {
  PageSplit s;
  for (std::size_t k = 0; k < slots.size(); ++k) {
    s.tags[k] = slots[k].tag;
    s.texts[k] = slots[k].text;
  }
  s.lastIndex = static_cast<int>(slots.size()) - 1;
  return s;
}

std::vector<std::string> slotsOf(const PageSplit& s) {
  std::vector<std::string> out;
  for (int i = 0; i <= s.lastIndex; ++i) {
    const auto k = static_cast<std::size_t>(i);
    out.push_back(toUtf8(s.tags[k]) + "|" + toUtf8(s.texts[k]));
  }
  return out;
}

struct Case {
  std::vector<Slot> in;
  std::vector<std::string> out;  // "tag|text" per slot
};

TEST(Paragraphs, ConvertsParagraphsLaidOutWithSpaces) {
  const std::vector<Case> cases = {
      // A whole block: br lines move to the block's end, link and font tags stay.
      {{{U"p", U"a&nbsp;&nbsp;b"},
        {U"br", U"c&nbsp;d"},
        {U"a href=x.htm", U"e"},
        {U"/a", U"f"},
        {U"font color=x", U"g"},
        {U"/font", U"h"},
        {U"table", U""}},
       {"pre|a  b\r\nc d", "|", "a href=x.htm|e", "/a|f", "font color=x|g", "/font|h</pre>", "table|"}},
      // One "&nbsp;" is not enough; attributes keep a paragraph as it is.
      {{{U"p", U"a&nbsp;b"}, {U"br", U"c"}}, {"p|a&nbsp;b", "br|c"}},
      {{{U"p align=center", U"a&nbsp;&nbsp;b"}, {U"br", U"c"}}, {"p align=center|a&nbsp;&nbsp;b", "br|c"}},
      // A paragraph right after a block ends it and may start the next.
      {{{U"P", U"&nbsp;&nbsp;x"}, {U"p", U"&nbsp;y&nbsp;"}, {U"div", U""}}, {"pre|  x</pre>", "pre| y </pre>", "div|"}},
      {{{U"p", U"&nbsp;&nbsp;x"}, {U"p", U"y"}}, {"pre|  x</pre>", "p|y"}},
      // Runs the rewriting pass shortened become three spaces.
      {{{U"p", U"a&nbsp; &nbsp;b"}, {U"hr", U""}}, {"pre|a   b</pre>", "hr|"}},
      // A link tag shorter than seven characters ends the block, as does a removed slot.
      {{{U"p", U"&nbsp;&nbsp;"}, {U"a x=1", U"y"}}, {"pre|  </pre>", "a x=1|y"}},
      {{{U"p", U"&nbsp;&nbsp;"}, {U"", U"gone"}, {U"br", U"z"}}, {"pre|  </pre>", "|gone", "br|z"}},
      // Tags in any case; a block open at the end gets no "</pre>".
      {{{U"p", U"&nbsp;&nbsp;"}, {U"BR", U"x"}, {U"A HREF=y.htm", U"z"}, {U"/A", U""}},
       {"pre|  \r\nx", "|", "A HREF=y.htm|z", "/A|"}},
      // Tabs and lone line ends showed as one space and must still do so.
      {{{U"p", U"a&nbsp;&nbsp;b\nc\t \td"}, {U"br", U"e\rf"}, {U"div", U""}},
       {"pre|a  b c d\r\ne f</pre>", "|", "div|"}},
      // Inside the page's own pre block, text already showed as it is.
      {{{U"pre", U""}, {U"p", U"a&nbsp;&nbsp;b\nc"}, {U"/pre", U""}}, {"pre|", "pre|a  b\nc</pre>", "/pre|"}},
      // A paragraph this pass made "pre" does not start one of the page's own blocks.
      {{{U"p", U"&nbsp;&nbsp;a"}, {U"div", U""}, {U"p", U"&nbsp;&nbsp;b\nc"}, {U"hr", U""}},
       {"pre|  a</pre>", "div|", "pre|  b c</pre>", "hr|"}},
      {{{U"p", U"&nbsp;&nbsp;a\tz"},
        {U"div", U""},
        {U"p", U"&nbsp;&nbsp;b"},
        {U"hr", U""},
        {U"p", U"&nbsp;&nbsp;c\nd"}},
       {"pre|  a z</pre>", "div|", "pre|  b</pre>", "hr|", "pre|  c d"}},
  };
  for (const Case& c : cases) {
    PageSplit s = splitOf(c.in);
    convertParagraphs(s);
    EXPECT_EQ(slotsOf(s), c.out) << toUtf8(c.in[0].tag) << " " << toUtf8(c.in[0].text);
  }
}

TEST(Paragraphs, EmptyPageIsLeftAlone) {
  PageSplit s;
  convertParagraphs(s);
  EXPECT_EQ(s.lastIndex, -1);
}

}  // namespace
}  // namespace vantiro
