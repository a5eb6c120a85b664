#include "platform/file_service.h"

#include "tests/support/temp_dir.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace vantiro {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

TEST(FileService, AtomicWriteReplacesWholeAndKeepsPermissions) {
  TempDir dir;
  const std::string page = dir / "a.htm";
  writeBytes(page, "old");
  ::chmod(page.c_str(), 0640);
  files().writeFileAtomic(page, "new contents");
  EXPECT_EQ(readBytes(page), "new contents");
  struct ::stat st{};
  ::stat(page.c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(files().listDirectory(dir.path()).size(), 1u);  // no temporary left behind
}

TEST(FileService, ReadingRefusesAnythingButARegularFileWithoutWaiting) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe.htm").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder.htm");
  for (const std::string& path : {dir / "pipe.htm", dir / "folder.htm", std::string("/dev/null")}) {
    EXPECT_THROW(files().readFile(path), FileError) << path;
    EXPECT_THROW(files().readRange(path, 0, 1), FileError) << path;
  }
}

TEST(FileService, AStagedFileReplacesItsDestinationOnlyWhenPlaced) {
  TempDir dir;
  const std::string page = dir / "a.htm";
  writeBytes(page, "old");
  ::chmod(page.c_str(), 0640);
  {
    auto dropped = files().stageFile(page, "dropped");
    EXPECT_EQ(files().listDirectory(dir.path()).size(), 2u);
  }
  EXPECT_EQ(files().listDirectory(dir.path()).size(), 1u) << "a dropped file is removed";
  auto staged = files().stageFile(page, "new contents");
  EXPECT_EQ(readBytes(page), "old");
  staged->place();
  EXPECT_EQ(readBytes(page), "new contents");
  struct ::stat st{};
  ::stat(page.c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  staged.reset();
  EXPECT_EQ(readBytes(page), "new contents") << "a placed file stays";
  EXPECT_EQ(files().listDirectory(dir.path()).size(), 1u);

  // Staging into a directory that is not there fails at once.
  EXPECT_THROW(files().stageFile(dir / "missing/a.htm", "x"), FileError);
  // A destination that became a directory fails the placing and loses nothing.
  auto late = files().stageFile(dir / "b.htm", "x");
  std::filesystem::create_directory(dir / "b.htm");
  writeBytes(dir / "b.htm/inside", "kept");
  EXPECT_THROW(late->place(), FileError);
  late.reset();
  EXPECT_EQ(readBytes(dir / "b.htm/inside"), "kept");
  EXPECT_EQ(files().listDirectory(dir.path()).size(), 2u);
}

// A file new to its directory has no name there until it is placed, so a run
// that is killed or drops it leaves nothing behind; a file that took the name
// meanwhile is replaced, as it would be by a rename.
TEST(FileService, ANewStagedFileHasNoNameUntilPlaced) {
  TempDir dir;
  StagedTraits traits;
  traits.newMode = 0640;
  {
    auto dropped = files().stageFile(dir / "dropped.htm", "x", traits);
    EXPECT_TRUE(files().listDirectory(dir.path()).empty());
  }
  EXPECT_TRUE(files().listDirectory(dir.path()).empty());

  auto fresh = files().stageFile(dir / "new.htm", "new contents", traits);
  auto raced = files().stageFile(dir / "raced.htm", "ours", traits);
  EXPECT_TRUE(files().listDirectory(dir.path()).empty());
  fresh->place();
  writeBytes(dir / "raced.htm", "theirs");
  raced->place();
  EXPECT_EQ(readBytes(dir / "new.htm"), "new contents");
  EXPECT_EQ(readBytes(dir / "raced.htm"), "ours");
  struct ::stat st{};
  ::stat((dir / "new.htm").c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  fresh.reset();
  raced.reset();
  EXPECT_EQ(files().listDirectory(dir.path()).size(), 2u);

  // The creation mask takes nothing from the mode asked for.
  const mode_t mask = ::umask(022);
  traits.newMode = 0666;
  files().stageFile(dir / "shared.htm", "x", traits)->place();
  ::umask(mask);
  ::stat((dir / "shared.htm").c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0666u);
  ::unlink((dir / "shared.htm").c_str());

  // However many wait at once (a run with many jobs), each is placed whole.
  std::vector<std::unique_ptr<StagedFile>> many;
  for (int i = 0; i < 300; ++i) many.push_back(files().stageFile(dir / ("m" + std::to_string(i)), std::to_string(i)));
  for (auto& staged : many) staged->place();
  many.clear();
  EXPECT_EQ(files().listDirectory(dir.path()).size(), 302u);
  EXPECT_EQ(readBytes(dir / "m299"), "299");
}

// A copy is the source byte for byte: from the same file system or from
// another (where the kernel cannot copy between them), over a longer file,
// into a spare a placement kept, and over a file with a second name.
TEST(FileService, AStagedCopyIsItsSourceByteForByte) {
  TempDir dir, memoryDir("/dev/shm/");
  std::string bytes(3 << 20, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 251);
  writeBytes(dir / "source.bin", bytes);
  writeBytes(memoryDir / "source.bin", bytes);
  writeBytes(dir / "longer.bin", bytes + bytes);
  writeBytes(dir / "linked.bin", bytes + "tail");
  std::filesystem::create_hard_link(dir / "linked.bin", dir / "second-name.bin");
  files().keepBetweenPages(true);
  for (const std::string& from : {dir / "source.bin", memoryDir / "source.bin"})
    for (const char* to : {"new.bin", "longer.bin", "new.bin", "linked.bin"}) {
      files().stageCopy(from, dir / to, StagedTraits{})->place();
      EXPECT_EQ(readBytes(dir / to), bytes) << from << " -> " << to;
    }
  files().keepBetweenPages(false);
  EXPECT_EQ(readBytes(dir / "second-name.bin"), bytes) << "both names keep the file";
  EXPECT_THROW(files().stageCopy(dir / "missing.bin", dir / "x.bin", StagedTraits{}), FileError);
}

// While a run keeps its appended files open, every append still goes to the
// file the path names at that moment, and says where its bytes begin.
TEST(FileService, AppendsDuringARunGoToTheFileThePathNamesNow) {
  TempDir dir;
  const std::string store = dir / "bak.dat";
  const struct {
    const char* change;  // what happens to the store behind the run before the next append
    void (*apply)(const std::string& store, const std::string& dir);
    std::string before;  // what the path names after the change
  } changes[] = {
      {"nothing", [](const std::string&, const std::string&) {}, "ab"},
      {"removed", [](const std::string& s, const std::string&) { std::filesystem::remove(s); }, ""},
      {"replaced", [](const std::string& s, const std::string& d) {
         writeBytes(d + "/other", "xyz");
         std::filesystem::rename(d + "/other", s);
       }, "xyz"},
      {"cut back", [](const std::string& s, const std::string&) { std::filesystem::resize_file(s, 1); }, "a"},
  };
  for (const auto& c : changes) {
    std::filesystem::remove(store);
    files().keepBetweenPages(true);
    EXPECT_EQ(files().appendFile(store, "a"), 0u);
    EXPECT_EQ(files().appendFile(store, "b"), 1u);
    c.apply(store, dir.path());
    EXPECT_EQ(files().appendFile(store, "c"), c.before.size()) << c.change;
    files().keepBetweenPages(false);
    EXPECT_EQ(files().appendFile(store, "d"), c.before.size() + 1) << c.change;
    // Two pieces land as one append, in order.
    EXPECT_EQ(files().appendPieces(store, "ef", "ghi"), c.before.size() + 2) << c.change;
    EXPECT_EQ(files().appendPieces(store, "", "j"), c.before.size() + 7) << c.change;
    EXPECT_EQ(readBytes(store), c.before + "cdefghij") << c.change;
  }
  std::filesystem::remove(store);
  std::filesystem::create_directory(store);
  files().keepBetweenPages(true);
  EXPECT_THROW(files().appendFile(store, "a"), FileError) << "a directory where the store should be";
  files().keepBetweenPages(false);
}

TEST(FileService, AtomicWriteIntoMissingDirectoryFailsAndLeavesNothing) {
  TempDir dir;
  writeBytes(dir / "file", "x");
  EXPECT_THROW(files().writeFileAtomic(dir / "file/a.htm", "x"), FileError);
  EXPECT_EQ(readBytes(dir / "file"), "x");
}

TEST(FileService, RenameNeverReplaces) {
  TempDir dir;
  writeBytes(dir / "a", "A");
  writeBytes(dir / "b", "B");
  EXPECT_THROW(files().renameNoReplace(dir / "a", dir / "b"), FileError);
  EXPECT_EQ(readBytes(dir / "b"), "B");
  files().renameNoReplace(dir / "a", dir / "c");
  EXPECT_EQ(readBytes(dir / "c"), "A");
  EXPECT_FALSE(pathExists(dir / "a"));
}

TEST(FileService, ListingIsSortedCaseInsensitivelyWithKinds) {
  TempDir dir;
  for (const char* n : {"b.htm", "\xC3\xA4.htm", "AB.htm", "A.htm", "a", "a.htm", ".hidden"}) writeBytes(dir / n, "");
  files().createDirectory(dir / "Sub");
  auto entries = files().listDirectory(dir.path());
  std::vector<std::string> names;
  for (const DirEntry& e : entries) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{".hidden", "a", "A.htm", "a.htm", "AB.htm", "b.htm", "Sub", "\xC3\xA4.htm"}));
  EXPECT_TRUE(entries[0].hidden);
  EXPECT_EQ(entries[6].kind, EntryKind::Directory);
  EXPECT_FALSE(isNormalFile(dir / ".hidden"));
  EXPECT_TRUE(isNormalFile(dir / "a.htm"));
  EXPECT_FALSE(isNormalFile(dir / "Sub"));
}

