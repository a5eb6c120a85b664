// Faults injected into a whole compression run through the file service: a
// disk that fills up in the middle of a write, directories that cannot be
// written, pages that vanish or cannot be read between queueing and
// compressing. Whatever fails, the page is whole (as before, or completely
// rewritten), its row says it failed and why, the backup store still reads
// and restores every page, and the next page of the run is compressed.

#include "tests/faults/fault_support.h"

#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/support/faulty_file_service.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;

// A small GBK page with room to compress.
const std::string kFirstPage = encodeAnsi(
    U"<html>\r\n<head><title>第一页</title></head>\r\n<body>\r\n  <p class=\"x\">一段  text</p>\r\n"
    U"  <table><tr><td>a</td></tr></table>\r\n</body>\r\n</html>\r\n");
const std::string kSecondPage = "<HTML>\r\n<body>\r\n   <b>second</b>    page\r\n</body>\r\n</HTML>\r\n";

std::optional<std::string> readIfPresent(const std::string& path) {
  if (!std::filesystem::exists(path)) return std::nullopt;
  return readBytes(path);
}

// What a clean run writes for the page at `path`, worked out once per page
// content (the switches of these tests do not change).
std::optional<std::string> cleanOnce(const std::string& path, const CompressionOptions& options) {
  static std::map<std::string, std::optional<std::string>> outputs;
  const std::string bytes = readBytes(path);
  auto found = outputs.find(bytes);
  if (found == outputs.end()) found = outputs.emplace(bytes, test::cleanOutput(path, options)).first;
  return found->second;
}

// One run over two pages under <site>/web, the first under a fault that
// `arm` sets up after the pages were queued; the fault is cleared as soon as
// the first row is finished. With `jobs` above 1 the second page is read and
// compressed on another thread while the first is under the fault.
class RunUnderFault {
 public:
  RunUnderFault(bool into, bool check3Yes, std::size_t jobs = 1) {
    setProgramDirectory(home.path());
    setPauseScale(0);
    std::filesystem::create_directories(site / "web");
    first = site / "web/a.htm";
    second = site / "web/b.htm";
    writeBytes(first, kFirstPage);
    writeBytes(second, kSecondPage);
    run.opts.compressScripts = true;
    if (into) {
      run.opts.mirror = true;
      run.opts.sourceDirectory = textPath(site / "web");
      run.opts.destinationDirectory = textPath(site / "out");
    }
    run.opts.offerRestoreAfterError = check3Yes;
    run.answer = FixedAnswer(check3Yes);
    // The first row is finished before the second begins, so that its fault
    // never reaches the second.
    run.syncEvery = 1;
    run.jobCount = jobs;
    firstClean = cleanOnce(first, run.opts);
    secondClean = cleanOnce(second, run.opts);
    firstOutput = into ? site / "out/a.htm" : first;
    secondOutput = into ? site / "out/b.htm" : second;
  }
  ~RunUnderFault() { setProgramDirectory(""); }

  void start(const std::function<void(RunUnderFault&)>& arm) {
    for (const std::string& page : {first, second}) rows.push_back(makeRunRow(textPath(page), run.opts));
    arm(*this);
    run.afterRow = [this](std::size_t row) {
      if (row == 0) faulty.clearFaults();
    };
    ScopedFileService scoped(faulty);
    compressQueuedRows(rows, run);
  }

  test::TempDir home;
  test::TempDir site;
  std::string first, second, firstOutput, secondOutput;
  std::optional<std::string> firstClean, secondClean;
  test::FaultyFileService faulty;
  test::RecordingRun run;
  std::vector<RunRow> rows;
};

