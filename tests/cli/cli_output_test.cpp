// The command line as scripts use it: runs that write nothing, pipes, JSON
// rows, escaped fields, quiet output and the progress line.

#include "backup/backup_store.h"
#include "cli/output_format.h"
#include "cli/progress_line.h"
#include "compress/failure_reasons.h"
#include "platform/directory_lock.h"
#include "platform/system.h"
#include "tests/cli/run_cli.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <sstream>

namespace vantiro {
namespace {

using test::CliResult;
using test::readBytes;
using test::splitBy;
using test::writeBytes;

const std::string kLoose = "<html>\r\n<body>x</body>\r\n</html>\r\n";
const std::string kTight = "<html><body>x</body></html>";
const std::string kLong = "<html>" + std::string(200000, 'a') + "</html>";  // more than one block of input
const std::string kScripted = "<html>\r\n<script>  var x = 1;  </script>\r\n<body>x</body>\r\n</html>\r\n";

class CliOutputTest : public ::testing::Test {
 protected:
  void TearDown() override {
    setProgramDirectory("");
    setPauseScale(1);
  }
  CliResult run(std::vector<std::string> args, const std::string& input = {}) {
    args.insert(args.begin(), {"--home", home.path()});
    return test::runCli(std::move(args), input);
  }
  std::string page(const std::string& name, const std::string& bytes) {
    writeBytes(site / name, bytes);
    return site / name;
  }
  // Every file under the site and the program directory, with its bytes.
  std::map<std::string, std::string> snapshot() {
    std::map<std::string, std::string> files;
    for (const std::string& root : {site.path(), home.path()})
      for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        files[entry.path()] = entry.is_regular_file() ? readBytes(entry.path()) : "<dir>";
    return files;
  }

