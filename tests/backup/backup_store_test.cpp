#include "backup/backup_store.h"

#include "platform/code_page.h"
#include "platform/file_service.h"
#include "tests/support/faulty_file_service.h"
#include "tests/support/program_directory_test.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <functional>
#include <regex>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;

struct RecordingObserver : RestoreObserver {
  std::vector<Text> statuses;
  void showStatus(const Text& status) override { statuses.push_back(status); }
};

class BackupStoreTest : public test::ProgramDirectoryTest {
 protected:
  std::string index() const { return readBytes(home / "bak.kbq"); }
  std::string data() const { return readBytes(home / "bak.dat"); }
  Text pagePath(const std::string& name) const { return textPath(pages / name); }

  test::TempDir pages;
};

// Splits the index into its lines and checks the time line's form.
std::vector<std::string> indexLines(const std::string& index) {
  std::vector<std::string> lines;
  for (std::size_t pos = 0; pos < index.size();) {
    std::size_t end = index.find("\r\n", pos);
    EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
    if (end == std::string::npos) break;
    lines.push_back(index.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

TEST_F(BackupStoreTest, FirstAndSecondEntryExactBytes) {
  std::string first(1000, 'a');
  first[0] = '\xB0';  // a GBK lead byte with its trail: bytes are kept as they are
  first[1] = '\xA1';
  AppendBackupEntry(pagePath("one.htm"), first, first.size(), BackupFiller::Spaces);

  auto lines = indexLines(index());
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], pages / "one.htm");
  EXPECT_EQ(lines[1], "100");
  EXPECT_EQ(lines[2], "1000");
  EXPECT_TRUE(std::regex_match(lines[3], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << lines[3];
  EXPECT_EQ(data(), std::string(99, ' ') + first);

  std::string second = "<html>x</html>";
  AppendBackupEntry(pagePath("two.htm"), second, second.size(), BackupFiller::Spaces);
  lines = indexLines(index());
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[4], pages / "two.htm");
  EXPECT_EQ(lines[5], "1199");
  EXPECT_EQ(lines[6], std::to_string(second.size()));
  EXPECT_EQ(data(), std::string(99, ' ') + first + std::string(99, ' ') + second);
  EXPECT_EQ(data().size(), 1199 + second.size() - 1);
}

TEST_F(BackupStoreTest, SearchAndReplaceVariantLeavesFillerAsZeroBytes) {
  AppendBackupEntry(pagePath("a.htm"), "abc", 3, BackupFiller::None);
  EXPECT_EQ(data(), std::string(99, '\0') + "abc");
  EXPECT_EQ(indexLines(index())[1], "100");
}

TEST_F(BackupStoreTest, IndexOrderAndAwkwardPaths) {
  const std::vector<Text> paths = {pagePath("a,b.htm"), pagePath("\"quoted.htm"), U"  leading spaces.htm",
                                   pagePath("页面.htm")};
  for (const Text& p : paths) AppendBackupEntry(p, "x", 1, BackupFiller::Spaces);

  auto oldest = ReadBackupIndex(false);
  auto newest = ReadBackupIndex(true);
  ASSERT_EQ(oldest.size(), paths.size());
  ASSERT_EQ(newest.size(), paths.size());
  for (std::size_t k = 0; k < paths.size(); ++k) {
    EXPECT_EQ(oldest[k].path, paths[k]);
    EXPECT_EQ(newest[paths.size() - 1 - k].path, paths[k]);
    EXPECT_EQ(oldest[k].start, toText(100 + 100 * static_cast<long long>(k)));
    EXPECT_EQ(oldest[k].length, U"1");
    EXPECT_FALSE(oldest[k].time.empty());
  }
}

TEST_F(BackupStoreTest, EntryCountRoundsHalfUp) {
  struct Case {
    int lines;
    std::size_t entries;
    bool lastLineBreak;
  };
  for (Case c : {Case{0, 0, true}, Case{1, 0, true}, Case{2, 1, true}, Case{4, 1, true}, Case{8, 2, true},
                 Case{9, 2, true}, Case{10, 3, true}, Case{11, 3, false}, Case{12, 3, false}}) {
    std::string index;
    for (int i = 1; i <= c.lines; ++i) index += "L" + std::to_string(i) + (i < c.lines || c.lastLineBreak ? "\r\n" : "");
    writeBytes(home / "bak.kbq", index);
    auto entries = ReadBackupIndex(false);
    ASSERT_EQ(entries.size(), c.entries) << c.lines << " lines";
    if (c.entries == 0) continue;
    const BackupEntry& last = entries.back();
    int base = 4 * static_cast<int>(c.entries - 1);
    auto field = [&](int n) { return base + n <= c.lines ? fromUtf8("L" + std::to_string(base + n)) : Text(); };
    EXPECT_EQ(last.path, field(1));
    EXPECT_EQ(last.start, field(2));
    EXPECT_EQ(last.length, field(3));
    EXPECT_EQ(last.time, field(4));
  }
}

TEST_F(BackupStoreTest, MissingIndexIsEmptyAndClearRemovesBothFiles) {
  EXPECT_TRUE(ReadBackupIndex(true).empty());
  EXPECT_NO_THROW(ClearBackupStore());
  AppendBackupEntry(pagePath("a.htm"), "abc", 3, BackupFiller::Spaces);
  ASSERT_TRUE(pathExists(home / "bak.kbq"));
  ClearBackupStore();
  EXPECT_FALSE(pathExists(home / "bak.kbq"));
  EXPECT_FALSE(pathExists(home / "bak.dat"));
  EXPECT_TRUE(ReadBackupIndex(false).empty());
}

TEST_F(BackupStoreTest, FailedIndexWriteLeavesNoHalfEntry) {
  AppendBackupEntry(pagePath("a.htm"), "first", 5, BackupFiller::Spaces);
  const std::string indexBefore = index();
  const std::string dataBefore = data();
  {
    test::FaultyFileService failing;
    failing.bytesUntilFull = 99 + 6 + 10;  // the data fits, the index line does not
    ScopedFileService scoped(failing);
    EXPECT_THROW(AppendBackupEntry(pagePath("b.htm"), "second", 6, BackupFiller::Spaces), FileError);
  }
  EXPECT_EQ(data(), dataBefore);
  EXPECT_EQ(index(), indexBefore);
  AppendBackupEntry(pagePath("c.htm"), "third", 5, BackupFiller::Spaces);
  EXPECT_EQ(data(), dataBefore + std::string(99, ' ') + "third");

  {
    test::FaultyFileService failing;
    failing.bytesUntilFull = 50;  // the data append stops half way
    ScopedFileService scoped(failing);
    const std::string dataNow = data(), indexNow = index();
    EXPECT_THROW(AppendBackupEntry(pagePath("d.htm"), "fourth", 6, BackupFiller::Spaces), FileError);
    EXPECT_EQ(data(), dataNow) << "a partial data append is cut back";
    EXPECT_EQ(index(), indexNow);
  }
  auto entries = ReadBackupIndex(false);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].path, pagePath("c.htm"));
  EXPECT_EQ(entries[1].start, toText(static_cast<long long>(dataBefore.size()) + 100));
}

