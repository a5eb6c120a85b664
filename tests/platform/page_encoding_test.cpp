#include "platform/page_encoding.h"

#include <gtest/gtest.h>

#include <random>

namespace vantiro {
namespace {

const std::string kGbkText = "\xD6\xD0\xCE\xC4";  // 中文 in GBK
const std::string kUtf8Text = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文 in UTF-8

struct DetectionCase {
  const char* name;
  std::string bytes;
  const char* codePage;  // "" refused, nullptr the configured code page
  EncodingSource source;
};

void PrintTo(const DetectionCase& c, std::ostream* os) { *os << c.name; }

class Detection : public ::testing::TestWithParam<DetectionCase> {};

TEST_P(Detection, FindsTheEncodingABrowserWould) {
  const DetectionCase& c = GetParam();
  const PageEncoding found = detectPageEncoding(c.bytes);
  EXPECT_EQ(found.source, c.source);
  if (c.codePage != nullptr && *c.codePage == '\0') {
    EXPECT_EQ(found.codePage, nullptr);
    EXPECT_FALSE(found.refusal.empty());
    return;
  }
  ASSERT_NE(found.codePage, nullptr) << found.refusal;
  EXPECT_EQ(found.codePage->name(), c.codePage != nullptr ? c.codePage : CodePage::ansi().name());
}

const std::string kFar(1100, ' ');

INSTANTIATE_TEST_SUITE_P(
    Pages, Detection,
    ::testing::Values(
        DetectionCase{"Utf8Mark", "\xEF\xBB\xBF<html>" + kGbkText, "UTF-8", EncodingSource::ByteOrderMark},
        DetectionCase{"MarkOutweighsDeclaration", "\xEF\xBB\xBF<meta charset=gbk>" + kUtf8Text, "UTF-8",
                      EncodingSource::ByteOrderMark},
        DetectionCase{"Utf16MarkRefused", std::string("\xFF\xFE<\0h\0", 6), "", EncodingSource::ByteOrderMark},
        DetectionCase{"MetaCharset", "<html><head><meta charset=\"gb2312\">" + kGbkText, "GBK",
                      EncodingSource::Declared},
        DetectionCase{"MetaCharsetUpperCaseUnquoted", "<META CHARSET=UTF-8>" + kUtf8Text, "UTF-8",
                      EncodingSource::Declared},
        DetectionCase{"HttpEquiv",
                      "<meta http-equiv='Content-Type' content='text/html; charset=big5'>" + kGbkText,
                      "BIG5-HKSCS", EncodingSource::Declared},
        DetectionCase{"ContentWithoutHttpEquivIgnored", "<meta content=\"text/html; charset=big5\">" + kUtf8Text,
                      "UTF-8", EncodingSource::ValidUtf8},
        DetectionCase{"XmlDeclaration", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><html>\xE9", "CP1252",
                      EncodingSource::Declared},
        DetectionCase{"DeclaredUtf16ReadsAsUtf8", "<meta charset=utf-16>" + kUtf8Text, "UTF-8",
                      EncodingSource::Declared},
        DetectionCase{"MislabelledStillDeclared", "<meta charset=utf-8>" + kGbkText, "UTF-8",
                      EncodingSource::Declared},
        DetectionCase{"UnknownLabelJudgedByBytes", "<meta charset=klingon>" + kUtf8Text, "UTF-8",
                      EncodingSource::ValidUtf8},
        DetectionCase{"UnknownLabelGbkBytes", "<meta charset=klingon>" + kGbkText, nullptr,
                      EncodingSource::Configured},
        DetectionCase{"UnknownLabelPassedOver", "<meta charset=bogus><meta charset=latin1><p>caf\xE9", "CP1252",
                      EncodingSource::Declared},
        DetectionCase{"UnknownContentLabelPassedOver",
                      "<meta http-equiv=Content-Type content='text/html; charset=bogus'><meta charset=big5>" + kGbkText,
                      "BIG5-HKSCS", EncodingSource::Declared},
        DetectionCase{"UnknownXmlLabelPassedOver",
                      "<?xml version='1.0' encoding='bogus'?><meta charset=gbk>" + kGbkText, "GBK",
                      EncodingSource::Declared},
        DetectionCase{"StatefulEncodingRefused", "<meta charset=iso-2022-jp><meta charset=gbk><p>", "",
                      EncodingSource::Declared},
        DetectionCase{"MetaInCommentIgnored", "<!-- <meta charset=big5> -->" + kGbkText, nullptr,
                      EncodingSource::Configured},
        DetectionCase{"MetaInAttributeValueIgnored", "<div title=\"<meta charset=big5>\">" + kGbkText, nullptr,
                      EncodingSource::Configured},
        DetectionCase{"MetaBeyondTheFirst1024Bytes", kFar + "<meta charset=big5>" + kUtf8Text, "UTF-8",
                      EncodingSource::ValidUtf8},
        DetectionCase{"ValidUtf8", "<p>" + kUtf8Text + "</p>", "UTF-8", EncodingSource::ValidUtf8},
        DetectionCase{"PureAscii", "<html><p>hello</p></html>", nullptr, EncodingSource::Configured},
        DetectionCase{"Gbk", "<p>" + kGbkText + "</p>", nullptr, EncodingSource::Configured},
        DetectionCase{"Utf8CutShortAtTheEnd", "<p>" + kUtf8Text.substr(0, 5), nullptr,
                      EncodingSource::Configured}),
    [](const auto& info) { return info.param.name; });

TEST(Detection, AHeadCutInsideACharacterStaysUtf8) {
  const std::string head = "<p>" + kUtf8Text.substr(0, 5);
  EXPECT_EQ(detectPageEncoding(head, true).source, EncodingSource::ValidUtf8);
  EXPECT_EQ(detectPageEncoding(head + "x", true).source, EncodingSource::Configured);
}

TEST(Detection, LabelsReadAsBrowsersReadThem) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {" GB2312 ", "GBK"},     {"chinese", "GBK"},     {"x-gbk", "GBK"},         {"gb18030", "GB18030"},
      {"latin1", "CP1252"},    {"US-ASCII", "CP1252"}, {"big5", "BIG5-HKSCS"},   {"utf-16le", "UTF-8"},
      {"shift_jis", "CP932"},  {"euc-kr", "CP949"},    {"iso-2022-jp", ""},      {"hz-gb-2312", ""},
      {"klingon", std::nullopt}, {"", std::nullopt},
  };
  for (const auto& [label, encoding] : cases) EXPECT_EQ(encodingForLabel(label), encoding) << label;
}

