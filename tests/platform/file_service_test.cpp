#include "platform/file_service.h"

#include "tests/support/temp_dir.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

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
  for (const char* n : {"b.htm", "A.htm", "a.htm", ".hidden"}) writeBytes(dir / n, "");
  files().createDirectory(dir / "Sub");
  auto entries = files().listDirectory(dir.path());
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].name, ".hidden");
  EXPECT_TRUE(entries[0].hidden);
  EXPECT_EQ(entries[1].name, "A.htm");
  EXPECT_EQ(entries[2].name, "a.htm");
  EXPECT_EQ(entries[3].name, "b.htm");
  EXPECT_EQ(entries[4].kind, EntryKind::Directory);
  EXPECT_FALSE(isNormalFile(dir / ".hidden"));
  EXPECT_TRUE(isNormalFile(dir / "a.htm"));
  EXPECT_FALSE(isNormalFile(dir / "Sub"));
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
