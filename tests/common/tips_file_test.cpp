#include "common/tips_file.h"

#include "platform/code_page.h"
#include "platform/system.h"
#include "tests/support/faulty_file_service.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>

namespace vantiro {
namespace {

class TipsFile : public ::testing::Test {
 protected:
  void SetUp() override { setProgramDirectory(dir.path()); }
  void TearDown() override { setProgramDirectory(""); }

  void writeTips(const Text& text) const { test::writeBytes(tipsFilePath(), encodeAnsi(text)); }

  // A random source that hands out the given numbers in turn.
  static UniformRandom sequence(std::deque<double> numbers) {
    return [numbers]() mutable {
      double r = numbers.front();
      numbers.pop_front();
      numbers.push_back(r);
      return r;
    };
  }

  test::TempDir dir;
};

TEST_F(TipsFile, TheFileLiesInTheProgramDirectory) { EXPECT_EQ(tipsFilePath(), dir / "rjyl.dat"); }

TEST_F(TipsFile, EveryCrLfLineIsATip) {
  struct Case {
    Text file;
    std::vector<Text> tips;
  };
  const Case cases[] = {
      {U"", {}},
      {U"按F1打开帮助。\r\n", {U"按F1打开帮助。"}},
      {U"一\r\n\r\n三\r\n", {U"一", U"", U"三"}},
      {U"last line without break", {U"last line without break"}},
      {U"lone\nLF and lone\rCR stay\r\nsecond", {U"lone\nLF and lone\rCR stay", U"second"}},
      {U"\r\n", {U""}},
      {U"  blanks kept  \r\n", {U"  blanks kept  "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(toUtf8(c.file));
    writeTips(c.file);
    auto tips = readTipsFile(tipsFilePath());
    ASSERT_TRUE(tips.has_value());
    EXPECT_EQ(*tips, c.tips);
  }
}

TEST_F(TipsFile, MissingEmptyPathDirectoryAndUnreadableFileCountAsNoFile) {
  EXPECT_FALSE(readTipsFile("").has_value());
  EXPECT_FALSE(readTipsFile(tipsFilePath()).has_value());
  TipsOfTheDay tips(sequence({0.5}));
  EXPECT_FALSE(tips.LoadTips(tipsFilePath()));
  EXPECT_FALSE(tips.currentTipText().has_value());

  test::writeBytes(dir / ".hidden.dat", "tip\r\n");
  EXPECT_FALSE(readTipsFile(dir / ".hidden.dat").has_value());

  writeTips(U"tip\r\n");
  test::FaultyFileService faulty;
  faulty.unreadable.insert(tipsFilePath());
  ScopedFileService scope(faulty);
  EXPECT_FALSE(readTipsFile(tipsFilePath()).has_value());
}

TEST_F(TipsFile, MissingFileTextIsThePiecesJoined) {
  const Text expected = Text(U"rjyl.dat") + U" 文件未找到？" + U"\r\n" + U"\r\n" + U"使用记事本，创建一个名为 " + U"rjyl.dat" +
                        U" 的文本文件，其中每行一个技巧。 " + U"然后，放在应用程序所在目录下。";
  EXPECT_EQ(missingTipsFileText(), expected);
}

TEST(PickTip, EveryTipIsReachableAndTheRangeHolds) {
  struct Case {
    std::size_t count;
    double r;
    std::size_t tip;
  };
  const Case cases[] = {
      {0, 0.5, 0},           {1, 0.0, 1},     {1, 0.999999, 1},      {3, 0.0, 1},  {3, 0.3333, 1},
      {3, 1.0 / 3.0, 2},     {3, 0.5, 2},     {3, 0.6667, 3},        {3, 0.9999999, 3},
      {3, 1.0, 3},  // a source that rounds up to 1 still stays in range
      {3, -0.25, 1},         {3, std::nan(""), 1}, {10, 0.95, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.count) + " " + std::to_string(c.r));
    EXPECT_EQ(pickTip(c.count, c.r), c.tip);
  }
}

TEST_F(TipsFile, LoadingPicksARandomTipAndNextPicksAgain) {
  writeTips(U"一\r\n二\r\n三\r\n四\r\n");
  TipsOfTheDay tips(sequence({0.6, 0.6, 0.0, 0.99}));
  ASSERT_TRUE(tips.LoadTips(tipsFilePath()));
  EXPECT_EQ(tips.tips().size(), 4u);
  EXPECT_EQ(tips.currentTip(), 3u);
  EXPECT_EQ(tips.currentTipText(), Text(U"三"));
  tips.pickRandomTip();  // the same tip may come twice in a row
  EXPECT_EQ(tips.currentTipText(), Text(U"三"));
  tips.pickRandomTip();
  EXPECT_EQ(tips.currentTipText(), Text(U"一"));
  tips.pickRandomTip();
  EXPECT_EQ(tips.currentTipText(), Text(U"四"));
}

TEST_F(TipsFile, OneLineAlwaysShowsThatLineAndAnEmptyFileShowsNothing) {
  writeTips(U"唯一的技巧\r\n");
  TipsOfTheDay one;
  ASSERT_TRUE(one.LoadTips(tipsFilePath()));
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(one.currentTipText(), Text(U"唯一的技巧"));
    one.pickRandomTip();
  }

  writeTips(U"");
  TipsOfTheDay none(sequence({0.3}));
  EXPECT_TRUE(none.LoadTips(tipsFilePath()));
  none.pickRandomTip();
  EXPECT_EQ(none.currentTip(), 0u);
  EXPECT_FALSE(none.currentTipText().has_value());
}

TEST_F(TipsFile, ABlankLineCanBeDrawnAsAnEmptyTip) {
  writeTips(U"a\r\n\r\nc\r\n");
  TipsOfTheDay tips(sequence({0.5}));
  ASSERT_TRUE(tips.LoadTips(tipsFilePath()));
  EXPECT_EQ(tips.currentTipText(), Text());
}

}  // namespace
}  // namespace vantiro