TEST_F(BackupStoreTest, AnIndexChangedBehindTheStoresBackIsAlignedAgain) {
  AppendBackupEntry(pagePath("a.htm"), "first", 5, BackupFiller::Spaces);
  // Another program's append, cut short in its second line.
  test::writeBytes(home / "bak.kbq", index() + "x.htm\r\n12");
  AppendBackupEntry(pagePath("b.htm"), "second", 6, BackupFiller::Spaces);
  // And one that left a whole line of a new entry.
  test::writeBytes(home / "bak.kbq", index() + "y.htm\r\n");
  AppendBackupEntry(pagePath("c.htm"), "third", 5, BackupFiller::Spaces);

  const auto entries = ReadBackupIndex(false);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[1].path, U"x.htm");
  EXPECT_EQ(entries[2].path, pagePath("b.htm"));
  EXPECT_EQ(entries[2].start, U"204");
  EXPECT_EQ(entries[3].path, U"y.htm");
  EXPECT_EQ(entries[4].path, pagePath("c.htm"));
  EXPECT_EQ(entries[4].length, U"5");
}

TEST_F(BackupStoreTest, PathWithLineBreakIsRefused) {
  EXPECT_THROW(AppendBackupEntry(U"a\r\nb.htm", "x", 1, BackupFiller::Spaces), FileError);
  EXPECT_FALSE(pathExists(home / "bak.dat"));
}

TEST_F(BackupStoreTest, RestoreBringsBackExactGbkBytesWithStatusTexts) {
  // Valid GBK, an invalid trail byte, a lone lead byte at the end.
  const std::string original = "<html>\xC4\xE3\xBA\xC3\x81\x20\xFF<p>\r\n\x80</html>\xB0";
  const std::string target = pages / "gbk.htm";
  writeBytes(target, original);
  ::chmod(target.c_str(), 0640);
  AppendBackupEntry(textPath(target), original, original.size(), BackupFiller::Spaces);
  writeBytes(target, "<html>changed</html>");

  auto entries = ReadBackupIndex(false);
  ASSERT_EQ(entries.size(), 1u);
  RecordingObserver observer;
  EXPECT_TRUE(restoreEntry(entries[0], observer));
  EXPECT_EQ(readBytes(target), original);
  struct ::stat st{};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  const Text size = toText(static_cast<long long>(original.size()));
  ASSERT_EQ(observer.statuses.size(), 2u);
  EXPECT_EQ(observer.statuses[0], U"正在还原  " + textPath(target) + U"文件，大小为" + size + U"B .....");
  EXPECT_EQ(observer.statuses[1], U"成功还原  " + textPath(target) + U"文件，大小为" + size + U"B   OK!!");

  // A second restore gives the same file.
  EXPECT_TRUE(restoreEntry(entries[0], observer));
  EXPECT_EQ(readBytes(target), original);
}

