#include "cli/cli_app.h"

#include "backup/backup_store.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/cli/run_cli.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <streambuf>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;

using test::CliResult;
using test::splitBy;

class CliTest : public ::testing::Test {
 protected:
  void TearDown() override {
    setProgramDirectory("");
    setPauseScale(1);
  }

  // Runs vantiro-cli --home <home> ARGS...
  CliResult run(std::vector<std::string> args, bool withHome = true) {
    if (withHome) args.insert(args.begin(), {"--home", home.path()});
    return test::runCli(std::move(args));
  }
  std::vector<std::string> lines(const std::string& out) {
    auto all = splitBy(out, '\n');
    EXPECT_EQ(all.back(), "") << "output ends with a line break";
    all.pop_back();
    return all;
  }
  std::string page(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(site / name).parent_path());
    writeBytes(site / name, bytes);
    return site / name;
  }

  test::TempDir home;
  test::TempDir site;
};

const std::string kLoose = "<html>\r\n<body>x</body>\r\n</html>\r\n";
const std::string kTight = "<html><body>x</body></html>";

TEST_F(CliTest, CompressPrintsSevenColumnsPerPageAndASummary) {
  const std::string a = page("a.htm", kLoose);
  const std::string b = page("b.htm", kLoose);
  CliResult r = run({"compress", a, b});
  EXPECT_EQ(r.status, 0) << r.err;
  auto out = lines(r.out);
  ASSERT_EQ(out.size(), 3u);
  for (int i = 0; i < 2; ++i) {
    auto columns = splitBy(out[static_cast<std::size_t>(i)], '\t');
    ASSERT_EQ(columns.size(), 7u) << out[static_cast<std::size_t>(i)];
    EXPECT_EQ(columns[0], i == 0 ? a : b);
    EXPECT_EQ(columns[1], "");
    EXPECT_EQ(columns[2], std::to_string(kLoose.size()));
    EXPECT_FALSE(columns[3].empty());
    EXPECT_EQ(columns[4], "压缩成功");
    EXPECT_EQ(columns[5], std::to_string(kTight.size()));
    EXPECT_EQ(columns[6], "18.18%");  // 33 -> 27 bytes
  }
  EXPECT_EQ(out[2], "总计 2 个文件\t成功 2 个\t压缩前 66 字节\t压缩后 54 字节\t压缩率 18.18%");
  EXPECT_EQ(readBytes(a), kTight);
}

TEST_F(CliTest, AnyFailedOrMissingPageMakesStatusOne) {
  const std::string good = page("good.htm", kLoose);
  const std::string bad = page("bad.htm", "<html>only");
  const std::string missing = site / "missing.htm";
  CliResult r = run({"compress", good, bad, missing});
  EXPECT_EQ(r.status, 1);
  auto out = lines(r.out);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(splitBy(out[1], '\t')[4], "压缩失败");
  EXPECT_EQ(out[2], missing + "\t\t\t\t文件不在\t\t");
  EXPECT_NE(r.err.find("压缩失败: " + bad + ": 页面中的标记少于两个"), std::string::npos) << "the reason goes to standard error";
  EXPECT_NE(r.err.find("文件不在: " + missing + ": 文件不存在"), std::string::npos) << r.err;
}

TEST_F(CliTest, DirectoriesAreQueuedInScanOrder) {
  page("z.htm", kTight);
  page("a.html", kTight);
  page("notes.txt", "plain text");
  page("sub/b.htm", kTight);
  page(".hidden/c.htm", kTight);
  CliResult r = run({"compress", site.path(), site / "a.html"});
  auto out = lines(r.out);
  ASSERT_EQ(out.size(), 4u) << r.out;
  EXPECT_EQ(splitBy(out[0], '\t')[0], site / "a.html");
  EXPECT_EQ(splitBy(out[1], '\t')[0], site / "z.htm");
  EXPECT_EQ(splitBy(out[2], '\t')[0], site / "sub/b.htm");
  EXPECT_EQ(r.status, 0);

  r = run({"compress", "--all-files", site.path()});
  out = lines(r.out);
  ASSERT_EQ(out.size(), 5u);
  EXPECT_EQ(splitBy(out[1], '\t')[0], site / "notes.txt");
  EXPECT_EQ(splitBy(out[1], '\t')[4], "不是网页");
  EXPECT_EQ(r.status, 0) << "a file that is no page fails nothing";
  EXPECT_EQ(readBytes(site / "notes.txt"), "plain text");
}

