#include "compress/page_compressor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>

#include "backup/backup_store.h"
#include "platform/code_page.h"
#include "platform/file_service.h"
#include "tests/compress/line_break_twins.h"
#include "tests/support/faulty_file_service.h"
#include "tests/support/program_directory_test.h"
#include "tests/support/temp_dir.h"

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;

struct CountingQuestion : RestoreQuestion {
  bool answer = false;
  std::vector<Text> asked;
  bool askRestoreAfterError(const Text& message) override {
    asked.push_back(message);
    return answer;
  }
};

struct RangeCheckingProgress : ProgressIndicator {
  int minimum = 0, maximum = -1;
  std::vector<int> values;
  void setRange(int min, int max) override {
    ASSERT_LT(min, max);
    minimum = min;
    maximum = max;
  }
  void setValue(int value) override {
    ASSERT_GE(value, minimum);
    ASSERT_LE(value, maximum);
    values.push_back(value);
  }
};

class PageCompressorTest : public test::ProgramDirectoryTest {
 protected:
  // Writes `bytes` as the page `name` and compresses it; returns whether it
  // succeeded, and leaves the outcome's path in `path`.
  bool compress(const std::string& name, const std::string& bytes, const CompressionOptions& options = {}) {
    writeBytes(site / name, bytes);
    return compressExisting(name, options);
  }
  bool compressExisting(const std::string& name, const CompressionOptions& options = {}) {
    const PageOutcome outcome = compressPageFile(textPath(site / name), options, progress, question);
    path = outcome.path;
    return outcome.succeeded;
  }
  std::vector<BackupEntry> backups() const { return ReadBackupIndex(false); }

  test::TempDir site;
  Text path;
  RangeCheckingProgress progress;
  CountingQuestion question;
};

const std::string kSimple = "<html><body>x</body></html>";

TEST_F(PageCompressorTest, CompressesInPlaceAndBacksUpTheBytesAsRead) {
  const std::string page = "  <html>\r\n<body>\r\n  <p>Hello,\r\n  world</p>\r\n</body>\r\n</html>\r\n";
  ASSERT_TRUE(compress("a.htm", page));
  EXPECT_EQ(path, textPath(site / "a.htm"));
  EXPECT_EQ(readBytes(site / "a.htm"), "<html><body><p>Hello, world</body></html>");
  auto entries = backups();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].path, path);
  EXPECT_EQ(entries[0].length, toText(static_cast<long long>(page.size())));
  // The filler says what the file was, padded with spaces.
  const std::string data = readBytes(home / "bak.dat");
  EXPECT_TRUE(std::regex_match(data.substr(0, 99), std::regex("VANTIRO-SAVED \\d+ \\d+ 644 +"))) << data.substr(0, 99);
  EXPECT_EQ(data.substr(99), page);
  EXPECT_EQ(progress.minimum, 0);
  EXPECT_GT(progress.maximum, 0);
}

TEST_F(PageCompressorTest, HtmlTests) {
  struct Case {
    const char* page;
    bool always;  // the test made for every page
    bool check4;  // the exact-case test of Check4
  };
  for (Case c : {Case{"<html>", true, true}, Case{"<HTML>", true, true}, Case{"<Html>", true, false},
                 Case{"<html lang=\"en\">", true, true}, Case{"<HTML\r\nlang=en>", true, true},
                 Case{"<html\tdir=ltr>", true, true}, Case{"<HtMl class=x>", true, false},
                 Case{"<htmlx>", false, false}, Case{"<html", false, false}, Case{"<head><body>", false, false},
                 Case{"text <html>", true, true}}) {
    Text page = fromUtf8(c.page);
    EXPECT_EQ(hasHtmlTag(page), c.always) << c.page;
    EXPECT_EQ(hasHtmlTagExactCase(page), c.check4) << c.page;
  }
}

TEST_F(PageCompressorTest, RealPagesWithAttributesOnTheHtmlTagAreCompressed) {
  CompressionOptions check4;
  check4.requireHtml = true;
  const std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<body>x</body></html>";
  EXPECT_TRUE(compress("a.htm", page, check4));
  EXPECT_TRUE(compress("b.htm", page));
  EXPECT_EQ(readBytes(site / "b.htm").find("<html lang=en>"), readBytes(site / "b.htm").find("<html"));
}

