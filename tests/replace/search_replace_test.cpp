#include "replace/search_replace.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <iterator>
#include <random>

#include "backup/backup_store.h"
#include "common/page_error.h"
#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/support/faulty_file_service.h"
#include "tests/support/temp_dir.h"

namespace vantiro {
namespace {

class PageTest : public ::testing::Test {
 protected:
  void SetUp() override { setProgramDirectory(home.path()); }
  void TearDown() override { setProgramDirectory(""); }

  // A page file in the page directory, written in the code page.
  Text page(const std::string& name, TextView content) {
    test::writeBytes(pages / name, encodeAnsi(content));
    return textPath(pages / name);
  }
  Text pageBytes(const std::string& name, const std::string& bytes) {
    test::writeBytes(pages / name, bytes);
    return textPath(pages / name);
  }
  Text read(const std::string& name) { return decodeAnsi(test::readBytes(pages / name)); }
  std::vector<BackupEntry> backups() { return ReadBackupIndex(false); }

  test::TempDir home;
  test::TempDir pages;
};

SearchParameters general(ReplaceMode mode, Text find, Text replacement, bool caseSensitive = false,
                         bool wholeWord = false) {
  SearchParameters p;
  p.findText = std::move(find);
  p.replacement = std::move(replacement);
  p.caseSensitive = caseSensitive;
  p.wholeWord = wholeWord;
  p.mode = mode;
  return p;
}

SearchParameters specific(int kind, Text tagName, Text find, Text replacement, bool fixed = false) {
  SearchParameters p = general(ReplaceMode::Specific, std::move(find), std::move(replacement));
  p.target = {kind, std::move(tagName)};
  p.fixedReplacement = fixed;
  return p;
}

PageReplacement replaceInAnyMode(const Text& path, const SearchParameters& params) {
  return params.mode == ReplaceMode::Specific ? replaceAttributeInPage(path, params, {}) : replaceInPage(path, params);
}

struct GeneralCase {
  const char* name;
  ReplaceMode mode;
  bool caseSensitive;
  bool wholeWord;
  Text find;
  Text replacement;
  Text before;
  Text after;
  long long count;
};

void PrintTo(const GeneralCase& c, std::ostream* os) { *os << c.name; }

class GeneralModes : public PageTest, public ::testing::WithParamInterface<GeneralCase> {};

TEST_P(GeneralModes, RewritesThePageFile) {
  const GeneralCase& c = GetParam();
  const Text path = page("a.htm", c.before);
  const PageReplacement done =
      replaceInPage(path, general(c.mode, c.find, c.replacement, c.caseSensitive, c.wholeWord));
  EXPECT_TRUE(done.succeeded) << toUtf8(done.error);
  EXPECT_EQ(done.error, U"");
  EXPECT_EQ(done.path, path);
  EXPECT_EQ(toUtf8(read("a.htm")), toUtf8(c.after));
  EXPECT_EQ(done.count, c.count);
}

const Text kScriptPage =
    U"<p>x=1</p><script language=javascript>var x=1;</SCRIPT><script language=vbscript>x=2</script>x";

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneralModes,
    ::testing::Values(
        GeneralCase{"TextBetweenTags", ReplaceMode::Text, false, false, U"cat", U"dog", U"<p class=cat>cat<b>CAT</b>",
                    U"<p class=cat>dog<b>dog</b>", 2},
        GeneralCase{"TagsOnly", ReplaceMode::Tags, false, false, U"FONT", U"Hi", U"<font color=red>font</font>",
                    U"<Hi color=red>font</Hi>", 2},
        GeneralCase{"TagsWrittenBackTrimmed", ReplaceMode::Text, false, false, U"x", U"y", U"<b >x</b >", U"<b>y</b>",
                    1},
        GeneralCase{"NothingReplacedLeavesThePage", ReplaceMode::Text, false, false, U"zz", U"y", U"<b >x</b >",
                    U"<b >x</b >", 0},
        // A "<" that starts no tag is text, and stays where it is.
        GeneralCase{"LessThanInText", ReplaceMode::Text, false, false, U"y", U"w",
                    U"<html><p>x < y and y > z</p></html>", U"<html><p>x < w and w > z</p></html>", 2},
        GeneralCase{"WholePage", ReplaceMode::Page, true, false, U"a", U"b", U"a<a href=a>a</a>a", U"b<b href=b>b</b>b",
                    6},
        GeneralCase{"WholePageAnyShape", ReplaceMode::Page, false, false, U"<", U"[", U"x<a title=1<2>",
                    U"x[a title=1[2>", 2},
        GeneralCase{"ScriptBodiesOnly", ReplaceMode::Scripts, false, false, U"x", U"y", kScriptPage,
                    U"<p>x=1</p><script language=javascript>var y=1;</SCRIPT><script language=vbscript>y=2</script>x",
                    2},
        GeneralCase{"WholeWordInText", ReplaceMode::Text, true, true, U"cat", U"dog", U"<p>cat concat cat</p>",
                    U"<p>dog concat dog</p>", 3},
        // Text before the first tag and after the last piece is carried over
        // as it was, in every piece mode.
        GeneralCase{"HeadAndTailKept", ReplaceMode::Text, false, false, U"a", U"b", U"a <p>a</p> a", U"a <p>b</p> a",
                    1},
        GeneralCase{"UnclosedScriptKeepsTheRest", ReplaceMode::Scripts, false, false, U"a", U"b", U"<p>a<script>a<b>a",
                    U"<p>a<script>a<b>a", 0},
        GeneralCase{"NoTagLeavesPage", ReplaceMode::Text, false, false, U"a", U"b", U"a a a", U"a a a", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The general modes write a page piece by piece as they go; what they write
// is what cutting the whole page, replacing in the pieces the mode names and
// joining them gives, on pages of every shape.
TEST_F(PageTest, PiecesWrittenAsTheyComeMatchTheWholePageCut) {
  std::mt19937 random(7);
  const Text parts[] = {U"<", U">", U"a", U"A", U"b", U" ", U"script", U"/", U"</SCRIPT>", U"<p>", U"中"};
  int compared = 0;
  for (int round = 0; round < 300; ++round) {
    Text content;
    for (int k = random() % 40; k > 0; --k) content += parts[random() % std::size(parts)];
    for (const ReplaceMode mode : {ReplaceMode::Text, ReplaceMode::Tags, ReplaceMode::Scripts, ReplaceMode::Page}) {
      const SearchParameters params = general(mode, round % 2 ? U"a" : U"A b", U"xy", round % 3 == 0, round % 5 == 0);
      Text expected = content;
      long long count = 0;
      bool replaced = false;
      const auto replaceIn = [&](Text& text) {
        const TextReplacement done = replaceInText(text, params.findText, params.replacement, params.matchFlags());
        count += done.count;
        replaced |= done.replaced;
      };
      try {
        if (mode == ReplaceMode::Page) {
          replaceIn(expected);
        } else {
          PieceList pieces = cutPieces(content, ScanVariant::General);
          for (int i = 0; i <= pieces.lastIndex; ++i) {
            const auto row = static_cast<std::size_t>(i);
            const bool inText = mode == ReplaceMode::Text || (mode == ReplaceMode::Scripts && isScriptTag(pieces.tags[row]));
            Text& target = mode == ReplaceMode::Tags ? pieces.tags[row] : pieces.texts[row];
            if (mode == ReplaceMode::Tags || inText) replaceIn(target);
          }
          expected = joinPieces(pieces);
        }
      } catch (const PageError&) {
        continue;  // a tag without its end fails the page either way
      }
      const Text path = page("random.htm", content);
      const PageReplacement done = replaceInPage(path, params);
      ASSERT_TRUE(done.succeeded) << toUtf8(content);
      EXPECT_EQ(done.count, count) << toUtf8(content);
      EXPECT_EQ(toUtf8(read("random.htm")), toUtf8(replaced ? expected : content)) << toUtf8(content);
      ++compared;
    }
  }
  EXPECT_GT(compared, 400);
}

TEST_F(PageTest, GeneralModesBackUpTheBytesWithoutFiller) {
  const std::string original = "<p>\xd6\xd0\xce\xc4 cat\xff</p>";  // GBK Chinese and a stray byte
  Text path = pageBytes("a.htm", original);
  EXPECT_TRUE(replaceInPage(path, general(ReplaceMode::Text, U"cat", U"dog")).succeeded);
  EXPECT_EQ(test::readBytes(pages / "a.htm"), "<p>\xd6\xd0\xce\xc4 dog\xff</p>");
  auto entries = backups();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].path, path);
  EXPECT_EQ(entries[0].start, U"100");
  EXPECT_EQ(entries[0].length, toText(static_cast<long long>(original.size())));
  // The filler says what the file was, the rest of it zero bytes.
  const std::string data = test::readBytes(home / "bak.dat");
  ASSERT_EQ(data.size(), 99 + original.size());
  EXPECT_TRUE(data.starts_with("VANTIRO-SAVED ")) << data;
  EXPECT_EQ(data.substr(data.find('\0'), 99 - data.find('\0')), std::string(99 - data.find('\0'), '\0'));
  EXPECT_EQ(data.substr(99), original);
}

// The typed texts are written in each page's own encoding; a page that cannot
// hold the replacement is refused and left exactly as it was, without a backup.
TEST_F(PageTest, ReplacesInEachPagesOwnEncoding) {
  const CodePage& gbk = CodePage::named("GBK");
  struct Case {
    const char* name;
    std::string before;
    Text find, replacement;
    std::string after;  // empty: refused
  };
  const Case cases[] = {
      {"utf8ChineseFound", "<p>hello 世界</p>", U"世界", U"您好", "<p>hello 您好</p>"},
      {"utf8ChineseWritten", "<p>hello 世界</p>", U"hello", U"您好", "<p>您好 世界</p>"},
      {"utf8Emoji", "<p>hello 世界</p>", U"hello", U"😀", "<p>😀 世界</p>"},
      {"byteOrderMark", "\xEF\xBB\xBF<p>hi</p>", U"hi", U"世界", "\xEF\xBB\xBF<p>世界</p>"},
      {"gbkDeclared", "<meta charset=gb2312><p>" + gbk.encode(U"世界") + "</p>", U"世界", U"您好",
       "<meta charset=gb2312><p>" + gbk.encode(U"您好") + "</p>"},
      {"gbkEmojiRefused", "<meta charset=gbk><p>" + gbk.encode(U"世界") + "</p>", U"世界", U"😀", ""},
      {"latin1ChineseRefused", "<meta charset=latin1><p>caf\xE9</p>", U"café", U"咖啡", ""},
      {"latin1Accent", "<meta charset=latin1><p>cafe</p>", U"cafe", U"café", "<meta charset=latin1><p>caf\xE9</p>"},
  };
  for (const Case& c : cases) {
    ClearBackupStore();
    Text path = pageBytes("a.htm", c.before);
    const PageReplacement done = replaceInPage(path, general(ReplaceMode::Page, c.find, c.replacement));
    if (c.after.empty()) {
      EXPECT_FALSE(done.succeeded) << c.name;
      EXPECT_NE(done.error.find(U"页面未改动"), npos) << c.name;
      EXPECT_EQ(test::readBytes(pages / "a.htm"), c.before) << c.name;
      EXPECT_TRUE(backups().empty()) << c.name;
    } else {
      EXPECT_TRUE(done.succeeded) << c.name << toUtf8(done.error);
      EXPECT_EQ(test::readBytes(pages / "a.htm"), c.after) << c.name;
    }
  }
}

TEST_F(PageTest, TitleKindIsRefusedWhenThePageCannotHoldTheReplacement) {
  const std::string gbkPage = "<html><meta charset=gbk><title>" + CodePage::named("GBK").encode(U"旧") + "</title>";
  Text path = pageBytes("t.htm", gbkPage);
  ReplaceRow row{path};
  EXPECT_FALSE(replaceInPageOfRow(row, specific(kKindTitle, U"TITLE", U"旧", U"🙂", true), CompressionOptions{}));
  EXPECT_EQ(row.countText, kCountError);
  EXPECT_NE(row.resultText.find(U"GBK"), npos);
  EXPECT_EQ(test::readBytes(pages / "t.htm"), gbkPage);

  path = pageBytes("u.htm", "<html><title>旧</title>");
  row = ReplaceRow{path};
  EXPECT_TRUE(replaceInPageOfRow(row, specific(kKindTitle, U"TITLE", U"旧", U"🙂", true), CompressionOptions{}));
  EXPECT_EQ(test::readBytes(pages / "u.htm"), "<html><title>🙂</title>");
}

TEST_F(PageTest, WholeWordsWithChineseNeighboursInAGbkPage) {
  // 中cat文 cat 中 cat: only the cat between spaces and the last one are words.
  Text path = page("a.htm", U"<p>中cat文 cat 中 cat</p>");
  const PageReplacement done = replaceInPage(path, general(ReplaceMode::Text, U"cat", U"猫", false, true));
  EXPECT_TRUE(done.succeeded);
  EXPECT_EQ(read("a.htm"), U"<p>中cat文 猫 中 猫</p>");
  EXPECT_EQ(done.count, 3);
}

TEST_F(PageTest, TagWithoutEndFailsTheGeneralModesAndKeepsThePage) {
  Text path = page("a.htm", U"<a title=x<b>x</a>");
  const PageReplacement done = replaceInPage(path, general(ReplaceMode::Text, U"x", U"y"));
  EXPECT_FALSE(done.succeeded);
  EXPECT_NE(done.error, U"");
  EXPECT_EQ(read("a.htm"), U"<a title=x<b>x</a>");
  EXPECT_TRUE(backups().empty());  // nothing was written, nothing saved
}

TEST_F(PageTest, APageInWhichNothingWasReplacedKeepsItsBytesAndTime) {
  const Text content = U"<html><title>t</title><p>x < y and y > z</p></html>";
  const auto before = std::filesystem::file_time_type::clock::now() - std::chrono::hours(5);
  const auto check = [&](const char* what, auto replace) {
    Text path = page("a.htm", content);
    std::filesystem::last_write_time(pages / "a.htm", before);
    const PageReplacement done = replace(path);
    EXPECT_EQ(done.error, U"") << what;
    EXPECT_TRUE(done.succeeded) << what;
    EXPECT_EQ(read("a.htm"), content) << what;
    EXPECT_EQ(std::filesystem::last_write_time(pages / "a.htm"), before) << what;
    EXPECT_TRUE(backups().empty()) << what << ": nothing to restore, nothing saved";
  };
  for (auto mode : {ReplaceMode::Text, ReplaceMode::Tags, ReplaceMode::Scripts, ReplaceMode::Page})
    check("general", [&](const Text& path) { return replaceInPage(path, general(mode, U"q", U"r")); });
  check("title", [&](const Text& path) {
    return replaceAttributeInPage(path, specific(kKindTitle, U"TITLE", U"q", U"r"), {});
  });
  check("same title", [&](const Text& path) {
    return replaceAttributeInPage(path, specific(kKindTitle, U"TITLE", U"x", U"t", true), {});
  });
}

// The page's entry is durable before the page is replaced; a page that
// another program changed meanwhile keeps that change, and one nobody may
// write is refused before any entry, in every mode.
TEST_F(PageTest, EntriesAreDurableFirstAndOtherProgramsChangesAndReadOnlyPagesAreKept) {
  const Text content = U"<html><title>old</title><p>old</p></html>";
  const std::vector<std::pair<const char*, SearchParameters>> modes = {
      {"text", general(ReplaceMode::Text, U"old", U"new")},
      {"page", general(ReplaceMode::Page, U"old", U"new")},
      {"title", specific(kKindTitle, U"TITLE", U"old", U"new")},
  };
  const std::string native = pages / "a.htm";
  for (const auto& [name, params] : modes) {
    SCOPED_TRACE(name);
    ClearBackupStore();
    const Text path = page("a.htm", content);
    test::FaultyFileService faulty;
    std::vector<std::string> steps;
    faulty.beforeOperation = [&](const std::string& operation, const std::string& file) {
      if (operation == "syncFile" && file == home / "bak.kbq") steps.push_back("synced");
      if (operation == "writeFileAtomic" && file == native) steps.push_back("replaced");
    };
    {
      ScopedFileService scoped(faulty);
      EXPECT_TRUE(replaceInAnyMode(path, params).succeeded);
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"synced", "replaced"}));