TEST_F(CliTest, IntoMirrorsPagesUnderTheDestination) {
  const std::string a = page("web/news/a.htm", kLoose);
  CliResult r = run({"compress", "--into", site / "web", site / "out", a});
  EXPECT_EQ(r.status, 0) << r.err;
  auto columns = splitBy(lines(r.out).at(0), '\t');
  EXPECT_EQ(columns[1], site / "out/news/a.htm");
  EXPECT_EQ(readBytes(site / "out/news/a.htm"), kTight);
  EXPECT_EQ(readBytes(a), kLoose);
}

// --into SRC DEST alone mirrors the whole of SRC as a site one can upload:
// every page compressed, every other file (refused pages included) the same
// bytes, mode and time; nothing from beyond a link out of the tree; only the
// pages saved in the store; hidden files a server reads, but no version
// control directory and no temporary file of this program. --pages-only
// leaves the other files out.
TEST_F(CliTest, IntoMakesADeployableCopyOfTheWholeSite) {
  test::TempDir outside;
  writeBytes(outside / "private.html", kLoose);
  struct File {
    const char* name;
    std::string bytes;
    bool compressed;
  };
  const File tree[] = {
      {"index.html", kLoose, true},
      {"news/a.htm", kLoose, true},
      {"css/site.css", "body {\n  color: red;\n}\n", false},
      {"js/app.js", "document.write('<html><body>x</body></html>');\n", false},
      {"img/logo.png", std::string("\x89PNG\r\n\x1A\n\0\0<html>", 16), false},
      {"README.md", "# Site\n\n<html>\n", false},
      {"fragment.htm", "<div>\n  x\n</div>\n", false},  // no html tag: refused, copied as it is
      {".htaccess", "Options -Indexes\n", false},
      {".well-known/security.txt", "Contact: mailto:web@example.org\n", false},
      {"media/clip.bin", std::string(3 << 20, '\x7f'), false},
  };

  for (const File& f : tree) {
    page("web/" + std::string(f.name), f.bytes);
    ASSERT_EQ(::chmod((site / "web/" + f.name).c_str(), f.compressed ? 0640 : 0604), 0);
  }
  page("web/.git/config", "[core]\n");
  page("web/css/.site.css.vantiro-123", "half");
  std::filesystem::create_directory_symlink(outside.path(), site / "web/elsewhere");
  CliResult r = run({"compress", "--all-files", "--into", site / "web", site / "out"});
  EXPECT_EQ(r.status, 1) << "the refused page fails";
  EXPECT_EQ(r.err.find("复制失败"), std::string::npos) << r.err;
  for (const File& f : tree) {
    const std::string from = site / "web/" + f.name, to = site / "out/" + f.name;
    EXPECT_EQ(readBytes(from), f.bytes) << f.name;
    EXPECT_EQ(readBytes(to), f.compressed ? kTight : f.bytes) << f.name;
    const auto source = files().stat(from), copy = files().stat(to);
    ASSERT_TRUE(source && copy) << f.name;
    EXPECT_EQ(copy->mode, source->mode) << f.name;
    const bool sameTime =
        copy->modified == source->modified && copy->modifiedNanoseconds == source->modifiedNanoseconds;
    EXPECT_TRUE(f.compressed || sameTime) << f.name;
  }
  EXPECT_FALSE(std::filesystem::exists(site / "out/elsewhere"));
  EXPECT_FALSE(std::filesystem::exists(site / "out/.git"));
  EXPECT_FALSE(std::filesystem::exists(site / "out/css/.site.css.vantiro-123"));
  EXPECT_EQ(ReadBackupIndex(false).size(), 2u) << "only the pages compressed are saved";

  r = run({"compress", "--pages-only", "--into", site / "web", site / "pages"});
  EXPECT_TRUE(std::filesystem::exists(site / "pages/news/a.htm"));
  EXPECT_FALSE(std::filesystem::exists(site / "pages/css")) << r.out;
}