TEST_F(BackupStoreTest, RestoreThatCannotBeDoneLeavesTargetAlone) {
  const std::string target = pages / "page.htm";
  AppendBackupEntry(textPath(target), "saved bytes", 11, BackupFiller::Spaces);
  const BackupEntry good = ReadBackupIndex(false).at(0);

  struct Case {
    const char* what;
    BackupEntry entry;
  };
  auto with = [&](auto change) {
    BackupEntry e = good;
    change(e);
    return e;
  };
  const std::vector<Case> cases = {
      {"range past the end of bak.dat", with([](BackupEntry& e) { e.length = U"12"; })},
      {"start past the end", with([](BackupEntry& e) { e.start = U"5000"; })},
      {"start 0", with([](BackupEntry& e) { e.start = U"0"; })},
      {"length not a number", with([](BackupEntry& e) { e.length = U"1x"; })},
      {"missing length", with([](BackupEntry& e) { e.length.clear(); })},
      {"negative start", with([](BackupEntry& e) { e.start = U"-100"; })},
      {"huge length", with([](BackupEntry& e) { e.length = U"99999999999999999999999"; })},
      {"marked path", with([](BackupEntry& e) { e.path += U"|文件错误"; })},
      {"marked path (first check)", with([](BackupEntry& e) { e.path += U"|文件错误!"; })},
      {"directory missing", with([&](BackupEntry& e) { e.path = textPath(pages / "no/such/dir.htm"); })},
  };
  for (const Case& c : cases) {
    writeBytes(target, "current");
    RecordingObserver observer;
    EXPECT_FALSE(restoreEntry(c.entry, observer)) << c.what;
    EXPECT_EQ(readBytes(target), "current") << c.what;
    ASSERT_EQ(observer.statuses.size(), 2u);
    EXPECT_EQ(observer.statuses[1], U"还原  " + c.entry.path + U"失败！") << c.what;
  }

  // Padded numbers are read as the index always allowed.
  RecordingObserver observer;
  BackupEntry padded = with([](BackupEntry& e) { e.start = U" 100 "; e.length = U"11 "; });
  EXPECT_TRUE(restoreEntry(padded, observer));
  EXPECT_EQ(readBytes(target), "saved bytes");

  ClearBackupStore();
  writeBytes(target, "current");
  EXPECT_FALSE(restoreEntry(good, observer)) << "no data file";
  EXPECT_EQ(readBytes(target), "current");
}

