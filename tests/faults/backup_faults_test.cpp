// A damaged backup store under a compression run: "bak.dat" shorter than its
// index says, "bak.kbq" that ends inside an entry. The store must still be
// read, a restore must give back a page's exact bytes or nothing at all, and
// the pages compressed after the damage must be restorable.

#include "tests/faults/fault_support.h"

#include "platform/code_page.h"
#include "platform/file_service.h"
#include "tests/support/faulty_file_service.h"
#include "tests/support/program_directory_test.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;

std::string pageBytes(const std::string& name, std::size_t words) {
  std::string page = "<html>\r\n<head><title>" + name + "</title></head>\r\n<body>\r\n";
  for (std::size_t k = 0; k < words; ++k) page += "  <p>" + name + " \xD2\xB3 " + std::to_string(k) + "</p>\r\n";
  return page + "</body>\r\n</html>\r\n";
}

class DamagedStore : public test::ProgramDirectoryTest {
 public:
  // Writes the pages and compresses them in one run; every page must succeed.
  void compress(const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    for (const std::string& name : names) {
      originals[name] = pageBytes(name, 3 + 5 * originals.size());
      writeBytes(site / name, originals[name]);
      paths.push_back(site / name);
    }
    test::RecordingRun run;
    for (const RunRow& row : test::runPages(paths, run)) ASSERT_EQ(row.result, kResultSucceeded);
    for (const std::string& name : names) compressed[name] = readBytes(site / name);
  }
  std::uint64_t dataSize() const { return std::filesystem::file_size(home / "bak.dat"); }
  // Where the entry of `name` lies in bak.dat (0-based first byte) and its length.
  std::pair<std::uint64_t, std::uint64_t> rangeOf(const std::string& name) {
    for (const BackupEntry& e : ReadBackupIndex(false))
      if (e.path == textPath(site / name)) return {std::stoull(toUtf8(e.start)) - 1, std::stoull(toUtf8(e.length))};
    ADD_FAILURE() << "no entry for " << name;
    return {0, 0};
  }

  test::TempDir site;
  std::map<std::string, std::string> originals;
  std::map<std::string, std::string> compressed;
};

// The restore of one page either gives back its exact bytes or leaves it alone.
struct Quiet final : RestoreObserver {
  void showStatus(const Text&) override {}
};