TEST_F(CliTest, OptionsReachTheCompressor) {
  const std::string a = page("a.htm", "<Html><body>x</body></Html>");
  EXPECT_EQ(run({"compress", "--require-html", a}).status, 1);
  EXPECT_EQ(run({"compress", a}).status, 0);
  page("b.htm", kTight);
  EXPECT_EQ(run({"compress", "--readable", site / "b.htm"}).status, 0);
  EXPECT_EQ(readBytes(site / "b.htm"), "<html>\n<body>\nx\n</body>\n</html>\n");  // an LF page
  page("c.htm", "<html>x");
  EXPECT_EQ(run({"compress", "--into", site.path(), site / "out/", "--restore-on-error", site / "c.htm"}).status, 1);
  EXPECT_EQ(readBytes(site / "out/c.htm"), "<html>x") << "answered Yes: the page as read goes to its output";
}

TEST_F(CliTest, BackupsAppendByDefaultAndOverwriteOnRequest) {
  const std::string a = page("a.htm", kLoose);
  run({"compress", a});
  writeBytes(a, kLoose);
  run({"compress", a});
  CliResult list = run({"backups"});
  EXPECT_EQ(list.status, 0);
  auto out = lines(list.out);
  ASSERT_EQ(out.size(), 2u);
  auto columns = splitBy(out[0], '\t');
  ASSERT_EQ(columns.size(), 4u);
  EXPECT_EQ(columns[0], "1");
  EXPECT_EQ(columns[1], a);
  EXPECT_EQ(columns[2], std::to_string(kLoose.size()));

  writeBytes(a, kLoose);
  run({"compress", "--overwrite-backup", a});
  EXPECT_EQ(lines(run({"backups"}).out).size(), 1u);
}

