#include "compress/compression_run.h"

#include "backup/backup_store.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/support/program_directory_test.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <map>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;

TEST(SavingText, PercentRoundedDownToTwoDecimals) {
  struct Case {
    std::int64_t before, after;
    const char32_t* text;
  };
  for (Case c : {Case{1000, 766, U"23.4%"}, Case{3, 2, U"33.33%"}, Case{0, 0, U"0%"}, Case{0, 10, U"0%"},
                 Case{1000, 1000, U"0%"}, Case{100, 125, U"-25%"}, Case{3, 4, U"-33.34%"}, Case{100, 0, U"100%"},
                 Case{10000, 9999, U"0.01%"}, Case{10000, 10001, U"-0.01%"}, Case{1000, 995, U"0.5%"},
                 Case{300000, 1, U"99.99%"},  // a saving far above what 32-bit arithmetic allowed
                 Case{5'000'000'000'000, 1'000'000'000'000, U"80%"},
                 Case{INT64_MAX, 0, U"100%"}}) {
    EXPECT_EQ(savingText(c.before, c.after), c.text) << c.before << " -> " << c.after;
  }
}

TEST(DestinationColumn, PlainTextMapping) {
  CompressionOptions on;
  on.mirror = true;
  on.sourceDirectory = U"/srv/Web";
  on.destinationDirectory = U"/out";
  struct Case {
    const char32_t* path;
    const char32_t* column;
  };
  for (Case c : {Case{U"/srv/web/news/a.htm", U"/out/news/a.htm"}, Case{U"/SRV/WEB/a.htm", U"/out/a.htm"},
                 Case{U"/other/b.htm", U"/other/b.htm"}, Case{U"/srv", U"/srv"}}) {
    EXPECT_EQ(destinationColumn(c.path, on), c.column);
  }
  CompressionOptions slash = on;
  slash.sourceDirectory = U"/srv/web/";
  EXPECT_EQ(destinationColumn(U"/srv/web/a.htm", slash), U"/out/a.htm") << "paths are mapped by components";
  CompressionOptions noText2 = on;
  noText2.destinationDirectory.clear();
  EXPECT_EQ(destinationColumn(U"/srv/web/a.htm", noText2), U"");
  CompressionOptions off = on;
  off.mirror = false;
  EXPECT_EQ(destinationColumn(U"/srv/web/a.htm", off), U"");
}

TEST(SizeColumn, ReadBackAsNumber) {
  EXPECT_EQ(sizeColumnValue(U"1000"), 1000);
  EXPECT_EQ(sizeColumnValue(U" 12 "), 12);
  EXPECT_EQ(sizeColumnValue(U""), 0);
  EXPECT_EQ(sizeColumnValue(U"   "), 0);
  EXPECT_EQ(sizeColumnValue(U"12a"), 0);
}

// Records what a run reports and checks every bar value against its range.
struct RecordingRun : RunObserver {
  CompressionOptions opts;
  std::vector<Text> statuses;
  std::vector<Text> notices;
  std::map<RunBar, std::pair<int, int>> bars;  // maximum, value
  std::vector<std::pair<RunBar, int>> barValues;
  std::vector<std::size_t> finished;
  NoProgress progress;
  FixedAnswer answer{false};

  std::size_t jobCount = processorCores();

  CompressionOptions options() override { return opts; }
  std::size_t jobs() override { return jobCount; }
  void notice(const Text& message) override { notices.push_back(message); }
  void setStatus(const Text& status) override { statuses.push_back(status); }
  void setBar(RunBar bar, int maximum, int value) override {
    EXPECT_GE(maximum, 1);
    EXPECT_GE(value, 0);
    EXPECT_LE(value, maximum);
    bars[bar] = {maximum, value};
    barValues.emplace_back(bar, value);
  }
  void rowFinished(std::size_t index, const RunRow&) override { finished.push_back(index); }
  ProgressIndicator& pageProgress() override { return progress; }
  RestoreQuestion& restoreQuestion() override { return answer; }
};

class CompressionRunTest : public test::ProgramDirectoryTest {
 protected:
  Text page(const std::string& name, const std::string& bytes) {
    writeBytes(site / name, bytes);
    return textPath(site / name);
  }

  test::TempDir site;
};