    ClearBackupStore();
    page("a.htm", content);
    faulty.beforeOperation = [&](const std::string& operation, const std::string& file) {
      if (operation == "syncFile" && file == home / "bak.dat") test::writeBytes(native, "theirs");
    };
    PageReplacement done;
    {
      ScopedFileService scoped(faulty);
      done = replaceInAnyMode(path, params);
    }
    EXPECT_FALSE(done.succeeded);
    EXPECT_EQ(done.error, U"文件在压缩时被修改");
    EXPECT_EQ(test::readBytes(native), "theirs");

    ClearBackupStore();
    page("a.htm", content);
    ASSERT_EQ(::chmod(native.c_str(), 0444), 0);
    done = replaceInAnyMode(path, params);
    EXPECT_FALSE(done.succeeded);
    EXPECT_NE(done.error.find(U"文件只读"), npos);
    EXPECT_TRUE(backups().empty());
    ::chmod(native.c_str(), 0644);
  }
}

TEST_F(PageTest, MissingPageFailsWithoutBackup) {
  Text path = textPath(pages / "gone.htm");
  for (auto mode : {ReplaceMode::Text, ReplaceMode::Page}) {
    const PageReplacement done = replaceInPage(path, general(mode, U"x", U"y"));
    EXPECT_NE(done.error, U"");
    EXPECT_FALSE(done.succeeded);
  }
  const PageReplacement done = replaceAttributeInPage(path, specific(kKindTitle, U"TITLE", U"x", U"y"), {});
  EXPECT_NE(done.error, U"");
  EXPECT_FALSE(done.succeeded);
  EXPECT_TRUE(backups().empty());
}