TEST_F(DamagedStore, DataFileShorterThanItsIndex) {
  struct Case {
    const char* name;
    // Cuts bak.dat (given the ranges of a and b); returns the pages whose
    // saved bytes are lost.
    std::function<std::vector<std::string>(DamagedStore&)> cut;
  };
  auto cutTo = [](DamagedStore& s, std::uint64_t size) { std::filesystem::resize_file(s.home / "bak.dat", size); };
  const std::vector<Case> cases = {
      {"inside the last entry's content",
       [&](DamagedStore& s) {
         auto [start, length] = s.rangeOf("b.htm");
         cutTo(s, start + length / 2);
         return std::vector<std::string>{"b.htm"};
       }},
      {"by one byte",
       [&](DamagedStore& s) {
         cutTo(s, s.dataSize() - 1);
         return std::vector<std::string>{"b.htm"};
       }},
      {"inside the last entry's filler",
       [&](DamagedStore& s) {
         cutTo(s, s.rangeOf("b.htm").first - 40);
         return std::vector<std::string>{"b.htm"};
       }},
      {"inside the first entry",
       [&](DamagedStore& s) {
         cutTo(s, s.rangeOf("a.htm").first + 10);
         return std::vector<std::string>{"a.htm", "b.htm"};
       }},
      {"to nothing",
       [&](DamagedStore& s) {
         cutTo(s, 0);
         return std::vector<std::string>{"a.htm", "b.htm"};
       }},
      {"deleted",
       [&](DamagedStore& s) {
         std::filesystem::remove(s.home / "bak.dat");
         return std::vector<std::string>{"a.htm", "b.htm"};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* file : {"bak.dat", "bak.kbq"}) std::filesystem::remove(home / file);
    originals.clear();
    compress({"a.htm", "b.htm"});
    const std::vector<std::string> lost = c.cut(*this);
    auto isLost = [&](const std::string& name) { return std::find(lost.begin(), lost.end(), name) != lost.end(); };

    // Before any new entry: the index reads, the whole entries restore.
    Quiet quiet;
    for (const BackupEntry& e : ReadBackupIndex(false)) {
      const std::string name = std::filesystem::path(nativePath(e.path)).filename();
      EXPECT_EQ(restoreEntry(e, quiet), !isLost(name)) << name;
      EXPECT_EQ(readBytes(site / name), isLost(name) ? compressed[name] : originals[name]) << name;
      writeBytes(site / name, compressed[name]);
    }

    // A run appends over the missing bytes: the new pages restore, and the
    // lost ones are not "restored" with another page's bytes.
    compress({"c.htm", "d.htm"});
    ASSERT_NO_THROW(ReadBackupIndex(false));
    test::RestoreTally tally = test::restoreAll();
    EXPECT_EQ(tally.failedPaths.size(), lost.size());
    for (const auto& [name, original] : originals)
      EXPECT_EQ(readBytes(site / name), isLost(name) ? compressed[name] : original) << name;
  }
}

TEST_F(DamagedStore, IndexEndingInsideAnEntry) {
  // The index holds a and b and then the first lines of an entry for x,
  // whose bytes bak.dat does hold; the lines are cut as a failed append or a
  // crash leaves them.
  struct Case {
    const char* name;
    int lines;           // of x's entry: 1 to 3
    bool cutInLastLine;  // the last of them lacks its line break and digits
    bool xRestores;      // the start and length of x are whole
  };
  const Case cases[] = {
      {"9 lines", 1, false, false},
      {"10 lines", 2, false, false},
      {"11 lines", 3, false, true},
      {"9 lines, path cut", 1, true, false},
      {"10 lines, start cut", 2, true, false},
      {"11 lines, length cut", 3, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* file : {"bak.dat", "bak.kbq"}) std::filesystem::remove(home / file);
    originals.clear();
    compress({"a.htm", "b.htm"});

    const std::string x = pageBytes("x.htm", 40);
    const std::string start = std::to_string(dataSize() + 100);
    const std::string length = std::to_string(x.size());
    {
      std::ofstream data(home / "bak.dat", std::ios::binary | std::ios::app);
      data << std::string(99, ' ') << x;
    }
    std::vector<std::string> lines = {site / "x.htm", start, length};
    lines.resize(static_cast<std::size_t>(c.lines));
    if (c.cutInLastLine) lines.back().resize(lines.back().size() / 2);
    std::string tail;
    for (std::size_t k = 0; k < lines.size(); ++k)
      tail += lines[k] + (k + 1 < lines.size() || !c.cutInLastLine ? "\r\n" : "");
    {
      std::ofstream index(home / "bak.kbq", std::ios::binary | std::ios::app);
      index << tail;
    }
    writeBytes(site / "x.htm", "changed");

    // Restore before anything else is appended.
    test::RestoreTally tally = test::restoreAll();
    EXPECT_EQ(tally.restored, 2u + (c.xRestores ? 1 : 0));
    EXPECT_EQ(readBytes(site / "x.htm"), c.xRestores ? x : "changed") << "never a page cut to a partial length";
    EXPECT_EQ(readBytes(site / "a.htm"), originals["a.htm"]);
    EXPECT_EQ(readBytes(site / "b.htm"), originals["b.htm"]);
    writeBytes(site / "x.htm", "changed");

    // The next run's entries are entries of their own and restore.
    compress({"c.htm", "d.htm"});
    std::vector<BackupEntry> index;
    ASSERT_NO_THROW(index = ReadBackupIndex(false));
    ASSERT_GE(index.size(), 4u);
    EXPECT_EQ(index[index.size() - 2].path, textPath(site / "c.htm"));
    EXPECT_EQ(index.back().path, textPath(site / "d.htm"));
    tally = test::restoreAll();
    EXPECT_EQ(tally.restored, 4u + (c.xRestores ? 1 : 0));
    for (const auto& [name, original] : originals) EXPECT_EQ(readBytes(site / name), original) << name;
    EXPECT_EQ(readBytes(site / "x.htm"), c.xRestores ? x : "changed");
  }
}

TEST_F(DamagedStore, RestoreThatCannotWriteLeavesPagesAndStoreAsTheyWere) {
  compress({"a.htm", "b.htm"});
  const std::string index = readBytes(home / "bak.kbq");
  const std::string data = readBytes(home / "bak.dat");
  struct Case {
    const char* name;
    std::function<void(test::FaultyFileService&)> arm;
  };
  const Case cases[] = {
      {"disk full", [](test::FaultyFileService& f) { f.bytesUntilFull = 0; }},
      {"disk full half way", [](test::FaultyFileService& f) { f.bytesUntilFull = 40; }},
      {"page directory cannot be written",
       [this](test::FaultyFileService& f) { f.unwritableDirectories.insert(site.path()); }},
      {"bak.dat cannot be read", [this](test::FaultyFileService& f) { f.unreadable.insert(home / "bak.dat"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::FaultyFileService faulty;
    c.arm(faulty);
    test::RestoreTally tally;
    {
      ScopedFileService scoped(faulty);
      tally = test::restoreAll();
    }
    EXPECT_EQ(tally.entries, 2u);
    EXPECT_LT(tally.restored, 2u);
    for (const char* name : {"a.htm", "b.htm"}) {
      const std::string now = readBytes(site / name);
      EXPECT_TRUE(now == compressed[name] || now == originals[name]) << name;
    }
    EXPECT_EQ(readBytes(home / "bak.kbq"), index) << "a restore never changes the store";
    EXPECT_EQ(readBytes(home / "bak.dat"), data);
    for (const char* name : {"a.htm", "b.htm"}) writeBytes(site / name, compressed[name]);
  }
  EXPECT_EQ(test::restoreAll().restored, 2u);
  for (const char* name : {"a.htm", "b.htm"}) EXPECT_EQ(readBytes(site / name), originals[name]);
}

}  // namespace
}  // namespace vantiro
