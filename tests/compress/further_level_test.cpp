// The further compression level: optional tags, comments, attributes and
// style sheets, each as a table of pages and what they become.
#include "compress/rewrite.h"

#include <gtest/gtest.h>

#include <string>

#include "compress/css_minify.h"
#include "compress/script_minify.h"
#include "compress/tag_scanner.h"
#include "platform/code_page.h"
#include "tests/compress/written_text.h"

namespace vantiro {
namespace {

std::string further(const Text& page, const StyleRules& styles = {}) {
  PageSplit s = scanPage(page);
  NoProgress progress;
  rewritePage(s, false, styles, progress, CompressionLevel::Further);
  return toUtf8(test::writtenText(s));
}

struct Case {
  const char32_t* page;
  const char32_t* expected;
};

void expectTable(std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_EQ(further(c.page), toUtf8(c.expected)) << toUtf8(c.page);
}

constexpr const char32_t* kDoctype = U"<!DOCTYPE html>";

TEST(FurtherLevel, EndTagsGoBeforeTheTagsThatEndTheirElement) {
  expectTable({
      {U"<ul><li>a</li><li>b</li></ul>", U"<ul><li>a<li>b</ul>"},
      {U"<ul>\n  <li>a</li>\n  <li>b</li>\n</ul>", U"<ul><li>a<li>b</ul>"},
      {U"<dl><dt>a</dt><dd>b</dd><dt>c</dt><dd>d</dd></dl>", U"<dl><dt>a<dd>b<dt>c<dd>d</dl>"},
      {U"<div><p>a</p><p>b</p><h1>c</h1></div>", U"<div><p>a<p>b<h1>c</h1></div>"},
      {U"<select><option>a</option><optgroup><option>b</option></optgroup></select>",
       U"<select><option>a<optgroup><option>b</select>"},
      {U"<ruby>a<rt>x</rt><rp>(</rp></ruby>", U"<ruby>a<rt>x<rp>(</ruby>"},
      {U"<table><caption>c</caption><thead><tr><th>h</th></tr></thead><tbody><tr><td>a</td><td>b</td></tr>"
       U"<tr><td>c</td></tr></tbody><tfoot><tr><td>f</td></tr></tfoot></table>",
       U"<table><caption>c<thead><tr><th>h<tbody><tr><td>a<td>b<tr><td>c<tfoot><tr><td>f</table>"},
      {U"<table><colgroup><col><col></colgroup><tr><td>a</td></tr></table>",
       U"<table><col><col><tr><td>a</table>"},
      {U"<html><head><title>t</title></head><body><p>a</p></body></html>", U"<html><title>t</title><p>a"},
  });
}

TEST(FurtherLevel, EndTagsStayWhereTheirConditionFails) {
  expectTable({
      // Something else follows in the same parent, or the parent's end tag
      // would not end the element.
      {U"<ul><li>a</li><script>x</script></ul>", U"<ul><li>a</li><script>x</script></ul>"},
      {U"<ul><li>a</li><!--[if IE]>x<![endif]--><li>b</ul>", U"<ul><li>a</li><!--[if IE]>x<![endif]--><li>b</ul>"},
      {U"<a href=x><p>a</p></a>", U"<a href=x><p>a</p></a>"},
      {U"<span><li>a</li></span>", U"<span><li>a</li></span>"},
      {U"<dl><dt>a</dt></dl>", U"<dl><dt>a</dt></dl>"},
      {U"<table><thead><tr><td>a</thead></table>", U"<table><thead><tr><td>a</thead></table>"},
      {U"<table><caption>c</caption><div>x</div></table>", U"<table><caption>c</caption><div>x</div></table>"},
      {U"<table><colgroup><col></colgroup><col></table>", U"<table><col></colgroup><col></table>"},
      // Visible text after it, an element left open inside it, attributes.
      {U"<p>a</p>b<p>c", U"<p>a</p>b<p>c"},
      {U"<ul><li>a</li x><li>b</ul>", U"<ul><li>a</li x><li>b</ul>"},
      {U"<ul><li>a</li> <li>b</ul>", U"<ul><li>a<li>b</ul>"},
      // A comment after </html>, </body> or </head> stays where it is.
      {U"<body><p>a</body><!--! kept--></html>", U"<p>a</body><!--! kept-->"},
      {U"<head><title>t</title></head><noscript>n</noscript>", U"<title>t</title></head><noscript>n</noscript>"},
  });
}

// Each end tag's condition: a page where it goes, then pages where it stays.
TEST(FurtherLevel, EachEndTagGoesOnlyWhereItsConditionHolds) {
  struct Condition {
    const char32_t* goes;
    const char32_t* gone;
    const char* tag;                               // the end tag that stays in
    std::initializer_list<const char32_t*> stays;  // these pages
  };
  for (const Condition& c : {
           Condition{U"<ol><li>a</li></ol>", U"<ol><li>a</ol>", "</li>", {U"<ol><li>a</li><b>b</b></ol>", U"<menu><li>a</li>b"}},
           Condition{U"<dl><dt>a</dt><dd>b</dd></dl>", U"<dl><dt>a<dd>b</dl>", "</dt>",
                     {U"<dl><dt>a</dt><div>b</div></dl>", U"<dl><dt>a</dt></dl>"}},
           Condition{U"<div><p>a</p></div>", U"<div><p>a</div>", "</p>",
                     {U"<video><p>a</p></video>", U"<x-y><p>a</p></x-y>", U"<p>a</p><img src=x>"}},
           Condition{U"<ruby>a<rp>(</rp><rt>b</rt></ruby>", U"<ruby>a<rp>(<rt>b</ruby>", "</rt>",
                     {U"<ruby>a<rt>b</rt><b>c</b></ruby>", U"<div><rt>b</rt><rp>c</rp></div>"}},
           Condition{U"<datalist><option>a</option></datalist>", U"<datalist><option>a</datalist>", "</option>",
                     {U"<select><option>a</option><hr></select>", U"<select><optgroup><option>a</option><b>x</b></select>"}},
           Condition{U"<table><tbody><tr><td>a</tbody><tbody><tr><td>b</table>",
                     U"<table><tr><td>a<tbody><tr><td>b</table>", "</tfoot>", {U"<table><tfoot><tr><td>a</tfoot><tbody></table>"}},
           Condition{U"<table><tr><th>a</th><td>b</td></tr></table>", U"<table><tr><th>a<td>b</table>", "</th>",
                     {U"<table><tr><th>a</th>b</table>", U"<table><tr><th>a</th><caption>c</table>"}},
           Condition{U"<table><caption>c</caption></table>", U"<table><caption>c</table>", "</caption>",
                     {U"<table><caption>c</caption><p>x</table>", U"<table><caption>c</caption><!--! x--></table>"}},
       }) {
    EXPECT_EQ(further(c.goes), toUtf8(c.gone)) << toUtf8(c.goes);
    for (const char32_t* page : c.stays) {
      const std::string kept = further(page);
      EXPECT_NE(kept.find(c.tag), std::string::npos) << toUtf8(page) << " -> " << kept;
    }
  }
}

TEST(FurtherLevel, EndTagsOfSpansGoWhereTheEndTagOfWhatHoldsThemClosesThem) {
  expectTable({
      {U"<p><code><span>a</span></code>", U"<p><code><span>a</code>"},
      {U"<div><a href=x><span>a</span><span>b</span></a></div>", U"<div><a href=x><span>a</span><span>b</a></div>"},
      {U"<ul><li><span class=k>a</span></li></ul>", U"<ul><li><span class=k>a</ul>"},
      {U"<em><span><label>a</label></span></em>", U"<em><span><label>a</em>"},
      {U"<em><span>a</span></em>b", U"<em><span>a</em>b"},
      // The last of a run of such end tags stays when no other follows.
      {U"<div><span><kbd>a</kbd></span> b</div>", U"<div><span><kbd>a</span> b</div>"},
      // Where they stay: an end tag of the same name would close the inner
      // element; a formatting element would be opened again; text, an
      // unmatched end tag, a "special" element, svg.
      {U"<span><span>a</span></span>b", U"<span><span>a</span></span>b"},
      {U"<span><q><span>a</span></q></span>b", U"<span><q><span>a</span></span>b"},
      {U"<a href=x><code>a</code></a>", U"<a href=x><code>a</code></a>"},
      {U"<code><span>a</span> </code>", U"<code><span>a</span> </code>"},
      {U"<code><span>a</span></b></code>", U"<code><span>a</span></b></code>"},
      {U"<form><span>a</span></form>", U"<form><span>a</span></form>"},
      {U"<div><span>a</span></div>", U"<div><span>a</div>"},
      {U"<button><span>a</span></button>", U"<button><span>a</span></button>"},
      {U"<svg><text><tspan><span>a</span></text></svg>", U"<svg><text><tspan><span>a</span></text></svg>"},
  });
}

// Where a browser builds other elements than the tags say (a button inside
// a button, cells outside a table, a block inside a phrase), what holds a
// span is not known, and its end tag stays.
TEST(FurtherLevel, EndTagsOfSpansStayWhereTheBrowserBuildsOtherwise) {
  for (const char32_t* page : {
           U"<button><nav><button></button><dd><span>a</span></dd></nav>b",
           U"<li><td><button></td></code><ul><button></button><span>a</span></ul>b",
           U"<p><table><pre><h3><em></em><td></td><span>a</span></h3>b",
           U"<div><p><em>x<div>y</div><span>a</span></em></p></div>",
       }) {
    const std::string kept = further(page);
    EXPECT_NE(kept.find("a</span>"), std::string::npos) << toUtf8(page) << " -> " << kept;
  }
}

TEST(FurtherLevel, EndTagsOfBlocksGoBeforeTheEndOfABlockThatClosesAllInside) {
  expectTable({
      {U"<section><div><p>a</p></div></section>", U"<section><div><p>a</section>"},
      {U"<div><ul><li><span>a</span></li></ul></div>", U"<div><ul><li><span>a</div>"},
      // Where they stay: the same name; an end tag the browser handles
      // otherwise, or one a later tag may leave out.
      {U"<div><div>a</div></div>", U"<div><div>a</div></div>"},
      {U"<div><nav><div>a</div></nav></div>", U"<div><nav><div>a</div></div>"},
      {U"<a href=x><div>a</div></a>", U"<a href=x><div>a</div></a>"},
      {U"<ul><li>x<ul><li>a</li></ul></li><li>b</li></ul>", U"<ul><li>x<ul><li>a</ul><li>b</ul>"},
      {U"<form><div>a</div></form>", U"<form><div>a</div></form>"},
  });
}

TEST(FurtherLevel, StartTagsGoOnlyWhereTheBrowserInfersThem) {
  expectTable({
      {U"<html><head><meta charset=utf-8></head><body><div>a</div></body></html>",
       U"<html><meta charset=utf-8><div>a</div>"},
      {U"<html><head lang=en><title>t</title></head><body class=x><div>a</div>",
       U"<html><head lang=en><title>t</title><body class=x><div>a</div>"},
      // The body's first thing decides.
      {U"<head><title>t</title></head><body>text", U"<title>t</title>text"},
      {U"<head><title>t</title></head><body><script>x</script><p>a", U"<title>t</title><body><script>x</script><p>a"},
      {U"<head><title>t</title></head><body><!--! c--><p>a", U"<title>t</title><body><!--! c--><p>a"},
      {U"<head><title>t</title></head><body> text", U"<title>t</title><body> text"},
      // tbody and colgroup only before their first row or column.
      {U"<table><tbody><tr><td>a</td></tr></tbody></table>", U"<table><tr><td>a</table>"},
      {U"<table><tbody class=x><tr><td>a</td></tr></tbody></table>", U"<table><tbody class=x><tr><td>a</table>"},
      {U"<table><tbody><tr><td>a<tbody><tr><td>b</table>", U"<table><tr><td>a<tbody><tr><td>b</table>"},
      {U"<table><thead><tr><td>a</td></tr></thead><tbody><tr><td>b</td></tr></tbody></table>",
       U"<table><thead><tr><td>a<tbody><tr><td>b</table>"},
      {U"<table><colgroup span=2></colgroup><tbody><tr><td>a</table>", U"<table><colgroup span=2><tr><td>a</table>"},
  });
}

TEST(FurtherLevel, ParagraphsBeforeTablesEndOnlyInStandardsMode) {
  EXPECT_EQ(further(Text(kDoctype) + U"<p>a</p><table><tr><td>b</table>"),
            toUtf8(Text(kDoctype) + U"<p>a<table><tr><td>b</table>"));
  EXPECT_EQ(further(U"<p>a</p><table><tr><td>b</table>"), "<p>a</p><table><tr><td>b</table>");
}

TEST(FurtherLevel, WhiteSpaceAnInlineRuleShowsKeepsItsTag) {
  StyleRules styles;
  styles.add(U"li { display: inline }");
  EXPECT_EQ(further(U"<ul><li>a</li> <li>b</li></ul>", styles), "<ul><li>a</li> <li>b</ul>");
}

TEST(FurtherLevel, Comments) {
  expectTable({
      {U"<p>a<!-- note -->b</p>", U"<p>ab"},
      {U"<!-- top --><div>a</div>", U"<div>a</div>"},
      {U"<div>a<!--[if IE]><p>x<![endif]--></div>", U"<div>a<!--[if IE]><p>x<![endif]--></div>"},
      {U"<div><!--! licence -->a</div>", U"<div><!--! licence -->a</div>"},
      // Read as text inside a title; not a whole comment when a ">" cut it.
      {U"<title>a<!--x-->b</title>", U"<title>a<!--x-->b</title>"},
      // A comment a ">" cuts keeps what ends its first part, and stays.
      {U"<div><!-- a > b -->c</div>", U"<div><!-- a > b -->c</div>"},
      {U"<p>g<!-- > --> h</p>", U"<p>g<!-- > --> h"},
      {U"<p>i<!--j-- >k--> l</p>", U"<p>i<!--j-- >k--> l"},
      {U"<p>q<!--a--! >b--> r</p>", U"<p>q<!--a--! >b--> r"},
      {U"<p>s<!--\r\n  x --\r\n  > --> t</p>", U"<p>s<!-- x -- > --> t"},
  });
}

TEST(FurtherLevel, Attributes) {
  expectTable({
      {U"<div class='a' id=\"b\">x</div>", U"<div class=a id=b>x</div>"},
      {U"<div title=\"\" class=\"  a   b \">x</div>", U"<div title class=\"a b\">x</div>"},
      {U"<input type=checkbox checked=\"checked\" disabled=''>", U"<input type=checkbox checked disabled>"},
      {U"<option selected=\"yes\">x", U"<option selected=yes>x"},
      {U"<script type=\"text/javascript\" language=\"JavaScript\">x</script>", U"<script>x</script>"},
      {U"<script type=\"module\" language=\"javascript\">x</script>", U"<script type=module>x</script>"},
      {U"<script language=\"vbscript\">x</script>", U"<script language=vbscript>x</script>"},
      {U"<script type=\"text/javascript\" type=\"module\">x</script>",
       U"<script type=text/javascript type=module>x</script>"},
      {U"<link rel=stylesheet type=\"text/css\" href=a.css><form method=GET action=x></form>",
       U"<link rel=stylesheet href=a.css><form action=x></form>"},
      {U"<a title='say \"hi\"' href=x>y</a>", U"<a title='say \"hi\"' href=x>y</a>"},
      {U"<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><meta http-equiv=\"Content-Type\" "
       U"content=\"text/html; charset=gb2312\" />",
       U"<html><meta charset=gb2312>"},
      {U"<br/><img src=\"a.png\" /><svg><path d='1'/></svg>", U"<br><img src=a.png><svg><path d=1 /></svg>"},
      {U"<div style=\"color : red ; margin : 0 auto ;\">x</div>", U"<div style=\"color:red;margin:0 auto\">x</div>"},
  });
}

// A class list is read a block at a time for white space to collapse: a
// doubled space, a tab or a line break anywhere in a long list is found,
// single spaces between names change nothing.
TEST(FurtherLevel, WhiteSpaceAnywhereInALongClassListCollapses) {
  for (const char32_t* space : {U"  ", U"\t", U"\n", U" "})
    for (std::size_t at = 1; at < 20; ++at) {
      const Text names = U"abcdefghijklmnopqrst";
      const Text classes = names.substr(0, at) + space + names.substr(at);
      const Text collapsed = names.substr(0, at) + U" " + names.substr(at);
      EXPECT_EQ(further(U"<p class=\"" + classes + U"\">x"), toUtf8(U"<p class=\"" + collapsed + U"\">x"))
          << toUtf8(classes);
    }
}

TEST(FurtherLevel, CharacterReferencesInText) {
  expectTable({
      {U"<p>a &gt; b &quot;c&quot; &#39;d&apos; &#x40;&#64;", U"<p>a > b \"c\" 'd' @@"},
      {U"<p>&amp;copy; &amp; x &lt;b&gt; 1 &lt; 2 &lt;", U"<p>&amp;copy; & x &lt;b> 1 < 2 &lt;"},
      {U"<p>--&gt; &#45;&#62; &#9;&#160;", U"<p>--&gt; &#45;> &#9;&#160;"},
      {U"<textarea>&gt;</textarea><script>\"&gt;\"</script>", U"<textarea>&gt;</textarea><script>\"&gt;\"</script>"},
      {U"<p>&amp;&#35;120; &amp;&amp; x", U"<p>&amp;#120; &amp;& x"},
  });
}

TEST(FurtherLevel, ReferencesBeyondAsciiAreWrittenOutInPagesReadAsUtf8) {
  const auto utf8Page = [](const std::string& page) {
    PageSplit s = scanPage(PageChars::decode(page, CodePage::utf8()));
    NoProgress progress;
    rewritePage(s, false, StyleRules{}, progress, CompressionLevel::Further);
    return CodePage::utf8().encode(test::writtenText(s));
  };
  const std::string refs = "<p>&#187; &copy;&nbsp;&#x2192;&mdash;&#128512;<title>a &#8212; b</title>";
  const std::string kept = "<p>&#150; &#xFEFF; &#xFFFE; &#55296; &shy; &copy &unknown;";
  for (const auto& [page, expected] : std::initializer_list<std::pair<std::string, std::string>>{
           {"<meta charset=utf-8>" + refs,
            "<meta charset=utf-8><p>\u00bb \u00a9\u00a0\u2192\u2014\U0001F600<title>a \u2014 b</title>"},
           {"\xEF\xBB\xBF<p>&copy;", "\xEF\xBB\xBF<p>\u00a9"},
           {"<meta charset=utf-8>" + kept, "<meta charset=utf-8>" + kept},
           // Not declared, or declared otherwise: a browser may read other characters.
           {refs + "\u00e9", refs + "\u00e9"},
           {"<meta charset=windows-1252>" + refs, "<meta charset=windows-1252>" + refs},
       })
    EXPECT_EQ(utf8Page(page), expected) << page;
}

TEST(FurtherLevel, StyleSheets) {
  struct Sheet {
    const char32_t* css;
    const char32_t* expected;
  };
  for (const Sheet& c : {
           Sheet{U"  a , b  >  c { color : red ; margin : 0 auto ; }  ", U"a,b>c{color:red;margin:0 auto}"},
           Sheet{U"a :hover , a::before{x:y}", U"a :hover,a::before{x:y}"},
           Sheet{U"/* c */ a /* d */ b{}", U"a b{}"},
           Sheet{U"a/**/b{}", U"a/**/b{}"},
           Sheet{U"@media screen and ( max-width : 10px ) { p { x : 1px !important } }",
                 U"@media screen and (max-width : 10px){p{x:1px!important}}"},
           Sheet{U"p{content: \"a  ;  b\" ; background: url( a b.png ) }",
                 U"p{content:\"a  ;  b\";background:url( a b.png )}"},
           Sheet{U"p { --x :  a  { b } ; color: calc( 1px + 2px ) }", U"p{--x :  a  { b } ;color:calc(1px + 2px)}"},
           Sheet{U"li:nth-child( 2n + 1 ) { } a { b: c } ", U"li:nth-child(2n + 1){}a{b:c}"},
           Sheet{U"p { &:hover > a { x: y } }", U"p{&:hover>a{x:y}}"},
           Sheet{U"a { x: \"broken\n  b: c }", U"a{x:\"broken\nb:c}"},
       }) {
    SlotText sheet{TextView(c.css)};
    minifyStyleSheet(sheet);
    EXPECT_EQ(toUtf8(sheet.view()), toUtf8(c.expected)) << toUtf8(c.css);
  }
}

TEST(FurtherLevel, Scripts) {
  struct Script {
    const char32_t* code;
    const char32_t* expected;
  };
  for (const Script& c : {
           Script{U"  var a = 1 ;\n  if ( a ) { b ( ) ; }\n", U"var a=1;if(a){b();}"},
           Script{U"a = b\n++c\nreturn\nx", U"a=b\n++c\nreturn\nx"},
           Script{U"f(a,\n  b)\n;x = {\n y: 1\n}", U"f(a,b);x={y:1}"},
           Script{U"a + +b; a - -b; a / /re/g; x = 1 .toString()", U"a+ +b;a- -b;a/ /re/g;x=1 .toString()"},
           Script{U"s = 'a  // b' + \"c /* d */\" // gone\nt", U"s='a  // b'+\"c /* d */\"\nt"},
           Script{U"x = y /* one */ + z /* two\n */ w", U"x=y+z\nw"},
           Script{U"/*! keep  me */ a = 1", U"/*! keep  me */a=1"},
           Script{U"r = / a b /i .test(s); q = a / b / c", U"r=/ a b /i.test(s);q=a/b/c"},
           Script{U"t = `a  ${ b + `c  ${ d } ` }  e` ; u", U"t=`a  ${b+`c  ${d} `}  e`;u"},
           Script{U"if (a < !--b) c\n--> comment\nd", U"if(a< !--b)c\nd"},
           Script{U"return /x/ . test ( y )", U"return/x/.test(y)"},
       }) {
    SlotText script{TextView(c.code)};
    minifyScript(script, LineBreak::Lf);
    EXPECT_EQ(toUtf8(script.view()), toUtf8(c.expected)) << toUtf8(c.code);
  }
}

TEST(FurtherLevel, StyleElementsAreMinifiedUnlessARuleKeepsTheirText) {
  EXPECT_EQ(further(U"<style>\n a { color : red }\n</style>"), "<style>a{color:red}</style>");
}

}  // namespace
}  // namespace vantiro