// A page larger than the memory left fails with a reason before it is read,
// instead of the system ending the program.
TEST_F(PageTest, APageThatCannotFitInMemoryFailsWithAReason) {
  test::writeBytes(pages / "huge.htm", "<html><body>x</body></html>");
  std::filesystem::resize_file(pages / "huge.htm", 64ull << 30);  // sparse: nothing is written
  const Text path = textPath(pages / "huge.htm");
  for (const PageReplacement& done : {replaceInPage(path, general(ReplaceMode::Text, U"x", U"y")),
                                      replaceAttributeInPage(path, specific(kKindTitle, U"TITLE", U"x", U"y"), {})}) {
    EXPECT_FALSE(done.succeeded);
    EXPECT_TRUE(done.error.starts_with(U"页面太大, 内存不足")) << toUtf8(done.error);
  }
  EXPECT_TRUE(backups().empty());
}

TEST_F(PageTest, NamedPipeIsRefusedWithoutWaitingForAWriter) {
  // Opening a pipe to read waits for a writer that never comes: every mode
  // must see the kind first.
  ASSERT_EQ(::mkfifo((pages / "x.htm").c_str(), 0600), 0);
  const Text path = textPath(pages / "x.htm");
  for (auto mode : {ReplaceMode::Text, ReplaceMode::Tags, ReplaceMode::Page, ReplaceMode::Scripts}) {
    const PageReplacement done = replaceInPage(path, general(mode, U"x", U"y"));
    EXPECT_NE(done.error, U"");
    EXPECT_FALSE(done.succeeded);
  }
  for (int kind : {kKindTitle, kKindTagInside}) {
    const PageReplacement done = replaceAttributeInPage(path, specific(kind, U"TITLE", U"x", U"y"), {});
    EXPECT_NE(done.error, U"");
    EXPECT_FALSE(done.succeeded);
  }
  EXPECT_TRUE(backups().empty());
}

