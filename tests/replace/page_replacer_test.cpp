#include "replace/page_replacer.h"

#include "common/page_error.h"
#include "platform/code_page.h"
#include "replace/page_blocks.h"
#include "replace/piece_scanner.h"
#include "replace/stream_replacer.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace vantiro {
namespace {

// ---- Decoding a block at a time ----

struct BytesCase {
  const char* codePage;
  std::string bytes;
};

// Characters of two to four bytes, trail bytes that look like ASCII, and
// bytes that start no character, where any block may end.
const std::vector<BytesCase> kByteCases = {
    {"UTF-8", "a\xe4\xb8\xad\xe6\x96\x87<b>\xf0\x9f\x98\x80z\xc3\xa9"},
    {"UTF-8", "\xe4\xb8<\xff\x80\xe4\xb8\xad\xc3"},  // a cut-short character, stray bytes, one cut by the end
    {"UTF-8", "\xef\xbb\xbf<p>\xe2\x82\xac\xe2\x82"},
    {"GBK", "\xd6\xd0\xce\xc4<p>\x81\x40\x81\x40link\x81<b>\xfe"},  // 0x81 0x40: a trail byte '@'
    {"GBK", "\x81\x81\x81\x40\xa1\xa1\x80\xff"},
    {"GB18030",
     "a\x81\x30\x81\x30\xd6\xd0<\x81\x30"
     "b\x95\x32\x82\x36"},  // four-byte characters
};

TEST(PageBlocks, JoinedBlocksAreTheWholeDecodeForEveryBlockSize) {
  for (const BytesCase& c : kByteCases) {
    const CodePage& codePage = CodePage::named(c.codePage);
    const Text whole = codePage.decode(c.bytes);
    for (std::size_t size = 1; size <= c.bytes.size() + 1; ++size) {
      PageBlocks blocks(c.bytes, codePage, size);
      Text joined;
      while (const std::optional<TextView> block = blocks.next()) joined += *block;
      EXPECT_EQ(joined, whole) << c.codePage << " block " << size << " of " << c.bytes.size();
    }
  }
}

// ---- Replacing in a text that comes in parts ----

struct TextCase {
  Text text;
  Text find;
  Text replacement;
  int flags;
};

const std::vector<TextCase> kTextCases = {
    {U"aaaa", U"a", U"b", 0},  // resumes one after the inserted text
    {U"aaaaaaa", U"aa", U"x", 0},
    {U"abababab", U"abab", U"abab", 0},  // overlapping occurrences
    {U"link Link LINK", U"link", U"url", kMatchCase},
    {U"link Link LINK", U"LINK", U"url", 0},
    {U"link links xlink link", U"link", U"url", kMatchWholeWord},
    {U"link links xlink link", U"link", U"long replacement", kMatchWholeWord},  // a rejection resumes past it
    {U"中link link中 link", U"link", U"u", kMatchWholeWord | kMatchCase},
    {U"中文链接和链接", U"链接", U"连", 0},
    {U"ab", U"abc", U"x", 0},  // longer than the text
    {U"link", U"link", U"", kMatchWholeWord},
};

struct Replaced {
  Text text;
  StreamCount count;
};

Replaced inParts(const TextCase& c, std::size_t partSize) {
  Replaced out;
  StreamReplacer replacer(c.find, c.replacement, c.flags, [&](TextView piece) { out.text += piece; });
  for (int round = 0; round < 2; ++round) {  // the second text starts afresh
    out.text.clear();
    replacer.start();
    for (std::size_t at = 0; at < c.text.size(); at += partSize) {
      const Text part = c.text.substr(at, partSize);  // a copy: nothing past its end to be read
      replacer.feed(part);
      replacer.feed(TextView());
    }
    out.count = replacer.finish();
  }
  return out;
}

TEST(StreamReplacer, ReplacesAsReplaceInTextWhereverTheTextIsCut) {
  for (const TextCase& c : kTextCases) {
    Text expected = c.text;
    const TextReplacement done = replaceInText(expected, c.find, c.replacement, c.flags);
    for (std::size_t size = 1; size <= c.text.size() + 1; ++size) {
      const Replaced got = inParts(c, size);
      EXPECT_EQ(toUtf8(got.text), toUtf8(expected)) << toUtf8(c.text) << " in parts of " << size;
      EXPECT_EQ(got.count.count, done.count) << toUtf8(c.text) << " in parts of " << size;
      EXPECT_EQ(got.count.replaced, done.replaced) << toUtf8(c.text) << " in parts of " << size;
    }
  }
}

// ---- Replacing in a page's bytes, block by block ----

// What replacing in the whole decoded page gives: the page cut by cutPieces,
// replaceInText on each part the mode names, the pieces joined.
BytesReplacement inWholePage(std::string_view bytes, const CodePage& codePage, const SearchParameters& params) {
  Text page = codePage.decode(bytes);
  const int flags = params.matchFlags();
  TextReplacement total;
  const auto add = [&](TextReplacement done) {
    total.count += done.count;
    total.replaced |= done.replaced;
  };
  if (params.mode == ReplaceMode::Page) {
    add(replaceInText(page, params.findText, params.replacement, flags));
  } else {
    PieceList pieces = cutPieces(page, ScanVariant::General);
    for (std::size_t i = 0; i < static_cast<std::size_t>(pieces.count()); ++i) {
      if (params.mode == ReplaceMode::Tags)
        add(replaceInText(pieces.tags[i], params.findText, params.replacement, flags));
      const bool inText =
          params.mode == ReplaceMode::Text || (params.mode == ReplaceMode::Scripts && isScriptTag(pieces.tags[i]));
      if (inText) add(replaceInText(pieces.texts[i], params.findText, params.replacement, flags));
    }
    page = joinPieces(pieces);  // the tail stays in pieces.tail, never searched
  }
  BytesReplacement result{total.count, std::nullopt};
  if (total.replaced) result.output = codePage.encode(page);
  return result;
}

const std::vector<Text> kPages = {
    U"<p>linklinklink link</p><i>a link</i>",
    U"<a href=\"link\">link</a><b  >x link</b   ><  link>",  // spaces trimmed off tags
    U"<a <b> c link>text link<a>",                           // a tag start inside a tag
    U"<p>\r\nlink\r\n</p>\r\nlink\r\n<br>",
    U"<p>中文链接link中文</p><b>链接</b>",
    U"<p>link links linking a-link link_x 中link link</p><i>",
    U"<P>LINK Link link</P><i>",
    U"link head<p>link text</p>link tail",  // the head and the tail stay
    U"no tags, link",
    U"x < y link<i>link << link</i>link <",
    U"<script>var link = 1;</SCRIPT ><p>link</p><script>a </scrip link</sc",  // a script without its end
    U"<script>link</script><script language=x>link<\\/script></script>",
    U"\uFEFF<p>link</p><br>",
    U"<p>link</p><a href",  // an unclosed tag fails the page
    U"<p>x</p><% link %><b>link</b>",
};

struct Search {
  Text find;
  Text replacement;
};
const std::vector<Search> kSearches = {{U"link", U"url"}, {U"link", U"linklink"}, {U"链接", U"连"}, {U"n", U"N"}};

std::string describe(const char* codePage, const Text& page, const SearchParameters& p, std::size_t block) {
  return std::string(codePage) + " " + toUtf8(page) + " find " + toUtf8(p.findText) + " mode " +
         std::to_string(static_cast<int>(p.mode)) + " flags " + std::to_string(p.matchFlags()) + " block " +
         std::to_string(block);
}

TEST(ReplaceInPageBytes, GivesWhatTheWholeDecodedPageGivesForEveryBlockSize) {
  for (const char* name : {"UTF-8", "GBK"}) {
    const CodePage& codePage = CodePage::named(name);
    for (const Text& page : kPages) {
      const std::string bytes = codePage.encode(page);
      for (const ReplaceMode mode : {ReplaceMode::Text, ReplaceMode::Tags, ReplaceMode::Page, ReplaceMode::Scripts}) {
        for (const Search& search : kSearches) {
          for (int flags = 0; flags < 4; ++flags) {
            SearchParameters p;
            p.findText = search.find;
            p.replacement = search.replacement;
            p.wholeWord = (flags & kMatchWholeWord) != 0;
            p.caseSensitive = (flags & kMatchCase) != 0;
            p.mode = mode;
            std::optional<BytesReplacement> expected;
            try {
              expected = inWholePage(bytes, codePage, p);
            } catch (const PageError&) {
            }
            for (std::size_t block = 4; block <= bytes.size() + 1; ++block) {
              const std::string what = describe(name, page, p, block);
              if (!expected) {
                EXPECT_THROW(replaceInPageBytes(bytes, codePage, p, block), PageError) << what;
                continue;
              }
              const BytesReplacement got = replaceInPageBytes(bytes, codePage, p, block);
              EXPECT_EQ(got.count, expected->count) << what;
              EXPECT_EQ(got.output, expected->output) << what;
            }
          }
        }
      }
    }
  }
}

// Pages strung together from the pieces that the cutter and the search
// decide on, cut into blocks of random sizes.
TEST(ReplaceInPageBytes, GivesWhatTheWholeDecodedPageGivesOnRandomPages) {
  static const std::vector<Text> kBits = {U"<",  U">", U"<b", U"</", U"<script>", U"</ScRiPt", U"link", U"li",
                                          U"nk", U" ", U"a",  U"中", U"\r\n",     U"%",        U"<!--", U"-->"};
  std::mt19937 rng(2718);
  const CodePage& codePage = CodePage::named("GBK");
  for (int round = 0; round < 3000; ++round) {
    Text page;
    for (int bits = std::uniform_int_distribution<int>(0, 24)(rng); bits > 0; --bits)
      page += kBits[std::uniform_int_distribution<std::size_t>(0, kBits.size() - 1)(rng)];
    const std::string bytes = codePage.encode(page);
    SearchParameters p;
    p.findText = U"link";
    p.replacement = U"url";
    p.wholeWord = round % 2 == 1;
    p.mode = static_cast<ReplaceMode>(round % 4);
    const std::size_t block = std::uniform_int_distribution<std::size_t>(4, 12)(rng);
    std::optional<BytesReplacement> expected;
    try {
      expected = inWholePage(bytes, codePage, p);
    } catch (const PageError&) {
    }
    const std::string what = describe("GBK", page, p, block);
    if (!expected) {
      EXPECT_THROW(replaceInPageBytes(bytes, codePage, p, block), PageError) << what;
      continue;
    }
    const BytesReplacement got = replaceInPageBytes(bytes, codePage, p, block);
    ASSERT_EQ(got.count, expected->count) << what;
    ASSERT_EQ(got.output, expected->output) << what;
  }
}

TEST(ReplaceInPageBytes, KeepsBytesThatStartNoCharacterAcrossBlocks) {
  for (const BytesCase& c : kByteCases) {
    const CodePage& codePage = CodePage::named(c.codePage);
    for (const ReplaceMode mode : {ReplaceMode::Text, ReplaceMode::Page}) {
      SearchParameters p;
      p.findText = U"b";
      p.replacement = U"link";
      p.mode = mode;
      const BytesReplacement expected = inWholePage(c.bytes, codePage, p);
      for (std::size_t block = 4; block <= c.bytes.size() + 1; ++block) {
        const BytesReplacement got = replaceInPageBytes(c.bytes, codePage, p, block);
        EXPECT_EQ(got.count, expected.count) << c.codePage << " block " << block;
        EXPECT_EQ(got.output, expected.output) << c.codePage << " block " << block;
      }
    }
  }
}

}  // namespace
}  // namespace vantiro