  test::TempDir home;
  test::TempDir site;
};

TEST_F(CliOutputTest, DryRunPrintsWhatTheRunWouldAndWritesNothing) {
  const std::string a = page("a.htm", kLoose);
  page("bad.htm", "<html>only");
  page("s.htm", kScripted);
  const struct {
    std::vector<std::string> flags;
  } cases[] = {{{}}, {{"--scripts", "--readable"}}, {{"--into", site.path(), site / "out/"}},
               {{"--overwrite-backup", "--restore-on-error"}}, {{"--require-html", "--paragraphs"}}};
  for (const auto& c : cases) {
    std::vector<std::string> args{"compress", "--dry-run"};
    args.insert(args.end(), c.flags.begin(), c.flags.end());
    args.push_back(site.path());
    const auto before = snapshot();
    CliResult dry = run(args);
    EXPECT_EQ(snapshot(), before) << args.size();

    args.erase(args.begin() + 1);
    CliResult real = run(args);
    EXPECT_EQ(dry.out, real.out) << "the same rows and summary";
    EXPECT_EQ(dry.err, real.err);
    EXPECT_EQ(dry.status, real.status);
    std::filesystem::remove_all(site / "out");
    writeBytes(a, kLoose);
    writeBytes(site / "s.htm", kScripted);
  }
}

// A dry run refuses what the run refuses, and a file that is no page says what it is.
TEST_F(CliOutputTest, DryRunAndRunAgreeOnReadOnlyPagesAndPipes) {
  const std::string readOnly = page("ro.htm", kLoose);
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
  const std::string fifo = site / "pipe.htm";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const bool dryRun : {true, false}) {
    std::vector<std::string> args{"compress", readOnly, fifo};
    if (dryRun) args.insert(args.begin() + 1, "--dry-run");
    const CliResult r = run(args);
    EXPECT_EQ(r.status, 1) << dryRun;
    const auto rows = splitBy(r.out, '\n');
    ASSERT_GE(rows.size(), 2u) << r.out;
    EXPECT_EQ(splitBy(rows[0], '\t')[4], "压缩失败") << dryRun;
    EXPECT_EQ(splitBy(rows[1], '\t')[4], "文件不在") << dryRun;
    EXPECT_NE(r.err.find("文件只读"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(fifo + ": 不是普通文件"), std::string::npos) << r.err;
  }
  EXPECT_EQ(readBytes(readOnly), kLoose);
}

TEST_F(CliOutputTest, DryRunsAndPipesRunWhileAnotherProgramHoldsTheProgramDirectory) {
  const std::string a = page("a.htm", kLoose);
  auto other = DirectoryLock::take(home.path(), false);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(run({"compress", "--dry-run", a}).status, 0);
  EXPECT_EQ(run({"compress", "-"}, kLoose).out, kTight);
  EXPECT_EQ(run({"compress", a}).status, 2) << "a run that writes waits its turn";
  EXPECT_EQ(readBytes(a), kLoose);
}

TEST_F(CliOutputTest, ByOptionShowsWhatEachOptionSavesOverTheRunWithoutIt) {
  page("a.htm", kLoose);
  page("s.htm", kScripted);
  CliResult r = run({"compress", "--dry-run", "--by-option", site.path()});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto out = splitBy(r.out, '\n');
  ASSERT_EQ(out.size(), 6u) << r.out;  // two rows, the summary, two options, the last line break
  EXPECT_EQ(out[2], "总计 2 个文件\t成功 2 个\t压缩前 99 字节\t压缩后 85 字节\t压缩率 14.14%");
  EXPECT_EQ(out[3], "--scripts\t压缩后 81 字节\t压缩率 18.18%\t多省 4 字节");
  EXPECT_EQ(out[4], "--paragraphs\t压缩后 85 字节\t压缩率 14.14%\t多省 0 字节");
  EXPECT_NE(run({"compress", "--dry-run", "--scripts", site.path()}).out.find("压缩后 81 字节"), std::string::npos)
      << "as a run with the option";
  EXPECT_EQ(readBytes(site / "s.htm"), kScripted);

  r = run({"compress", "--dry-run", "--by-option", "--json", site.path()});
  EXPECT_NE(r.out.find(R"("by_option":[{"option":"--scripts","bytes_after":81,"saving":18.18,"extra_saved":4},)"
                       R"({"option":"--paragraphs","bytes_after":85,"saving":14.14,"extra_saved":0}]})"),
            std::string::npos)
      << r.out;
}

TEST_F(CliOutputTest, PipeCompressesStandardInputToStandardOutput) {
  const std::string kRequireHtmlReason = "压缩失败: " + toUtf8(explainFailure(U"文件错误!")) + "\n";
  const std::string utf16 = std::string("\xFF\xFE<\0h\0>\0", 8);
  const struct {
    std::vector<std::string> flags;
    std::string input;
    std::string out;
    int status;
    std::string reason;  // on standard error when the page fails
  } cases[] = {
      {{}, kLoose, kTight, 0, ""},
      {{"--readable"}, kTight, "<html>\n<body>\nx\n</body>\n</html>\n", 0, ""},  // an LF page
      {{}, "no tags here", "", 1, "压缩失败: 不是网页\n"},
      {{"--restore-on-error"}, "no tags here", "no tags here", 1, "压缩失败: 不是网页\n"},
      {{}, "<p>hi</p>\n<p> there </p>", "<p>hi<p> there ", 0, ""},  // a fragment needs no <html>
      {{"--require-html", "--restore-on-error"}, "<HTML><Body>x</Body></HTML>", "<HTML><Body>x</Body></HTML>", 0, ""},
      {{"--require-html", "--restore-on-error"}, "<Html><body>x</body></Html>", "<Html><body>x</body></Html>", 1,
       kRequireHtmlReason},
      {{"--require-html"}, "<Html><body>x</body></Html>", "", 1, kRequireHtmlReason},
      {{}, "", "", 1, "压缩失败: 不是网页\n"},
      {{}, kLong, kLong, 0, ""},
      // The page's encoding is found as for a file: this one is refused.
      {{"--restore-on-error"}, utf16, utf16, 1, "压缩失败: 页面为 UTF-16 编码，不能处理\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"compress"};
    args.insert(args.end(), c.flags.begin(), c.flags.end());
    args.push_back("-");
    CliResult r = run(args, c.input);
    EXPECT_EQ(r.status, c.status) << c.input.substr(0, 40);
    EXPECT_EQ(r.out, c.out) << c.input.substr(0, 40);
    EXPECT_EQ(r.err, c.reason);
  }
  EXPECT_FALSE(std::filesystem::exists(home / "bak.kbq")) << "a pipe keeps no backup";
}

TEST_F(CliOutputTest, BadUsesOfTheNewFlagsAreStatusTwo) {
  const std::string a = page("a.htm", kLoose);
  const std::vector<std::vector<std::string>> usages = {
      {"compress", "-", a},
      {"compress", a, "-"},
      {"compress", "--into", site.path(), site / "out", "-"},
      {"compress", "--dry-run", "-"},
      {"compress", "--json", "-"},
      {"compress", "--overwrite-backup", "-"},
      {"compress", "--by-option", a},
      {"compress", "--dry-run", "--by-option", "--scripts", a},
      {"compress", "--dry-run", "--by-option", "--paragraphs", a},
      {"compress", "--json", "--quiet", a},
      {"replace", "--find", "x", "--with", "y", "--json", "--quiet", a},
      {"restore", "--all", "--json", "--quiet"},
      {"backups", "--quiet"},
  };
  for (const auto& args : usages) {
    CliResult r = run(args, kLoose);
    EXPECT_EQ(r.status, 2) << args[1] << " " << args.back() << "\n" << r.out;
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(readBytes(a), kLoose);
  EXPECT_FALSE(std::filesystem::exists(home / "bak.kbq"));
}

TEST_F(CliOutputTest, FieldsAreEscapedSoThatARowStaysOneLine) {
  const struct {
    std::u32string text;
    std::string field;
    std::string json;
  } cases[] = {
      {U"plain/中文.htm", "plain/中文.htm", "\"plain/中文.htm\""},
      {U"a\tb\nc\rd", "a\\tb\\nc\\rd", "\"a\\tb\\nc\\rd\""},
      {U"back\\slash \"q\"", "back\\\\slash \"q\"", "\"back\\\\slash \\\"q\\\"\""},
      {U"bell\x07", "bell\x07", "\"bell\\u0007\""},
      {U"byte\xDCFF\xDC80", "byte\\xFF\\x80", "\"byte\\udcff\\udc80\""},  // bytes that were not UTF-8
      {U"\U0001F600", "\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cli::lineField(c.text), c.field);
    EXPECT_EQ(cli::jsonString(c.text), c.json);
  }
}

TEST_F(CliOutputTest, PathsWithTabsLineBreaksAndStrayBytesKeepEveryRowWhole) {
  const std::string odd = page("t\tn\nx\xff.htm", kLoose);
  CliResult r = run({"compress", odd});
  ASSERT_EQ(r.status, 0) << r.err;
  auto rows = splitBy(r.out, '\n');
  ASSERT_EQ(rows.size(), 3u) << r.out;
  EXPECT_EQ(splitBy(rows[0], '\t').size(), 7u);
  EXPECT_EQ(splitBy(rows[0], '\t')[0], site.path() + "t\\tn\\nx\\xFF.htm");

  r = run({"backups", "--json"});
  rows = splitBy(r.out, '\n');
  ASSERT_EQ(rows.size(), 3u) << r.out;
  EXPECT_NE(rows[0].find("\"path\":\"" + site.path() + "t\\tn\\nx\\udcff.htm\""), std::string::npos) << rows[0];
  EXPECT_EQ(rows[1], R"({"type":"summary","entries":1})");
  r = run({"backups"});
  EXPECT_EQ(splitBy(r.out, '\n').size(), 2u);
  EXPECT_EQ(splitBy(r.out, '\t').size(), 4u);
}

TEST_F(CliOutputTest, JsonGivesAnObjectPerPageAndOneForTheSummary) {
  RunRow missingRow;
  missingRow.result = Text(kResultMissing);
  const std::string a = page("a.htm", kLoose);
  const std::string bad = page("bad.htm", "<html>only");
  const std::string missing = site / "missing.htm";
  CliResult r = run({"compress", "--json", a, bad, missing});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "") << "the reason is in the object";
  auto rows = splitBy(r.out, '\n');
  ASSERT_EQ(rows.size(), 5u) << r.out;
  EXPECT_TRUE(rows[0].starts_with(R"({"type":"page","source":")" + a + R"(","destination":null,"size":33,"date":")"))
      << rows[0];
  EXPECT_TRUE(rows[0].ends_with(R"(","result":"压缩成功","new_size":27,"saving":18.18,"reason":null})"));
  EXPECT_TRUE(rows[1].ends_with(R"("result":"压缩失败","new_size":null,"saving":null,"reason":"页面中的标记少于两个：没有可以压缩的地方，文件保持原样"})"))
      << rows[1];
  EXPECT_EQ(rows[2], R"({"type":"page","source":")" + missing +
                         R"(","destination":null,"size":null,"date":"","result":"文件不在","new_size":null,)"
                         R"("saving":null,"reason":")" + toUtf8(failureReason(missingRow)) + R"("})");
  EXPECT_EQ(rows[3], R"({"type":"summary","dry_run":false,"pages":3,"succeeded":1,"failed":1,"missing":1,)"
                     R"("bytes_before":33,"bytes_after":27,"saving":18.18})");

  r = run({"replace", "--find", "x", "--with", "yy", "--json", a, missing});
  rows = splitBy(r.out, '\n');
  ASSERT_EQ(rows.size(), 4u) << r.out;
  EXPECT_EQ(rows[0], R"({"type":"page","path":")" + a + R"(","count":1,"result":"成功替换","reason":null})");
  EXPECT_TRUE(rows[1].starts_with(R"({"type":"page","path":")" + missing + R"(","count":null,"result":"错误","reason":")"));
  EXPECT_EQ(rows[2], R"({"type":"summary","pages":2,"succeeded":1,"failed":1,"replacements":1})");

  r = run({"restore", "--json", "1"});
  EXPECT_EQ(r.status, 0);
  rows = splitBy(r.out, '\n');
  ASSERT_EQ(rows.size(), 3u) << r.out;
  EXPECT_TRUE(rows[0].starts_with(R"({"type":"entry","number":1,"path":")" + a + R"(","length":33,"time":")"));
  EXPECT_TRUE(rows[0].ends_with(R"(","restored":true})"));
  EXPECT_EQ(rows[1], R"({"type":"summary","entries":1,"restored":1,"failed":0})");
  EXPECT_EQ(readBytes(a), kLoose);
}

TEST_F(CliOutputTest, QuietPrintsOnlyFailuresAndTheSummary) {
  const std::string a = page("a.htm", kLoose);
  const std::string bad = page("bad.htm", "<html>only");
  CliResult r = run({"compress", "--quiet", a, bad});
  EXPECT_EQ(r.status, 1);
  auto rows = splitBy(r.out, '\n');
  ASSERT_EQ(rows.size(), 3u) << r.out;
  EXPECT_EQ(splitBy(rows[0], '\t')[0], bad);
  EXPECT_TRUE(rows[1].starts_with("总计 2 个文件"));
  EXPECT_NE(r.err.find(bad + ": "), std::string::npos) << r.err;

  r = run({"replace", "--find", "x", "--with", "y", "--quiet", a, site / "missing.htm"});
  EXPECT_EQ(splitBy(r.out, '\n').size(), 2u) << r.out;
  EXPECT_TRUE(r.out.starts_with(site / "missing.htm\t"));

  r = run({"restore", "--quiet", "--all"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

TEST_F(CliOutputTest, ProgressIsRedrawnAtMostTenTimesASecond) {
  std::ostringstream err;
  std::int64_t now = 1000;
  cli::ProgressLine line(err, [&] { return now; });
  const struct {
    std::int64_t at;
    std::size_t n;
    std::int64_t bytes;
    std::string shown;  // empty: not redrawn
  } steps[] = {
      {1000, 1, 0, "\r\033[K[1/3] 0 B a.htm"},
      {1050, 2, 2048, ""},
      {1100, 2, 2048, "\r\033[K[2/3] 2.0 KiB a.htm"},
      {1199, 3, 5 << 20, ""},
      {1300, 3, 5 << 20, "\r\033[K[3/3] 5.0 MiB a.htm"},
  };
  for (const auto& s : steps) {
    now = s.at;
    err.str("");
    line.show(s.n, 3, s.bytes, U"a.htm");
    EXPECT_EQ(err.str(), s.shown) << s.at;
  }
  std::ostringstream rows;
  err.str("");
  line.printAbove(err, "row\n");
  EXPECT_EQ(err.str(), "\r\033[Krow\n\r\033[K[3/3] 5.0 MiB a.htm") << "drawn again below the row";
  err.str("");
  line.printAbove(rows, "row\n");
  EXPECT_EQ(err.str(), "\r\033[K\r\033[K[3/3] 5.0 MiB a.htm");
  EXPECT_EQ(rows.str(), "row\n");
  err.str("");
  line.clear();
  line.clear();
  EXPECT_EQ(err.str(), "\r\033[K") << "wiped once";
  line.printAbove(err, "row\n");
  EXPECT_EQ(err.str(), "\r\033[Krow\n") << "nothing to draw again";
  EXPECT_EQ(cli::byteCountText(1023), "1023 B");
  EXPECT_EQ(cli::byteCountText(3LL << 30), "3.0 GiB");
}

TEST_F(CliOutputTest, ARunOnATerminalShowsItsProgressUnlessQuiet) {
  page("a.htm", kLoose);
  page("b.htm", kLoose);
  const struct {
    bool quiet;
    cli::Terminals terminals;
    bool progress;
  } cases[] = {
      {false, {true, false}, true},
      {false, {true, true}, true},
      {true, {true, true}, false},
      {false, {false, true}, false},
  };
  const std::string plain = run({"compress", "--dry-run", site.path()}).out;
  for (const auto& c : cases) {
    const std::string homeDir = home.path();
    const std::string dir = site.path();
    const char* argv[] = {"vantiro-cli", "--home", homeDir.c_str(), "compress", "--dry-run",
                          c.quiet ? "--quiet" : "--all-files", dir.c_str()};
    std::istringstream in;
    std::ostringstream out, err;
    EXPECT_EQ(cli::runVantiroCli(7, argv, in, out, err, c.terminals, cli::Language::Chinese), 0);
    EXPECT_EQ(err.str().starts_with("\r\033[K[1/2] 0 B "), c.progress) << err.str();
    EXPECT_EQ(err.str().ends_with("\r\033[K"), c.progress) << "the line is wiped at the end";
    EXPECT_EQ(out.str(), c.quiet ? plain.substr(plain.rfind("总计")) : plain);
  }
}

}  // namespace
}  // namespace vantiro