TEST_F(CliTest, RestoreByNumberOrAll) {
  const std::string a = page("a.htm", "<html>\r\n<body>first</body></html>");
  const std::string b = page("b.htm", "<html>\r\n<body>second</body></html>");
  ASSERT_EQ(run({"compress", a, b}).status, 0);
  CliResult r = run({"restore", "--newest-first", "1"});  // the newest: b
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readBytes(b), "<html>\r\n<body>second</body></html>");
  EXPECT_EQ(readBytes(a), "<html><body>first</body></html>");
  const std::string size = std::to_string(readBytes(b).size());
  const auto row = splitBy(r.out, '\t');
  ASSERT_EQ(row.size(), 5u) << r.out;
  EXPECT_EQ(row[0], "1");
  EXPECT_EQ(row[1], b);
  EXPECT_EQ(row[2], size);
  EXPECT_EQ(row[4], "已还原\n");

  r = run({"restore", "--all"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readBytes(a), "<html>\r\n<body>first</body></html>");
  EXPECT_EQ(lines(r.out).size(), 2u);

  std::filesystem::remove(home / "bak.dat");
  r = run({"restore", "2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("\t未还原\n")) << r.out;
  EXPECT_EQ(r.err, "还原  " + b + "失败！\n");
}

// After several runs every page comes back as it was before the first, in
// either order of the listing.
TEST_F(CliTest, RestoreAllGivesBackThePagesBeforeTheirFirstChange) {
  const std::string original = "<html>\r\n<body>  first </body>\r\n</html>";
  for (bool newestFirst : {false, true}) {
    SCOPED_TRACE(newestFirst);
    std::filesystem::remove(home / "bak.kbq");
    std::filesystem::remove(home / "bak.dat");
    const std::string a = page("a.htm", original);
    const std::string b = page("b.htm", original + " ");
    ASSERT_EQ(run({"compress", a, b}).status, 0);
    ASSERT_EQ(run({"compress", a, b}).status, 0);
    ASSERT_EQ(run({"compress", "--readable", a, b}).status, 0);
    ASSERT_EQ(lines(run({"backups"}).out).size(), 4u);
    std::vector<std::string> args = {"restore", "--all", "--json"};
    if (newestFirst) args.push_back("--newest-first");
    const CliResult r = run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readBytes(a), original);
    EXPECT_EQ(readBytes(b), original + " ");
    EXPECT_NE(r.out.find(R"("entries":2,"restored":2)"), std::string::npos) << r.out;
  }
}

// The store can be emptied, or rid of the entries before a day, and the
// entries kept still restore.
TEST_F(CliTest, BackupsClearOrDropTheEntriesBeforeADay) {
  const std::string a = page("a.htm", kLoose);
  const std::string b = page("b.htm", kLoose + " ");
  ASSERT_EQ(run({"compress", a}).status, 0);
  ASSERT_EQ(run({"compress", b}).status, 0);
  // The first entry was made long ago: its time line, rewritten in place.
  std::string index = readBytes(home / "bak.kbq");
  const std::size_t time = index.find("\r\n", index.find("\r\n", index.find("\r\n") + 2) + 2) + 2;
  index.replace(time, 19, "2001-02-03 04:05:06");
  writeBytes(home / "bak.kbq", index);
  const std::uint64_t dataSize = std::filesystem::file_size(home / "bak.dat");

  EXPECT_EQ(run({"backups", "--drop-before", "3 March"}).status, 2);
  const CliResult dropped = run({"backups", "--drop-before", "2020-01-01"});
  EXPECT_EQ(dropped.status, 0) << dropped.err;
  EXPECT_EQ(dropped.out, "已删除 1 条备份，保留 1 条\n");
  EXPECT_EQ(std::filesystem::file_size(home / "bak.dat"), dataSize) << "kept entries stay where they are";
  EXPECT_EQ(readBytes(home / "bak.dat").substr(0, 99 + kLoose.size()), std::string(99 + kLoose.size(), '\0'));
  ASSERT_EQ(lines(run({"backups"}).out).size(), 1u);
  EXPECT_EQ(run({"restore", "--all"}).status, 0);
  EXPECT_EQ(readBytes(b), kLoose + " ");

  EXPECT_EQ(run({"backups", "--clear"}).out, "已删除全部 1 条备份\n");
  EXPECT_FALSE(std::filesystem::exists(home / "bak.kbq"));
  EXPECT_FALSE(std::filesystem::exists(home / "bak.dat"));
}

TEST_F(CliTest, BadUsageIsStatusTwo) {
  const std::string a = page("a.htm", kTight);
  const std::vector<std::vector<std::string>> usages = {
      {},
      {"compress"},
      {"compress", "--into", site.path()},  // --into takes two directories
      {"compress", "--bogus", a},
      {"frobnicate"},
      {"restore"},
      {"restore", "--all", "1"},
      {"restore", "0"},
      {"restore", "7"},
      {"backups", "--home", home.path()},  // the home option goes before the command
  };
  for (const auto& args : usages) {
    CliResult r = run(args);
    std::string shown;
    for (const auto& a2 : args) shown += a2 + " ";
    EXPECT_EQ(r.status, 2) << shown << "\n" << r.out << r.err;
    EXPECT_FALSE(r.err.empty()) << shown;
  }
  EXPECT_EQ(readBytes(a), kTight);
  EXPECT_EQ(run({"--help"}).status, 0);
}

TEST_F(CliTest, EmptyDirectoryRunsNothingAndKeepsTheStore) {
  const std::string a = page("a.htm", kLoose);
  run({"compress", a});
  std::filesystem::create_directories(site / "empty");
  CliResult r = run({"compress", "--overwrite-backup", site / "empty"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(lines(r.out).size(), 1u);
  EXPECT_EQ(lines(run({"backups"}).out).size(), 1u) << "no page, no clearing";
}

// Takes `room` bytes, then fails every write, as a pipe whose reader is gone.
class ClosingOutput final : public std::streambuf {
 public:
  explicit ClosingOutput(std::size_t room) : room_(room) {}
  std::string taken;

 protected:
  int_type overflow(int_type c) override {
    if (c == traits_type::eof() || taken.size() >= room_) return traits_type::eof();
    taken += traits_type::to_char_type(c);
    return c;
  }

 private:
  std::size_t room_;
};

// A run whose output is closed stops after the rows begun, says so, leaves
// no temporary file, and the pages it did compress restore.
TEST_F(CliTest, AClosedOutputStopsTheRunCleanly) {
  for (int i = 0; i < 40; ++i) page("p" + std::to_string(100 + i) + ".htm", kLoose);
  ClosingOutput closing(10);
  std::ostream out(&closing);
  std::istringstream in;
  std::ostringstream err;
  const std::string homeDir = home.path();
  const std::string siteDir = site.path();
  const char* argv[] = {"vantiro-cli", "--home", homeDir.c_str(), "compress", siteDir.c_str()};
  EXPECT_EQ(cli::runVantiroCli(5, argv, in, out, err, {}, cli::Language::Chinese), 1);
  EXPECT_NE(err.str().find("输出已关闭"), std::string::npos) << err.str();
  std::size_t compressed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(site.path())) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path() << " is left behind";
    compressed += readBytes(entry.path()) == kTight ? 1 : 0;
  }
  EXPECT_GE(compressed, 1u);
  EXPECT_LT(compressed, 40u) << "the run went on after its output was closed";
  EXPECT_EQ(run({"restore", "--all"}).status, 0);
  for (const auto& entry : std::filesystem::directory_iterator(site.path()))
    EXPECT_EQ(readBytes(entry.path()), kLoose) << entry.path();
}

TEST_F(CliTest, InfoPrintsARowOrAnObjectPerPage) {
  // GBK: <title>中文</title>, charset gb2312
  const std::string path = page("info.htm",
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
      "<title>\xd6\xd0\xce\xc4</title></head></html>");
  const std::string plain = page("notes.txt", "just words");
  const std::string size = std::to_string(readBytes(path).size());
  CliResult r = run({"info", path, plain});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, path + "\t" + size + "\t超文本文件\t中文\t中国大陆GB码\n" + plain + "\t10\t未知类型\t未知\t未知\n");

  r = run({"info", "--json", path, site / "missing.htm"});
  EXPECT_EQ(r.status, 1);
  auto rows = lines(r.out);
  ASSERT_EQ(rows.size(), 3u) << r.out;
  EXPECT_EQ(rows[0], R"({"type":"page","path":")" + path + R"(","size":)" + size +
                         R"(,"html":true,"type_text":"超文本文件","title":"中文","language":"中国大陆GB码","reason":null})");
  EXPECT_TRUE(rows[1].starts_with(R"({"type":"page","path":")" + site / "missing.htm" + R"(","size":null,)")) << rows[1];
  EXPECT_EQ(rows[2], R"({"type":"summary","pages":2,"failed":1})");
  EXPECT_EQ(run({"info"}).status, 2);
}

