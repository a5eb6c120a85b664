// Faults injected into search and replace, row by row as the window runs it:
// a disk that fills up at every byte of a row's writes and directories that
// cannot be written. The page stays whole (as before or completely
// replaced), the row shows the error, the backup store restores the page,
// and the next row is replaced.

#include "replace/search_replace.h"

#include "backup/backup_store.h"
#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/faults/fault_support.h"
#include "tests/support/faulty_file_service.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;

const std::string kPage = encodeAnsi(
    U"<html>\r\n<head><title>cat 猫</title></head>\r\n<body>\r\n<a href=\"cat.htm\">cat</a> and cat\r\n"
    U"<script language=javascript>var cat = 1;</script>\r\n<font face=cat>x</font>\r\n</body>\r\n</html>\r\n");
const std::string kSecond = "<html><title>cat</title><p>cat <a href=cat>cat</a></p></html>";

SearchParameters parameters(ReplaceMode mode, int kind = kKindNone, Text tagName = {}) {
  SearchParameters p;
  p.findText = U"cat";
  p.replacement = U"小狗";
  p.mode = mode;
  p.target = {kind, std::move(tagName)};
  return p;
}

struct ModeCase {
  const char* name;
  SearchParameters params;
};

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

const ModeCase kModes[] = {
    {"text", parameters(ReplaceMode::Text)},
    {"tags", parameters(ReplaceMode::Tags)},
    {"page", parameters(ReplaceMode::Page)},
    {"scripts", parameters(ReplaceMode::Scripts)},
    {"title", parameters(ReplaceMode::Specific, kKindTitle, U"TITLE")},
    {"link", parameters(ReplaceMode::Specific, kKindTagInside, U"A")},
};

// Two rows, the first under a fault armed by the test and cleared before the
// second; the pages and what a clean replace makes of them.
class ReplaceUnderFault {
 public:
  ReplaceUnderFault(const SearchParameters& params, const CompressionOptions& options) : params_(params) {
    setProgramDirectory(home.path());
    setPauseScale(0);
    std::filesystem::create_directories(site / "web");
    first = site / "web/a-cat.htm";  // a name the file-name kind changes
    second = site / "web/b.htm";
    writeBytes(first, kPage);
    writeBytes(second, kSecond);
    options_ = options;
    firstClean = cleanOnce(kPage);
    secondClean = cleanOnce(kSecond);
  }
  ~ReplaceUnderFault() { setProgramDirectory(""); }

  // What the replace writes for a page holding `bytes` when nothing fails,
  // worked out once for each mode and page.
  std::string cleanOnce(const std::string& bytes) {
    static std::map<std::pair<std::string, std::string>, std::string> outputs;
    const auto key = std::make_pair(toUtf8(params_.target.tagName) + std::to_string(static_cast<int>(params_.mode)) +
                                        std::to_string(params_.target.kind),
                                    bytes);
    auto found = outputs.find(key);
    if (found == outputs.end()) found = outputs.emplace(key, cleanReplace(bytes)).first;
    return found->second;
  }
  std::string cleanReplace(const std::string& bytes) {
    test::TempDir scratchHome, scratch;
    setProgramDirectory(scratchHome.path());
    writeBytes(scratch / "p.htm", bytes);
    ReplaceRow row{textPath(scratch / "p.htm")};
    EXPECT_TRUE(replaceInPageOfRow(row, params_, {}));
    setProgramDirectory(home.path());
    return readBytes(scratch / "p.htm");
  }

  void setOptions(const CompressionOptions& options) { options_ = options; }

  void start() {
    rows = {ReplaceRow{textPath(first)}, ReplaceRow{textPath(second)}};
    {
      ScopedFileService scoped(faulty);
      firstSucceeded = replaceInPageOfRow(rows[0], params_, options_);
    }
    secondSucceeded = replaceInPageOfRow(rows[1], params_, options_);
  }

  test::TempDir home;
  test::TempDir site;
  std::string first, second;
  std::string firstClean, secondClean;
  test::FaultyFileService faulty;
  std::vector<ReplaceRow> rows;
  bool firstSucceeded = false, secondSucceeded = false;

 private:
  SearchParameters params_;
  CompressionOptions options_;
};

class ReplaceDiskFull : public ::testing::TestWithParam<ModeCase> {};

