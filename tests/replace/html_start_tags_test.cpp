#include "replace/html_start_tags.h"

#include "compress/page_compressor.h"
#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantiro {
namespace {

// A start tag anywhere, in any case, cut by the end of the page or by a block's.
const std::vector<Text> kHtmlPages = {
    U"<html>",        U"x<HTML lang=en>", U"<Html\t>",      U"<hTmL\r\n", U"<html",
    U"<htmlx><HTML>", U"<<html<html >",   U"中<html>",      U"<HTM",      U"no tag",
    U"<html>x",       U"a<b><HTML",       U"<HtMl ><html>",
};

TEST(HtmlStartTags, FindWhatTheWholePageShowsForEveryBlockSize) {
  for (const char* name : {"UTF-8", "GBK"}) {
    const CodePage& codePage = CodePage::named(name);
    for (const Text& page : kHtmlPages) {
      const std::string bytes = codePage.encode(page);
      for (std::size_t block = 4; block <= bytes.size() + 1; ++block) {
        const HtmlStartTags got = findHtmlStartTags(bytes, codePage, block);
        EXPECT_EQ(got.anyCase(), hasHtmlTag(page)) << name << " " << toUtf8(page) << " block " << block;
        EXPECT_EQ(got.exactCase(), hasHtmlTagExactCase(page)) << name << " " << toUtf8(page) << " block " << block;
      }
    }
  }
}

}  // namespace
}  // namespace vantiro
