// The command line over a program directory it shares with other programs:
// finding and locking it, and naming every page it saves by its absolute path.

#include "backup/backup_store.h"
#include "platform/directory_lock.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/cli/run_cli.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vantiro {
namespace {

using test::CliResult;
using test::readBytes;
using test::writeBytes;

const std::string kLoose = "<html>\r\n<body>x</body>\r\n</html>\r\n";
const std::string kTight = "<html><body>x</body></html>";

class SharedDirectoryCliTest : public ::testing::Test {
 protected:
  void SetUp() override { before_ = std::filesystem::current_path(); }
  void TearDown() override {
    std::filesystem::current_path(before_);
    setProgramDirectory("");
    setPauseScale(1);
  }
  CliResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--home", home.path()});
    return test::runCli(std::move(args));
  }
  std::string page(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(site / name).parent_path());
    writeBytes(site / name, bytes);
    return site / name;
  }
  std::vector<BackupEntry> entries() {
    setProgramDirectory(home.path());
    return ReadBackupIndex(false);
  }

  test::TempDir home;
  test::TempDir site;

 private:
  std::filesystem::path before_;
};

TEST_F(SharedDirectoryCliTest, VersionAndUnknownCommands) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;  // expected within the output
  };
  const Case cases[] = {
      {{"--version"}, 0, "vantiro-cli 3.00\n", ""},
      {{"frobnicate"}, 2, "", "没有这个命令：frobnicate"},
      {{"--home", "/tmp", "frobnicate", "x"}, 2, "", "没有这个命令：frobnicate"},
      {{"--wait", "--home", "/tmp", "comprss"}, 2, "", "没有这个命令：comprss"},
  };
  for (const Case& c : cases) {
    const CliResult r = test::runCli(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0] << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
}

TEST_F(SharedDirectoryCliTest, HomeIsCreatedOrRefusedOnceBeforeAnyPage) {
  writeBytes(site / "blocker", "a file");
  struct Case {
    std::string home;
    int status;
  };
  const Case cases[] = {{site / "new/home", 0}, {site / "blocker/home", 2}, {site / "blocker", 2}};
  for (const Case& c : cases) {
    const std::string a = page("a.htm", kLoose);
    const std::string b = page("b.htm", kLoose);
    const CliResult r = test::runCli({"--home", c.home, "compress", a, b});
    EXPECT_EQ(r.status, c.status) << c.home << r.err;
    if (c.status == 0) {
      EXPECT_EQ(readBytes(a), kTight);
      EXPECT_TRUE(std::filesystem::is_regular_file(c.home + "/bak.dat"));
    } else {
      EXPECT_EQ(readBytes(a), kLoose) << "no page touched";
      EXPECT_EQ(r.out, "");
      EXPECT_TRUE(r.err.starts_with("无法使用程序目录 " + c.home + "/: ")) << r.err;
      EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "reported once";
    }
  }
}

// While another program holds the program directory, no command that writes
// it starts; with --wait it starts once the other lets go.
TEST_F(SharedDirectoryCliTest, ASecondProgramIsRefusedOrWaits) {
  const std::string a = page("a.htm", kLoose);
  ASSERT_EQ(run({"compress", a}).status, 0);
  struct Case {
    std::vector<std::string> command;
    std::string before, after;  // the page before and after the command
  };
  const Case cases[] = {
      {{"compress", a}, kLoose, kTight},
      {{"restore", "1"}, "changed", kLoose},
      {{"replace", "--find", "x", "--with", "y", a}, kLoose, "<html>\r\n<body>y</body>\r\n</html>\r\n"},
      {{"backups", "--clear"}, kTight, kTight},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command[0]);
    writeBytes(a, c.before);
    const std::size_t saved = entries().size();
    auto other = DirectoryLock::take(home.path(), false);
    ASSERT_NE(other, nullptr);
    const CliResult refused = run(c.command);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "另一个程序正在使用程序目录 " + home.path() + "，请等它结束后再试\n");
    EXPECT_EQ(readBytes(a), c.before);
    EXPECT_EQ(entries().size(), saved);

    std::vector<std::string> waiting = c.command;
    waiting.insert(waiting.begin(), "--wait");
    std::future<CliResult> waited = std::async(std::launch::async, [&] { return run(waiting); });
    EXPECT_EQ(waited.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    other.reset();
    const CliResult r = waited.get();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("正在等待"), std::string::npos);
    EXPECT_EQ(readBytes(a), c.after);
  }
  EXPECT_EQ(run({"backups"}).status, 0) << "listing the store needs no lock";
}

