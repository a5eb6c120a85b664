#include "cli/cli_app.h"

#include "backup/backup_store.h"
#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/cli/run_cli.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;

using test::CliResult;

class ReplaceCommand : public ::testing::Test {
 protected:
  void TearDown() override {
    setProgramDirectory("");
    setPauseScale(1);
  }

  CliResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--home", home.path(), "replace"});
    return test::runCli(std::move(args));
  }
  // A page holding `content` in the code page (GBK).
  std::string page(const std::string& name, TextView content) {
    std::filesystem::create_directories(std::filesystem::path(site / name).parent_path());
    writeBytes(site / name, encodeAnsi(content));
    return site / name;
  }
  Text read(const std::string& path) { return decodeAnsi(readBytes(path)); }

  test::TempDir home;
  test::TempDir site;
};

TEST_F(ReplaceCommand, PrintsPathCountAndResultPerPage) {
  const std::string a = page("a.htm", U"<p>cat cat cat</p>");
  const std::string b = page("b.htm", U"<p>dog</p>");
  CliResult r = run({"--find", "cat", "--with", "猫", a, b});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, a + "\t3\t成功替换\n" + b + "\t0\t成功替换\n");
  EXPECT_EQ(read(a), U"<p>猫 猫 猫</p>");
  EXPECT_EQ(ReadBackupIndex(false).size(), 1u) << "b.htm, where nothing was replaced, has no entry";
}

TEST_F(ReplaceCommand, ModesAndMatchOptions) {
  struct Case {
    std::vector<std::string> options;
    Text before;
    Text after;
    std::string count;
  } cases[] = {
      {{"--in", "tags", "--find", "FONT", "--with", "Hi"},
       U"<font color=red>font</font>",
       U"<Hi color=red>font</Hi>",
       "2"},
      {{"--in", "page", "--case-sensitive", "--find", "a", "--with", "b"}, U"A<a>a", U"A<b>b", "2"},
      {{"--in", "scripts", "--find", "x", "--with", "y"}, U"<p>x<script>x</script>", U"<p>x<script>y</script>", "1"},
      {{"--whole-word", "--find", "cat", "--with", "dog"},
       U"<p>中cat cat concat</p>",
       U"<p>中cat dog concat</p>",
       "3"},
      {{"--kind", "title", "--fixed", "--find", "x", "--with", "新标题"},
       U"<html><title>Old</title>",
       U"<html><title>新标题</title>",
       "1"},
      {{"--kind", "link", "--find", "x.htm", "--with", "y.htm"},
       U"<html><a href=x.htm>x.htm</a><area href=x.htm>",
       U"<html><a href=y.htm>x.htm</a><area href=y.htm>",
       "2"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string path = page("p" + std::to_string(n++) + ".htm", c.before);
    std::vector<std::string> args = c.options;
    args.push_back(path);
    CliResult r = run(args);
    EXPECT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(r.out, path + "\t" + c.count + "\t成功替换\n");
    EXPECT_EQ(toUtf8(read(path)), toUtf8(c.after));
  }
}

TEST_F(ReplaceCommand, FailedPagesSetTheExitStatus) {
  const std::string good = page("good.htm", U"<html><a href=x>");
  const std::string mixed = page("mixed.htm", U"<Html><a href=x>");
  const std::string gone = site / "gone.htm";
  CliResult r = run({"--kind", "link", "--require-html", "--find", "x", "--with", "y", good, mixed, gone});
  EXPECT_EQ(r.status, 1);
  std::istringstream lines(r.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, good + "\t1\t成功替换");
  std::getline(lines, line);
  EXPECT_EQ(line, mixed + "|文件错误!\t错误\t");
  std::getline(lines, line);
  EXPECT_EQ(line.rfind(gone + "\t错误\t", 0), 0u) << line;
  EXPECT_GT(line.size(), gone.size() + std::string("\t错误\t").size());  // the reason follows
  EXPECT_EQ(read(mixed), U"<Html><a href=x>");
}

TEST_F(ReplaceCommand, IntoWritesUnderTheTargetDirectory) {
  const std::string a = page("site/news/a.htm", U"<html><img src=a.gif>");
  CliResult r = run({"--kind", "image", "--into", site / "site", site / "out", "--find", "gif", "--with", "png", a});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, site / "out/news/a.htm" + "\t1\t成功替换\n");
  EXPECT_EQ(read(site / "out/news/a.htm"), U"<html><img src=a.png>");
  EXPECT_EQ(read(a), U"<html><img src=a.gif>");
}