TEST_F(PageCompressorTest, Check4RefusesMixedCaseWithoutTouchingAnything) {
  CompressionOptions options;
  options.requireHtml = true;
  const std::string page = "<Html><body>x</body></Html>";
  EXPECT_FALSE(compress("a.htm", page, options));
  EXPECT_EQ(path, textPath(site / "a.htm") + U"|文件错误!");
  EXPECT_EQ(readBytes(site / "a.htm"), page);
  EXPECT_FALSE(pathExists(home / "bak.kbq"));
}

// Only HTML pages are rewritten: a file that is no page by its name or its
// content, and a page without the html tag, keep their bytes and get no
// backup entry; a page may begin with a mark, white space and comments.
TEST_F(PageCompressorTest, OnlyPagesAreRewrittenAndRefusedFilesGetNoEntry) {
  const std::string body = "<html>\n<body>\n  x  </body></html>";
  struct Case {
    const char* name;
    std::string bytes;
    const char32_t* marker;  // nullptr: compressed
  };
  const Case cases[] = {
      {"search.js", "document.write('" + body + "'); // HashMap<K, V>", U"|不是网页"},
      {"README.md", "# Site\n\n" + body, U"|不是网页"},
      {"style.CSS", body, U"|不是网页"},
      {"image.htm", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) + body, U"|不是网页"},
      {"doc.htm", "%PDF-1.4\n" + body, U"|不是网页"},
      {"words.htm", "Some words first " + body, U"|不是网页"},
      {"garbled.htm", "<html><body>" + std::string(64, '\xFF') + "</body></html>", U"|不是网页"},
      {"fragment.htm", "<head><title>t</title></head>  <body>x</body>", U"|文件错误"},
      {"opened.htm", "\xEF\xBB\xBF <!-- a -->\n<?xml version=\"1.0\"?>\n<!doctype html>" + body, nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(compress(c.name, c.bytes), c.marker == nullptr) << c.name;
    if (c.marker == nullptr) continue;
    EXPECT_EQ(path, textPath(site / c.name) + c.marker) << c.name;
    EXPECT_EQ(readBytes(site / c.name), c.bytes) << c.name;
  }
  EXPECT_EQ(backups().size(), 1u);
}

// A page larger than the memory left fails with a reason before it is read,
// instead of the system ending the program.
TEST_F(PageCompressorTest, APageThatCannotFitInMemoryFailsWithAReason) {
  writeBytes(site / "huge.htm", "<html><body>x</body></html>");
  std::filesystem::resize_file(site / "huge.htm", 64ull << 30);  // sparse: nothing is written
  EXPECT_FALSE(compressExisting("huge.htm"));
  EXPECT_NE(path.find(U"内存不足"), npos) << toUtf8(path);
  EXPECT_TRUE(backups().empty());
}

