// While replaced files are kept, a page staged in the same directory is
// written into one of them, but only where nobody could tell the difference.

#include "platform/file_service.h"

#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;

class KeptReplacedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    files().keepBetweenPages(true);
    writeBytes(dir / "a.htm", "old a");
    writeBytes(dir / "b.htm", "old b");
    for (const char* name : {"a.htm", "b.htm"}) ::chmod((dir / name).c_str(), 0644);
  }
  void TearDown() override { files().keepBetweenPages(false); }

  void replace(const std::string& name) { files().stageFile(dir / name, "new " + name)->place(); }
  ino_t inode(const std::string& name) {
    struct ::stat st{};
    EXPECT_EQ(::stat((dir / name).c_str(), &st), 0);
    return st.st_ino;
  }
  std::vector<std::string> hidden() {
    std::vector<std::string> names;
    for (const DirEntry& entry : files().listDirectory(dir.path()))
      if (entry.hidden) names.push_back(entry.name);
    return names;
  }

  test::TempDir dir;
};

TEST_F(KeptReplacedFiles, AReplacedPageBecomesTheNextPageOfItsDirectory) {
  const ino_t oldA = inode("a.htm");
  replace("a.htm");
  EXPECT_EQ(hidden().size(), 1u);
  // Until the swap is durable a power cut may give a.htm its old file back,
  // so that file is not written over yet.
  const ino_t oldB = inode("b.htm");
  replace("b.htm");
  EXPECT_NE(inode("b.htm"), oldA);
  files().syncPlacedFiles();
  writeBytes(dir / "c.htm", "old c");
  ::chmod((dir / "c.htm").c_str(), 0644);
  replace("c.htm");
  EXPECT_TRUE(inode("c.htm") == oldA || inode("c.htm") == oldB);
  EXPECT_EQ(readBytes(dir / "a.htm"), "new a.htm");
  EXPECT_EQ(readBytes(dir / "b.htm"), "new b.htm");
  EXPECT_EQ(readBytes(dir / "c.htm"), "new c.htm");
  files().keepBetweenPages(false);
  EXPECT_TRUE(hidden().empty());
}

TEST_F(KeptReplacedFiles, ADirectoryThatTookThePagesNameStaysInSight) {
  auto staged = files().stageFile(dir / "a.htm", "new a");
  std::filesystem::remove(dir / "a.htm");
  std::filesystem::create_directory(dir / "a.htm");
  writeBytes(dir / "a.htm/inside", "kept");
  EXPECT_THROW(staged->place(), FileError);
  staged.reset();
  EXPECT_EQ(readBytes(dir / "a.htm/inside"), "kept");
  EXPECT_TRUE(hidden().empty());
}

TEST_F(KeptReplacedFiles, AReplacedPageIsNotWrittenOverWhereSomebodyWouldNotice) {
  struct Case {
    const char* what;
    std::function<void()> beforeA;  // before a.htm is replaced
    std::function<void()> beforeB;  // after, before b.htm is
    std::function<void()> check;
  };
  const auto nothing = [] {};
  int reader = -1;
  const Case cases[] = {
      {"a reader still has the old page open",
       [&] { reader = ::open((dir / "a.htm").c_str(), O_RDONLY); }, nothing,
       [&] {
         char read[16] = {};
         EXPECT_EQ(::pread(reader, read, sizeof read, 0), 5);
         EXPECT_EQ(std::string(read), "old a");
         ::close(reader);
       }},
      {"the old page gained another name",
       nothing, [&] { ::link((dir / hidden().at(0)).c_str(), (dir / "kept").c_str()); },
       [&] { EXPECT_EQ(readBytes(dir / "kept"), "old a"); }},
      {"the old page has an extended attribute",
       [&] { ::setxattr((dir / "a.htm").c_str(), "user.note", "x", 1, 0); }, nothing,
       [&] { EXPECT_EQ(::listxattr((dir / "b.htm").c_str(), nullptr, 0), 0); }},
      {"the next page has another mode", [&] { ::chmod((dir / "b.htm").c_str(), 0600); },
       nothing,
       [&] {
         struct ::stat st{};
         ::stat((dir / "b.htm").c_str(), &st);
         EXPECT_EQ(st.st_mode & 07777, 0600u);
       }},
      {"the next page has another owner",
       [&] { ASSERT_EQ(::chown((dir / "b.htm").c_str(), 65534, 65534), 0); }, nothing,
       [&] {
         struct ::stat st{};
         ::stat((dir / "b.htm").c_str(), &st);
         EXPECT_EQ(st.st_uid, 65534u);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    c.beforeA();
    replace("a.htm");
    files().syncPlacedFiles();
    c.beforeB();
    replace("b.htm");
    EXPECT_EQ(readBytes(dir / "b.htm"), "new b.htm");
    c.check();
    files().keepBetweenPages(false);
    EXPECT_TRUE(hidden().empty());
    ::unlink((dir / "kept").c_str());
  }
}

}  // namespace
}  // namespace vantiro