// A page given relative to the current directory is saved under its absolute
// path, so a restore from anywhere writes that page and nothing else.
TEST_F(SharedDirectoryCliTest, RelativePathsAreSavedAbsolute) {
  struct Case {
    std::vector<std::string> command;
    std::string after;
  };
  const Case cases[] = {
      {{"compress", "a.htm"}, kTight},
      {{"compress", "./sub/../a.htm"}, kTight},
      {{"replace", "--find", "x", "--with", "y", "a.htm"}, "<html>\r\n<body>y</body>\r\n</html>\r\n"},
  };
  test::TempDir elsewhere;
  for (const Case& c : cases) {
    std::filesystem::create_directories(site / "sub");
    const std::string a = page("a.htm", kLoose);
    std::filesystem::current_path(site.path());
    const CliResult r = run(c.command);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readBytes(a), c.after);
    const std::vector<BackupEntry> saved = entries();
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved.back().path.front(), U'/') << toUtf8(saved.back().path);

    std::filesystem::current_path(elsewhere.path());
    EXPECT_EQ(run({"restore", std::to_string(saved.size())}).status, 0);
    EXPECT_EQ(readBytes(a), kLoose);
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "a.htm"));
  }
}

// --into maps by whole path components; a page outside SRC is refused and
// left alone, and a file DEST already holds is saved before it is replaced.
TEST_F(SharedDirectoryCliTest, IntoMapsWholeComponentsAndKeepsWhatDestinationHeld) {
  struct Case {
    std::string into0, into1, pagePath;    // relative to the site, as typed there
    std::optional<std::string> destHeld;   // what DEST held before the run
    int status;
    std::optional<std::string> written;    // the mirror file, relative to the site
  };
  const Case cases[] = {
      {"site", "out", "site2/x.htm", std::nullopt, 1, std::nullopt},
      {"site/", "out", "site", std::nullopt, 0, "out/q.html"},
      {"ABS", "out", "site/x.htm", std::nullopt, 0, "out/x.htm"},  // ABS: the site's absolute path
      {"site", "out", "site/x.htm", "OLD", 0, "out/x.htm"},
      {"site", "site", "site/x.htm", std::nullopt, 0, "site/x.htm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.into0 + " " + c.into1 + " " + c.pagePath);
    std::filesystem::remove_all(site.path());
    std::filesystem::create_directories(site.path());
    page("site/x.htm", kLoose);
    page("site/q.html", kLoose);
    page("site2/x.htm", kLoose);
    if (c.destHeld) page("out/x.htm", *c.destHeld);
    std::filesystem::remove(home / "bak.kbq");
    std::filesystem::current_path(site.path());
    const std::string source = c.into0 == "ABS" ? site / "site" : c.into0;

    const CliResult r = run({"compress", "--into", source, site / c.into1, c.pagePath});
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_FALSE(std::filesystem::exists(site / "out2")) << "never a text prefix";
    EXPECT_FALSE(std::filesystem::exists(site / "outq.html"));
    if (!c.written) {
      EXPECT_EQ(readBytes(site / c.pagePath), kLoose) << "never written in place";
      EXPECT_NE(r.err.find("不在源目录中"), std::string::npos) << r.err;
      EXPECT_TRUE(entries().empty());
      continue;
    }
    EXPECT_EQ(readBytes(site / *c.written), kTight);
    if (c.into1 != c.into0) {
      EXPECT_EQ(readBytes(site / "site/x.htm"), kLoose) << "the source stays";
    }
    // A restore gives back what the mirror file held, or the page itself
    // where it held nothing.
    EXPECT_EQ(run({"restore", "--all"}).status, 0);
    EXPECT_EQ(readBytes(site / *c.written), c.destHeld.value_or(kLoose));
  }
}

// The manual page is kept by hand: every option the help texts name has its
// entry there.
TEST_F(SharedDirectoryCliTest, ManualPageNamesEveryOption) {
  const std::string manual = readBytes(VANTIRO_MANUAL_PAGE);
  const std::regex option("--[a-z][a-z-]*");
  for (const char* command : {"", "compress", "backups", "restore", "replace", "info"}) {
    std::vector<std::string> args = {"--help"};
    if (*command) args.insert(args.begin(), command);
    const CliResult help = test::runCli(args);
    ASSERT_EQ(help.status, 0) << command;
    for (std::sregex_iterator it(help.out.begin(), help.out.end(), option), end; it != end; ++it) {
      const std::string name = std::regex_replace(it->str(), std::regex("-"), "\\-");
      const bool named = manual.find(name + " ") != std::string::npos || manual.find(name + "\n") != std::string::npos;
      EXPECT_TRUE(named) << command << " " << it->str();
    }
  }
}

}  // namespace
}  // namespace vantiro
