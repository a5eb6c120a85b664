// What a compression run does to pages that are not plain files of their own
// or that other programs touch: links, hard links, other owners, read-only
// and already compressed pages, pages changed during the run, long names,
// leftovers of a killed run; and the order in which the backup store is made
// durable before pages are replaced.

#include "tests/faults/fault_support.h"

#include "backup/backup_store.h"
#include "common/mirror_path.h"
#include "compress/compression_run.h"
#include "platform/file_service.h"
#include "tests/support/faulty_file_service.h"
#include "tests/support/program_directory_test.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <fstream>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;

const std::string kLoose = "<html>\r\n  <body>\r\n    <p>a   b</p>\r\n  </body>\r\n</html>\r\n";

class PageSafety : public test::ProgramDirectoryTest {
 protected:
  std::vector<RunRow> run(const std::vector<std::string>& names) {
    std::vector<RunRow> rows;
    for (const std::string& name : names) rows.push_back(makeRunRow(textPath(site / name), {}));
    test::RecordingRun observer;
    compressQueuedRows(rows, observer);
    return rows;
  }
  std::string compressed() {
    writeBytes(site / "reference.htm", kLoose);
    return *test::cleanOutput(site / "reference.htm", {});
  }
  static struct ::stat statOf(const std::string& path, bool follow = true) {
    struct ::stat st{};
    EXPECT_EQ(follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st), 0) << path;
    return st;
  }

  test::TempDir site;
};

// However many names reach a file, it is compressed once, stays where and
// what it was (link, hard links, owner), and restores to its first bytes.
TEST_F(PageSafety, NamesOfOneFileCompressItOnceAndKeepWhatItIs) {
  const std::string tight = compressed();
  struct Case {
    const char* name;
    std::function<void(const std::string& dir)> make;  // creates "a.htm" and the other names
    std::vector<std::string> queued;
  };
  const std::vector<Case> cases = {
      {"link first", [](const std::string& d) { std::filesystem::create_symlink("a.htm", d + "/l.htm"); },
       {"l.htm", "a.htm"}},
      {"target first", [](const std::string& d) { std::filesystem::create_symlink(d + "/a.htm", d + "/l.htm"); },
       {"a.htm", "l.htm"}},
      {"hard links", [](const std::string& d) { std::filesystem::create_hard_link(d + "/a.htm", d + "/h.htm"); },
       {"h.htm", "a.htm"}},
      {"hard link queued alone", [](const std::string& d) { std::filesystem::create_hard_link(d + "/a.htm", d + "/h.htm"); },
       {"h.htm"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(site.path());
    std::filesystem::create_directories(site.path());
    ClearBackupStore();
    writeBytes(site / "a.htm", kLoose);
    ASSERT_EQ(::chown((site / "a.htm").c_str(), 4321, 4321), 0);
    ASSERT_EQ(::chmod((site / "a.htm").c_str(), 0640), 0);
    c.make(site.path());
    const struct ::stat before = statOf(site / "a.htm");

    const std::vector<RunRow> rows = run(c.queued);
    for (const RunRow& row : rows) EXPECT_EQ(row.result, U"压缩成功") << toUtf8(row.outcome);
    EXPECT_EQ(readBytes(site / "a.htm"), tight);
    const struct ::stat after = statOf(site / "a.htm");
    EXPECT_EQ(after.st_uid, 4321u);
    EXPECT_EQ(after.st_gid, 4321u);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_nlink, before.st_nlink) << "no name parted from the others";
    if (std::filesystem::exists(site / "h.htm")) {
      EXPECT_EQ(statOf(site / "h.htm").st_ino, after.st_ino);
    }
    if (std::filesystem::exists(site / "l.htm")) {
      EXPECT_TRUE(S_ISLNK(statOf(site / "l.htm", false).st_mode));
    }
    EXPECT_EQ(ReadBackupIndex(false).size(), 1u) << "compressed once";
    EXPECT_EQ(test::restoreAll().restored, 1u);
    EXPECT_EQ(readBytes(site / "a.htm"), kLoose);
  }
}

// A page that is not to be rewritten stays as it is, file and time.
TEST_F(PageSafety, ReadOnlyAndAlreadyCompressedPagesAreNotRewritten) {
  const std::string tight = compressed();
  struct Case {
    const char* name;
    std::string bytes;
    mode_t mode;
    const char32_t* result;
    const char* reason;  // in the outcome, when failed
  };
  const Case cases[] = {
      {"read-only", kLoose, 0444, U"压缩失败", "文件只读"},
      {"read-only, compressed already", tight, 0444, U"压缩成功", ""},
      {"compressed already", tight, 0644, U"压缩成功", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearBackupStore();
    writeBytes(site / "p.htm", c.bytes);
    ASSERT_EQ(::chmod((site / "p.htm").c_str(), c.mode), 0);
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (site / "p.htm").c_str(), old, 0), 0);
    const struct ::stat before = statOf(site / "p.htm");

    const RunRow row = run({"p.htm"}).at(0);
    EXPECT_EQ(row.result, c.result);
    EXPECT_NE(toUtf8(row.outcome).find(c.reason), std::string::npos) << toUtf8(row.outcome);
    EXPECT_EQ(readBytes(site / "p.htm"), c.bytes);
    const struct ::stat after = statOf(site / "p.htm");
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_TRUE(ReadBackupIndex(false).empty()) << "nothing to restore, nothing saved";
    ::chmod((site / "p.htm").c_str(), 0644);
  }
}