TEST_F(PageCompressorTest, TextAroundTheTags) {
  struct Case {
    const char* what;
    std::string page;
    std::string written;
  };
  const std::vector<Case> cases = {
      {"blank before and after is dropped", "  <html><body>x</body></html>\r\n", kSimple},
      {"byte-order mark kept", "\xEF\xBB\xBF<html><body>x</body></html>", "\xEF\xBB\xBF" + kSimple},
      {"text after the last tag kept", kSimple + "tail", kSimple + "tail"},
      {"unclosed script keeps the rest of the page",
       "<html><body><script>if (a < b)\r\n  go();\r\n</body></html>",
       "<html><body><script>if (a < b)\r\n  go();\r\n</body></html>"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(compress("a.htm", c.page)) << c.what << ": " << toUtf8(path);
    EXPECT_EQ(readBytes(site / "a.htm"), c.written) << c.what;
  }
}

TEST_F(PageCompressorTest, ReadableOutputBreaksAfterTagsAndNonEmptyTextsWithThePagesLineBreak) {
  CompressionOptions options;
  options.breakLinesAfterTags = true;
  struct Case {
    std::string page, written;
  };
  for (const Case& c : {
           Case{"<html><body>x</body></html>\r\n", "<html>\r\n<body>\r\nx\r\n</body>\r\n</html>\r\n"},
           Case{"<html>\n<body>x</body></html>\n", "<html>\n<body>\nx\n</body>\n</html>\n"},
           Case{"<html><body>x</body></html>", "<html>\n<body>\nx\n</body>\n</html>\n"},
           // A line break would join a textarea's value.
           Case{"<html><textarea>\r\n a</textarea><xmp>b</xmp></html>",
                "<html>\r\n<textarea>\r\n a</textarea>\r\n<xmp>b</xmp>\r\n</html>\r\n"},
       }) {
    ASSERT_TRUE(compress("a.htm", c.page, options));
    EXPECT_EQ(readBytes(site / "a.htm"), c.written) << c.page;
  }
}

// An LF page compresses to what its CR LF twin compresses to, with LF for
// every CR LF, under every option that touches line breaks.
TEST_F(PageCompressorTest, LfPagesCompressLikeTheirCrLfTwins) {
  const std::string pages[] = {
      "  <html>\n<body>\n  <p>Hello,\n  world</p>\n</body>\n</html>\n",
      "<html>\n<head>\n<script>\n  function f() {\n    go();\n  }\n</script>\n</head>\n<body>\n"
      "<p>&nbsp;&nbsp;&nbsp;\xC4\xE3\xBA\xC3,\n  \xCA\xC0<br>\n&nbsp;\xD4\xD9<br>x\ty\n</p>\n"
      "<table\n   width=\"100%\"\n  border=0>\n  <tr>\n    <td>a</td>\n  </tr>\n</table>\n</body>\n</html>\n",
      "<html><pre>\n  line one\n\n    line two  \n</pre>\n<p>a\n\n  b</p><b>x</b>\n<i>y</i></html>",
      "<html>\n<%\n  server  code\n%>\n<!-- a\n  comment -->\n<p>lone\rCR \r \n</p></html>",
      "<html>\n<p>&nbsp;&nbsp;a\n<a href=x>b\n</a>\n<br>\n<font color=red>c</font>\n<table></html>\n",
      "<html>\n<script>\n  var s = 1;  \n  if (s) {  s = 2; }\n",
      "<html>\n<textarea>\n  a\n  </textarea>\n<listing>\n b  \n</listing>\n<pre>  \n",
  };
  for (const std::string& lfPage : pages) {
    ASSERT_EQ(lfPage.find("\r\n"), std::string::npos);
    const std::string twin = encodeAnsi(test::asCrLf(decodeAnsi(lfPage)));
    for (int k = 0; k < 8; ++k) {
      CompressionOptions options;
      options.compressScripts = (k & 1) != 0;
      options.preformatParagraphs = (k & 2) != 0;
      options.breakLinesAfterTags = (k & 4) != 0;
      ASSERT_TRUE(compress("twin.htm", twin, options)) << twin;
      const std::string twinWritten = encodeAnsi(test::asLf(decodeAnsi(readBytes(site / "twin.htm"))));
      ASSERT_TRUE(compress("lf.htm", lfPage, options)) << lfPage;
      EXPECT_EQ(readBytes(site / "lf.htm"), twinWritten) << "options " << k << " on " << lfPage;
    }
  }
}

TEST_F(PageCompressorTest, MirrorPathUnderTheCompressionDirectory) {
  std::filesystem::create_directories(site / "web/news");
  writeBytes(site / "web/news/a.htm", kSimple + "  ");
  CompressionOptions options;
  options.mirror = true;
  options.sourceDirectory = textPath(site / "WEB");  // compared upper-cased
  options.destinationDirectory = textPath(site / "out/small");
  PageOutcome outcome = compressPageFile(textPath(site / "web/news/a.htm"), options, progress, question);
  path = outcome.path;
  ASSERT_TRUE(outcome.succeeded) << toUtf8(path);
  EXPECT_EQ(path, textPath(site / "out/small/news/a.htm"));
  EXPECT_EQ(readBytes(site / "out/small/news/a.htm"), kSimple);
  EXPECT_EQ(readBytes(site / "web/news/a.htm"), kSimple + "  ");
  EXPECT_EQ(backups().at(0).path, path);

  // Outside text1 the page is refused, never written in place; with text2
  // empty the mirror is off and the page is compressed in place.
  options.sourceDirectory = textPath(site / "elsewhere");
  outcome = compressPageFile(textPath(site / "web/news/a.htm"), options, progress, question);
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.path, textPath(site / "web/news/a.htm") + U"|不在源目录中");
  EXPECT_EQ(readBytes(site / "web/news/a.htm"), kSimple + "  ");
  options.sourceDirectory = textPath(site / "web");
  options.destinationDirectory.clear();
  writeBytes(site / "web/news/a.htm", kSimple + " ");
  compressPageFile(textPath(site / "web/news/a.htm"), options, progress, question);
  EXPECT_EQ(readBytes(site / "web/news/a.htm"), kSimple);
}