// Only a regular file, or nothing, at an absolute path is written: a device,
// pipe or directory stays what it is, and a path without its
// directory (an index read out of step) is not taken against the current one.
TEST_F(BackupStoreTest, RestoreWritesOnlyRegularFilesAtAbsolutePaths) {
  struct Case {
    const char* what;
    std::string path;
    std::function<void(const std::string&)> make;
    mode_t kind;
  };
  const std::vector<Case> cases = {
      {"pipe", pages / "pipe.htm", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }, S_IFIFO},
      {"device", pages / "dev.htm",
       [](const std::string& p) { ASSERT_EQ(::mknod(p.c_str(), S_IFCHR | 0644, makedev(1, 3)), 0); }, S_IFCHR},
      {"directory", pages / "dir.htm", [](const std::string& p) { std::filesystem::create_directory(p); }, S_IFDIR},
      {"relative path", "relative.htm", [](const std::string&) {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearBackupStore();
    c.make(c.path);
    AppendBackupEntry(textPath(c.path), "saved", 5, BackupFiller::Spaces);
    RecordingObserver observer;
    EXPECT_FALSE(restoreEntry(ReadBackupIndex(false).at(0), observer));
    struct ::stat st{};
    if (c.kind == 0)
      EXPECT_NE(::lstat(c.path.c_str(), &st), 0) << "nothing written in the current directory";
    else
      EXPECT_EQ((::lstat(c.path.c_str(), &st), st.st_mode & S_IFMT), c.kind);
  }
  // A store file that is a pipe is refused, not waited on.
  ClearBackupStore();
  ASSERT_EQ(::mkfifo((home / "bak.dat").c_str(), 0600), 0);
  EXPECT_THROW(AppendBackupEntry(pagePath("a.htm"), "x", 1, BackupFiller::Spaces), FileError);
}

// A restored page gets back the time and, when it was deleted, the
// permissions it had when saved; entries of older stores, which hold neither,
// recreate a page for its owner alone.
TEST_F(BackupStoreTest, RestoredPagesGetTheirSavedTimeAndPermissions) {
  const std::string target = pages / "page.htm";
  writeBytes(target, "saved");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const struct timespec old[2] = {{1000000000, 5}, {1000000000, 5}};
  ASSERT_EQ(::utimensat(AT_FDCWD, target.c_str(), old, 0), 0);
  AppendBackupEntry(textPath(target), "saved", 5, BackupFiller::Spaces, files().stat(target));
  EXPECT_EQ(data(), "VANTIRO-SAVED 1000000000 5 640" + std::string(69, ' ') + "saved");
  AppendBackupEntry(pagePath("older.htm"), "older", 5, BackupFiller::None);
  const std::vector<BackupEntry> entries = ReadBackupIndex(false);

  for (bool deleted : {false, true}) {
    SCOPED_TRACE(deleted);
    if (deleted)
      std::filesystem::remove(target);
    else
      writeBytes(target, "changed");
    RecordingObserver observer;
    ASSERT_TRUE(restoreEntry(entries[0], observer));
    struct ::stat st{};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(readBytes(target), "saved");
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 5);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
  }
  RecordingObserver observer;
  ASSERT_TRUE(restoreEntry(entries[1], observer));
  struct ::stat st{};
  ASSERT_EQ(::stat((pages / "older.htm").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(BackupStoreTest, RestoringAllInRowOrderLeavesTheLastRowsCopy) {
  const std::string target = pages / "same.htm";
  AppendBackupEntry(textPath(target), "older", 5, BackupFiller::Spaces);
  AppendBackupEntry(textPath(target), "newer", 5, BackupFiller::Spaces);
  RecordingObserver observer;
  for (const BackupEntry& e : ReadBackupIndex(true)) restoreEntry(e, observer);
  EXPECT_EQ(readBytes(target), "older");
  for (const BackupEntry& e : ReadBackupIndex(false)) restoreEntry(e, observer);
  EXPECT_EQ(readBytes(target), "newer");
}

// Paths are stored as the file system's bytes whatever the code page; the
// marker of a page that was not written stays in the code page.
TEST_F(BackupStoreTest, PathLinesHoldTheFileSystemsBytes) {
  struct Case {
    const char* name;
    Text path;
    std::string line;
  };
  const Text invalid = textPath(std::string("/w/\xFF\x80\xE4\xB8.htm"));
  const Case cases[] = {
      {"utf8", U"/w/站点/页面.htm", "/w/站点/页面.htm"},
      {"emoji", U"/w/😀.htm", "/w/😀.htm"},
      {"invalid", invalid, "/w/\xFF\x80\xE4\xB8.htm"},
      {"marked", U"/w/页面.htm|文件错误", "/w/页面.htm" + encodeAnsi(U"|文件错误")},
      {"invalidMarked", invalid + U"|文件错误", "/w/\xFF\x80\xE4\xB8.htm" + encodeAnsi(U"|文件错误")},
  };
  for (const Case& c : cases) AppendBackupEntry(c.path, "x", 1, BackupFiller::Spaces);
  const std::vector<std::string> lines = indexLines(index());
  const std::vector<BackupEntry> entries = ReadBackupIndex(false);
  ASSERT_EQ(entries.size(), std::size(cases));
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    EXPECT_EQ(lines[4 * k], cases[k].line) << cases[k].name;
    EXPECT_EQ(entries[k].path, cases[k].path) << cases[k].name;
  }
  EXPECT_TRUE(hasResultMarker(entries[4].path));
}

TEST_F(BackupStoreTest, RestoreReachesANameThatIsNotUtf8) {
  const std::string native = pages / "\xB0\xA1\xFF.htm";
  writeBytes(native, "changed");
  const std::string original = "original \xFF bytes";
  AppendBackupEntry(textPath(native), original, original.size(), BackupFiller::Spaces);
  RecordingObserver observer;
  ASSERT_TRUE(restoreEntry(ReadBackupIndex(false).at(0), observer));
  EXPECT_EQ(readBytes(native), original);
}

TEST_F(BackupStoreTest, ResultMarkerIsOnlyTheCompressorsEnding) {
  EXPECT_TRUE(hasResultMarker(U"/a/b.htm|文件错误"));
  EXPECT_TRUE(hasResultMarker(U"/a/b.htm|文件错误!"));
  EXPECT_FALSE(hasResultMarker(U"/a/b|c.htm"));
  EXPECT_FALSE(hasResultMarker(U"/a/b.htm"));
}

}  // namespace
}  // namespace vantiro
