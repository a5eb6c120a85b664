#include "pageinfo/page_info.h"

#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace vantiro {
namespace {

class PageInformation : public ::testing::Test {
 protected:
  void SetUp() override { setProgramDirectory(dir.path()); }
  void TearDown() override { setProgramDirectory(""); }

  // Writes the page in the code page and examines it from a fresh viewer.
  PageInfo examine(const Text& page) const {
    test::writeBytes(dir / "page.htm", encodeAnsi(page));
    return analysePage(dir / "page.htm");
  }

  test::TempDir dir;
};

TEST_F(PageInformation, PathSizeAndTypeOfAGbkPage) {
  const Text page = U"<html><head><title>我的主页</title></head><body>你好</body></html>";
  const PageInfo info = examine(page);
  EXPECT_EQ(info.path, textPath(dir / "page.htm"));
  EXPECT_EQ(info.sizeText, toText(static_cast<long long>(encodeAnsi(page).size())) + U" byte");
  EXPECT_EQ(info.typeText, U"超文本文件");
  EXPECT_TRUE(info.isHtml);
  EXPECT_EQ(info.title, U"我的主页");
  EXPECT_EQ(info.language, U"未知");
}

TEST_F(PageInformation, TitleAndCharacterSet) {
  struct Case {
    const char* what;
    Text page;
    Text title;
    Text language;
  };
  const Case cases[] = {
      {"lower-case title keeps its case", U"<html><title>Home</title>", U"Home", U"未知"},
      {"empty title", U"<HTML><TITLE></TITLE>", U"", U"未知"},
      {"title with blanks and tags kept", U"<html><Title> a <b>粗</b> </TITLE>", U" a <b>粗</b> ", U"未知"},
      {"no closing title", U"<html><title>x charset=gb2312\">", U"未知", U"中国大陆GB码"},
      {"closing title only before the opening", U"<html></title><title>x", U"未知", U"未知"},
      {"title with attributes", U"<html><title lang=zh>t</title >", U"t", U"未知"},
      {"a longer tag name is no title", U"<html><titlex>t</titlex>", U"未知", U"未知"},
      {"no title, character set still read", U"<html><meta charset=big5>", U"未知", U"中国台湾大五码"},
      {"gb2312 before a quote", U"<html><title>t</title><meta content=\"text/html; charset=gb2312\">", U"t",
       U"中国大陆GB码"},
      {"big5 before >", U"<html><title>t</title><meta charset=big5>", U"t", U"中国台湾大五码"},
      {"quoted value", U"<html><title>t</title><meta charset=\"utf-8\">", U"t", U"utf-8"},
      {"single-quoted value", U"<html><title>t</title><meta charset='GB2312'>", U"t", U"中国大陆GB码"},
      {"self-closing tag", U"<html><title>t</title><meta charset=utf-8/>", U"t", U"utf-8"},
      {"Shift_JIS any case", U"<html><title>t</title><meta CHARSET=Shift_JIS\">", U"t", U"日本字体网页"},
      {"iso value keeps its case", U"<html><title>t</title><meta charset=ISO-8859-1>", U"t", U"ISO-8859-1"},
      {"the semicolon ends it first", U"<html><title>t</title>charset=gb2312;x\">", U"t", U"中国大陆GB码"},
      {"> before the quote", U"<html><title>t</title>charset=big5>x\"", U"t", U"中国台湾大五码"},
      {"no terminator at all", U"<html><title>t</title>charset=gb2312", U"t", U"默认为英文网页"},
      {"charset= at the very end", U"<html><title>t</title>CHARSET=", U"t", U"默认为英文网页"},
      {"spaces before the value", U"<html><title>t</title>charset= gb2312\"", U"t", U"中国大陆GB码"},
      {"charset found before the title", U"<meta charset=big5><html><title>t</title>", U"t", U"中国台湾大五码"},
      {"html only inside text", U"this is not Html but says so<title>t</title>", U"t", U"未知"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PageInfo info = examine(c.page);
    EXPECT_EQ(info.typeText, U"超文本文件");
    EXPECT_EQ(info.title, c.title);
    EXPECT_EQ(info.language, c.language);
  }
}

// Each page is read in its own encoding.
TEST_F(PageInformation, TitleAndCharacterSetInThePagesOwnEncoding) {
  struct Case {
    const char* name;
    std::string bytes;
    Text language;
  };
  const std::string title = "<title>站点首页</title>";
  const Case cases[] = {
      {"utf8Declared", "<html><meta charset=utf-8>" + title, U"utf-8"},
      {"utf8Undeclared", "<html>" + title, U"UTF-8"},
      {"byteOrderMark", "\xEF\xBB\xBF<html>" + title, U"UTF-8"},
      {"byteOrderMarkOutweighsDeclaration", "\xEF\xBB\xBF<html><meta charset=gb2312>" + title, U"UTF-8"},
      {"gbkDeclared", "<html><meta charset=gb2312>" + CodePage::named("GBK").encode(U"<title>站点首页</title>"), U"中国大陆GB码"},
      {"gbkDeclaredByHttpEquiv",
       "<html><meta http-equiv=Content-Type content=\"text/html; charset=gbk\">" +
           CodePage::named("GBK").encode(U"<title>站点首页</title>"),
       U"gbk"},
  };
  for (const Case& c : cases) {
    test::writeBytes(dir / "page.htm", c.bytes);
    const PageInfo info = analysePage(dir / "page.htm");
    EXPECT_EQ(info.title, U"站点首页") << c.name;
    EXPECT_EQ(info.language, c.language) << c.name;
  }
}

TEST_F(PageInformation, EachFileShowsOnlyWhatItHolds) {
  examine(U"<html><title>第一页</title><meta charset=gb2312>");
  const PageInfo untitled = examine(U"<html><body>no title</body></html>");
  EXPECT_EQ(untitled.title, U"未知");
  EXPECT_EQ(untitled.language, U"未知");
  const PageInfo plain = examine(U"plain text <title>x</title> charset=big5>");
  EXPECT_EQ(plain.typeText, U"未知类型");
  EXPECT_FALSE(plain.isHtml);
  EXPECT_EQ(plain.title, U"未知");
  EXPECT_EQ(plain.language, U"未知");
  EXPECT_EQ(plain.sizeText, U"41 byte");
}

TEST_F(PageInformation, OnlyTheFirstFiveThousandCharactersAreSearched) {
  struct Case {
    const char* what;
    Text page;
    Text title;
  };
  const Text html = U"<html>";
  // Double-byte characters: the head is counted in characters, not bytes.
  const Text han(4000, U'字');
  const Case cases[] = {
      {"title inside the head", html + han + U"<title>近</title>", U"近"},
      {"closing tag ends exactly at 5000", html + Text(5000 - 6 - 16, U'x') + U"<title>t</title>", U"t"},
      {"closing tag cut by the head", html + Text(5000 - 6 - 15, U'x') + U"<title>t</title>", U"未知"},
      {"title beyond the head", html + han + Text(1000, U'字') + U"<title>远</title>", U"未知"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(examine(c.page).title, c.title);
  }
  // "HTML" beyond the head does not count either.
  EXPECT_EQ(examine(Text(5000, U'字') + U"<html>").typeText, U"未知类型");
}

TEST_F(PageInformation, ATenMegabytePageIsReadOnlyAtItsStart) {
  std::string page = "<html><body>" + std::string(10 * 1024 * 1024, 'a') + "<title>late</title>";
  test::writeBytes(dir / "big.htm", page);
  const PageInfo info = analysePage(dir / "big.htm");
  EXPECT_EQ(info.sizeText, toText(static_cast<long long>(page.size())) + U" byte");
  EXPECT_EQ(info.typeText, U"超文本文件");
  EXPECT_EQ(info.title, U"未知");
}

TEST_F(PageInformation, UnreadableFilesAreReportedNotShown) {
  EXPECT_THROW(analysePage(dir / "missing.htm"), FileError);
  ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0755), 0);
  EXPECT_THROW(analysePage(dir / "folder"), FileError);
  // A pipe would block a reader forever: it is refused without being opened.
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
  EXPECT_THROW(analysePage(dir / "pipe"), FileError);
}

TEST_F(PageInformation, AnEmptyFileIsOfUnknownType) {
  const PageInfo info = examine(U"");
  EXPECT_EQ(info.sizeText, U"0 byte");
  EXPECT_EQ(info.typeText, U"未知类型");
}

TEST_F(PageInformation, UndecodableBytesDoNotDisturbTheSearch) {
  test::writeBytes(dir / "odd.htm", std::string("\x81<html>\xff<title>\x80t\x81</title>charset=big5>"));
  const PageInfo info = analysePage(dir / "odd.htm");
  EXPECT_EQ(info.typeText, U"超文本文件");
  EXPECT_EQ(encodeAnsi(info.title), std::string("\x80t\x81", 3));
  EXPECT_EQ(info.language, U"中国台湾大五码");
}

}  // namespace
}  // namespace vantiro