// Kinds come from the listing itself; links are followed to what they lead to.
TEST(FileService, ListingGivesTheKindsLinksLeadTo) {
  TempDir dir;
  writeBytes(dir / "page.htm", "");
  files().createDirectory(dir / "sub");
  std::filesystem::create_symlink(dir / "page.htm", dir / "to-page");
  std::filesystem::create_symlink(dir / "sub", dir / "to-sub");
  std::filesystem::create_symlink(dir / "nowhere", dir / "to-nothing");
  struct Expected {
    const char* name;
    EntryKind kind;
    bool link;
  };
  const auto entries = files().listDirectory(dir.path());
  ASSERT_EQ(entries.size(), 5u);
  for (const Expected& e : {Expected{"page.htm", EntryKind::File, false}, Expected{"sub", EntryKind::Directory, false},
                            Expected{"to-nothing", EntryKind::Other, true}, Expected{"to-page", EntryKind::File, true},
                            Expected{"to-sub", EntryKind::Directory, true}}) {
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const DirEntry& d) { return d.name == e.name; });
    ASSERT_NE(found, entries.end()) << e.name;
    EXPECT_EQ(found->kind, e.kind) << e.name;
    EXPECT_EQ(found->link, e.link) << e.name;
  }
}

// Paths resolve to the file they reach, links anywhere along them; a part that
// does not exist yet is kept as it is after the part that does.
TEST(FileService, PathsResolveThroughLinks) {
  TempDir dir;
  const std::string real = std::filesystem::canonical(dir.path());
  files().createDirectory(dir / "site");
  writeBytes(dir / "site/a.htm", "");
  std::filesystem::create_symlink(dir / "site", dir / "link");
  std::filesystem::create_symlink(dir / "missing", dir / "dangling");
  struct Case {
    std::string path, resolved, existingPart;
  };
  for (const Case& c : {Case{dir / "link/a.htm", real + "/site/a.htm", real + "/site/a.htm"},
                        Case{dir / "link/./../site/a.htm", real + "/site/a.htm", real + "/site/a.htm"},
                        Case{dir / "link/new/b.htm", dir / "link/new/b.htm", real + "/site/new/b.htm"},
                        Case{dir / "dangling", dir / "dangling", real + "/dangling"},
                        Case{"/", "/", "/"}}) {
    EXPECT_EQ(resolvedPath(c.path), c.resolved) << c.path;
    EXPECT_EQ(resolvedExistingPart(c.path), c.existingPart) << c.path;
  }
}