// Another program writes to a page while the run has it: the page keeps that
// write. Read while it was being changed, the page is read again; changed
// after it was read, it fails with the reason and is left alone.
TEST_F(PageSafety, APageChangedDuringTheRunKeepsTheChange) {
  const std::string tight = compressed();
  struct Case {
    const char* name;
    const char* operation;  // the change comes just before this operation on `path`
    bool onPage;            // the operation's path is the page, else the backup data file
    bool succeeds;
  };
  const Case cases[] = {
      {"while being read", "readFile", true, true},
      {"before its backup entry", "appendFile", false, false},
      {"before the backup store is synced", "syncFile", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearBackupStore();
    const std::string page = site / "p.htm";
    writeBytes(page, kLoose);
    test::FaultyFileService faulty;
    bool changed = false;
    faulty.beforeOperation = [&](const std::string& operation, const std::string& path) {
      if (changed || operation != c.operation || path != (c.onPage ? page : home / "bak.dat")) return;
      changed = true;
      std::ofstream(page, std::ios::app) << "<p>added</p>\r\n";
    };
    RunRow row;
    {
      ScopedFileService scoped(faulty);
      std::vector<RunRow> rows = run({"p.htm"});
      row = rows.at(0);
    }
    ASSERT_TRUE(changed);
    if (c.succeeds) {
      EXPECT_EQ(row.result, U"压缩成功");
      EXPECT_NE(readBytes(page).find("<p>added"), std::string::npos) << "compressed with the change";
    } else {
      EXPECT_EQ(row.result, U"压缩失败");
      EXPECT_EQ(test::failureReason(row), U"文件在压缩时被修改");
      EXPECT_EQ(readBytes(page), kLoose + "<p>added</p>\r\n");
    }
  }
}

// No page is replaced before the backup entries saving it are durable, and
// one sync covers several pages.
TEST_F(PageSafety, BackupStoreIsDurableBeforeAnyPageItSavesIsReplaced) {
  const std::size_t pages = 2 * kPagesPerSync + 3;
  std::vector<std::string> names;
  for (std::size_t k = 0; k < pages; ++k) {
    names.push_back("p" + std::to_string(k) + ".htm");
    writeBytes(site / names.back(), kLoose);
  }
  test::FaultyFileService faulty;
  std::size_t syncs = 0;
  std::size_t entriesSynced = 0;
  std::size_t entriesAppended = 0;
  std::size_t replaced = 0;
  faulty.beforeOperation = [&](const std::string& operation, const std::string& path) {
    if (operation == "appendFile" && path == home / "bak.kbq") ++entriesAppended;
    if (operation == "syncFile" && path == home / "bak.kbq") {
      ++syncs;
      entriesSynced = entriesAppended;
    }
    if (operation == "writeFileAtomic" && path.starts_with(site.path())) {
      ++replaced;
      EXPECT_LE(replaced, entriesSynced) << "page " << path << " replaced before its entry was synced";
    }
  };
  {
    ScopedFileService scoped(faulty);
    for (const RunRow& row : run(names)) EXPECT_EQ(row.result, U"压缩成功");
  }
  EXPECT_EQ(replaced, pages);
  EXPECT_EQ(syncs, (pages + kPagesPerSync - 1) / kPagesPerSync);

  // A sync that fails leaves every page it would have covered as it was.
  for (const std::string& name : names) writeBytes(site / name, kLoose);
  faulty.beforeOperation = [&](const std::string& operation, const std::string&) {
    if (operation == "syncFile") throw FileError("读写错误");
  };
  ScopedFileService scoped(faulty);
  for (const RunRow& row : run({names[0], names[1]})) EXPECT_EQ(row.result, U"压缩失败");
  EXPECT_EQ(readBytes(site / names[0]), kLoose);
  EXPECT_EQ(readBytes(site / names[1]), kLoose);
}

// A mirror file written over an older one waits for the entry saving the
// older one to be durable; one written where there was none replaces
// nothing, and waits for no sync (its page stays as it was at its source).
TEST_F(PageSafety, AMirrorWaitsForTheStoreOnlyWhereItReplacesAFile) {
  const test::TempDir dest;
  writeBytes(site / "new.htm", kLoose);
  writeBytes(site / "old.htm", kLoose);
  writeBytes(dest / "old.htm", "an older copy");
  test::FaultyFileService faulty;
  std::size_t entriesAppended = 0, entriesSynced = 0;
  std::map<std::string, std::size_t> syncedWhenPlaced;
  faulty.beforeOperation = [&](const std::string& operation, const std::string& path) {
    if (operation == "appendFile" && path == home / "bak.kbq") ++entriesAppended;
    if (operation == "syncFile" && path == home / "bak.kbq") entriesSynced = entriesAppended;
    if (operation == "writeFileAtomic" && path.starts_with(dest.path())) syncedWhenPlaced[path] = entriesSynced;
  };
  test::RecordingRun observer;
  observer.opts.mirror = true;
  observer.opts.sourceDirectory = textPath(site.path());
  observer.opts.destinationDirectory = textPath(dest.path());
  std::vector<RunRow> rows{makeRunRow(textPath(site / "new.htm"), observer.opts),
                           makeRunRow(textPath(site / "old.htm"), observer.opts)};
  {
    ScopedFileService scoped(faulty);
    compressQueuedRows(rows, observer);
  }
  for (const RunRow& row : rows) EXPECT_EQ(row.result, U"压缩成功");
  ASSERT_EQ(syncedWhenPlaced.size(), 2u);
  EXPECT_EQ(syncedWhenPlaced[dest / "old.htm"], 2u) << "the older copy's entry was durable first";
  EXPECT_EQ(syncedWhenPlaced[dest / "new.htm"], 0u) << "a new file waited for a sync";
  EXPECT_EQ(readBytes(dest / "new.htm"), readBytes(dest / "old.htm"));
}

// A private page stays private: its new bytes and its mirror copy keep its
// permissions and extended attributes, and the store holding its bytes is
// its owner's alone.
TEST_F(PageSafety, PrivatePagesStayPrivateInPlaceInTheirMirrorAndInTheStore) {
  const std::string tight = compressed();
  for (bool mirror : {false, true}) {
    SCOPED_TRACE(mirror);
    ClearBackupStore();
    std::filesystem::create_directories(site / "src");
    const std::string source = site / "src/p.htm";
    writeBytes(source, kLoose);
    ASSERT_EQ(::chmod(source.c_str(), 0600), 0);
    ASSERT_EQ(::setxattr(source.c_str(), "user.note", "private", 7, 0), 0);
    test::RecordingRun observer;
    observer.opts.mirror = mirror;
    observer.opts.sourceDirectory = textPath(site / "src");
    observer.opts.destinationDirectory = textPath(site / "out");
    EXPECT_EQ(test::runPages({source}, observer).at(0).result, U"压缩成功");
    const std::string written = mirror ? site / "out/p.htm" : source;
    EXPECT_EQ(readBytes(written), tight);
    EXPECT_EQ(statOf(written).st_mode & 07777, 0600u);
    char note[16] = {};
    EXPECT_EQ(::getxattr(written.c_str(), "user.note", note, sizeof note), 7);
    EXPECT_EQ(std::string(note), "private");
    for (const char* store : {"bak.kbq", "bak.dat"}) EXPECT_EQ(statOf(home / store).st_mode & 07777, 0600u) << store;
  }
}

// A page that fails before its entry is written back as read to its mirror
// only once what the mirror file held is in the store.
TEST_F(PageSafety, WritingAFailedPageBackOverItsMirrorKeepsTheMirrorRestorable) {
  std::filesystem::create_directories(site / "src");
  std::filesystem::create_directories(site / "out");
  writeBytes(site / "src/p.htm", "<html>");  // too few tags: fails before its entry
  writeBytes(site / "out/p.htm", "the mirror of before");
  test::RecordingRun observer;
  observer.opts.mirror = true;
  observer.opts.offerRestoreAfterError = true;
  observer.opts.sourceDirectory = textPath(site / "src");
  observer.opts.destinationDirectory = textPath(site / "out");
  observer.answer = FixedAnswer(true);
  EXPECT_EQ(test::runPages({site / "src/p.htm"}, observer).at(0).result, U"压缩失败");
  test::restoreAll();
  EXPECT_EQ(readBytes(site / "out/p.htm"), "the mirror of before");
}

// A link in the destination never takes a mirror out of it: a page whose
// mirror, or a directory made for it, would land outside fails and nothing
// outside changes; a link inside the destination is written through.
TEST_F(PageSafety, AMirrorNeverWritesThroughALinkOutOfItsDestination) {
  test::TempDir outside;
  writeBytes(outside / "kept.htm", "outside");
  for (const char* name : {"src/kept.htm", "src/away/new/p.htm", "src/inner/q.htm"}) {
    std::filesystem::create_directories(std::filesystem::path(site / name).parent_path());
    writeBytes(site / name, kLoose);
  }
  std::filesystem::create_directories(site / "out/real");
  std::filesystem::create_symlink(outside / "kept.htm", site / "out/kept.htm");
  std::filesystem::create_directory_symlink(outside.path(), site / "out/away");
  std::filesystem::create_directory_symlink(site / "out/real", site / "out/inner");
  test::RecordingRun observer;
  observer.opts.mirror = true;
  observer.opts.sourceDirectory = textPath(site / "src");
  observer.opts.destinationDirectory = textPath(site / "out");
  const std::vector<RunRow> rows =
      test::runPages({site / "src/kept.htm", site / "src/away/new/p.htm", site / "src/inner/q.htm"}, observer);
  for (std::size_t i : {0U, 1U}) EXPECT_EQ(test::failureReason(rows[i]), kLinkOutOfDestinationReason) << i;
  EXPECT_EQ(rows[2].result, U"压缩成功");
  EXPECT_EQ(readBytes(outside / "kept.htm"), "outside");
  EXPECT_FALSE(std::filesystem::exists(outside / "new"));
  EXPECT_TRUE(std::filesystem::exists(site / "out/real/q.htm"));
}

// Names up to the longest the file system takes compress, and a page that
// cannot be written leaves no entry for restore to fail on.
TEST_F(PageSafety, LongNamesCompressAndUnwritablePagesLeaveNoEntry) {
  const std::string tight = compressed();
  for (std::size_t length : {200u, 236u, 237u, 250u, 255u}) {
    const std::string name = std::string(length - 4, 'n') + ".htm";
    writeBytes(site / name, kLoose);
    EXPECT_EQ(run({name}).at(0).result, U"压缩成功") << length;
    EXPECT_EQ(readBytes(site / name), tight) << length;
    // Chinese names cut inside a character are still the page's own.
    const std::string chinese = [&] {
      std::string n;
      while (n.size() + 3 + 4 <= length) n += "\xe9\xa1\xb5";
      return n + ".htm";
    }();
    writeBytes(site / chinese, kLoose);
    EXPECT_EQ(run({chinese}).at(0).result, U"压缩成功") << length;
  }
  for (const auto& entry : std::filesystem::directory_iterator(site.path()))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "no temporary left";
  EXPECT_TRUE(test::restoreAll().failedPaths.empty());

  ClearBackupStore();
  writeBytes(site / "p.htm", kLoose);
  test::FaultyFileService faulty;
  faulty.unwritableDirectories.insert(site.path());
  {
    ScopedFileService scoped(faulty);
    EXPECT_EQ(run({"p.htm"}).at(0).result, U"压缩失败");
  }
  EXPECT_TRUE(ReadBackupIndex(false).empty());
}

// A killed run leaves its temporary files; the next run over those pages
// removes them, and nothing else.
TEST_F(PageSafety, ARunRemovesTheTemporariesKilledRunsLeftBesideItsPages) {
  writeBytes(site / "p.htm", kLoose);
  writeBytes(site / "q.htm", kLoose);
  const std::string longName = std::string(251, 'n') + ".htm";
  writeBytes(site / longName, kLoose);
  struct Leftover {
    std::string name;
    bool old;
    bool removed;
  };
  const std::vector<Leftover> leftovers = {
      {".p.htm.vantiro-123", true, true},
      {".p.htm.vantiro-9", true, true},
      {"." + std::string(236, 'n') + ".vantiro-55", true, true},
      {".p.htm.vantiro-77", false, false},  // being written by a run of now
      {".q.htm.vantiro-5", true, false},    // q.htm is not in this run
      {".p.htm.vantiro-x", true, false},
      {".p.htm.other-1", true, false},
      {"p.htm.vantiro-1", true, false},
  };
  for (const Leftover& l : leftovers) {
    writeBytes(site / l.name, "partial");
    // Old, or written by a run that started after this one.
    const time_t when = l.old ? 1000000000 : std::time(nullptr) + 60;
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (site / l.name).c_str(), times, 0), 0);
  }
  run({"p.htm", longName});
  for (const Leftover& l : leftovers) EXPECT_EQ(std::filesystem::exists(site / l.name), !l.removed) << l.name;
}

