#include "compress/rewrite.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compress/element_names.h"
#include "compress/tag_shortening.h"
#include "compress/tag_scanner.h"
#include "tests/compress/written_text.h"

namespace vantiro {
namespace {

// The page as the compressor writes it.
std::string joined(const PageSplit& s) { return toUtf8(test::writtenText(s)); }

std::string rewritten(const Text& page, bool compressScripts = false) {
  PageSplit s = scanPage(page);
  NoProgress progress;
  rewritePage(s, compressScripts, progress);
  return joined(s);
}

struct Case {
  const char32_t* page;
  const char32_t* expected;
};

void expectTable(std::initializer_list<Case> cases, bool compressScripts = false) {
  for (const Case& c : cases) EXPECT_EQ(rewritten(c.page, compressScripts), toUtf8(c.expected)) << toUtf8(c.page);
}

TEST(ElementNames, HowHtmlLaysOutAnElement) {
  struct Case {
    const char32_t* tag;
    ElementBox box;
  };
  for (const Case& c : {Case{U"A HREF=x", ElementBox::Inline}, Case{U"/TextArea", ElementBox::Inline},
                        Case{U"svg viewBox=\"0 0 1 1\"", ElementBox::Inline}, Case{U"user-chip", ElementBox::Inline},
                        Case{U"math display=block", ElementBox::Inline}, Case{U"nobr", ElementBox::Inline},
                        Case{U"canvas", ElementBox::Inline}, Case{U"progress", ElementBox::Inline},
                        Case{U"ruby", ElementBox::Inline}, Case{U"br/", ElementBox::Inline},
                        Case{U"span\r\nid=y", ElementBox::Inline}, Case{U"blockquote", ElementBox::Block},
                        Case{U"/FigCaption", ElementBox::Block}, Case{U"li class=x", ElementBox::Block},
                        Case{U"h6", ElementBox::Block}, Case{U"/td", ElementBox::Block},
                        Case{U"script src=x", ElementBox::Hidden}, Case{U"/style", ElementBox::Hidden},
                        Case{U"title", ElementBox::Hidden}, Case{U"link rel=x", ElementBox::Hidden}}) {
    EXPECT_EQ(traitsOf(elementName(c.tag)).box, c.box) << toUtf8(c.tag);
  }
  for (const char32_t* tag : {U"", U"/", U"!-- b --", U"%=a%", U" b", U"!DOCTYPE html", U"?xml"})
    EXPECT_TRUE(elementName(tag).empty()) << toUtf8(tag);
}

// A key tells the length of the name it was made from, up to the longest
// name that has one, so that the passes that have the key need not measure
// the name in the tag again.
TEST(ElementNames, AKeyMeasuresItsName) {
  for (const char32_t* name : {U"a", U"P", U"h1", U"div", U"Table", U"option", U"colgroup", U"blockquote"})
    EXPECT_EQ(nameLengthOfKey(nameKey(name)), TextView(name).size()) << toUtf8(name);
}

// A name is compared with a literal folding only the letters A-Z: a
// character one case bit away from a non-letter, or past ASCII with a
// letter's low bits, is another character.
TEST(ElementNames, ANameMatchesALiteralInAnyLetterCaseOnly) {
  struct Case {
    const char32_t* name;
    bool isHttpEquiv;
  };
  for (const Case& c : {Case{U"http-equiv", true}, Case{U"HTTP-Equiv", true}, Case{U"http\requiv", false},
                        Case{U"http-equi", false}, Case{U"http-equivs", false}, Case{U"http-equi\u0156", false},
                        Case{U"http-equi\U00010076", false}, Case{U"HTTP\x0D" U"EQUIV", false}})
    EXPECT_EQ(namesAre(c.name, U"http-equiv"), c.isHttpEquiv) << toUtf8(c.name);
  EXPECT_TRUE(namesAre(U"UTF-8", U"utf-8"));
  EXPECT_FALSE(namesAre(U"UTF\r8", U"utf-8"));
}

// A name is read from exactly the tags that are an element's, so that
// reading it tells which tags those are.
TEST(ElementNames, ANameIsReadFromAnElementsTagsOnly) {
  for (const char32_t* tag : {U"", U"/", U"a", U"/A", U"z1", U"1a", U"/1a", U"@x", U"[x", U"`x", U"{x", U"!--x",
                              U"!DOCTYPE", U"%x", U"?x", U"/ a", U"\u00e9x", U"a\u0100b", U"my-card x"})
    EXPECT_EQ(tagName(tag).length != 0, isElementTag(tag)) << toUtf8(tag);
}

// Shortening a tag hands on its element's key, as tagName reads it from the
// tag as written, so that the passes after it need not read the name again.
TEST(Rewrite, ShorteningATagGivesItsElementsKey) {
  struct Case {
    const char32_t* tag;
    const char32_t* name;  // nullptr: no key
  };
  for (const Case& c : {Case{U"div  class=\"a b\"  id=\"x\"", U"div"}, Case{U"/DIV", U"div"}, Case{U"P", U"p"},
                        Case{U"h1\r\nstyle=\"color: red\"", U"h1"}, Case{U"br/", U"br"},
                        Case{U"blockquote cite=x", U"blockquote"}, Case{U"my-card x=1", nullptr},
                        Case{U"figcaptions", nullptr}, Case{U"!-- a  b --", nullptr},
                        Case{U"!DOCTYPE html", nullptr}, Case{U"?xml v?", nullptr}}) {
    SlotText tag{TextView(c.tag)};
    EXPECT_EQ(shortenTag(tag).nameKey, c.name != nullptr ? nameKey(c.name) : 0) << toUtf8(c.tag);
  }
}

TEST(Rewrite, OptionalEndTagsGoOnlyWithBlankText) {
  expectTable({
      {U"<tr><td>a</td>\r\n<td>b</TD>\r\n</tr>", U"<tr><td>a<td>b"},
      {U"<p>a</p>\t \r\n<p>b</P>", U"<p>a<p>b"},
      {U"<td>a</Td><td>b</td >", U"<td>a</Td><td>b"},  // other letter cases stay
      // Visible text after the end tag: the tag stays and its text is rewritten.
      {U"<td>a</td>b\r\n  c<td>", U"<td>a</td>b c<td>"},
      {U"<p>a</p> x<p>b", U"<p>a</p> x<p>b"},
      // Before an inline element the paragraph must stay closed.
      {U"<p>a</p> <b>x</b>", U"<p>a</p><b>x</b>"},
      {U"<p>a</p><span>x", U"<p>a</p><span>x"},
      {U"<p>a</p> <div>x", U"<p>a<div>x"},
  });
}

TEST(Rewrite, RepeatedEndTagGoesAfterRemovedTagsWhenItsTextIsBlank) {
  struct Slots {
    std::vector<const char32_t*> tags;
    std::vector<const char32_t*> texts;
    const char32_t* expected;
  };
  for (const Slots& c : {
           Slots{{U"b", U"/b", U"", U"b", U"/b"}, {U"x", U" ", U"gone", U"y", U""}, U"<b>x<b>y</b>"},
           Slots{{U"b", U"/b", U"", U"b", U"/b"}, {U"x", U"z", U"gone", U"y", U""}, U"<b>x</b>z<b>y</b>"},
           // Only with a removed tag between, and only the same name exactly.
           Slots{{U"b", U"/b", U"b", U"/b"}, {U"x", U"", U"y", U""}, U"<b>x</b><b>y</b>"},
           Slots{{U"i", U"/i", U"", U"I"}, {U"x", U"", U"", U"y"}, U"<i>x</i><I>y"},
       }) {
    PageSplit s;
    for (std::size_t k = 0; k < c.tags.size(); ++k) {
      s.tags[k] = c.tags[k];
      s.texts[k] = c.texts[k];
    }
    s.lastIndex = static_cast<int>(c.tags.size()) - 1;
    NoProgress progress;
    rewritePage(s, false, progress);
    EXPECT_EQ(joined(s), toUtf8(c.expected));
  }
}

TEST(Rewrite, TagSpacingAndQuotes) {
  expectTable({
      {U"<font color = \"red\">", U"<font color = \"red\">"},  // "=" not right before the quote
      {U"<a href=\"x y.htm\">", U"<a href=\"x y.htm\">"},
      {U"<img alt=\"\">", U"<img alt=\"\">"},
      {U"<img alt=\"  \">", U"<img alt=\"  \">"},  // a quoted value keeps its spaces
      {U"<a href=\"x.htm\">", U"<a href=x.htm>"},
      {U"<a href='x.htm'>", U"<a href='x.htm'>"},
      {U"<meta content=\"text/html; charset=gb2312\">", U"<meta content=\"text/html; charset=gb2312\">"},
      // A style value is CSS, where these spaces show nothing.
      {U"<p style=\"color: red\">", U"<p style=color:red>"},
      {U"<p title=\"a,  b\" STYLE = 'a:  b;  c' style-x=\"a, b\" xstyle=\"c, d\">",
       U"<p title=\"a,  b\" STYLE = 'a:b;c' style-x=\"a, b\" xstyle=\"c, d\">"},
      {U"<img src=\"x.gif\"  alt=\"y\">", U"<img src=x.gif alt=y>"},
      {U"<img src=\"x.gif\"alt=\"y\">", U"<img src=x.gif alt=y>"},
      {U"<a title=\"it's\" href=\"x\">", U"<a title=\"it's\" href=x>"},
      {U"<a title=\"<b>\">t", U"<a title=\"<b>\">t"},
      // Any white space keeps the quotes, not just the space.
      {U"<a title=\"a\tb\">", U"<a title=\"a\tb\">"},
      {U"<a title=\"a\nb\">\r\n", U"<a title=\"a\nb\">"},  // a lone LF in a CR LF page
      {U"<a title=\"a\nb\">", U"<a title=\"a\nb\">"},      // a quoted value keeps its line breaks
      {U"<a\r\n  title=\"a\r\n  b\"\r\n  href=\"x\">", U"<a title=\"a\r\n  b\" href=x>"},
      {U"<a onclick=\"a();//x\r\nb();\">", U"<a onclick=\"a();//x\r\nb();\">"},
      {U"<a title=\"a\fb\">", U"<a title=\"a\fb\">"},
      // Outside quoted values white space between attributes becomes one space.
      {U"<a   title=\"a ,  b ;  c\"  x=1>", U"<a title=\"a ,  b ;  c\" x=1>"},
      {U"<!--  a:  b  -->", U"<!-- a:b -->"},  // comments lose spaces after ":", ",", ";"
      {U"<input type=\"text\" value=\"Hello, world\" placeholder=\"Name:  first; last\">",
       U"<input type=text value=\"Hello, world\" placeholder=\"Name:  first; last\">"},
      {U"<input type='text' value='a,  b; c: d' title='single,  quoted'>",
       U"<input type='text' value='a,  b; c: d' title='single,  quoted'>"},
      {U"<input type=\"submit\" value=\"Send ,  now\">", U"<input type=submit value=\"Send ,  now\">"},
      {U"<button onclick=\"this.textContent = 'a, b;  c: d'\">",
       U"<button onclick=\"this.textContent = 'a, b;  c: d'\">"},
      {U"<a title='say \"a,  b\"'  x=1>", U"<a title='say \"a,  b\"' x=1>"},
      // A ="..." inside a single-quoted value belongs to it and keeps its quotes.
      {U"<a onclick='f(x=\"ab\")' title=\"y\">", U"<a onclick='f(x=\"ab\")' title=y>"},
      {U"<a title=\"it's\" href='x=\"y\"' b=\"c\">", U"<a title=\"it's\" href='x=\"y\"' b=c>"},
      {U"<a t='x=\"y\">", U"<a t='x=\"y\">"},
      {U"<a title =  \"a,  b\" ,  x=1>", U"<a title = \"a,  b\" , x=1>"},  // spaces may stand around "="
      // A space after an unquoted value or a name separates attributes.
      {U"<a x=a,  b>", U"<a x=a, b>"},
      {U"<a b\"c,  d\">", U"<a b\"c, d\">"},
      {U"<br  / >", U"<br />"},
      {U"<img src=\"x\"/>", U"<img src=x />"},
      {U"<td\tclass=\"a\" \f>", U"<td class=a>"},
      // A quoted value that ends in "=" is just a value.
      {U"<a t=\"x y=\" u=\"z\">", U"<a t=\"x y=\" u=z>"},
      {U"<a title=\"cpp/string/basic string/operator=\">x", U"<a title=\"cpp/string/basic string/operator=\">x"},
      {U"<a href=\"x=\">", U"<a href=x=>"},
      // The doctype's quoted identifiers and "<?...>" stay as written.
      {U"<!DOCTYPE html PUBLIC \"-//W3C//DTD  X\"><?xml a=\"b\"?>", U"<!DOCTYPE html PUBLIC \"-//W3C//DTD  X\"><?xml a=\"b\"?>"},
  });
}

// Shortening the first part of a comment that a ">" cut never makes it end
// there: the rest of it would show as text.
TEST(Rewrite, ACommentEndsWhereItEndedBefore) {
  const Case cases[] = {
      {U"<p>a<!-- x > y --> b</p>", U"<p>a<!-- x > y --> b"},
      {U"<p>g<!-- > --> h</p>", U"<p>g<!-- > --> h"},
      {U"<p>i<!--j-- >k--> l</p>", U"<p>i<!--j-- >k--> l"},
      {U"<p>q<!--a--! >b--> r</p>", U"<p>q<!--a--! >b--> r"},
      {U"<p>s<!--\r\n  x --\r\n  > --> t</p>", U"<p>s<!-- x -- > --> t"},
      {U"<p>u<!--\r\n  a   b \r\n-->  v</p>", U"<p>u<!-- a b --> v"},
  };
  for (const Case& c : cases) EXPECT_EQ(rewritten(c.page), toUtf8(c.expected)) << toUtf8(c.page);
}

// Long values are tested for what keeps their quotes a block at a time: one
// such character anywhere in the value keeps them, and its near neighbours
// (other control characters, "=", "?", "#", "&", wide characters, those whose
// low 16 bits are a "<" or a '"') do not.
TEST(Rewrite, OneCharacterAnywhereInALongValueDecidesItsQuotes) {
  const Text keeping = U" \t\r\n\f<>'";
  const Text notKeeping = U"\v\x01!#&=?\x3D\u4E2D\U0001F600\U0001003C\U00010022";
  for (const Text& characters : {keeping, notKeeping})
    for (char32_t c : characters)
      for (std::size_t at = 0; at < 19; ++at) {
        Text value(19, U'v');
        value[at] = c;
        SlotText tag(U"a title=\"" + value + U"\" href=\"x\"");
        shortenTag(tag);
        const bool keeps = characters == keeping;
        EXPECT_EQ(tag.view(), keeps ? U"a title=\"" + value + U"\" href=x" : U"a title=" + value + U" href=x")
            << static_cast<unsigned>(c) << " at " << at;
      }
}

// In a style value spaces after ":", ",", ";" and runs of white space go, but
// not inside a CSS string; the value then loses its quotes when it can.
TEST(Rewrite, StyleValuesAreTightenedAsCss) {
  expectTable({
      {U"<p style=\"color: red;  margin : 0 ,1\">", U"<p style=\"color:red;margin :0 ,1\">"},
      {U"<p style=\" color:\r\n red \">", U"<p style=color:red>"},
      {U"<p style=\"font-family: 'a,  b'\">", U"<p style=\"font-family:'a,  b'\">"},
      {U"<p style='content: \"x;  y\"'>", U"<p style='content:\"x;  y\"'>"},
      {U"<p style=\"content: 'it\\'s,  x'\">", U"<p style=\"content:'it\\'s,  x'\">"},
      {U"<p data-style=\"a:  b\">", U"<p data-style=\"a:  b\">"},
  });
}

// The scan ends a tag at the first ">", also inside a quoted value; what
// follows up to the value's closing quote is kept exactly.
TEST(Rewrite, AValueTheScanCutKeepsItsText) {
  expectTable({
      {U"<a title=\"x  >  y\"  href=\"z\">t  u<b>v  w", U"<a title=\"x  >  y\"  href=\"z\">t  u<b>v w"},
      {U"<a title=\"a > b\r\n<b>  c</b>  d\">e  f</a>", U"<a title=\"a > b\r\n<b>  c</b>  d\">e  f</a>"},
      {U"<a href=\"x.htm>t  <b>", U"<a href=\"x.htm>t  <b>"},  // never closed: the rest stays
  });
}

TEST(Rewrite, TextsBetweenTags) {
  expectTable({
      {U"<p>Hello,\r\n  world</p>", U"<p>Hello, world"},
      {U"<pre>Hello,\r\n  world</pre>x  y", U"<pre>Hello,\r\n  world</pre>x y"},
      {U"<PRE class=c>a  b<br>c  d</Pre>", U"<PRE class=c>a  b<br>c  d</Pre>"},
      // Any name that begins with "pre" opens a block, one that has no nameKey included.
      {U"<pre-x>a  b</pre-x>c  d<prelude>e  f</prelude>g  h<listing>i  j</listing>k  l",
       U"<pre-x>a  b</pre-x>c d<prelude>e  f</prelude>g h<listing>i  j</listing>k l"},
      {U"<table>\r\n  <tr>\r\n  <td>", U"<table><tr><td>"},
      {U"<table>\t<tr>", U"<table><tr>"},
      // "&nbsp; &nbsp;" may break a line where three "&nbsp;" do not: only in pre blocks.
      {U"<p>a&nbsp;&nbsp;&nbsp;b", U"<p>a&nbsp;&nbsp;&nbsp;b"},
      {U"<pre>a&nbsp;&nbsp;&nbsp;b</pre>", U"<pre>a&nbsp; &nbsp;b</pre>"},
      {U"<pre>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;", U"<pre>&nbsp; &nbsp; &nbsp;&nbsp;"},
      // White space between two inline elements is one space.
      {U"<b>x</b> \r\n <i>y</i>", U"<b>x</b> <i>y</i>"},
      {U"<b>x</b>\t<i>y</i>", U"<b>x</b> <i>y</i>"},
      {U"<img src=a.gif>\r\n<img src=b.gif>", U"<img src=a.gif> <img src=b.gif>"},
      {U"<b>x</b><i>y</i>", U"<b>x</b><i>y</i>"},
      {U"<b>x</b> <div>y</div>", U"<b>x</b><div>y</div>"},
      {U"<div>x</div> <b>y</b>", U"<div>x</div><b>y</b>"},
      {U"<a href=x>go</a>\r\n", U"<a href=x>go</a>"},
      // Blank text after the last tag goes, inside an open pre block too.
      {U"<html><pre>  \r\n", U"<html><pre>"},
      {U"<html><pre> x ", U"<html><pre> x "},
      // The contents of textarea, xmp and plaintext are kept exactly; listing is a pre block.
      {U"<TEXTAREA name=\"code\">line1\r\n    indented   code\r\n\tTabbed,  comma</TEXTAREA>\r\n<p>",
       U"<TEXTAREA name=code>line1\r\n    indented   code\r\n\tTabbed,  comma</TEXTAREA><p>"},
      {U"<textarea>  </textarea> <b>x</b>", U"<textarea>  </textarea> <b>x</b>"},
      {U"<textarea>&nbsp;&nbsp;&nbsp;\r\n", U"<textarea>&nbsp;&nbsp;&nbsp;\r\n"},
      {U"<xmp>  kept   <b>as</b>\r\n  written</xmp>", U"<xmp>  kept   <b>as</b>\r\n  written</xmp>"},
      {U"<listing>  also\r\n   kept</listing>  x", U"<listing>  also\r\n   kept</listing> x"},
      {U"<plaintext> <p>a  b\r\n ", U"<plaintext> <p>a  b\r\n "},
  });
}

TEST(Rewrite, TextBeforeTheFirstAndAfterTheLastTag) {
  expectTable({
      {U"  \r\n<html>x</html>\r\n", U"<html>x</html>"},
      {U"\uFEFF<html>", U"\uFEFF<html>"},
      {U"Hello\r\n  there <html>", U"Hello there <html>"},
      {U"\t\n<html>x</html>\n\t", U"<html>x</html>"},
      {U"<html>x</html>\r\nsigned", U"<html>x</html> signed"},
  });
}

TEST(Rewrite, ScriptsAndServerBlocks) {
  const char32_t* page = U"<script>  if (a) {\r\n    x  =  1;  }\r\n</script>\r\n<p>";
  expectTable({{page, U"<script>  if (a) {\r\n    x  =  1;  }\r\n</script><p>"}}, false);
  expectTable({{page, U"<script>if (a){\r\nx  =  1;}\r\n</script><p>"}}, true);
  expectTable({
      {U"<%  a  =  1  %>\r\n x", U"<%  a  =  1  %> x"},
      // The scan ended inside a script: no tag is rewritten, texts still are.
      {U"<p  class = \"x\">a\r\n  b<script>var  x;", U"<p  class = \"x\">a b<script>var  x;"},
  });
  expectTable({{U"<p>a<script>  var  x;  ", U"<p>a<script>var  x;"}}, true);
}

class RecordingProgress final : public ProgressIndicator {
 public:
  void setRange(int, int) override {}
  void setValue(int value) override { values.push_back(value); }
  std::vector<int> values;
};

TEST(Rewrite, ProgressAboutThirtyTimesPerPage) {
  for (int tags : {1, 29, 30, 300, 1000}) {
    Text page;
    for (int k = 0; k < tags; ++k) page += U"<b>x";
    PageSplit s = scanPage(page);
    RecordingProgress progress;
    rewritePage(s, false, progress);
    std::vector<int> expected;
    const int step = (tags - 1) / 30;
    for (int i = 0; step != 0 && i < tags; i += step) expected.push_back(i);
    EXPECT_EQ(progress.values, expected) << tags;
  }
}

}  // namespace
}  // namespace vantiro