// The file as it was before the read (checked before any byte is read) and
// as it is after.
// A run resolves the same directories for every page; where a link on the
// way leads elsewhere meanwhile, they are resolved anew, and a later run sees
// directories moved since.
TEST(FileService, ResolvingSeesADirectoryReplacedSince) {
  TempDir dir;
  const std::string real = std::filesystem::canonical(dir.path());
  for (const char* d : {"one", "one/sub", "two", "two/sub"}) files().createDirectory(dir / d);
  std::filesystem::create_symlink(dir / "one", dir / "site");
  files().keepBetweenPages(true);
  EXPECT_EQ(resolvedExistingPart(dir / "site/sub/a.htm"), real + "/one/sub/a.htm");
  std::filesystem::remove(dir / "site");
  std::filesystem::create_symlink(dir / "two", dir / "site");
  EXPECT_EQ(resolvedExistingPart(dir / "site/sub/a.htm"), real + "/two/sub/a.htm");
  files().keepBetweenPages(false);
  std::filesystem::rename(dir / "two", dir / "four");
  std::filesystem::remove(dir / "site");
  std::filesystem::create_symlink(dir / "four", dir / "site");
  files().keepBetweenPages(true);
  EXPECT_EQ(resolvedExistingPart(dir / "site/sub/a.htm"), real + "/four/sub/a.htm");
  files().keepBetweenPages(false);
}