TEST_F(PageCompressorTest, OutputThatCannotBeWrittenFailsThePageAndLosesNothing) {
  // A file stands where the mirror directory must be.
  writeBytes(site / "blocker", "not a directory");
  writeBytes(site / "a.htm", kSimple + "  ");
  CompressionOptions options;
  options.mirror = true;
  options.sourceDirectory = textPath(site.path());
  options.destinationDirectory = textPath(site / "blocker/");
  EXPECT_FALSE(compressExisting("a.htm", options));
  EXPECT_NE(path.find(U"|"), npos);
  EXPECT_TRUE(path.starts_with(textPath(site / "blocker/a.htm|")));
  EXPECT_EQ(readBytes(site / "a.htm"), kSimple + "  ");
  EXPECT_EQ(readBytes(site / "blocker"), "not a directory");

  // In place, the result cannot be written beside the page: the page stays
  // whole, and no backup entry is left for a restore to fail on.
  test::FaultyFileService faulty;
  ScopedFileService scoped(faulty);
  faulty.unwritableDirectories.insert(site.path());
  const std::string page = "<html>\r\n<body>x</body>\r\n</html>";
  writeBytes(site / "b.htm", page);
  EXPECT_FALSE(compressExisting("b.htm"));
  EXPECT_TRUE(path.starts_with(textPath(site / "b.htm|"))) << toUtf8(path);
  EXPECT_EQ(readBytes(site / "b.htm"), page);
  EXPECT_TRUE(question.asked.empty()) << "asked only under Check3";
  for (const BackupEntry& entry : backups()) EXPECT_NE(entry.path, textPath(site / "b.htm"));
}

TEST_F(PageCompressorTest, BackupFailureMeansNoWrite) {
  test::FaultyFileService faulty;
  ScopedFileService scoped(faulty);
  faulty.unwritableDirectories.insert(home.path());
  const std::string page = "<html>\r\n<body>x</body>\r\n</html>";
  EXPECT_FALSE(compress("a.htm", page));
  EXPECT_EQ(readBytes(site / "a.htm"), page);
}

TEST_F(PageCompressorTest, ErrorPathAsksUnderCheck3AndNeverWipesAPage) {
  CompressionOptions options;
  options.offerRestoreAfterError = true;
  question.answer = true;

  // Fewer than two tags: an error of the page, reported with its reason.
  EXPECT_FALSE(compress("one.htm", "<html>only", options));
  EXPECT_TRUE(path.starts_with(textPath(site / "one.htm|")));
  ASSERT_EQ(question.asked.size(), 1u);
  EXPECT_EQ(question.asked[0], U"您好:\r\n    本软件在压缩您的这个文件时出现了错误，是否还原文件？（建议选择 是）");
  EXPECT_EQ(readBytes(site / "one.htm"), "<html>only");

  // A page that cannot be read: Yes must not write its (empty) text back.
  test::FaultyFileService faulty;
  ScopedFileService scoped(faulty);
  writeBytes(site / "locked.htm", kSimple);
  faulty.unreadable.insert(site / "locked.htm");
  EXPECT_FALSE(compressExisting("locked.htm", options));
  EXPECT_EQ(question.asked.size(), 2u);
  EXPECT_EQ(readBytes(site / "locked.htm"), kSimple);

  // Without Check3 nothing is asked.
  options.offerRestoreAfterError = false;
  EXPECT_FALSE(compressExisting("locked.htm", options));
  EXPECT_EQ(question.asked.size(), 2u);
}