// Pages written into the files earlier pages of the run replaced come out as
// any other: right bytes, restorable, nothing left beside them.
TEST_F(PageSafety, PagesWrittenIntoReplacedPagesAreWholeAndLeaveNothingBehind) {
  const std::string tight = compressed();
  std::filesystem::remove(site / "reference.htm");
  const auto numbered = [](std::string page, const std::string& from, int n) {
    return page.replace(page.find(from), from.size(), from + std::to_string(n));
  };
  std::vector<std::string> names;
  std::set<ino_t> firstInodes;
  for (int n = 0; n < 100; ++n) {
    names.push_back("p" + std::to_string(n) + ".htm");
    writeBytes(site / names.back(), numbered(kLoose, "a   b", n));
    firstInodes.insert(statOf(site / names.back()).st_ino);
  }
  run(names);
  std::size_t inReplaced = 0;
  for (int n = 0; n < 100; ++n) {
    EXPECT_EQ(readBytes(site / names[n]), numbered(tight, "a b", n)) << names[n];
    inReplaced += firstInodes.count(statOf(site / names[n]).st_ino);
  }
  EXPECT_GT(inReplaced, 0u) << "no page was written into a replaced one";
  EXPECT_EQ(files().listDirectory(site.path()).size(), names.size()) << "a spare or temporary left";
  EXPECT_EQ(test::restoreAll().restored, names.size());
  for (int n = 0; n < 100; ++n) EXPECT_EQ(readBytes(site / names[n]), numbered(kLoose, "a   b", n));
}

}  // namespace
}  // namespace vantiro