TEST(CliLanguage, ChineseUnderAChineseLocaleEnglishOtherwise) {
  struct Case {
    const char *lcAll, *lcMessages, *lang;
    cli::Language language;
  };
  const Case cases[] = {
      {nullptr, nullptr, "zh_CN.UTF-8", cli::Language::Chinese},
      {nullptr, nullptr, "en_US.UTF-8", cli::Language::English},
      {"", "zh_TW.UTF-8", "en_US.UTF-8", cli::Language::Chinese},  // an empty LC_ALL counts as unset
      {"C", "zh_CN.UTF-8", "zh_CN.UTF-8", cli::Language::English},
      {nullptr, nullptr, nullptr, cli::Language::English},
  };
  for (const Case& c : cases)
    EXPECT_EQ(cli::languageOfLocale(c.lcAll, c.lcMessages, c.lang), c.language) << (c.lang ? c.lang : "unset");
}

// One language per run: help, usage errors and the words of the rows.
TEST_F(CliTest, EveryTextOfARunIsInItsLanguage) {
  const std::string a = page("a.htm", kLoose);
  const auto english = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"--home", home.path()});
    return test::runCli(std::move(args), {}, cli::Language::English);
  };
  CliResult r = english({"compress", a, site / "gone.htm"});
  EXPECT_EQ(splitBy(lines(r.out)[0], '\t')[4], "compressed");
  EXPECT_EQ(splitBy(lines(r.out)[1], '\t')[4], "missing");
  EXPECT_TRUE(lines(r.out)[2].starts_with("pages 2\tsucceeded 1\tbefore ")) << r.out;
  EXPECT_TRUE(r.err.starts_with("missing: ")) << r.err;
  const CliResult restored = english({"restore", "1"});
  EXPECT_TRUE(restored.out.ends_with("\trestored\n")) << restored.out << restored.err;
  EXPECT_NE(english({"frobnicate"}).err.find("Unknown command"), std::string::npos);
  EXPECT_NE(english({"--help"}).out.find("Print this help message"), std::string::npos);

  EXPECT_NE(run({"frobnicate"}).err.find("没有这个命令"), std::string::npos);
  const CliResult help = run({"compress", "--help"});
  EXPECT_NE(help.out.find("用法"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("就地压缩网页"), std::string::npos);
  EXPECT_EQ(help.out.find("Print this help"), std::string::npos) << help.out;
  const CliResult wrong = run({"compress", "--no-such-option", a});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_TRUE(wrong.err.starts_with("用法有误")) << wrong.err;
}

}  // namespace
}  // namespace vantiro