TEST_F(ReplaceCommand, RenamesFiles) {
  const std::string a = page("old.htm", U"x");
  CliResult r = run({"--kind", "filename", "--find", "old", "--with", "new", a});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, a + "\t1\t成功替换\n");
  EXPECT_TRUE(isNormalFile(site / "new.htm"));
  EXPECT_FALSE(pathExists(a));
}

// A directory is scanned as compress scans it; a dry run prints the same
// lines and writes nothing.
TEST_F(ReplaceCommand, DirectoriesAreScannedAndADryRunWritesNothing) {
  const std::string a = page("web/a.htm", U"<p>cat</p>");
  const std::string b = page("web/sub/b.html", U"<p>cat cat</p>");
  page("web/notes.txt", U"cat");
  const std::string expected = a + "\t1\t成功替换\n" + b + "\t2\t成功替换\n";
  CliResult dry = run({"--dry-run", "--find", "cat", "--with", "dog", site / "web"});
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_EQ(dry.out, expected);
  EXPECT_EQ(read(a), U"<p>cat</p>");
  EXPECT_FALSE(pathExists(home / "bak.kbq"));
  CliResult r = run({"--find", "cat", "--with", "dog", site / "web"});
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(read(b), U"<p>dog dog</p>");
  EXPECT_EQ(read(site / "web/notes.txt"), U"cat");
}

// The temporary files a killed replace or restore left beside its pages are
// removed by the next one over those pages.
TEST_F(ReplaceCommand, ReplaceAndRestoreRemoveTheTemporariesOfKilledRuns) {
  const std::string a = page("a.htm", U"<p>cat</p>");
  const auto leaveTemporary = [&] {
    writeBytes(site / ".a.htm.vantiro-42", "partial");
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (site / ".a.htm.vantiro-42").c_str(), old, 0), 0);
  };
  leaveTemporary();
  EXPECT_EQ(run({"--find", "cat", "--with", "dog", a}).status, 0);
  EXPECT_FALSE(pathExists(site / ".a.htm.vantiro-42")) << "after replace";
  leaveTemporary();
  EXPECT_EQ(test::runCli({"--home", home.path(), "restore", "--all"}).status, 0);
  EXPECT_FALSE(pathExists(site / ".a.htm.vantiro-42")) << "after restore";
  EXPECT_EQ(read(a), U"<p>cat</p>");
}

TEST_F(ReplaceCommand, UsageErrors) {
  const std::string a = page("a.htm", U"<p>cat</p>");
  struct {
    std::vector<std::string> args;
    const char* why;
  } cases[] = {
      {{"--find", "", "--with", "x", a}, "empty search text"},
      {{"--with", "x", a}, "no search text"},
      {{"--find", "cat", a}, "no replacement"},
      {{"--find", "cat", "--with", "x"}, "no page"},
      {{"--in", "body", "--find", "cat", "--with", "x", a}, "unknown mode"},
      {{"--in", "tags", "--kind", "title", "--find", "cat", "--with", "x", a}, "two modes"},
      {{"--fixed", "--find", "cat", "--with", "x", a}, "--fixed without --kind"},
      {{"--kind", "meta", "--find", "cat", "--with", "x", a}, "unknown kind"},
  };
  for (const auto& c : cases) {
    CliResult r = run(c.args);
    EXPECT_EQ(r.status, 2) << c.why;
    EXPECT_EQ(r.out.find("成功替换"), std::string::npos) << c.why;
  }
  EXPECT_NE(run({"--find", "", "--with", "x", a}).err.find("查找文字不能为空"), std::string::npos);
  EXPECT_EQ(read(a), U"<p>cat</p>");
  EXPECT_FALSE(pathExists(home / "bak.kbq"));
}

}  // namespace
}  // namespace vantiro
