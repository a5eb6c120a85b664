#include "platform/code_page.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <random>

namespace vantiro {
namespace {

std::string randomBytes(std::mt19937& rng, std::size_t n) {
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

TEST(CodePage, GbkDecodesChineseAsOneCharacterEach) {
  CodePage gbk("GBK");
  const std::string bytes = "\xd6\xd0\xce\xc4<b>";  // 中文<b>
  Text t = gbk.decode(bytes);
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t.substr(0, 2), U"中文");
  EXPECT_EQ(gbk.encode(t), bytes);
  EXPECT_EQ(gbk.encode(U"压缩成功"), gbk.encode(gbk.decode(gbk.encode(U"压缩成功"))));
}

TEST(CodePage, SecondByteInAsciiRangeStaysInsideItsCharacter) {
  CodePage gbk("GBK");
  // Trail bytes 0x40..0x7E look like ASCII ("@", "\", "|", letters).
  for (int trail = 0x40; trail <= 0x7E; ++trail) {
    std::string bytes = std::string("\x81") + static_cast<char>(trail) + "a";
    Text t = gbk.decode(bytes);
    ASSERT_EQ(t.size(), 2u) << trail;
    EXPECT_NE(t[0], static_cast<char32_t>(trail));
    EXPECT_EQ(t[1], U'a');
  }
}

TEST(CodePage, EveryGbkDoubleByteSequenceRoundTrips) {
  for (const char* name : {"GBK", "BIG5", "SHIFT_JIS"}) {
    CodePage page(name);
    for (int lead = 0x80; lead <= 0xFF; ++lead)
      for (int trail = 0; trail <= 0xFF; ++trail) {
        std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
        ASSERT_EQ(page.encode(page.decode(bytes)), bytes) << name << " " << lead << " " << trail;
      }
  }
}

// The one character iconv makes of `bytes` alone, or 0.
char32_t iconvAlone(const char* name, const std::string& bytes) {
  const iconv_t cd = iconv_open("UTF-32LE", name);
  std::string in = bytes;
  unsigned char out[16];
  char* ip = in.data();
  auto* op = reinterpret_cast<char*>(out);
  std::size_t il = in.size(), ol = sizeof out;
  const bool whole = iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && il == 0;
  iconv_close(cd);
  if (!whole || sizeof out - ol != 4) return 0;
  return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
}

// A double-byte character decodes to what iconv makes of it alone (or, when
// an earlier sequence has its code point, to a value of its own), including
// in code pages where some pairs make two characters.
TEST(CodePage, EveryPairDecodesAsIconvDecodesItAlone) {
  for (const char* name : {"GBK", "BIG5-HKSCS", "EUC-KR"}) {
    CodePage page(name);
    int ownValues = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
      for (int trail = 0x30; trail <= 0xFF; ++trail) {
        const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
        const char32_t alone = iconvAlone(name, bytes);
        if (alone == 0 || iconvAlone(name, bytes.substr(0, 1)) != 0) continue;
        const Text text = page.decode(bytes);
        ASSERT_EQ(text.size(), 1u) << name << " " << lead << " " << trail;
        if (text[0] != alone) {
          ASSERT_GE(text[0], CodePage::kUnmappedBase) << name << " " << lead << " " << trail;
          ++ownValues;
        }
      }
    EXPECT_LT(ownValues, 100) << name;
  }
}

TEST(CodePage, RandomBytesRoundTripInEveryKindOfCodePage) {
  std::mt19937 rng(1234);
  for (const char* name : {"GBK", "UTF-8", "GB18030", "CP1252"}) {
    CodePage page(name);
    for (int i = 0; i < (std::string(name) == "GB18030" ? 30 : 300); ++i) {
      std::string bytes = randomBytes(rng, rng() % 300);
      const Text text = page.decode(bytes);
      ASSERT_EQ(page.encode(text), bytes) << name;
      if (!page.boundsCharBytes()) continue;
      // Straight into a buffer of the largest size the text can need.
      std::string buffer(text.size() * CodePage::kMaxCharBytes, '\0');
      buffer.resize(static_cast<std::size_t>(page.encodeTo(text, buffer.data()) - buffer.data()));
      ASSERT_EQ(buffer, bytes) << name;
    }
  }
}

// ASCII is widened 16 and 32 bytes at a time: a character above ASCII at
// every place of a block, and the page ending at every place after it,
// decode as that character does alone.
TEST(CodePage, CharactersAtEveryPlaceOfABlockDecodeAsAlone) {
  // GBK: a pair, a byte that is never valid, a lead with no trail (a space
  // is none). UTF-8: three and four bytes, and a character cut short.
  const std::pair<const char*, std::string> cases[] = {{"GBK", "\xd6\xd0"},         {"GBK", "\xff"},
                                                       {"GBK", "\x81"},             {"UTF-8", "\xe4\xb8\xad"},
                                                       {"UTF-8", "\xf0\x9f\x98\x80"}, {"UTF-8", "\xe4\xb8"}};
  for (const auto& [name, sample] : cases) {
    CodePage page(name);
    Text alone(sample.size(), U'\0');
    const CodePage::Decoded aloneDecoded = page.decodeInto(sample, alone.data());
    alone.resize(aloneDecoded.characters);
    for (std::size_t before = 0; before <= 40; ++before)
      for (std::size_t after = 0; after <= 20; ++after) {
        const std::string bytes = std::string(before, 'a') + sample + std::string(after, ' ');
        Text text(bytes.size(), U'\0');
        const CodePage::Decoded decoded = page.decodeInto(bytes, text.data());
        text.resize(decoded.characters);
        ASSERT_EQ(text, Text(before, U'a') + alone + Text(after, U' ')) << name << " " << before << " " << after;
        ASSERT_EQ(decoded.undecodable, aloneDecoded.undecodable) << name << " " << before << " " << after;
        ASSERT_EQ(page.encode(text), bytes) << name << " " << before << " " << after;
      }
  }
}

// ASCII is narrowed in blocks, a short text in two overlapping ones, and the
// check that lets a block through must stop every character above ASCII,
// including those whose low bits look like ASCII. Every length, with such
// characters at every place, is written as its characters one by one are,
// and within the room it is given.
TEST(CodePage, TextsOfEveryLengthEncodeAsTheirCharactersOneByOne) {
  const char32_t wides[] = {U'\u4E2D', 0xDCFF, CodePage::kUnmappedBase + 0x8140, 0x20000, 0x100, 0x10041, 0x80000041};
  for (const char* name : {"GBK", "UTF-8"}) {
    CodePage page(name);
    const auto oneByOne = [&](const Text& text) {
      std::string bytes;
      for (const char32_t& c : text) bytes += page.encode(TextView(&c, 1));
      return bytes;
    };
    for (char32_t wide : wides)
      for (std::size_t length = 0; length <= 40; ++length)
        for (std::size_t at = 0; at <= length; ++at) {
          Text text;
          for (std::size_t k = 0; k < length; ++k) text += static_cast<char32_t>(U'a' + k % 26);
          if (at < length) text[at] = wide;
          if (at + 9 < length) text[at + 9] = wide;  // and again, past the next block of eight
          std::string buffer(text.size() * CodePage::kMaxCharBytes + 1, '#');
          const std::size_t written = static_cast<std::size_t>(page.encodeTo(text, buffer.data()) - buffer.data());
          ASSERT_EQ(buffer.substr(0, written), oneByOne(text)) << name << " " << static_cast<std::uint32_t>(wide) << " " << length << " " << at;
          ASSERT_EQ(buffer.back(), '#') << name << " " << static_cast<std::uint32_t>(wide) << " " << length << " " << at;
        }
  }
}

TEST(CodePage, InvalidBytesBecomeDistinctEscapes) {
  CodePage gbk("GBK");
  Text t = gbk.decode("\xff\x81");  // 0xFF never valid; lone lead byte at the end
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0], 0xDCFFu);
  EXPECT_EQ(t[1], 0xDC81u);
}

TEST(CodePage, Utf8IsStrict) {
  CodePage utf8("UTF-8");
  EXPECT_EQ(utf8.decode("\xe4\xb8\xad"), U"中");
  EXPECT_EQ(utf8.decode("\xc0\xaf").size(), 2u);  // overlong "/" is two escaped bytes
  EXPECT_EQ(utf8.decode("\xed\xa0\x80").size(), 3u);  // encoded surrogate
  EXPECT_EQ(utf8.encode(utf8.decode("\xed\xa0\x80")), "\xed\xa0\x80");
}

TEST(CodePage, UnknownNameIsRefused) { EXPECT_THROW(CodePage("NO-SUCH-PAGE"), std::runtime_error); }

}  // namespace
}  // namespace vantiro