TEST(FileService, ReadWithInfoTellsTheFileBeforeAndAfter) {
  TempDir dir;
  writeBytes(dir / "p.htm", "<html>page</html>");
  std::optional<FileInfo> seen;
  const FileRead read = files().readFileWithInfo(dir / "p.htm", [&](const FileInfo& info) { seen = info; });
  EXPECT_EQ(read.bytes, "<html>page</html>");
  ASSERT_TRUE(read.before && read.after && seen);
  EXPECT_EQ(read.before->size, 17u);
  EXPECT_TRUE(read.after->unchangedSince(*read.before));
  EXPECT_TRUE(seen->sameFile(*read.after));
  const auto refuse = [](const FileInfo&) { throw FileError("too large"); };
  EXPECT_THROW(files().readFileWithInfo(dir / "p.htm", refuse), FileError);
  EXPECT_THROW(files().readFileWithInfo(dir / "none.htm", [](const FileInfo&) {}), FileError);
}

TEST(FileService, ReadFileGivesEveryByte) {
  TempDir dir;
  for (std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, 70000u}) {
    std::string bytes(size, '\0');
    for (std::size_t k = 0; k < size; ++k) bytes[k] = static_cast<char>(k * 7 + 3);
    writeBytes(dir / "p.htm", bytes);
    EXPECT_EQ(files().readFile(dir / "p.htm"), bytes) << size;
  }
  // A file whose size says 0 but that holds bytes, as one growing while it is read.
  const std::string status = files().readFile("/proc/self/status");
  EXPECT_EQ(status.substr(0, 5), "Name:");
  EXPECT_NE(status.find("\nPid:"), std::string::npos);
}

TEST(FileService, ReadRangeRefusesShortFiles) {
  TempDir dir;
  writeBytes(dir / "d", "0123456789");
  EXPECT_EQ(files().readRange(dir / "d", 2, 3), "234");
  EXPECT_THROW(files().readRange(dir / "d", 8, 3), FileError);
}

TEST(FileService, HtmlPatternAlsoMatchesHtml) {
  EXPECT_TRUE(matchesPattern("a.HTM", "*.htm"));
  EXPECT_TRUE(matchesPattern("index.html", "*.htm"));
  EXPECT_FALSE(matchesPattern("a.txt", "*.htm"));
  EXPECT_TRUE(matchesPattern("a.txt", "*.*"));
  EXPECT_FALSE(matchesPattern("a.htmx", "*.htm"));
}

}  // namespace
}  // namespace vantiro