TEST_F(PageCompressorTest, Check3YesWritesThePageToItsMirrorAfterAnError) {
  std::filesystem::create_directories(site / "web");
  writeBytes(site / "web/a.htm", "<html>x");  // one tag: fails after the mapping
  CompressionOptions options;
  options.mirror = options.offerRestoreAfterError = true;
  options.sourceDirectory = textPath(site / "web");
  options.destinationDirectory = textPath(site / "out");
  question.answer = true;
  EXPECT_FALSE(compressPageFile(textPath(site / "web/a.htm"), options, progress, question).succeeded);
  EXPECT_EQ(readBytes(site / "out/a.htm"), "<html>x");
}

TEST_F(PageCompressorTest, VanishedPageFails) {
  const PageOutcome outcome = compressPageFile(textPath(site / "gone.htm"), {}, progress, question);
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_TRUE(outcome.path.starts_with(textPath(site / "gone.htm|")));
  EXPECT_FALSE(pathExists(site / "gone.htm"));
}

TEST_F(PageCompressorTest, RestoreAfterCompressionGivesBackTheGbkBytes) {
  const std::string page = "<html>\r\n<body>\xC4\xE3\xBA\xC3 \x81\x20 \xFF  x</body>\r\n</html>\xB0";
  ASSERT_TRUE(compress("gbk.htm", page));
  ASSERT_NE(readBytes(site / "gbk.htm"), page);
  struct Quiet : RestoreObserver {
    void showStatus(const Text&) override {}
  } quiet;
  ASSERT_TRUE(restoreEntry(backups().at(0), quiet));
  EXPECT_EQ(readBytes(site / "gbk.htm"), page);
}

// A prepared page already waits beside its output; only the commit puts it
// there, and a page dropped before its commit leaves nothing behind.
TEST_F(PageCompressorTest, APreparedPageReplacesItsOutputOnlyWhenCommitted) {
  writeBytes(site / "a.htm", kSimple + "  ");
  writeBytes(site / "b.htm", kSimple + "  ");
  const CompressionOptions options;
  {
    PreparedPage dropped = preparePage(textPath(site / "b.htm"), options, nullptr);
    ASSERT_TRUE(dropped.staged);
  }
  PreparedPage page = preparePage(textPath(site / "a.htm"), options, nullptr);
  ASSERT_TRUE(page.staged);
  EXPECT_EQ(page.stagedFor, site / "a.htm");
  EXPECT_EQ(readBytes(site / "a.htm"), kSimple + "  ");
  EXPECT_EQ(files().listDirectory(site.path()).size(), 3u) << "the result waits in a file of its own";
  EXPECT_TRUE(backups().empty());

  ASSERT_TRUE(commitPage(page, textPath(site / "a.htm"), options, progress, question).succeeded);
  EXPECT_EQ(readBytes(site / "a.htm"), kSimple);
  EXPECT_EQ(readBytes(site / "b.htm"), kSimple + "  ");
  EXPECT_EQ(files().listDirectory(site.path()).size(), 2u) << "no temporary file is left";
  EXPECT_EQ(backups().size(), 1u);
}

// The result is written ahead into an existing mirror directory; a mirror
// directory still to be created gets the page at the commit.
TEST_F(PageCompressorTest, AMirrorPageIsWrittenAheadOnlyWhereItsDirectoryIsThere) {
  std::filesystem::create_directories(site / "web/new");
  std::filesystem::create_directories(site / "out/old");
  std::filesystem::create_directories(site / "web/old");
  writeBytes(site / "web/old/a.htm", kSimple + "  ");
  writeBytes(site / "web/new/a.htm", kSimple + "  ");
  CompressionOptions options;
  options.mirror = true;
  options.sourceDirectory = textPath(site / "web");
  options.destinationDirectory = textPath(site / "out");
  for (const char* dir : {"old", "new"}) {
    const std::string name = std::string(dir) + "/a.htm";
    PreparedPage page = preparePage(textPath(site / ("web/" + name)), options, nullptr);
    EXPECT_EQ(page.staged != nullptr, std::string(dir) == "old") << dir;
    const PageOutcome outcome = commitPage(page, textPath(site / ("web/" + name)), options, progress, question);
    ASSERT_TRUE(outcome.succeeded) << toUtf8(outcome.path);
    EXPECT_EQ(readBytes(site / ("out/" + name)), kSimple);
    EXPECT_EQ(readBytes(site / ("web/" + name)), kSimple + "  ");
    EXPECT_EQ(files().listDirectory(site / (std::string("out/") + dir)).size(), 1u);
  }
}