struct FaultCase {
  const char* name;
  std::function<void(RunUnderFault&)> arm;
  TextView firstResult = kResultFailed;
  bool into = false;
  bool firstGone = false;  // the fault deletes the first page for good
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

// Fills the disk up `bytes` into the write that `operation` makes on a file
// whose path ends in `suffix`.
std::function<void(RunUnderFault&)> fullDiskDuring(std::string operation, std::string suffix, long long bytes) {
  return [=](RunUnderFault& f) {
    f.faulty.beforeOperation = [&f, operation, suffix, bytes](const std::string& op, const std::string& path) {
      if (op == operation && path.ends_with(suffix)) f.faulty.bytesUntilFull = bytes;
    };
  };
}

// As above, and the cut-back of the partial append fails as well.
std::function<void(RunUnderFault&)> fullDiskAndNoCutBack(std::string suffix, long long bytes) {
  return [=](RunUnderFault& f) {
    f.faulty.beforeOperation = [&f, suffix, bytes](const std::string& op, const std::string& path) {
      if (op == "appendFile" && path.ends_with(suffix)) f.faulty.bytesUntilFull = bytes;
      if (op == "truncateFile") throw FileError("读写错误 " + path);
    };
  };
}

const FaultCase kFaultCases[] = {
    {"disk full writing the page", fullDiskDuring("writeFileAtomic", "/a.htm", 10)},
    {"disk full at once writing the page", fullDiskDuring("writeFileAtomic", "/a.htm", 0)},
    {"disk full writing the mirror page", fullDiskDuring("writeFileAtomic", "/a.htm", 10), kResultFailed, true},
    {"disk full in the bak.dat filler", fullDiskDuring("appendFile", "bak.dat", 50)},
    {"disk full in the bak.dat content", fullDiskDuring("appendFile", "bak.dat", 120)},
    {"disk full in the bak.kbq path line", fullDiskDuring("appendFile", "bak.kbq", 5)},
    {"disk full in the bak.kbq time line", fullDiskDuring("appendFile", "bak.kbq", 90)},
    {"disk full in bak.dat, cut-back fails", fullDiskAndNoCutBack("bak.dat", 120)},
    {"disk full in bak.kbq, cut-back fails", fullDiskAndNoCutBack("bak.kbq", 5)},
    {"no room for bak.kbq, cut-back fails", fullDiskAndNoCutBack("bak.kbq", 0)},
    {"disk full in the bak.kbq length line, cut-back fails",
     [](RunUnderFault& f) {
       // The path line, the start line "100" and the first digit of the length.
       const auto room = static_cast<long long>(f.first.size() + 2 + 3 + 2 + 1);
       fullDiskAndNoCutBack("bak.kbq", room)(f);
     }},
    {"page directory cannot be written",
     [](RunUnderFault& f) { f.faulty.unwritableDirectories.insert(f.site / "web/"); }},
    {"mirror directory cannot be created",
     [](RunUnderFault& f) { f.faulty.unwritableDirectories.insert(f.site / "out/"); }, kResultFailed, true},
    {"existing mirror directory cannot be written",
     [](RunUnderFault& f) {
       std::filesystem::create_directories(f.site / "out");
       f.faulty.unwritableDirectories.insert(f.site / "out/");
     },
     kResultFailed, true},
    {"program directory cannot be written",
     [](RunUnderFault& f) { f.faulty.unwritableDirectories.insert(f.home.path()); }},
    {"program directory cannot be written, into another directory",
     [](RunUnderFault& f) { f.faulty.unwritableDirectories.insert(f.home.path()); }, kResultFailed, true},
    {"page deleted after queueing", [](RunUnderFault& f) { std::filesystem::remove(f.first); }, kResultMissing, false,
     true},
    {"page vanished from the directory", [](RunUnderFault& f) { f.faulty.vanished.insert(f.first); }, kResultMissing},
    {"page deleted between the check and the read",
     [](RunUnderFault& f) {
       f.faulty.beforeOperation = [&f](const std::string& op, const std::string& path) {
         if (op == "readFile" && path == f.first) std::filesystem::remove(path);
       };
     },
     kResultFailed, false, true},
    {"page deleted between the check and the read, into another directory",
     [](RunUnderFault& f) {
       f.faulty.beforeOperation = [&f](const std::string& op, const std::string& path) {
         if (op == "readFile" && path == f.first) std::filesystem::remove(path);
       };
     },
     kResultFailed, true, true},
    {"page made unreadable after queueing", [](RunUnderFault& f) { f.faulty.unreadable.insert(f.first); }},
    {"page made unreadable, into another directory", [](RunUnderFault& f) { f.faulty.unreadable.insert(f.first); },
     kResultFailed, true},
};

class RunFaults : public ::testing::TestWithParam<std::tuple<FaultCase, bool, std::size_t>> {};

TEST_P(RunFaults, PageWholeRowFailedStoreRestorableNextPageCompressed) {
  const auto& [c, check3Yes, jobs] = GetParam();
  RunUnderFault f(c.into, check3Yes, jobs);
  ASSERT_TRUE(f.firstClean && f.secondClean);
  f.start(c.arm);

  // The row says what happened and why.
  ASSERT_EQ(f.run.finished.size(), 2u);
  const RunRow& first = f.rows[0];
  EXPECT_EQ(first.result, c.firstResult);
  EXPECT_TRUE(first.newSize.empty());
  EXPECT_TRUE(first.ratio.empty());
  if (c.firstResult == kResultFailed) {
    EXPECT_FALSE(test::failureReason(first).empty()) << toUtf8(first.outcome);
  }

  // The page is as it was or completely rewritten; a deleted page stays deleted.
  if (c.firstGone) {
    EXPECT_FALSE(std::filesystem::exists(f.first)) << "nothing recreates a deleted page";
  } else {
    EXPECT_EQ(readBytes(f.first), kFirstPage) << "the source is never half-written";
  }
  if (c.into) {
    auto mirror = readIfPresent(f.firstOutput);
    if (mirror) {
      EXPECT_TRUE(*mirror == kFirstPage || *mirror == *f.firstClean) << "mirror half-written";
    }
  }

  // The next page is compressed as a clean run compresses it.
  EXPECT_EQ(f.rows[1].result, kResultSucceeded) << toUtf8(f.rows[1].outcome);
  EXPECT_EQ(readIfPresent(f.secondOutput), f.secondClean);
  EXPECT_EQ(f.rows[1].newSize, toText(static_cast<long long>(f.secondClean->size())));

  // The store reads, and restoring all of it gives back every page that had
  // been written, byte for byte.
  std::vector<BackupEntry> index;
  ASSERT_NO_THROW(index = ReadBackupIndex(false));
  test::RestoreTally tally = test::restoreAll();
  EXPECT_GE(tally.restored, 1u);
  for (const Text& failed : tally.failedPaths)
    EXPECT_TRUE(failed != textPath(f.secondOutput)) << "the second page's backup must restore";
  EXPECT_EQ(readIfPresent(f.secondOutput), kSecondPage);
  if (!c.firstGone) {
    EXPECT_EQ(readBytes(f.first), kFirstPage);
  }
  if (c.into) {
    auto mirror = readIfPresent(f.firstOutput);
    if (mirror) {
      EXPECT_EQ(*mirror, kFirstPage);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, RunFaults,
                         ::testing::Combine(::testing::ValuesIn(kFaultCases), ::testing::Bool(),
                                            ::testing::Values(std::size_t{1}, std::size_t{2})),
                         [](const auto& info) {
                           std::string name = std::get<0>(info.param).name;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name + (std::get<1>(info.param) ? "_restoreYes" : "") + "_jobs" +
                                  std::to_string(std::get<2>(info.param));
                         });

// The disk fills up after every possible number of bytes of the first page's
// writes (bak.dat, then bak.kbq, then the page): at every point the page is
// whole, the store restores, and the next page is compressed.
TEST(RunFaultSweep, DiskFullAfterEveryByteOfThePage) {
  for (const auto& [into, jobs] : {std::pair{false, 1}, std::pair{true, 1}, std::pair{false, 2}, std::pair{true, 2}}) {
    std::size_t failures = 0, successes = 0;
    for (long long room = 0;; ++room) {
      RunUnderFault f(into, false, static_cast<std::size_t>(jobs));
      f.start([room](RunUnderFault& g) { g.faulty.bytesUntilFull = room; });
      const std::string where =
          (into ? "into, " : "in place, ") + std::to_string(jobs) + " jobs, " + std::to_string(room) + " bytes";
      if (f.rows[0].result == kResultSucceeded) {
        EXPECT_EQ(readIfPresent(f.firstOutput), f.firstClean) << where;
        ++successes;
      } else {
        ASSERT_EQ(f.rows[0].result, kResultFailed) << where;
        EXPECT_FALSE(test::failureReason(f.rows[0]).empty()) << where;
        auto output = readIfPresent(f.firstOutput);
        EXPECT_TRUE(!output || *output == kFirstPage) << where;
        ++failures;
      }
      if (into) {
        EXPECT_EQ(readBytes(f.first), kFirstPage) << where << ": the source is never touched";
      }
      EXPECT_EQ(f.rows[1].result, kResultSucceeded) << where;
      EXPECT_EQ(readIfPresent(f.secondOutput), f.secondClean) << where;

      std::vector<BackupEntry> index;
      ASSERT_NO_THROW(index = ReadBackupIndex(false)) << where;
      // A page that failed after its backup keeps the entry; never half of one.
      EXPECT_TRUE(index.size() == 2u || (f.rows[0].result != kResultSucceeded && index.size() == 1u)) << where;
      test::RestoreTally tally = test::restoreAll();
      EXPECT_EQ(tally.restored, tally.entries) << where;
      // A mirror is only there when its backup is; restored, it holds the source's bytes.
      const auto firstOutput = readIfPresent(f.firstOutput);
      EXPECT_TRUE(firstOutput ? *firstOutput == kFirstPage : into) << where;
      EXPECT_EQ(readIfPresent(f.secondOutput), kSecondPage) << where;
      if (f.rows[0].result == kResultSucceeded) break;
    }
    // Every byte of bak.dat and bak.kbq and the page was a point of failure.
    EXPECT_GT(failures, kFirstPage.size() + 99 + 60);
    EXPECT_EQ(successes, 1u);
  }
}

// A run that keeps failing (the disk stays full) fails every page with its
// reason and leaves every page and the store as they were.
TEST(RunFaultSweep, DiskStaysFullForTheWholeRun) {
  RunUnderFault f(false, true, 2);
  f.run.afterRow = nullptr;
  std::vector<std::string> pages = {f.first, f.second};
  for (int i = 0; i < 5; ++i) {
    pages.push_back(f.site / ("web/more" + std::to_string(i) + ".htm"));
    writeBytes(pages.back(), kSecondPage);
  }
  {
    // Room for the first page's bak.dat bytes and part of its index lines.
    f.faulty.bytesUntilFull = static_cast<long long>(99 + kFirstPage.size() + 30);
    ScopedFileService scoped(f.faulty);
    test::runPages(pages, f.run);
  }
  ASSERT_EQ(f.run.finished.size(), pages.size());
  for (const RunRow& row : f.run.finished) {
    EXPECT_EQ(row.result, kResultFailed) << toUtf8(row.source);
    EXPECT_FALSE(test::failureReason(row).empty());
  }
  EXPECT_EQ(readBytes(f.first), kFirstPage);
  for (std::size_t k = 1; k < pages.size(); ++k) EXPECT_EQ(readBytes(pages[k]), kSecondPage);
  test::RestoreTally tally = test::restoreAll();
  EXPECT_EQ(tally.restored, tally.entries);
  EXPECT_EQ(readBytes(f.first), kFirstPage);
}

}  // namespace
}  // namespace vantiro
