#include "replace/replace_run.h"

#include "backup/backup_store.h"
#include "platform/code_page.h"
#include "platform/system.h"
#include "tests/support/faulty_file_service.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <set>
#include <string>
#include <vector>

namespace vantiro {
namespace {

// What a run leaves: its rows, every page's bytes and the backup index.
struct RunResult {
  std::vector<std::string> rows;
  std::vector<std::string> pages;
  std::vector<std::string> entries;
  std::size_t finished = 0;
};

// The same site of pages, in a fresh directory and backup store, replaced in
// with `jobs`: pages where the text is and where it is not, a page queued
// through a link after the page it names (it must be read after that row
// wrote it), a missing page, a directory and a mirror for the specific mode.
RunResult runOverSite(const SearchParameters& params, std::size_t jobs, std::size_t stopAfter = SIZE_MAX) {
  test::TempDir home, site;
  setProgramDirectory(home.path());
  std::vector<ReplaceRow> rows;
  std::vector<std::string> names;
  const auto add = [&](const std::string& name) {
    names.push_back(name);
    rows.push_back(ReplaceRow{textPath(site / name)});
  };
  for (int k = 0; k < 12; ++k) {
    const std::string name = "p" + std::to_string(k) + ".htm";
    std::string bytes = "<html><head><title>old " + std::to_string(k) + "</title></head><body>";
    for (int r = 0; r < (k % 4) * 500; ++r) bytes += "<p>old text, <b>old</b> bold</p>\n";
    test::writeBytes(site / name, encodeAnsi(fromUtf8(bytes + (k % 3 == 0 ? "new" : "old") + "</body></html>")));
    add(name);
    if (k == 2) {
      std::filesystem::create_symlink(site / "p1.htm", site / "link-to-p1.htm");
      add("link-to-p1.htm");
    }
  }
  add("missing.htm");
  std::filesystem::create_directory(site / "dir.htm");
  add("dir.htm");

  CompressionOptions options;
  options.mirror = params.mode == ReplaceMode::Specific;
  options.sourceDirectory = textPath(site.path());
  options.destinationDirectory = textPath(site / "out");
  ReplaceRunHooks hooks;
  hooks.options = [&] { return options; };
  std::vector<std::size_t> begun;
  hooks.rowBegins = [&](std::size_t i) { begun.push_back(i); };
  RunResult result;
  // Paths as the site names them, whichever directory it was made in.
  const auto inSite = [&site](std::string path) {
    const std::string root = site.path();
    for (std::size_t at; (at = path.find(root)) != std::string::npos;) path.replace(at, root.size(), "SITE/");
    return path;
  };
  hooks.rowFinished = [&](std::size_t i) {
    EXPECT_LE(i, begun.back()) << "a row is finished once it is begun";
    EXPECT_EQ(i, result.rows.size()) << "rows are finished in order";
    const ReplaceRow& row = rows[i];
    result.rows.push_back(inSite(toUtf8(row.path) + "|" + toUtf8(row.countText) + "|" + toUtf8(row.resultText)));
  };
  hooks.stopRequested = [&] { return begun.size() >= stopAfter; };
  result.finished = replaceInRows(rows, params, jobs, hooks);
  for (const std::string& name : names)
    result.pages.push_back(std::filesystem::is_regular_file(site / name) ? test::readBytes(site / name) : "");
  if (std::filesystem::exists(site / "out"))
    for (const auto& entry : std::filesystem::recursive_directory_iterator(site / "out"))
      result.pages.push_back(inSite(entry.path().string()) + ":" + test::readBytes(entry.path().string()));
  for (const BackupEntry& entry : ReadBackupIndex(false))
    result.entries.push_back(inSite(toUtf8(entry.path)) + " " + toUtf8(entry.length));
  setProgramDirectory("");
  return result;
}

TEST(ReplaceRun, RowsFilesAndEntriesAreTheSameWhateverTheJobs) {
  struct Case {
    const char* name;
    SearchParameters params;
  };
  std::vector<Case> cases;
  for (const auto& [name, mode] : {std::pair{"text", ReplaceMode::Text}, std::pair{"tags", ReplaceMode::Tags},
                                   std::pair{"page", ReplaceMode::Page}}) {
    SearchParameters p;
    p.findText = U"old";
    p.replacement = U"new";
    p.mode = mode;
    cases.push_back({name, p});
  }
  SearchParameters title;
  title.findText = U"old";
  title.replacement = U"new";
  title.mode = ReplaceMode::Specific;
  title.target = *attributeForEntry(U"标题");
  cases.push_back({"title into a mirror", title});
  SearchParameters dry = cases[0].params;
  dry.dryRun = true;
  cases.push_back({"dry run", dry});

  for (const Case& c : cases) {
    const RunResult one = runOverSite(c.params, 1);
    ASSERT_EQ(one.finished, 15u) << c.name;
    for (std::size_t jobs : {2u, 5u}) {
      const RunResult many = runOverSite(c.params, jobs);
      EXPECT_EQ(many.finished, one.finished) << c.name << ", " << jobs << " jobs";
      EXPECT_EQ(many.rows, one.rows) << c.name << ", " << jobs << " jobs";
      EXPECT_EQ(many.pages, one.pages) << c.name << ", " << jobs << " jobs";
      EXPECT_EQ(many.entries, one.entries) << c.name << ", " << jobs << " jobs";
    }
  }
}

// A front end that stops (its output was closed) gets the rows begun
// finished and no later row written, whatever was read ahead.
TEST(ReplaceRun, AStopLeavesTheLaterRowsAsTheyWere) {
  SearchParameters p;
  p.findText = U"old";
  p.replacement = U"new";
  const RunResult whole = runOverSite(p, 1);
  const RunResult stopped = runOverSite(p, 3, 4);
  EXPECT_EQ(stopped.finished, 4u);
  ASSERT_EQ(stopped.rows.size(), 4u);
  // Rows 0 to 3 made three entries: the link to p1 found nothing left to replace.
  EXPECT_EQ(stopped.entries, std::vector<std::string>(whole.entries.begin(), whole.entries.begin() + 3));
  // The rows before the stop are as the whole run leaves them, the later ones as they were.
  EXPECT_EQ(stopped.pages[1], whole.pages[1]);
  EXPECT_NE(stopped.pages[4], whole.pages[4]);
}

// Pages p0.htm, p1.htm, ... in `site`, each "old page" followed by as many
// spaces as `padding` gives for it, as the rows of a run.
std::vector<ReplaceRow> oldPages(const test::TempDir& site, const std::vector<std::size_t>& padding) {
  std::vector<ReplaceRow> rows;
  for (std::size_t k = 0; k < padding.size(); ++k) {
    const std::string path = site / ("p" + std::to_string(k) + ".htm");
    test::writeBytes(path, "<html><body>old page</body></html>" + std::string(padding[k], ' '));
    rows.push_back(ReplaceRow{textPath(path)});
  }
  return rows;
}

// Replaces "old" with "new" in every row with `jobs`, through `service`,
// telling `rowBegins` of each row begun; every row succeeds.
void replaceOldWithNew(std::vector<ReplaceRow>& rows, std::size_t jobs, FileService& service,
                       std::function<void(std::size_t)> rowBegins = [](std::size_t) {}) {
  SearchParameters p;
  p.findText = U"old";
  p.replacement = U"new";
  ReplaceRunHooks hooks{[] { return CompressionOptions{}; }, std::move(rowBegins), [](std::size_t) {},
                        [] { return false; }};
  {
    ScopedFileService scoped(service);
    EXPECT_EQ(replaceInRows(rows, p, jobs, hooks), rows.size());
  }
  for (const ReplaceRow& row : rows) EXPECT_EQ(toUtf8(row.resultText), "成功替换");
}

// With several jobs a sync of the backup store covers a batch of pages, and
// still no page is put in place before every entry appended so far is durable.
TEST(ReplaceRun, PagesGoInPlaceOnlyOnceTheirBatchIsDurable) {
  for (const std::size_t jobs : {1u, 2u}) {
    test::TempDir home, site;
    setProgramDirectory(home.path());
    std::vector<ReplaceRow> rows = oldPages(site, std::vector<std::size_t>(40, 0));
    test::FaultyFileService watching;
    std::set<std::string> unsynced;
    std::size_t syncs = 0, placed = 0;
    watching.beforeOperation = [&](const std::string& operation, const std::string& path) {
      if (operation == "appendFile") unsynced.insert(path);
      if (operation == "syncFile" && unsynced.erase(path) != 0) ++syncs;
      if (operation == "writeFileAtomic" && path.starts_with(site.path())) {
        EXPECT_TRUE(unsynced.empty()) << path << " put in place before its entry was durable";
        ++placed;
      }
    };
    replaceOldWithNew(rows, jobs, watching);
    EXPECT_EQ(placed, rows.size());
    if (jobs == 1) {
      EXPECT_GE(syncs, rows.size()) << "one job makes every page's entry durable by itself";
    } else {
      EXPECT_LE(syncs, 2 * 2u) << "two batches of pages, each synced once (data and index)";
    }
    setProgramDirectory("");
  }
}

// A large page is searched alone: the rows before it are in place before it
// is read, and no later page is read before it is in place.
TEST(ReplaceRun, ALargePageIsSearchedAlone) {
  test::TempDir home, site;
  setProgramDirectory(home.path());
  std::vector<ReplaceRow> rows = oldPages(site, {0, 0, 0, 17 << 20, 0, 0, 0});
  test::FaultyFileService watching;
  std::vector<std::string> events;
  watching.beforeOperation = [&](const std::string& operation, const std::string& path) {
    if ((operation == "readFile" || operation == "writeFileAtomic") && path.starts_with(site.path()))
      events.push_back(operation + " " + path.substr(site.path().size()));
  };
  replaceOldWithNew(rows, 3, watching);
  const auto when = [&](const std::string& event) {
    return std::find(events.begin(), events.end(), event) - events.begin();
  };
  for (int k = 0; k < 3; ++k)
    EXPECT_LT(when("writeFileAtomic p" + std::to_string(k) + ".htm"), when("readFile p3.htm")) << k;
  for (int k = 4; k < 7; ++k)
    EXPECT_GT(when("readFile p" + std::to_string(k) + ".htm"), when("writeFileAtomic p3.htm")) << k;
  setProgramDirectory("");
}

// Beyond a page a job, pages are read ahead only while they stay under 16 MB
// between them: with 6 MB pages and 2 jobs, no more than the row begun next
// and two more are read and not yet begun.
TEST(ReplaceRun, PagesReadAheadStayUnderALargePage) {
  test::TempDir home, site;
  setProgramDirectory(home.path());
  std::vector<ReplaceRow> rows = oldPages(site, std::vector<std::size_t>(7, 6 << 20));
  test::FaultyFileService watching;
  std::mutex counting;
  int readNotBegun = 0, most = 0;
  watching.beforeOperation = [&](const std::string& operation, const std::string& path) {
    if (operation != "readFile" || !path.starts_with(site.path())) return;
    const std::lock_guard lock(counting);
    most = std::max(most, ++readNotBegun);
  };
  replaceOldWithNew(rows, 2, watching, [&](std::size_t) {
    {
      const std::lock_guard lock(counting);
      --readNotBegun;
    }
    // A slow writer: the worker has time to read all it may.
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  });
  EXPECT_LE(most, 3);
  setProgramDirectory("");
}

}  // namespace
}  // namespace vantiro