// A mirror file that holds the result already is left as it is, time and
// all, with no entry; one that differs, even if it changed only after the
// page was prepared, is written and backed up with what it held.
TEST_F(PageCompressorTest, AMirrorThatHoldsTheResultAlreadyIsLeftAsItIs) {
  std::filesystem::create_directories(site / "web");
  writeBytes(site / "web/a.htm", kSimple + "  ");
  CompressionOptions options;
  options.mirror = true;
  options.sourceDirectory = textPath(site / "web");
  options.destinationDirectory = textPath(site / "out");
  const Text page = textPath(site / "web/a.htm");
  const std::filesystem::path mirror = site / "out/a.htm";
  ASSERT_TRUE(compressPageFile(page, options, progress, question).succeeded);
  const auto oldTime = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
  std::filesystem::last_write_time(mirror, oldTime);

  ASSERT_TRUE(compressPageFile(page, options, progress, question).succeeded);
  EXPECT_EQ(std::filesystem::last_write_time(mirror), oldTime);
  EXPECT_EQ(backups().size(), 1u);

  for (const bool changedAfterPreparing : {false, true}) {
    const std::string edited = changedAfterPreparing ? "<p>edited later" : "<p>edited";
    if (!changedAfterPreparing) writeBytes(mirror, edited);
    PreparedPage prepared = preparePage(page, options, nullptr);
    if (changedAfterPreparing) writeBytes(mirror, edited);
    ASSERT_TRUE(commitPage(prepared, page, options, progress, question).succeeded);
    EXPECT_EQ(readBytes(mirror), kSimple);
    EXPECT_TRUE(readBytes(home / "bak.dat").ends_with(edited)) << "the entry holds what the mirror held";
  }
}

TEST_F(PageCompressorTest, PermissionsOfThePageAreKept) {
  writeBytes(site / "a.htm", kSimple + " ");
  ASSERT_EQ(::chmod((site / "a.htm").c_str(), 0604), 0);
  ASSERT_TRUE(compressExisting("a.htm"));
  struct ::stat st{};
  ASSERT_EQ(::stat((site / "a.htm").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
}

// A page's linked style sheets are read from disk, with what they import,
// relative to the page; a sheet that is not a file here counts for nothing.
TEST_F(PageCompressorTest, StyleSheetsOfThePageDecideWhichSpacesShow) {
  std::filesystem::create_directory(site / "css");
  writeBytes(site / "css/base.css", "li { display: inline }");
  writeBytes(site / "css/site.css", "@import url(\"base.css\");\n.x { color: red }");
  const std::string list = "<ul>\n<li>a</li>\n<li>b</li>\n</ul></body></html>";
  struct Case {
    std::string link;
    bool keeps;
  };
  for (const Case& c : {Case{"<link rel=stylesheet href=\"css/site.css?v=2\">", true},
                        Case{"<link rel=\"alternate stylesheet\" href=\"file://" + site / "css/base.css" + "\">", true},
                        Case{"<base href=\"css/\"><link rel=stylesheet href=base.css>", true},
                        Case{"<style>li { display: inline }</style>", true},
                        Case{"<STYLE>@import \"css/base.css\";</STYLE>", true},
                        Case{"<link rel=stylesheet href=\"https://example.org/css/site.css\">", false},
                        Case{"<link rel=stylesheet href=\"css/missing.css\">", false}, Case{"", false}}) {
    ASSERT_TRUE(compress("a.htm", "<html><head>" + c.link + "</head><body>" + list)) << c.link;
    const std::string page = readBytes(site / "a.htm");
    EXPECT_NE(page.find(c.keeps ? "<li>a</li> <li>b</li>" : "<li>a</li><li>b</li>"), std::string::npos)
        << c.link << "\n" << page;
  }
  // The same address on a page of another directory names another file: none here.
  std::filesystem::create_directory(site / "sub");
  ASSERT_TRUE(compress("sub/b.htm", "<html><head><link rel=stylesheet href=\"css/site.css?v=2\"></head><body>" + list));
  EXPECT_NE(readBytes(site / "sub/b.htm").find("<li>a</li><li>b</li>"), std::string::npos);
}

}  // namespace
}  // namespace vantiro
