// A page compressed a window at a time gives the bytes the whole page gives,
// wherever the windows fall: windows of a few bytes and margins of a tag or
// two cut these pages at every tag, inside the elements, blocks and values
// whose state a window carries to the next.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compress/page_compressor.h"
#include "compress/page_pieces.h"
#include "platform/code_page.h"

namespace vantiro {
namespace {

// `fragment` `times` times over.
std::string many(const std::string& fragment, int times = 100) {
  std::string text;
  for (int k = 0; k < times; ++k) text += fragment;
  return text;
}

// Pages whose elements, blocks and values stay open over a hundred tags and
// more, so that windows begin inside them.
std::vector<std::string> pages() {
  return {
      // Standards mode, which the first tag decides: a table ends the open
      // paragraph, and the "</p>" after it closes nothing.
      "<!DOCTYPE html><html><body><p>" + many("<b>x</b> ") + "<table><tr><td>b</td></tr></table></p>\n<div>c</div>",
      // Quirks mode: a table inside a paragraph, and a "</p>" that closes it.
      "<html><body><p>text " + many("<span> a </span> ") + "<table><tr><td>c</td></tr></table> after</p>\n<div>",
      // A pre block that its parent's end tag closes, and the texts after it
      // kept as written up to a "</pre>".
      "<html><body><div><pre>" + many(" a  <i> b </i>  c\n") + "</div>" + many(" d   e <b> f </b>   ") +
          "</pre> g   h</body></html>",
      "<html><body><listing>" + many(" a  <b> b </b> ") + "</listing> c  d <xmp>" + many(" <b> raw </b> ") +
          "</xmp> <textarea>" + many(" v  w ", 3) + "</textarea> e</html>",
      // Style rules at the end of the page decide the spaces before them.
      "<html><body>" + many("<span class=k>  a   b  </span>\n<em> c </em>\n") +
          "<style>.k { white-space: pre } em { display: block }</style></body></html>",
      "<html><body><div style=\"white-space:pre\">" + many("  a <b> b </b>  ") + "</div>\n<div hidden>" +
          many(" c <i> d </i>") + "</div>  e </body></html>",
      // A script that never closes keeps every tag before it as it is.
      "<html><body>" + many("<b>x</b>\n<i> y </i>  <a href=\"u\" title='t'> z </a>") + "<script> tail < of  the page",
      // Scripts, style sheets, values cut at a ">", CR LF lines, comments and server blocks.
      "<html>\r\n<body>\r\n" +
          many("<script>var a = 1 < 2;\r\n  if (a) { b(); }</script> <b>x</b>\r\n<style> p  { color : red } </style>"
               "<a title=\"a > b\" href=x>  link  </a>\r\n<!-- a\r\n comment -->\r\n<% server\r\n %>"
               "<img alt='q>r' src=y>  \r\n<p>  end  </p>\r\n",
               30) +
          "</body>\r\n</html>\r\n",
      // Optional end tags with comments and blank texts between.
      "<html><body><table>" + many("<tr><td>a</td> <!-- c --> <td>b</td>\n</tr>\n<!-- d -->\n") +
          "</table>" + many("<p>x</p>\n<!-- e -->\n<p>y</p> </b></b><b>w</b>") + "</body></html>",
      // Deep nesting, and white space before the first tag.
      "\xEF\xBB\xBF \n <html><body>" + many("<div><b> a ") + many("</b> </div>") + "</body></html>",
      // Characters beyond ASCII.
      "<html><body>" + many("<p>\xE4\xB8\xAD\xE6\x96\x87  \xE6\xB5\x8B </p> <b>\xF0\x9F\x98\x80</b>\n") +
          "</body></html>",
      // Tags a browser infers: list items, cells, spans their parents' end
      // closes, a body that starts with its text; blocks nested deep.
      "<html><head><title>t</title></head><body>text<ul>" + many("<li>a</li>\n<li><span>b</span></li>") +
          "</ul><table>" + many("<tr><td>1</td><td>2</td></tr>") + "</table>" + many("<div><span>x", 80) +
          many("</span></div>", 80) + "<table><colgroup><col></colgroup><tbody><tr><td>z</td></tr></tbody></table>",
      // Start tags of table parts that go by what was written before them,
      // which a window may begin right after.
      "<html><body>" +
          many("<table><caption>c</caption><colgroup><col></colgroup><tbody><tr><td>a</td></tr></tbody></table>\n"
               "<table><colgroup><col><tbody><tr><td>b</td></tr></table>",
               40),
      // Comments a noscript reads as text, and comments between them.
      "<html><body><noscript>" + many("<!-- c --><b>x</b> ") + "</noscript>" + many("<!-- d --> <i>y</i>") +
          "</body></html>",
      // An XML declaration that goes for a meta far after it; references
      // written out as characters on a page read as UTF-8.
      "<?xml version=\"1.0\"?>\n<html><head>" + many("<link rel=a href=b>\n", 300) +
          "<meta charset=utf-8></head><body>" + many("<p>&nbsp;&eacute;&#x4e2d;</p>\n") + "</body></html>",
      "<html><head><b>&eacute;</b>" + many("<i></i>", 120) + "<meta charset=utf-8></head><body>" +
          many("<p>&nbsp;&eacute; &amp;x</p>\n") + "</body></html>",
      // A paragraph laid out with spaces whose lines run over many windows,
      // one inside the page's own pre block.
      "<html><body><p>&nbsp;&nbsp;a" + many("<br>line\t x  ", 200) + "</p><p>b</p><pre><p>&nbsp; &nbsp;c" +
          many("<br> d\te <a href=u>f</a>") + "</p></pre></body></html>",
  };
}

// The option sets whose passes read a page differently.
std::vector<CompressionOptions> optionSets() {
  std::vector<CompressionOptions> sets;
  for (const bool further : {false, true})
    for (const bool paragraphs : {false, true})
      for (const bool scripts : {false, true}) {
        CompressionOptions options;
        options.level = further ? CompressionLevel::Further : CompressionLevel::Standard;
        options.preformatParagraphs = paragraphs;
        options.compressScripts = scripts;
        options.breakLinesAfterTags = scripts;
        sets.push_back(options);
      }
  return sets;
}

TEST(PagePieces, WindowsGiveTheWholePagesResultWhereverTheyFall) {
  for (const CompressionOptions& options : optionSets())
    for (const std::string& page : pages()) {
        const PreparedPage whole = preparePageBytes(page, options, nullptr, "");
        ASSERT_FALSE(whole.error) << page;
        // Windows of sizes prime to each other begin at different tags.
        for (const std::size_t window : {1, 307, 401, 503, 601, 701}) {
          NoProgress progress;
          const std::optional<PiecewiseResult> pieces =
              compressInPieces(page, CodePage::utf8(), options, "", progress, {.windowBytes = window, .marginTags = 0});
          ASSERT_TRUE(pieces) << page;
          EXPECT_EQ(pieces->result, whole.result) << "window " << window << ", level "
                                                  << static_cast<int>(options.level) << ", paragraphs "
                                                  << options.preformatParagraphs << ": " << page;
          EXPECT_EQ(pieces->notHtml, whole.notHtml) << page;
        }
    }
}

TEST(PagePieces, WhatTheWholePageRefusesIsRefused) {
  const CodePage& utf8 = CodePage::utf8();
  const PieceSizes tiny{.windowBytes = 4096, .marginTags = 0};
  CompressionOptions requireHtml;
  requireHtml.requireHtml = true;
  NoProgress progress;
  // Not a page: text first, or mostly bytes that start no character.
  EXPECT_TRUE(compressInPieces("plain text <b>x</b><i>y</i>", utf8, {}, "", progress, tiny)->notPage);
  EXPECT_TRUE(compressInPieces("<b>\xFF\xFE\xFD\xFC\xFB\xFA</b><i></i>", utf8, {}, "", progress, tiny)->notPage);
  // That comes first: a scan that fails tells nothing of a file that is no page.
  const std::optional<PiecewiseResult> unscanned =
      compressInPieces("plain <b>x</b> <% never closed", utf8, {}, "", progress, {.windowBytes = 4096});
  ASSERT_TRUE(unscanned);
  EXPECT_TRUE(unscanned->notPage);
  // No "<html" in this letter case, or in any.
  EXPECT_TRUE(compressInPieces("<Html><b>x</b></Html>", utf8, requireHtml, "", progress, tiny)->check4Failed);
  EXPECT_TRUE(compressInPieces("<div><b>x</b></div>", utf8, {}, "", progress, tiny)->notHtml);
  EXPECT_FALSE(compressInPieces("<div><b>x</b></div><HTML>", utf8, {}, "", progress, tiny)->notHtml);
  // Errors of the scan, wherever the window ends.
  EXPECT_THROW(compressInPieces("<html> <b>x</b> <% never closed", utf8, {}, "", progress, tiny), std::exception);
  EXPECT_THROW(compressInPieces("<html>only one", utf8, {}, "", progress, tiny), std::exception);
}

TEST(PagePieces, AWindowThatCannotCarryItsStateLeavesThePageWhole) {
  NoProgress progress;
  std::string tags;
  for (int k = 0; k < 300; ++k) tags += "<b>z</b>";
  // Every cut inside a value that the scan cut at a ">": the tags after it belong to the value.
  const std::string insideValue = "<html><body><img alt=\"x>" + tags + "\">w</body></html>";
  EXPECT_FALSE(compressInPieces(insideValue, CodePage::utf8(), {}, "", progress, {.windowBytes = 64, .marginTags = 0}));
  // Only comments between a window's own tags and its end: an end tag's rewriting would look past it.
  std::string comments;
  for (int k = 0; k < 300; ++k) comments += "<!-- c -->";
  const std::string commented = "<html><body><p>a</p>" + comments + "<p>b</p></body></html>";
  EXPECT_FALSE(compressInPieces(commented, CodePage::utf8(), {}, "", progress, {.windowBytes = 64, .marginTags = 0}));
  // Either is compressed when a window holds the whole page.
  EXPECT_TRUE(compressInPieces(insideValue, CodePage::utf8(), {}, "", progress, {.windowBytes = 1 << 20}));
  EXPECT_TRUE(compressInPieces(commented, CodePage::utf8(), {}, "", progress, {.windowBytes = 1 << 20}));
}

}  // namespace
}  // namespace vantiro