// The disk fills up after every possible number of bytes of the first row's
// writes (bak.dat, bak.kbq, the page).
TEST_P(ReplaceDiskFull, AtEveryByteThePageIsWholeAndRestorable) {
  std::size_t failures = 0;
  for (long long room = 0;; ++room) {
    ReplaceUnderFault f(GetParam().params, {});
    f.faulty.bytesUntilFull = room;
    f.start();
    const std::string where = std::to_string(room) + " bytes";
    if (f.firstSucceeded) {
      EXPECT_EQ(readBytes(f.first), f.firstClean) << where;
    } else {
      ++failures;
      EXPECT_EQ(f.rows[0].countText, U"错误") << where;
      EXPECT_FALSE(f.rows[0].resultText.empty()) << where;
      EXPECT_EQ(readBytes(f.first), kPage) << where << ": the page is never half-written";
    }
    EXPECT_TRUE(f.secondSucceeded) << where << ": " << toUtf8(f.rows[1].resultText);
    EXPECT_EQ(readBytes(f.second), f.secondClean) << where;

    std::vector<BackupEntry> index;
    ASSERT_NO_THROW(index = ReadBackupIndex(false)) << where;
    // The entry of a row whose page was not written may stay, never half of
    // one; a page in which nothing was replaced has none.
    EXPECT_LE(index.size(), 2u) << where;
    test::RestoreTally tally = test::restoreAll();
    EXPECT_EQ(tally.restored, tally.entries) << where;
    EXPECT_EQ(readBytes(f.first), kPage) << where;
    EXPECT_EQ(readBytes(f.second), kSecond) << where;
    if (f.firstSucceeded) break;
  }
  EXPECT_GT(failures, kPage.size() + 99) << "every byte of the backup and the page was a point of failure";
}

INSTANTIATE_TEST_SUITE_P(Modes, ReplaceDiskFull, ::testing::ValuesIn(kModes),
                         [](const auto& info) { return std::string(info.param.name); });

struct DirectoryCase {
  const char* name;
  SearchParameters params;
  bool into;  // the specific mode writes under another directory
  std::function<std::string(ReplaceUnderFault&)> unwritable;
};

void PrintTo(const DirectoryCase& c, std::ostream* os) { *os << c.name; }

const DirectoryCase kDirectories[] = {
    {"page directory, text mode", parameters(ReplaceMode::Text), false,
     [](ReplaceUnderFault& f) { return f.site / "web/"; }},
    {"page directory, page mode", parameters(ReplaceMode::Page), false,
     [](ReplaceUnderFault& f) { return f.site / "web/"; }},
    {"page directory, title", parameters(ReplaceMode::Specific, kKindTitle, U"TITLE"), false,
     [](ReplaceUnderFault& f) { return f.site / "web/"; }},
    {"page directory, file name", parameters(ReplaceMode::Specific, kKindFileName, U"name"), false,
     [](ReplaceUnderFault& f) { return f.site / "web/"; }},
    {"program directory, text mode", parameters(ReplaceMode::Text), false,
     [](ReplaceUnderFault& f) { return f.home.path(); }},
    {"program directory, link", parameters(ReplaceMode::Specific, kKindTagInside, U"A"), false,
     [](ReplaceUnderFault& f) { return f.home.path(); }},
    {"target directory, link", parameters(ReplaceMode::Specific, kKindTagInside, U"A"), true,
     [](ReplaceUnderFault& f) { return f.site / "out/"; }},
};

class ReplaceUnwritable : public ::testing::TestWithParam<DirectoryCase> {};

TEST_P(ReplaceUnwritable, PageWholeRowShowsTheError) {
  const DirectoryCase& c = GetParam();
  ReplaceUnderFault g(c.params, {});
  if (c.into) {
    CompressionOptions options;
    options.mirror = true;
    options.sourceDirectory = textPath(g.site / "web");
    options.destinationDirectory = textPath(g.site / "out");
    g.setOptions(options);
  }
  g.faulty.unwritableDirectories.insert(c.unwritable(g));
  g.start();

  EXPECT_FALSE(g.firstSucceeded);
  EXPECT_EQ(g.rows[0].countText, U"错误");
  EXPECT_FALSE(g.rows[0].resultText.empty());
  EXPECT_EQ(readBytes(g.first), kPage);
  EXPECT_FALSE(std::filesystem::exists(g.site / "out/a-cat.htm"));
  EXPECT_FALSE(std::filesystem::exists(g.site.path() + "web/" + encodeAnsi(U"a-小狗.htm")));
  // The second row: renamed, or replaced in place or under the target.
  EXPECT_TRUE(g.secondSucceeded) << toUtf8(g.rows[1].resultText);
  if (c.params.target.kind == kKindFileName) {
    EXPECT_EQ(readBytes(g.site / "web/b.htm"), kSecond) << "b.htm holds no 'cat'";
  } else {
    EXPECT_EQ(readBytes(c.into ? g.site / "out/b.htm" : g.second), g.secondClean);
  }
  test::RestoreTally tally = test::restoreAll();
  EXPECT_EQ(tally.restored, tally.entries);
  EXPECT_EQ(readBytes(g.first), kPage);
  EXPECT_EQ(readBytes(g.second), kSecond);
}

INSTANTIATE_TEST_SUITE_P(Directories, ReplaceUnwritable, ::testing::ValuesIn(kDirectories), [](const auto& info) {
  std::string name = info.param.name;
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
});

}  // namespace
}  // namespace vantiro
