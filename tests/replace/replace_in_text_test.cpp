#include "replace/search_replace.h"

#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <random>

namespace vantiro {
namespace {

// The replacement loop exactly as the program's users know it: search from a
// position, count, test the neighbours, rebuild the whole text (and its
// upper-cased copy) after each replacement, resume one character after the
// inserted text. Quadratic, but obviously what is meant.
Text stepByStep(Text text, const Text& find, const Text& replacement, int flags, long long& count) {
  auto inStr = [](std::size_t start, const Text& s, const Text& f) -> std::size_t {
    if (start > s.size()) return 0;
    std::size_t at = s.find(f, start - 1);
    return at == npos ? 0 : at + 1;
  };
  const bool exact = (flags & kMatchCase) != 0;
  const bool whole = (flags & kMatchWholeWord) != 0;
  std::size_t from = 1;
  for (;;) {
    std::size_t p = exact ? inStr(from, text, find) : inStr(from, upperAscii(text), upperAscii(find));
    if (p == 0) break;
    ++count;
    bool rejected = whole && ((p > 1 && isWordCharacter(text[p - 2])) ||
                              (p + find.size() <= text.size() && isWordCharacter(text[p - 1 + find.size()])));
    if (!rejected) text = text.substr(0, p - 1) + replacement + text.substr(p - 1 + find.size());
    from = p + replacement.size() + 1;
  }
  return text;
}

struct ReplaceInTextCase {
  const char* name;
  Text text;
  Text find;
  Text replacement;
  int flags;
  Text expected;
  long long count;
};

void PrintTo(const ReplaceInTextCase& c, std::ostream* os) { *os << c.name; }

class ReplaceInTextTable : public ::testing::TestWithParam<ReplaceInTextCase> {};

TEST_P(ReplaceInTextTable, ReplacesAndCounts) {
  const ReplaceInTextCase& c = GetParam();
  Text text = c.text;
  const TextReplacement done = replaceInText(text, c.find, c.replacement, c.flags);
  EXPECT_EQ(toUtf8(text), toUtf8(c.expected));
  EXPECT_EQ(done.count, c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceInTextTable,
    ::testing::Values(
        ReplaceInTextCase{"ResumesOneAfterInserted", U"aaaa", U"a", U"b", 0, U"baba", 2},
        ReplaceInTextCase{"RejectedWholeWordsCounted", U"cat concat cat", U"cat", U"dog", 3, U"dog concat dog", 3},
        ReplaceInTextCase{"WordAtEndOfText", U"a cat", U"cat", U"dog", 1, U"a dog", 1},
        ReplaceInTextCase{"WordAtStartOfText", U"cat.", U"CAT", U"dog", 1, U"dog.", 1},
        ReplaceInTextCase{"CaseIgnoredKeepsReplacementAsTyped", U"Hello hello HELLO", U"hello", U"Hi", 0, U"Hi Hi Hi", 3},
        ReplaceInTextCase{"CaseSensitiveSkipsOtherCases", U"Hello hello HELLO", U"hello", U"Hi", 2, U"Hello Hi HELLO", 1},
        ReplaceInTextCase{"ChineseBeforeRejects", U"中cat", U"cat", U"dog", 1, U"中cat", 1},
        ReplaceInTextCase{"ChineseAfterRejects", U"cat中", U"cat", U"dog", 1, U"cat中", 1},
        ReplaceInTextCase{"ChineseSubstringMatchesAnywhere", U"中cat文", U"cat", U"dog", 0, U"中dog文", 1},
        ReplaceInTextCase{"ChineseWordBetweenSeparators", U"<b>中文</b>", U"中文", U"汉字", 1, U"<b>汉字</b>", 1},
        ReplaceInTextCase{"ChineseNeighbourOfChineseWord", U"的中文", U"中文", U"汉字", 1, U"的中文", 1},
        ReplaceInTextCase{"AccentedLetterAfterRejects", U"naïve na", U"na", U"X", 1, U"naïve X", 2},
        ReplaceInTextCase{"FullWidthPunctuationSeparates", U"猫，cat。", U"cat", U"dog", 1, U"猫，dog。", 1},
        ReplaceInTextCase{"UnderscoreSeparates", U"_cat_", U"cat", U"dog", 1, U"_dog_", 1},
        ReplaceInTextCase{"DigitsJoinWords", U"cat1 1cat", U"cat", U"dog", 1, U"cat1 1cat", 2},
        ReplaceInTextCase{"LineBreaksSeparate", U"x\r\ncat\r\n", U"cat", U"dog", 3, U"x\r\ndog\r\n", 1},
        // A rejection resumes len(replacement)+1 further on, even inside the
        // rejected occurrence or past a following one.
        ReplaceInTextCase{"RejectionSkipsByReplacementLength", U"xcat cat", U"cat", U"dogdog", 1, U"xcat cat", 1},
        ReplaceInTextCase{"RejectionWithShortReplacementOverlaps", U"aaaa", U"aa", U"", 1, U"aaaa", 3},
        ReplaceInTextCase{"EmptyReplacementDeletes", U"aaaa", U"a", U"", 0, U"aa", 2},
        ReplaceInTextCase{"LongerReplacementNotRescanned", U"ab", U"a", U"aa", 0, U"aab", 1},
        ReplaceInTextCase{"NoMatchLeavesText", U"abc", U"x", U"y", 0, U"abc", 0},
        ReplaceInTextCase{"FindLongerThanText", U"ab", U"abc", U"y", 0, U"ab", 0},
        ReplaceInTextCase{"EmptyFindReplacesNothing", U"abc", U"", U"y", 0, U"abc", 0},
        ReplaceInTextCase{"EmptyText", U"", U"a", U"b", 0, U"", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplaceInText, CountsEachCallOnItsOwn) {
  Text text = U"a a";
  EXPECT_EQ(replaceInText(text, U"a", U"b", 0).count, 2);
  EXPECT_EQ(replaceInText(text, U"b", U"c", 0).count, 2);
  EXPECT_EQ(text, U"c c");
}

TEST(WordCharacter, JudgedByWhatTheCharacterIsNotByTheCodePage) {
  // Letters GBK cannot write ("ï", "ç", Hangul, Arabic-Indic digits) count as
  // much as Chinese; punctuation GBK writes with two bytes ("，", "。") does not.
  for (char32_t c : TextView(U"09azAZ中文ïçßÆ한글Жα١ー\u0308"))
    EXPECT_TRUE(isWordCharacter(c)) << static_cast<unsigned>(c);
  for (char32_t c : TextView(U" _-<>.\t\r\n\"'，。€©\u00A0—«»😀\uE000"))
    EXPECT_FALSE(isWordCharacter(c)) << static_cast<unsigned>(c);
  // The escapes of bytes that are no character of their page separate.
  const char32_t unmapped = CodePage::kUnmappedBase + 0x8140;
  for (char32_t c : {decodeAnsi("\xff").at(0), CodePage::utf8().decode("\xE9").at(0), unmapped})
    EXPECT_FALSE(isWordCharacter(c)) << static_cast<unsigned>(c);
}

TEST(WordCharacter, GbkTrailBytesInsideChineseDoNotMatchAscii) {
  // 0x81 0x40 .. 0xFE 0x7E hold ASCII-looking trail bytes ("@", "A", "|").
  Text page = decodeAnsi(
      "\x81\x41"
      "A"
      "\x95\x7c");
  ASSERT_EQ(page.size(), 3u);
  TextReplacement done = replaceInText(page, U"A", U"B", 1);  // both neighbours are Chinese: rejected
  EXPECT_EQ(done.count, 1);
  EXPECT_FALSE(done.replaced);
  EXPECT_EQ(encodeAnsi(page),
            "\x81\x41"
            "A"
            "\x95\x7c");
  done = replaceInText(page, U"A", U"B", 0);
  EXPECT_EQ(encodeAnsi(page),
            "\x81\x41"
            "B"
            "\x95\x7c");
  EXPECT_EQ(done.count, 1);
  EXPECT_TRUE(done.replaced);
}

TEST(ReplaceInText, EqualsTheStepByStepLoopOnRandomTexts) {
  std::mt19937 rng(20261207);
  const Text alphabet = U"aAbB 中_1";
  auto randomText = [&](std::size_t maxLength) {
    Text t;
    std::size_t length = std::uniform_int_distribution<std::size_t>(0, maxLength)(rng);
    for (std::size_t i = 0; i < length; ++i)
      t += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
    return t;
  };
  for (int round = 0; round < 20000; ++round) {
    Text text = randomText(40);
    Text find = randomText(3);
    if (find.empty()) find = U"a";
    Text replacement = randomText(4);
    int flags = round % 4;
    long long expectedCount = 0;
    Text expected = stepByStep(text, find, replacement, flags, expectedCount);
    Text got = text;
    const long long count = replaceInText(got, find, replacement, flags).count;
    ASSERT_EQ(toUtf8(got), toUtf8(expected))
        << toUtf8(text) << " / " << toUtf8(find) << " / " << toUtf8(replacement) << " / " << flags;
    ASSERT_EQ(count, expectedCount);
  }
}

TEST(ReplaceInText, LinearOnPathologicalShapes) {
  // Every position matches, and every match is rejected; and a long needle
  // that almost matches everywhere. Both must finish at once.
  Text as(2'000'000, U'a');
  Text text = as;
  EXPECT_EQ(replaceInText(text, Text(1000, U'a'), U"", kMatchWholeWord).count,
            static_cast<long long>(as.size() - 1000 + 1));
  EXPECT_EQ(text, as);
  EXPECT_EQ(replaceInText(text, Text(1000, U'a') + U"b", U"x", 0).count, 0);
}

}  // namespace
}  // namespace vantiro