TEST_F(PageTest, EmptySearchTextIsRefusedBeforeAnythingIsTouched) {
  Text path = page("a.htm", U"<html><title>x</title>");
  SearchParameters modes[] = {general(ReplaceMode::Page, U"", U"y"), general(ReplaceMode::Text, U"", U"y"),
                              specific(kKindTitle, U"TITLE", U"", U"y", true),
                              specific(kKindFileName, U"name", U"", U"y")};
  for (const auto& params : modes) {
    EXPECT_EQ(refuseParameters(params), Text(kEmptySearchText));
    const PageReplacement done = replaceInAnyMode(path, params);
    EXPECT_FALSE(done.succeeded);
    EXPECT_EQ(done.error, kEmptySearchText);
  }
  EXPECT_FALSE(pathExists(home / "bak.kbq"));
  EXPECT_FALSE(pathExists(home / "bak.dat"));
  EXPECT_EQ(read("a.htm"), U"<html><title>x</title>");
  EXPECT_FALSE(refuseParameters(general(ReplaceMode::Text, U" ", U"")).has_value());
}

TEST_F(PageTest, FailedWriteLeavesThePageWhole) {
  const Text content = U"<html><a href=cat>cat</a>";
  Text path = page("a.htm", content);
  test::FaultyFileService faulty;
  faulty.beforeOperation = [](const std::string& operation, const std::string& file) {
    if (operation == "writeFileAtomic" && file.ends_with("a.htm")) throw FileError("磁盘已满");
  };
  ScopedFileService scope(faulty);
  SearchParameters modes[] = {general(ReplaceMode::Text, U"cat", U"dog"), general(ReplaceMode::Page, U"cat", U"dog"),
                              specific(kKindTagInside, U"A", U"cat", U"dog")};
  for (const auto& params : modes) {
    const PageReplacement done = replaceInAnyMode(path, params);
    EXPECT_EQ(done.error, U"磁盘已满");
    EXPECT_FALSE(done.succeeded);
  }
  EXPECT_EQ(read("a.htm"), content);
  EXPECT_EQ(backups().size(), 3u);
}