// Whatever the bytes after the part that decides the encoding, decoding and
// encoding back gives them unchanged.
TEST(Detection, RandomBytesRoundTripUnderEveryOutcome) {
  const std::string prefixes[] = {"\xEF\xBB\xBF",
                                  "<meta charset=gbk>",
                                  "<meta charset=utf-8>",
                                  "<meta charset=big5>",
                                  "<meta charset=shift_jis>",
                                  "<?xml version='1.0' encoding='latin1'?>",
                                  "<meta charset=klingon>",
                                  "<p>" + kUtf8Text,
                                  ""};
  std::mt19937 rng(77);
  for (const std::string& prefix : prefixes)
    for (int i = 0; i < 200; ++i) {
      std::string bytes = prefix;
      const std::size_t n = rng() % 200;
      for (std::size_t k = 0; k < n; ++k) bytes += static_cast<char>(i % 2 == 0 ? rng() & 0xFF : 0x80 | (rng() & 0x3F));
      const PageText page = decodePage(bytes);
      ASSERT_EQ(page.codePage->encode(page.text), bytes) << prefix;
    }
}

TEST(CodePageChecks, AsciiCompatibilityAndWhatEachCanHold) {
  const std::pair<const char*, bool> compatible[] = {{"GBK", true},        {"UTF-8", true},     {"CP1252", true},
                                                     {"GB18030", true},    {"UTF-16LE", false}, {"UTF-7", false},
                                                     {"ISO-2022-JP", false}, {"UCS-4", false}};
  for (const auto& [name, expected] : compatible) EXPECT_EQ(CodePage(name).asciiCompatible(), expected) << name;

  const Text escape(1, 0xDCFF);
  EXPECT_TRUE(CodePage::named("GBK").canEncode(U"中文" + escape));
  EXPECT_FALSE(CodePage::named("GBK").canEncode(U"a😀"));
  EXPECT_TRUE(CodePage::utf8().canEncode(U"中文😀" + escape));
  EXPECT_FALSE(CodePage::utf8().canEncode(Text(1, 0xD800)));
  EXPECT_FALSE(CodePage::named("CP1252").canEncode(U"中"));
  EXPECT_TRUE(CodePage::named("GB18030").canEncode(U"😀"));
}

}  // namespace
}  // namespace vantiro

namespace vantiro {
namespace {

TEST(CodePageChecks, OnlyAsciiCompatibleCodePagesMayBeConfigured) {
  const std::pair<const char*, bool> cases[] = {
      {"GBK", true}, {"utf-8", true}, {"BIG5-HKSCS", true}, {"UTF-16LE", false}, {"UTF-32", false}, {"NO-SUCH-PAGE", false}};
  for (const auto& [name, usable] : cases) {
    const std::optional<std::string> refusal = codePageRefusal(name);
    EXPECT_EQ(!refusal.has_value(), usable) << name;
    if (refusal) {
      EXPECT_NE(refusal->find(name), std::string::npos) << *refusal;
    }
  }
}

}  // namespace
}  // namespace vantiro
