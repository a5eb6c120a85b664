// The rewriting pass against what a browser shows: white space that may show
// stays, end tags go only where HTML ends the element by itself, and what a
// page's style rules could show as written is left alone.
#include <gtest/gtest.h>

#include <string>

#include "compress/rewrite.h"
#include "compress/tag_scanner.h"
#include "tests/compress/written_text.h"

namespace vantiro {
namespace {

struct Case {
  const char32_t* page;
  const char32_t* expected;
};

std::string rewritten(const Text& page, const StyleRules& styles, bool scripts = false) {
  PageSplit s = scanPage(page);
  NoProgress progress;
  rewritePage(s, scripts, styles, progress);
  return toUtf8(test::writtenText(s));
}

void expectTable(std::initializer_list<Case> cases, const char32_t* css = U"", bool scripts = false) {
  StyleRules styles;
  styles.add(css);
  for (const Case& c : cases) EXPECT_EQ(rewritten(c.page, styles, scripts), toUtf8(c.expected)) << toUtf8(c.page);
}

TEST(ShownTheSame, WhiteSpaceBetweenPhrasingElementsStays) {
  expectTable({
      {U"<a href=#><svg width=9></svg>\n<strong>Album</strong></a>", U"<a href=#><svg width=9></svg> <strong>Album</strong></a>"},
      {U"<p><user-chip>Alice</user-chip>\n<user-chip>Bob</user-chip>", U"<p><user-chip>Alice</user-chip> <user-chip>Bob</user-chip>"},
      {U"<canvas></canvas>\n<progress></progress>\n<meter></meter>", U"<canvas></canvas> <progress></progress> <meter></meter>"},
      {U"<nobr>a</nobr>\n<ruby>b</ruby>\n<math>c</math>\n<font>d</font>", U"<nobr>a</nobr> <ruby>b</ruby> <math>c</math> <font>d</font>"},
      // Across comments and hidden elements, to what stands beyond them.
      {U"<b>a</b>\n<!-- c -->\n<i>b</i>", U"<b>a</b> <!-- c --> <i>b</i>"},
      {U"<b>a</b>\n<script>x()</script>\n<i>b</i>", U"<b>a</b> <script>x()</script> <i>b</i>"},
      {U"<div>a</div>\n<!-- c -->\n<i>b</i>", U"<div>a</div><!-- c --><i>b</i>"},
      {U"word<!-- c -->\n<i>b</i>", U"word<!-- c --> <i>b</i>"},
      // Beside a block, at a line's start or end, white space never shows.
      {U"<div>\n<b>a</b>\n</div>\n<p>\n<i>b</i>", U"<div><b>a</b></div><p><i>b</i>"},
      {U"<ul>\n<li>a</li>\n<li>b</li>\n</ul>", U"<ul><li>a</li><li>b</li></ul>"},
      {U"<head>\n<title>t</title>\n<meta charset=utf-8>\n</head>", U"<head><title>t</title><meta charset=utf-8></head>"},
      // An end tag that closes nothing is no box: the text around it meets.
      {U"<b>a</b>\n</div>\n<i>b</i>", U"<b>a</b> </div> <i>b</i>"},
  });
}

TEST(ShownTheSame, EndTagsGoOnlyWhereTheElementEndsByItself) {
  expectTable({
      {U"<p>one</p>\n<br><br>\n<p>two</p>", U"<p>one</p><br><br><p>two"},
      {U"<p>A.</p>\n<my-note>B</my-note>", U"<p>A.</p><my-note>B</my-note>"},
      {U"<p>a</p>\n<svg></svg>", U"<p>a</p><svg></svg>"},
      {U"<p>a</p><math display=block>", U"<p>a</p><math display=block>"},
      {U"<p>a</p><script type=application/json>{}</script>", U"<p>a</p><script type=application/json>{}</script>"},
      {U"<p>a</p>\n<p>b</p>\n<div>c</div>", U"<p>a<p>b<div>c</div>"},
      {U"<div><p>a</p>\n</div>", U"<div><p>a</div>"},
      {U"<p>a</p><!-- x -->\n<ul>", U"<p>a<!-- x --><ul>"},
      // A parent that a p's end does not close keeps it.
      {U"<span><p>a</p></span>", U"<span><p>a</p></span>"},
      {U"<a href=x><p>a</p></a>", U"<a href=x><p>a</p></a>"},
      {U"<video><p>a</p></video>", U"<video><p>a</p></video>"},
      // A "</p>" after the paragraph was ended stands for an empty one.
      {U"<li><p>a <dl><dt>b</dl>\n</p></li>", U"<li><p>a <dl><dt>b</dl></p></li>"},
      {U"<table><tr><td><p>a<dl></dl></p></td>", U"<table><tr><td><p>a<dl></dl></p>"},
      {U"<p>a<button><div>b</div></p>", U"<p>a<button><div>b</div></p>"},
      {U"<p class=x><p>a</p>\n</p>\n<p>b", U"<p class=x><p>a</p></p><p>b"},
      // A table ends a paragraph only in standards mode.
      {U"<p>a</p>\n<table>", U"<p>a</p><table>"},
      {U"<!DOCTYPE html>\n<p>a</p>\n<table>", U"<!DOCTYPE html><p>a<table>"},
      // Cells and rows.
      {U"<table><tr><td>a</td>\n<td>b</td>\n</tr>\n<tr><th>c</th></tr>\n</table>", U"<table><tr><td>a<td>b<tr><th>c</th></table>"},
      {U"<td>a</td><!-- x -->\n<td>b</td>", U"<td>a<!-- x --><td>b"},
      {U"<td>a</td>\n<div>b</div>", U"<td>a</td><div>b</div>"},
      {U"<tr><td>a</td></tr>\n<tbody>", U"<tr><td>a<tbody>"},
  });
}

TEST(ShownTheSame, StyleRulesDecideWhatIsInlineAndWhatKeepsItsSpaces) {
  const char32_t* page = U"<ul>\n<li>a</li>\n<li>b</li>\n</ul>";
  expectTable({{page, U"<ul><li>a</li> <li>b</li></ul>"}}, U"div.related li { display: inline }");
  expectTable({{page, U"<ul><li>a</li><li>b</li></ul>"}}, U"li { display: block }");
  // An end tag whose white space shows stays with it.
  expectTable({{U"<p class=t>Note</p>\n<p>Text</p>\n<div>", U"<p class=t>Note</p> <p>Text<div>"}},
              U"div.admonition p.t + p { display: inline } p.t { display: inline }");
  expectTable(
      {
          {U"<div class=code>a  b\n  <span>c</span>\n</div>\n<p>d  e", U"<div class=code>a  b\n  <span>c</span>\n</div><p>d e"},
          {U"<div id=x>\n<b>a</b>\n</div>", U"<div id=x>\n<b>a</b>\n</div>"},
      },
      U".code { white-space: pre-wrap } #x { white-space-collapse: preserve }");
  // Hidden or floating blocks leave the text on both sides in one line.
  expectTable({{U"<b>a</b>\n<div class=m>x</div>\n<i>b</i>", U"<b>a</b> <div class=m>x</div> <i>b</i>"}},
              U".m { display: none }");
  expectTable({
      {U"<b>a</b>\n<div hidden>x</div>\n<i>b</i>", U"<b>a</b> <div hidden>x</div> <i>b</i>"},
      {U"<b>a</b>\n<div title=\"t\" HIDDEN>x</div>\n<i>b</i>", U"<b>a</b> <div title=t HIDDEN>x</div> <i>b</i>"},
      // Only the attribute hides it, not the word in a value.
      {U"<b>a</b>\n<div title=\"hidden\">x</div>\n<i>b</i>", U"<b>a</b><div title=hidden>x</div><i>b</i>"},
      {U"<div style=\"float: left\">x</div>\n<b>a</b>", U"<div style=float:left>x</div> <b>a</b>"},
      {U"<div style=\"white-space:pre\">a  b</div>", U"<div style=white-space:pre>a  b</div>"},
  });
}

// A style attribute acts through the properties it names, in any letter
// case or escaped, and only through them.
TEST(ShownTheSame, AStyleAttributeActsByThePropertiesItNames) {
  struct StyleCase {
    const char32_t* style;
    bool shownInline;  // the white space beside the div stays
    bool keepsSpaces;  // the white space inside it stays as written
  };
  for (const StyleCase& c : std::initializer_list<StyleCase>{
           {U"DISPLAY:Inline", true, false},
           {U"Position: fixed", true, false},
           {U"all: unset", true, false},  // only a value holding "space" is read for what it keeps
           {U"di\\73 play:inline", true, false},
           {U"White-Space-Collapse: preserve", false, true},
           {U"margin: 0; content: 'display: inline'", false, false},
           {U"list-style-type: disc; ", false, false},
       }) {
    const Text page = U"<b>a</b>\n<div style=\"" + Text(c.style) + U"\">x  y</div>\n<i>b</i>";
    const std::string written = rewritten(page, StyleRules());
    EXPECT_EQ(written.find("</b> <div") != std::string::npos, c.shownInline) << written;
    EXPECT_EQ(written.find("x  y") != std::string::npos, c.keepsSpaces) << written;
  }
}

TEST(ShownTheSame, RawTextStaysRaw) {
  expectTable({
      {U"<style>p  {  content: \"a    b\" }\n/*  x  */</style>", U"<style>p { content: \"a    b\" } /*  x  */</style>"},
      {U"<style>a<b {}</style><p>", U"<style>a<b {}</style><p>"},
  });
  expectTable(
      {
          {U"<script>alert(\"Ink  { black }\");  {  x(); }</script>", U"<script>alert(\"Ink  { black }\");{x();}</script>"},
          {U"<script type=application/json>{ \"a\":  1 }</script>", U"<script type=application/json>{ \"a\":  1 }</script>"},
          {U"<script type=\"application/ld+json\">{ }</script>", U"<script type=application/ld+json>{ }</script>"},
          {U"<script type=importmap>{ }</script>", U"<script type=importmap>{ }</script>"},
          {U"<script type=module>{ }</script>", U"<script type=module>{}</script>"},
      },
      U"", true);
}

}  // namespace
}  // namespace vantiro