TEST_F(PageTest, FailedBackupLeavesThePageUnchanged) {
  Text path = page("a.htm", U"<p>cat</p>");
  test::FaultyFileService faulty;
  faulty.unwritableDirectories.insert(home.path());
  ScopedFileService scope(faulty);
  const PageReplacement done = replaceInPage(path, general(ReplaceMode::Text, U"cat", U"dog"));
  EXPECT_NE(done.error, U"");
  EXPECT_FALSE(done.succeeded);
  EXPECT_EQ(read("a.htm"), U"<p>cat</p>");
}

struct SpecificCase {
  const char* name;
  int kind;
  const char32_t* tagName;
  bool fixed;
  Text find;
  Text replacement;
  Text before;
  Text after;
  long long count;
};

void PrintTo(const SpecificCase& c, std::ostream* os) { *os << c.name; }

class SpecificKinds : public PageTest, public ::testing::WithParamInterface<SpecificCase> {};

TEST_P(SpecificKinds, RewritesTheTargets) {
  const SpecificCase& c = GetParam();
  Text path = page("a.htm", c.before);
  const PageReplacement done =
      replaceAttributeInPage(path, specific(c.kind, c.tagName, c.find, c.replacement, c.fixed), {});
  EXPECT_TRUE(done.succeeded) << toUtf8(done.error);
  EXPECT_EQ(toUtf8(read("a.htm")), toUtf8(c.after));
  EXPECT_EQ(done.count, c.count);
  EXPECT_EQ(backups().size(), c.before == c.after ? 0u : 1u) << "an entry for a page that changed, only";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpecificKinds,
    ::testing::Values(
        SpecificCase{"TitleFixed", kKindTitle, U"TITLE", true, U"x", U"New", U"<html><title>Old</title>",
                     U"<html><title>New</title>", 1},
        SpecificCase{"TitleSearched", kKindTitle, U"TITLE", false, U"old", U"New",
                     U"<html><TITLE lang=en>Old old</title><p>old", U"<html><TITLE lang=en>New New</title><p>old", 2},
        SpecificCase{"TitleNeedsTheSpace", kKindTitle, U"TITLE", true, U"x", U"New", U"<html><titles>Old",
                     U"<html><titles>Old", 0},
        SpecificCase{"LinkTags", kKindTagInside, U"A", false, U"x", U"y",
                     U"<html><a href=x.htm>x</a><a><area shape=x><ax>",
                     U"<html><a href=y.htm>x</a><a><area shape=y><ax>", 2},
        SpecificCase{"FixedTagInside", kKindTagInside, U"IMG", true, U"zz", U"img src=b.png",
                     U"<html><img src=a.gif><IMG  border=0 >", U"<html><img src=b.png><img src=b.png>", 2},
        SpecificCase{"FontTags", kKindTagInside, U"FONT", false, U"red", U"blue", U"<html><font color=red>red</font>",
                     U"<html><font color=blue>red</font>", 1},
        SpecificCase{"NoEntryChosen", kKindNone, U"", false, U"x", U"y", U"<html><a href=x>x", U"<html><a href=x>x", 0},
        SpecificCase{"HeadTailAndOpenLastTagKept", kKindTagInside, U"A", false, U"x", U"y",
                     U"前言 <html><a href=x>x</a>\r\n<b", U"前言 <html><a href=y>x</a>\r\n<b", 1},
        SpecificCase{"EndingInGreaterUnchanged", kKindTagInside, U"A", false, U"q", U"y", U"<html><a title=1<2>x</a>",
                     U"<html><a title=1<2>x</a>", 0},
        SpecificCase{"ServerBlocksKeptWhole", kKindTagInside, U"A", false, U"x", U"y",
                     U"<html><%if a>b then%><a href=x>", U"<html><%if a>b then%><a href=y>", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PageTest, HtmlTestsMarkThePathAndKeepThePage) {
  struct Case {
    Text content;
    bool requireHtml;
    int result;
    TextView mark;
  } cases[] = {
      {U"<Html><a href=x>", true, -1, kMarkRequireHtml}, {U"<html lang=\"en\"><a href=x>", true, 1, U""},
      {U"<HTML\r\n><a href=x>", true, 1, U""},           {U"<Html><a href=x>", false, 1, U""},
      {U"<htmlx><a href=x>", false, -1, kMarkNotHtml},   {U"<a href=x>", false, -1, kMarkNotHtml},
      {U"no tags at all", false, -1, kMarkNotHtml},
  };
  int n = 0;
  for (const auto& c : cases) {
    std::string name = "p" + std::to_string(n++) + ".htm";
    Text path = page(name, c.content);
    CompressionOptions options;
    options.requireHtml = c.requireHtml;
    const PageReplacement done = replaceAttributeInPage(path, specific(kKindTagInside, U"A", U"x", U"y"), options);
    EXPECT_EQ(done.succeeded, c.result == 1) << toUtf8(c.content);
    EXPECT_EQ(done.error, U"");
    EXPECT_EQ(done.path, path + Text(c.mark)) << toUtf8(c.content);
    if (!done.succeeded) {
      EXPECT_EQ(read(name), c.content);
    }
  }
  EXPECT_EQ(backups().size(), 3u);  // only the pages written are backed up
}

TEST_F(PageTest, SecondTestStillCountsButWritesNothing) {
  Text path = page("a.htm", U"<a href=x>");
  const PageReplacement done = replaceAttributeInPage(path, specific(kKindTagInside, U"A", U"x", U"y"), {});
  EXPECT_FALSE(done.succeeded);
  EXPECT_EQ(done.count, 1);
  EXPECT_FALSE(pathExists(pages / "a.htm|文件错误"));
  EXPECT_EQ(read("a.htm"), U"<a href=x>");
}

TEST_F(PageTest, RedirectsUnderTheTargetDirectory) {
  std::filesystem::create_directories(pages / "site/news");
  Text path = page("site/news/a.htm", U"<html><a href=x>");
  CompressionOptions options;
  options.mirror = true;
  options.sourceDirectory = textPath(pages / "SITE");  // compared ignoring case
  options.destinationDirectory = textPath(pages / "out");
  const PageReplacement done = replaceAttributeInPage(path, specific(kKindTagInside, U"A", U"x", U"y"), options);
  EXPECT_TRUE(done.succeeded);
  EXPECT_EQ(done.path, textPath(pages / "out/news/a.htm"));
  EXPECT_EQ(read("out/news/a.htm"), U"<html><a href=y>");
  EXPECT_EQ(read("site/news/a.htm"), U"<html><a href=x>");
  // The new mirror's entry holds the page, as a compression run's does.
  EXPECT_EQ(backups().at(0).path, textPath(pages / "out/news/a.htm"));

  // Outside text1, or with Check1 off, the page is rewritten in place.
  Text other = page("b.htm", U"<html><a href=x>");
  EXPECT_EQ(replaceAttributeInPage(other, specific(kKindTagInside, U"A", U"x", U"y"), options).path,
            textPath(pages / "b.htm"));
  options.mirror = false;
  Text inside = page("site/c.htm", U"<html><a href=x>");
  replaceAttributeInPage(inside, specific(kKindTagInside, U"A", U"x", U"y"), options);
  EXPECT_EQ(read("site/c.htm"), U"<html><a href=y>");
}

// A mirror that was there is what its entry keeps, not the page the mirror is made from.
TEST_F(PageTest, AnExistingMirrorIsBackedUpAsItWas) {
  std::filesystem::create_directories(pages / "site");
  std::filesystem::create_directories(pages / "out");
  Text path = page("site/a.htm", U"<html><a href=x>");
  const std::string mirrorWas = "<html><a href=old mirror>";
  test::writeBytes(pages / "out/a.htm", mirrorWas);
  CompressionOptions options;
  options.mirror = true;
  options.sourceDirectory = textPath(pages / "site");
  options.destinationDirectory = textPath(pages / "out");
  EXPECT_TRUE(replaceAttributeInPage(path, specific(kKindTagInside, U"A", U"x", U"y"), options).succeeded);
  EXPECT_EQ(read("out/a.htm"), U"<html><a href=y>");
  ASSERT_EQ(backups().size(), 1u);
  EXPECT_EQ(backups().at(0).length, toText(static_cast<long long>(mirrorWas.size())));
  EXPECT_TRUE(test::readBytes(home / "bak.dat").ends_with(mirrorWas));
}

TEST_F(PageTest, ServerBlockWithoutEndFailsTheSpecificMode) {
  Text path = page("a.htm", U"<html><% x >y");
  const PageReplacement done = replaceAttributeInPage(path, specific(kKindTagInside, U"A", U"x", U"y"), {});
  EXPECT_NE(done.error, U"");
  EXPECT_FALSE(done.succeeded);
  EXPECT_EQ(read("a.htm"), U"<html><% x >y");
}

struct RenameCase {
  const char* name;
  Text file;
  Text find;
  Text replacement;
  bool caseSensitive;
  int result;
  Text existsAfter;  // the name the page has afterwards
  long long count;
};

void PrintTo(const RenameCase& c, std::ostream* os) { *os << c.name; }

class RenameKind : public PageTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(RenameKind, RenamesWithinItsDirectory) {
  const RenameCase& c = GetParam();
  test::writeBytes(pages / "taken.htm", "other");
  Text path = page(nativePath(c.file), U"<html>");
  SearchParameters params = specific(kKindFileName, U"name", c.find, c.replacement);
  params.caseSensitive = c.caseSensitive;
  params.wholeWord = true;  // never applies to file names
  const PageReplacement done = replaceAttributeInPage(path, params, {});
  EXPECT_EQ(done.succeeded, c.result == 1) << toUtf8(done.error);
  EXPECT_EQ(!done.succeeded, !done.error.empty());
  EXPECT_EQ(done.path, path);  // the list keeps the old path
  EXPECT_EQ(done.count, c.count);
  EXPECT_EQ(test::readBytes(pages / nativePath(c.existsAfter)), "<html>");
  if (c.existsAfter != c.file) {
    EXPECT_FALSE(pathExists(pages / nativePath(c.file)));
  }
  EXPECT_EQ(test::readBytes(pages / "taken.htm"), "other");
  EXPECT_TRUE(backups().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenameKind,
    ::testing::Values(RenameCase{"Renamed", U"bold-page.htm", U"OLD", U"new", false, 1, U"bnew-page.htm", 1},
                      RenameCase{"CaseSensitiveMiss", U"bold.htm", U"OLD", U"new", true, 1, U"bold.htm", 0},
                      RenameCase{"Chinese", U"旧页.htm", U"旧", U"新", false, 1, U"新页.htm", 1},
                      RenameCase{"TakenNameNeverReplaced", U"take.htm", U"take", U"taken", false, -1, U"take.htm", 1},
                      RenameCase{"EmptyName", U"a.htm", U"a.htm", U"", false, -1, U"a.htm", 1},
                      RenameCase{"DotDot", U"a.htm", U"a.htm", U"..", false, -1, U"a.htm", 1},
                      RenameCase{"Separator", U"a.htm", U"a", U"x/", false, -1, U"a.htm", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PageTest, RenamingAMissingPageFails) {
  Text path = textPath(pages / "gone.htm");
  EXPECT_FALSE(replaceAttributeInPage(path, specific(kKindFileName, U"name", U"gone", U"here"), {}).succeeded);
  EXPECT_FALSE(pathExists(pages / "here.htm"));
}

TEST_F(PageTest, RowsShowCountAndResult) {
  Text path = page("a.htm", U"<p>cat cat cat</p>");
  ReplaceRow row{path};
  EXPECT_EQ(row.countText, U"就绪");
  EXPECT_EQ(row.resultText, U"等待压缩");
  EXPECT_TRUE(replaceInPageOfRow(row, general(ReplaceMode::Text, U"cat", U"dog"), {}));
  EXPECT_EQ(row.countText, U" 3");
  EXPECT_EQ(row.resultText, U"成功替换");
  EXPECT_TRUE(replaceInPageOfRow(row, general(ReplaceMode::Text, U"cat", U"dog"), {}));
  EXPECT_EQ(row.countText, U" 0");

  ReplaceRow rejected{page("b.htm", U"<Html>")};
  CompressionOptions options;
  options.requireHtml = true;
  EXPECT_FALSE(replaceInPageOfRow(rejected, specific(kKindTitle, U"TITLE", U"x", U"y"), options));
  EXPECT_EQ(rejected.path, textPath(pages / "b.htm") + U"|文件错误!");
  EXPECT_EQ(rejected.countText, U"错误");
  EXPECT_EQ(rejected.resultText, U"");

  ReplaceRow missing{textPath(pages / "gone.htm")};
  EXPECT_FALSE(replaceInPageOfRow(missing, general(ReplaceMode::Page, U"cat", U"dog"), {}));
  EXPECT_EQ(missing.countText, U"错误");
  EXPECT_NE(missing.resultText, U"");
}

TEST(ReplaceTexts, CountStatusAndEntries) {
  EXPECT_EQ(countText(0), U" 0");
  EXPECT_EQ(countText(12), U" 12");
  EXPECT_EQ(countText(-1), U"-1");
  EXPECT_EQ(statusText(U"/a/b.htm"), U"正在查找替换 /a/b.htm 请等待.....");
  struct {
    TextView entry;
    int kind;
    TextView tag;
  } table[] = {{U"文件名", 1, U"name"},    {U"标题", 2, U"TITLE"}, {U"超级链接地址", 3, U"A"},
               {U"超级链接名称", 3, U"A"}, {U"字体", 3, U"FONT"},  {U"图片属性", 3, U"IMG"},
               {U"表格属性", 3, U"TABLE"}};
  ASSERT_EQ(attributeEntries().size(), std::size(table));
  for (std::size_t i = 0; i < std::size(table); ++i) {
    EXPECT_EQ(attributeEntries()[i].entry, table[i].entry);
    auto target = attributeForEntry(table[i].entry);
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->kind, table[i].kind);
    EXPECT_EQ(target->tagName, table[i].tag);
  }
  EXPECT_FALSE(attributeForEntry(U"其他").has_value());
}

}  // namespace
}  // namespace vantiro