TEST_F(CompressionRunTest, RowsGetResultSizeAndSaving) {
  const std::string loose = "<html>\r\n  <body>\r\n    x\r\n  </body>\r\n</html>\r\n";
  std::vector<RunRow> rows = {
      makeRunRow(page("a.htm", loose), {}),
      makeRunRow(textPath(site / "gone.htm"), {}),
      makeRunRow(page("bad.htm", "<html>only"), {}),
      makeRunRow(page("tight.htm", "<html><body>x</body></html>"), {}),
  };
  EXPECT_EQ(rows[0].size, toText(static_cast<long long>(loose.size())));
  EXPECT_FALSE(rows[0].date.empty());
  EXPECT_TRUE(rows[0].destination.empty());
  EXPECT_TRUE(rows[1].size.empty()) << "a vanished file leaves size and date empty";

  RecordingRun run;
  RunTotals totals = compressQueuedRows(rows, run);

  const std::string written = readBytes(site / "a.htm");
  EXPECT_EQ(rows[0].result, U"压缩成功");
  EXPECT_EQ(rows[0].newSize, toText(static_cast<long long>(written.size())));
  EXPECT_EQ(rows[0].ratio, savingText(static_cast<std::int64_t>(loose.size()), static_cast<std::int64_t>(written.size())));
  EXPECT_EQ(rows[1].result, U"文件不在");
  EXPECT_TRUE(rows[1].newSize.empty());
  EXPECT_TRUE(rows[1].ratio.empty());
  EXPECT_EQ(rows[2].result, U"压缩失败");
  EXPECT_TRUE(rows[2].newSize.empty());
  EXPECT_TRUE(rows[2].outcome.starts_with(rows[2].source + U"|"));
  EXPECT_EQ(rows[3].result, U"压缩成功");
  EXPECT_EQ(rows[3].ratio, U"0%");

  EXPECT_EQ(totals.pages, 4u);
  EXPECT_EQ(totals.succeeded, 2u);
  EXPECT_EQ(totals.failed, 1u);
  EXPECT_EQ(totals.missing, 1u);
  EXPECT_EQ(totals.bytesBefore, static_cast<std::int64_t>(loose.size() + 27));
  EXPECT_EQ(totals.bytesAfter, static_cast<std::int64_t>(written.size() + 27));

  EXPECT_EQ(run.notices, std::vector<Text>{U"如果出现问题，请大家在压缩之后按还原压缩功能"});
  EXPECT_EQ(run.statuses.front(), U"正在初始化中……");
  EXPECT_EQ(run.statuses[1], U"正在压缩 " + rows[0].source);
  EXPECT_EQ(run.statuses.back(), U"压缩结束");
  EXPECT_EQ(run.finished, (std::vector<std::size_t>{0, 1, 2, 3}));
  // The overall bar skips the missing row: it is set for rows 1, 3 and 4.
  std::vector<int> overall;
  for (auto [bar, value] : run.barValues)
    if (bar == RunBar::Overall) overall.push_back(value);
  EXPECT_EQ(overall, (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(run.bars[RunBar::Overall].first, 4);
  EXPECT_EQ(run.bars[RunBar::TotalSaving].first, static_cast<int>(1 + loose.size() + 27));
  EXPECT_EQ(run.bars[RunBar::TotalSaving].second, static_cast<int>(loose.size() - written.size()));
}

TEST_F(CompressionRunTest, NoPageEndsTheRun) {
  // A page that grows (readable output), a size column that was unknown at
  // the start, and a saving far beyond 214748 bytes: each is an ordinary row.
  std::string big = "<html><body>";
  for (int i = 0; i < 40000; ++i) big += "<b>x</b>       \r\n       ";
  big += "</body></html>";
  std::vector<RunRow> rows = {
      makeRunRow(page("grows.htm", "<html><body>x</body></html>"), {}),
      makeRunRow(page("unknown.htm", "<html> <body>x</body></html>"), {}),
      makeRunRow(page("big.htm", big), {}),
      makeRunRow(page("last.htm", "<html><body>x</body></html>"), {}),
  };
  rows[1].size.clear();
  RecordingRun run;
  run.opts.breakLinesAfterTags = true;  // line breaks after every tag: the small pages grow
  compressQueuedRows(rows, run);
  EXPECT_EQ(rows[0].result, U"压缩成功");
  EXPECT_TRUE(rows[0].ratio.starts_with(U"-")) << toUtf8(rows[0].ratio);
  EXPECT_EQ(rows[1].result, U"压缩成功");
  EXPECT_EQ(rows[1].ratio, U"0%");
  EXPECT_EQ(rows[2].result, U"压缩成功");
  EXPECT_GT(sizeColumnValue(rows[2].size) - sizeColumnValue(rows[2].newSize), 214748);
  EXPECT_EQ(rows[3].result, U"压缩成功");
  EXPECT_EQ(run.statuses.back(), U"压缩结束");
}

TEST_F(CompressionRunTest, OptionsAreReadForEveryPage) {
  struct Switching : RecordingRun {
    int calls = 0;
    CompressionOptions options() override {
      CompressionOptions o;
      o.breakLinesAfterTags = ++calls == 2;
      return o;
    }
  } run;
  std::vector<RunRow> rows = {makeRunRow(page("a.htm", "<html><body>x</body></html>"), {}),
                              makeRunRow(page("b.htm", "<html><body>x</body></html>"), {})};
  compressQueuedRows(rows, run);
  EXPECT_EQ(run.calls, 2);
  EXPECT_EQ(readBytes(site / "a.htm"), "<html><body>x</body></html>");
  EXPECT_EQ(readBytes(site / "b.htm"), "<html>\n<body>\nx\n</body>\n</html>\n");  // an LF page
}

// The run reads and compresses the next page while it writes the current one.
// Whatever a page's output does to a page queued after it must still be seen:
// mirrors that are queued themselves, right after the page that writes them.
TEST_F(CompressionRunTest, ReadingAheadSeesWhatEarlierRowsWrote) {
  const std::string loose = "<html>\r\n  <body>\r\n    <p>a  b</p>\r\n  </body>\r\n</html>\r\n";
  const std::string tight = "<html><body><p>a b</body></html>";
  std::filesystem::create_directories(site / "web");
  std::filesystem::create_directories(site / "out/web");
  RecordingRun run;
  run.opts.mirror = true;
  run.opts.sourceDirectory = textPath(site.path());
  run.opts.destinationDirectory = textPath(site / "out");
  std::vector<RunRow> rows;
  for (int k = 0; k < 6; ++k) rows.push_back(makeRunRow(page("p" + std::to_string(k) + ".htm", loose), {}));
  rows.push_back(makeRunRow(page("web/m.htm", loose), run.opts));  // written to out/web/m.htm ...
  rows.push_back(makeRunRow(page("out/web/m.htm", "<html><body>old</body></html>"), {}));  // ... read next
  rows.push_back(makeRunRow(page("p6.htm", loose), {}));
  rows.push_back(makeRunRow(page("out/p6.htm", "<html><body>old</body></html>"), {}));  // the row before writes it
  compressQueuedRows(rows, run);

  ASSERT_EQ(run.finished.size(), rows.size());
  for (std::size_t k = 0; k < run.finished.size(); ++k) EXPECT_EQ(run.finished[k], k);
  for (int k = 0; k <= 6; ++k) EXPECT_EQ(readBytes(site / ("out/p" + std::to_string(k) + ".htm")), tight) << k;
  EXPECT_EQ(readBytes(site / "out/out/web/m.htm"), tight);
  EXPECT_EQ(readBytes(site / "out/out/p6.htm"), tight);
  EXPECT_EQ(rows[7].size, toText(29));
  EXPECT_EQ(rows[7].newSize, toText(static_cast<long long>(tight.size())));
  EXPECT_EQ(rows[9].result, U"压缩成功");

  // Every page is mirrored, so every row has its entry: a mirror file that was
  // there already with its own bytes, the others with the page as read.
  const std::vector<BackupEntry> entries = ReadBackupIndex(false);
  ASSERT_EQ(entries.size(), 10u);
  const std::string data = readBytes(home / "bak.dat");
  const auto content = [&](std::size_t k) {
    return data.substr(static_cast<std::size_t>(sizeColumnValue(entries[k].start)) - 1,
                       static_cast<std::size_t>(sizeColumnValue(entries[k].length)));
  };
  EXPECT_EQ(entries[6].path, rows[6].outcome);
  EXPECT_EQ(content(6), "<html><body>old</body></html>") << "what out/web/m.htm held";
  EXPECT_EQ(content(7), tight) << "the mirror was read after the row before wrote it";
  EXPECT_EQ(content(8), "<html><body>old</body></html>") << "what out/p6.htm held";
  EXPECT_EQ(content(9), tight) << "the mirror of p6 was read as the row before wrote it";
}

// A mirror that does not exist until the row before writes it is found when
// its own row comes, however many rows wait to be put in place.
TEST_F(CompressionRunTest, RowFindsTheFileAnEarlierRowCreated) {
  const std::string loose = "<html>\r\n  <body>\r\n    <p>a  b</p>\r\n  </body>\r\n</html>\r\n";
  const std::string tight = "<html><body><p>a b</body></html>";
  std::filesystem::create_directories(site / "web");
  RecordingRun run;
  run.opts.mirror = true;
  run.opts.sourceDirectory = textPath(site.path());
  run.opts.destinationDirectory = textPath(site / "out");
  std::vector<RunRow> rows;  // web/pK is written to out/web/pK, which is queued after it
  for (int k = 0; k < 3; ++k) rows.push_back(makeRunRow(page("web/p" + std::to_string(k) + ".htm", loose), {}));
  for (int k = 0; k < 3; ++k) rows.push_back(makeRunRow(textPath(site / ("out/web/p" + std::to_string(k) + ".htm")), {}));
  compressQueuedRows(rows, run);

  for (const RunRow& row : rows) EXPECT_EQ(row.result, U"压缩成功") << toUtf8(row.outcome);
  EXPECT_EQ(readBytes(site / "out/out/web/p2.htm"), tight);
}

// Many pages of very different sizes, so that later pages are often ready
// before earlier ones; pages queued twice a few rows apart. Rows must still be
// written in order, each with the options read for it (the n-th options()
// call belongs to row n), never more than kPagesReadAhead rows be read
// ahead of the one written, and every file and entry be what compressing one
// page after another gives, however many jobs the run has.
class ManyPagesRun : public CompressionRunTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(ManyPagesRun, WrittenInOrderWithBoundedReadAhead) {
  const std::size_t jobs = GetParam();
  struct Counting : RecordingRun {
    std::size_t calls = 0;
    std::vector<std::size_t> callsAtStart;  // options() calls when each row's compression starts
    CompressionOptions options() override {
      CompressionOptions o;
      o.breakLinesAfterTags = calls++ % 3 == 1;
      return o;
    }
    void setStatus(const Text& status) override {
      if (status.starts_with(U"正在压缩 ")) callsAtStart.push_back(calls);
      RecordingRun::setStatus(status);
    }
  } run;
  run.jobCount = jobs;

  const auto pageBytes = [](int n) {
    std::string bytes = "<html>\r\n  <body>\r\n    <p>page " + std::to_string(n) + "</p>\r\n";
    const int repeats = n % 7 == 3 ? 6000 : n % 5;  // now and then a page far larger than its neighbours
    for (int r = 0; r < repeats; ++r) bytes += "    <b>row  " + std::to_string(r) + "</b>   <br>\r\n";
    return bytes + "  </body>\r\n</html>\r\n";
  };
  std::vector<RunRow> rows;
  std::map<Text, std::string> content;  // each file as the rows so far leave it
  std::vector<std::string> before, expected;
  test::TempDir scratch;
  for (int n = 0; n < 48; ++n) {
    Text path;
    if (n % 11 == 10) {
      path = rows[rows.size() - 1 - n % 4].source;  // the page of a row 1 to 4 rows before, queued again
    } else {
      path = page("p" + std::to_string(n) + ".htm", pageBytes(n));
      content[path] = pageBytes(n);
    }
    rows.push_back(makeRunRow(path, {}));
    // What compressing this row should give, worked out one page at a time.
    CompressionOptions o;
    o.breakLinesAfterTags = n % 3 == 1;
    writeBytes(scratch / "page.htm", content[path]);
    PreparedPage reference = preparePage(textPath(scratch / "page.htm"), o, nullptr);
    ASSERT_FALSE(reference.error) << n;
    before.push_back(content[path]);
    expected.push_back(reference.result);
    content[path] = reference.result;
  }

  RunTotals totals = compressQueuedRows(rows, run);

  EXPECT_EQ(totals.succeeded, rows.size());
  ASSERT_EQ(run.finished.size(), rows.size());
  std::size_t furthest = 0;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    EXPECT_EQ(run.finished[k], k);
    EXPECT_LE(run.callsAtStart[k], k + kPagesReadAhead) << k;
    furthest = std::max(furthest, run.callsAtStart[k] - k);
    EXPECT_EQ(rows[k].newSize, toText(static_cast<long long>(expected[k].size()))) << k;
  }
  // Pages queued again a few rows on hold the window back now and then.
  if (jobs > 1) {
    EXPECT_GT(furthest, kPagesReadAheadAlways) << "later pages are read while one is written";
  } else {
    EXPECT_EQ(furthest, 0u) << "one job reads a page only when its row comes";
  }
  EXPECT_EQ(run.calls, rows.size());
  for (const auto& [path, bytes] : content) EXPECT_EQ(readBytes(toUtf8(path)), bytes) << toUtf8(path);

  const std::vector<BackupEntry> entries = ReadBackupIndex(false);
  ASSERT_EQ(entries.size(), rows.size());
  const std::string data = readBytes(home / "bak.dat");
  for (std::size_t k = 0; k < rows.size(); ++k) {
    EXPECT_EQ(entries[k].path, rows[k].source) << k;
    EXPECT_EQ(data.substr(static_cast<std::size_t>(sizeColumnValue(entries[k].start)) - 1,
                          static_cast<std::size_t>(sizeColumnValue(entries[k].length))),
              before[k])
        << "row " << k << " backs up the page as the rows before it left it";
  }
}

INSTANTIATE_TEST_SUITE_P(Jobs, ManyPagesRun, ::testing::Values(std::size_t{1}, std::size_t{2}, std::size_t{4}));

}  // namespace
}  // namespace vantiro
