#include "replace/attribute_replacer.h"

#include "common/page_error.h"
#include "platform/code_page.h"
#include "replace/piece_scanner.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace vantiro {
namespace {

// ---- Replacing in titles and tags, block by block ----

bool startsWithIgnoringCase(TextView text, TextView prefix) {
  return text.size() >= prefix.size() && upperAscii(text.substr(0, prefix.size())) == upperAscii(prefix);
}

// What replacing in the whole decoded page gives: the page cut by cutPieces,
// the kind's target in each piece replaced, the pieces joined.
AttributeBytesReplacement inWholePage(std::string_view bytes, const CodePage& codePage, const SearchParameters& p,
                                      NewPage newPage) {
  PieceList pieces = cutPieces(codePage.decode(bytes), ScanVariant::Specific);
  const TextView name = p.target.tagName;
  AttributeBytesReplacement result;
  for (std::size_t i = 0; i < static_cast<std::size_t>(pieces.count()); ++i) {
    const Text& tag = pieces.tags[i];
    const bool named = tag.size() >= name.size() + 2 && startsWithIgnoringCase(tag, name);
    const bool hit = p.target.kind == kKindTitle
                         ? upperAscii(tag) == upperAscii(name) || (named && tag[name.size()] == U' ')
                         : named;
    if (!hit) continue;
    Text& target = p.target.kind == kKindTitle ? pieces.texts[i] : pieces.tags[i];
    if (p.fixedReplacement) {
      result.replaced |= target != p.replacement;
      target = p.replacement;
      ++result.count;
    } else {
      const TextReplacement done = replaceInText(target, p.findText, p.replacement, p.matchFlags());
      result.count += done.count;
      result.replaced |= done.replaced;
    }
  }
  if (newPage == NewPage::Always || (newPage == NewPage::WhenReplaced && result.replaced))
    result.output = codePage.encode(joinPieces(pieces));
  return result;
}

const std::vector<Text> kPages = {
    U"<html><title>a link</title><a href=\"link\">link</a></html>",
    U"<TITLE >link</title><title x>link<titlex>link< title>x<  a  href=link  >",  // spaces trimmed off tags
    U"head link<title>link",                                                      // a title whose text is the tail
    U"<p>x<title>",                                                               // a title with no text at all
    U"<p>x<title",                                                                // a last tag without ">"
    U"<p>x<a href=link   ",                                                       // its spaces trimmed
    U"<a <b> link>link<a <b link>",  // a tag start inside a tag; the last ">" ends the last tag
    U"<a <b link>",
    U"<% link <a> %>link<a link><%>x<%  >link<%%><% %>",  // server blocks and "%" tags
    U"<a link><% link",                                   // a server block without its end fails the page
    U"<%  ",
    U"<script><title>link</title></SCRIPT ><title>链接link</title><font link>",
    U"<title>linklink</title><A HREF=LINK><a>link<ab>",
    U"no tags, link",
    U"x < y link<a link << link>link <",
};

struct Target {
  int kind;
  Text name;
};
const std::vector<Target> kTargets = {{kKindTitle, U"TITLE"}, {kKindTagInside, U"A"}, {kKindTagInside, U"FONT"}};
const std::vector<Text> kReplacements = {U"url", U"", U"link"};

std::string describe(const char* codePage, const Text& page, const SearchParameters& p, std::size_t block) {
  return std::string(codePage) + " " + toUtf8(page) + " tag " + toUtf8(p.target.tagName) + " with " +
         toUtf8(p.replacement) + (p.fixedReplacement ? " fixed" : "") + " flags " + std::to_string(p.matchFlags()) +
         " block " + std::to_string(block);
}

// Replaces block by block and expects what the whole page gives, or the same refusal.
void expectSameAsWholePage(const char* name, const Text& page, const SearchParameters& p, NewPage newPage,
                           std::size_t block) {
  const CodePage& codePage = CodePage::named(name);
  const std::string bytes = codePage.encode(page);
  const std::string what = describe(name, page, p, block);
  std::optional<AttributeBytesReplacement> expected;
  try {
    expected = inWholePage(bytes, codePage, p, newPage);
  } catch (const PageError&) {
    EXPECT_THROW(replaceAttributeInPageBytes(bytes, codePage, p, newPage, block), PageError) << what;
    return;
  }
  const AttributeBytesReplacement got = replaceAttributeInPageBytes(bytes, codePage, p, newPage, block);
  EXPECT_EQ(got.count, expected->count) << what;
  EXPECT_EQ(got.replaced, expected->replaced) << what;
  EXPECT_EQ(got.output, expected->output) << what;
}

TEST(ReplaceAttributeInPageBytes, GivesWhatTheWholeDecodedPageGivesForEveryBlockSize) {
  for (const char* name : {"UTF-8", "GBK"})
    for (const Text& page : kPages)
      for (const Target& target : kTargets)
        for (const Text& replacement : kReplacements)
          for (const bool fixed : {false, true})
            for (const NewPage newPage : {NewPage::WhenReplaced, NewPage::Always}) {
              SearchParameters p;
              p.mode = ReplaceMode::Specific;
              p.target = {target.kind, target.name};
              p.findText = U"link";
              p.replacement = replacement;
              p.fixedReplacement = fixed;
              p.wholeWord = newPage == NewPage::Always;
              const std::size_t bytes = CodePage::named(name).encode(page).size();
              for (std::size_t block = 4; block <= bytes + 1; ++block)
                expectSameAsWholePage(name, page, p, newPage, block);
            }
}

// Pages strung together from the pieces that the cutter and the targets
// decide on, cut into blocks of random sizes.
TEST(ReplaceAttributeInPageBytes, GivesWhatTheWholeDecodedPageGivesOnRandomPages) {
  static const std::vector<Text> kBits = {U"<",    U">",  U"<title",  U"</title>", U"<a", U" ",
                                          U"<%",   U"%>", U"%",       U"link",     U"li", U"nk",
                                          U"href", U"中", U"<script", U"</scRipt", U"<b", U"\r\n"};
  std::mt19937 rng(1414);
  for (int round = 0; round < 4000; ++round) {
    Text page;
    for (int bits = std::uniform_int_distribution<int>(0, 24)(rng); bits > 0; --bits)
      page += kBits[std::uniform_int_distribution<std::size_t>(0, kBits.size() - 1)(rng)];
    SearchParameters p;
    p.mode = ReplaceMode::Specific;
    p.target = round % 2 == 0 ? AttributeTarget{kKindTitle, U"TITLE"} : AttributeTarget{kKindTagInside, U"A"};
    p.findText = U"link";
    p.replacement = round % 3 == 0 ? U"link" : U"url";
    p.fixedReplacement = round % 4 >= 2;
    p.wholeWord = round % 5 == 0;
    const NewPage newPage = round % 7 == 0 ? NewPage::Always : NewPage::WhenReplaced;
    expectSameAsWholePage("GBK", page, p, newPage, std::uniform_int_distribution<std::size_t>(4, 12)(rng));
  }
}

}  // namespace
}  // namespace vantiro
