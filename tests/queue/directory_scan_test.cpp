#include "queue/directory_scan.h"

#include "platform/file_service.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace vantiro {
namespace {

using test::writeBytes;

class DirectoryScanTest : public ::testing::Test {
 protected:
  void file(const std::string& relative) {
    std::filesystem::create_directories(std::filesystem::path(dir / relative).parent_path());
    writeBytes(dir / relative, "<html></html>");
  }
  void directory(const std::string& relative) { std::filesystem::create_directories(dir / relative); }
  Text root() const { return textPath(dir.path()); }
  std::vector<Text> expected(std::initializer_list<const char*> relatives) const {
    std::vector<Text> out;
    for (const char* r : relatives) out.push_back(textPath(dir / r));
    return out;
  }

  test::TempDir dir;
};

TEST_F(DirectoryScanTest, FilesOfADirectoryFirstThenEachSubtreeInListingOrder) {
  for (const char* f : {"z.htm", "a.htm", "sub/deep/c.htm", "sub/b.htm", "B.html", "notes.txt", "Sub2/x.HTM",
                        "aa/y.htm"})
    file(f);
  EXPECT_EQ(listTreeFiles(root(), kHtmlPattern),
            expected({"a.htm", "B.html", "z.htm", "aa/y.htm", "sub/b.htm", "sub/deep/c.htm", "Sub2/x.HTM"}));
  EXPECT_EQ(listTreeFiles(root(), kAllFilesPattern),
            expected({"a.htm", "B.html", "notes.txt", "z.htm", "aa/y.htm", "sub/b.htm", "sub/deep/c.htm",
                      "Sub2/x.HTM"}));
}

TEST_F(DirectoryScanTest, HiddenEntriesAndSpecialFilesAreLeftOut) {
  file("a.htm");
  file(".hidden.htm");
  file(".git/inside.htm");
  file("visible/.also-hidden.htm");
  file("visible/shown.htm");
  ASSERT_EQ(::mkfifo((dir / "pipe.htm").c_str(), 0600), 0);
  EXPECT_EQ(listTreeFiles(root(), kHtmlPattern), expected({"a.htm", "visible/shown.htm"}));
}

TEST_F(DirectoryScanTest, UnlistableDirectoryIsSkippedAndLinksCannotLoop) {
  file("a.htm");
  file("loop/b.htm");
  std::filesystem::create_directory_symlink(dir.path(), dir / "loop/back");
  std::filesystem::create_directory_symlink(dir / "loop", dir / "loop/self");
  EXPECT_TRUE(listTreeFiles(textPath(dir / "gone/"), kHtmlPattern).empty());
  EXPECT_EQ(listTreeFiles(root(), kHtmlPattern), expected({"a.htm", "loop/b.htm"}));
}

TEST_F(DirectoryScanTest, DeepChainsAndSecondNamesOfADirectory) {
  std::string chain;
  for (int level = 0; level < 300; ++level) chain += "d/";
  file(chain + "bottom.htm");
  file("real/c.htm");
  std::filesystem::create_directory_symlink(dir / "real", dir / "second");
  EXPECT_EQ(listTreeFiles(root(), kHtmlPattern), expected({(chain + "bottom.htm").c_str(), "real/c.htm"}));
}

TEST_F(DirectoryScanTest, LinksLeadingOutOfTheTreeAreNotFollowed) {
  test::TempDir outside;
  writeBytes(outside / "private.html", "<html></html>");
  file("site/a.htm");
  file("site/real/b.htm");
  directory("site/sub");
  const auto link = [&](const std::string& target, const std::string& name) {
    std::filesystem::create_symlink(target, dir / name);
  };
  link(outside.path(), "site/elsewhere");              // a directory outside
  link(outside / "private.html", "site/private.html");  // a file outside
  link("/usr/share", "site/sub/system");               // the system's pages
  link("../real", "site/sub/inside");                  // a directory inside: walked once
  link(dir / "site/a.htm", "site/sub/same.htm");       // a file inside
  EXPECT_EQ(listTreeFiles(textPath(dir / "site/"), kHtmlPattern),
            expected({"site/a.htm", "site/real/b.htm", "site/sub/same.htm"}));
  // A tree reached through a link of its own is judged where it leads.
  link(dir / "site", "alias");
  EXPECT_EQ(listTreeFiles(textPath(dir / "alias/"), kHtmlPattern).size(), 3U);
}

TEST_F(DirectoryScanTest, AScanAddsOnlyWhatTheListDoesNotHold) {
  file("a.htm");
  file("sub/b.htm");
  std::vector<Text> tasks = {textPath(dir / "a.html"), U"/elsewhere/x.htm"};
  const Text scanRoot = textPath(dir.path().substr(0, dir.path().size() - 1));  // without the "/"
  EXPECT_EQ(scanNewEntries(scanRoot, kHtmlPattern, tasks), expected({"a.htm", "sub/b.htm"}));
  EXPECT_EQ(withTrailingSlash(scanRoot), root());
  EXPECT_EQ(withTrailingSlash(root()), root());

  // Once the list holds what the first scan found, a second scan of the tree adds nothing.
  for (const Text& t : expected({"a.htm", "sub/b.htm"})) tasks.push_back(t);
  EXPECT_TRUE(scanNewEntries(scanRoot, kHtmlPattern, tasks).empty());

  // Presence counts against the snapshot taken when the scan starts.
  std::vector<Text> snapshot = {textPath(dir / "sub/b.htm")};
  EXPECT_EQ(scanNewEntries(scanRoot, kHtmlPattern, snapshot), expected({"a.htm"}));
}

TEST_F(DirectoryScanTest, EmptyTreeAddsNothing) {
  directory("empty/deeper");
  EXPECT_TRUE(scanNewEntries(root(), kHtmlPattern, {}).empty());
}

}  // namespace
}  // namespace vantiro
