#include "compress/run_window.h"

#include "backup/backup_store.h"
#include "common/ui/message_box.h"
#include "common/ui/screen_pacer.h"
#include "common/ui/text_convert.h"
#include "compress/compression_run.h"
#include "compress/page_compressor.h"
#include "pageinfo/info_window.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/support/temp_dir.h"
#include "tests/windows_small/paint_counter.h"
#include "tests/windows_small/qt_test_app.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QTest>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;
using ui::RunWindow;
using Answer = ui::MessageBox::Answer;

const char kPage[] =
    "<html>\r\n<head>\r\n  <title>Test</title>\r\n</head>\r\n<body>\r\n  <p>Hello     world</p>\r\n"
    "  <table>  <tr>  <td>one</td>  </tr>  </table>\r\n</body>\r\n</html>\r\n";

// The real file system, except that one page cannot be looked at: the run
// itself meets an error when it comes to that page's row.
class StatFails final : public FileService {
 public:
  explicit StatFails(std::string path) : failing_(std::move(path)) {}
  std::optional<FileInfo> stat(const std::string& path) override {
    if (path == failing_) throw FileError("磁盘错误");
    return realFileService().stat(path);
  }
  std::string readFile(const std::string& path) override { return realFileService().readFile(path); }
  std::string readRange(const std::string& path, std::uint64_t offset, std::uint64_t length) override {
    return realFileService().readRange(path, offset, length);
  }
  void writeFileAtomic(const std::string& path, std::string_view bytes) override {
    realFileService().writeFileAtomic(path, bytes);
  }
  void syncFile(const std::string& path) override { realFileService().syncFile(path); }
  std::uint64_t appendFile(const std::string& path, std::string_view bytes) override {
    return realFileService().appendFile(path, bytes);
  }
  void truncateFile(const std::string& path, std::uint64_t size) override { realFileService().truncateFile(path, size); }
  void removeFile(const std::string& path) override { realFileService().removeFile(path); }
  void renameNoReplace(const std::string& from, const std::string& to) override {
    realFileService().renameNoReplace(from, to);
  }
  void createDirectory(const std::string& path) override { realFileService().createDirectory(path); }
  std::vector<DirEntry> listDirectory(const std::string& dir) override { return realFileService().listDirectory(dir); }

 private:
  std::string failing_;
};

class RunWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setProgramDirectory(home_.path());
    setPauseScale(0);
    ui::MessageBox::reset();
  }
  void TearDown() override {
    window_.reset();
    if (QWidget* viewer = ui::infoWindow()) viewer->close();
    test::settleEvents();
    ui::MessageBox::reset();
    setProgramDirectory("");
  }

  RunWindow& open(bool onTop = false) {
    window_ = std::make_unique<RunWindow>(onTop, [this] { return options_; });
    return *window_;
  }

  // Adds a row as the run start does, from the file as it is now.
  void queue(const std::string& path) {
    const RunRow row = makeRunRow(textPath(path), options_);
    window_->addRow(row.source, row.destination, row.size, row.date);
  }

  template <typename T>
  T* child(const char* name) {
    return window_->findChild<T*>(QString::fromLatin1(name));
  }
  QString cell(int row, int column) { return child<QTreeWidget>("ListView1")->topLevelItem(row)->text(column); }
  QProgressBar* bar(const char* name) { return child<QProgressBar>(name); }

  test::TempDir home_;
  test::TempDir pages_;
  CompressionOptions options_;
  std::unique_ptr<RunWindow> window_;
};

TEST_F(RunWindowTest, LoadsWithItsControlsResizableAndWithoutCloseBox) {
  RunWindow& w = open();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowTitle(), QStringLiteral("进程框"));
  EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_NE(w.minimumSize(), w.maximumSize()) << "it may be resized";
  EXPECT_LE(w.minimumSizeHint().width(), 1000) << "it fits a 1024x768 screen";
  EXPECT_LE(w.minimumSizeHint().height(), 700);
  EXPECT_FALSE(w.alwaysOnTop());

  QTreeWidget* list = child<QTreeWidget>("ListView1");
  ASSERT_EQ(list->columnCount(), 8);
  const char* headers[] = {"源文件地址", "目的文件地址", "文件大小", "日期", "压缩结果", "压缩后大小", "压缩率", "原因"};
  for (int c = 0; c < 8; ++c) EXPECT_EQ(list->headerItem()->text(c), QString::fromUtf8(headers[c]));
  EXPECT_EQ(list->textElideMode(), Qt::ElideLeft) << "the file name stays readable";

  const std::pair<const char*, const char*> captions[] = {
      {"Label1", "总体进度"}, {"Label15", "综合压缩率"}, {"Label11", "总共压缩率"}, {"Label21", "压缩进度"}};
  for (const auto& [name, caption] : captions) EXPECT_EQ(child<QLabel>(name)->text(), QString::fromUtf8(caption));
  EXPECT_EQ(child<QGroupBox>("Frame1")->title(), QStringLiteral("[压缩控制]栏"));
  EXPECT_EQ(child<QGroupBox>("Frame2")->title(), QStringLiteral("[压缩结果栏]"));
  EXPECT_EQ(child<QPushButton>("Command1")->text(), QStringLiteral("停止"));
  EXPECT_EQ(child<QPushButton>("Command2")->text(), QStringLiteral("查看"));
  EXPECT_EQ(child<QPushButton>("Command3")->text(), QStringLiteral("关闭"));
  for (const char* name : {"ProgressBar1", "ProgressBar4", "ProgressBar5", "ProgressBar6"}) EXPECT_NE(bar(name), nullptr);
}

TEST_F(RunWindowTest, RunFillsRowsBarsAndStatus) {
  writeBytes(pages_ / "a.htm", kPage);
  writeBytes(pages_ / "gone.htm", kPage);
  writeBytes(pages_ / "notes.txt", "<p>no html</p><b>here</b>");
  writeBytes(pages_ / "b.htm", std::string(kPage) + "<p>more   text</p>\r\n");
  RunWindow& w = open();
  for (const char* name : {"a.htm", "gone.htm", "notes.txt", "b.htm"}) queue(pages_ / name);
  EXPECT_EQ(w.rowCount(), 4);
  files().removeFile(pages_ / "gone.htm");

  std::vector<QString> statuses;
  QObject::connect(child<QStatusBar>("StatusBar1"), &QStatusBar::messageChanged, &w,
                   [&](const QString& s) { statuses.push_back(s); });
  ui::MessageBox::setNextAnswers({Answer::Ok});
  w.compressQueuedRows();

  ASSERT_FALSE(ui::MessageBox::shownTexts().empty());
  EXPECT_EQ(ui::MessageBox::shownTexts().front(), QStringLiteral("如果出现问题，请大家在压缩之后按还原压缩功能"));
  EXPECT_EQ(ui::MessageBox::shownTexts().size(), 1u);
  ASSERT_GE(statuses.size(), 3u);
  EXPECT_EQ(statuses.front(), QStringLiteral("正在初始化中……"));
  EXPECT_EQ(statuses[1], QStringLiteral("正在压缩 ") + QString::fromStdString(pages_ / "a.htm"));
  EXPECT_EQ(child<QStatusBar>("StatusBar1")->currentMessage(), QStringLiteral("压缩结束"));

  const std::int64_t a1 = static_cast<std::int64_t>(std::string(kPage).size());
  const std::int64_t b1 = static_cast<std::int64_t>(readBytes(pages_ / "a.htm").size());
  const std::int64_t a4 = a1 + 20;
  const std::int64_t b4 = static_cast<std::int64_t>(readBytes(pages_ / "b.htm").size());
  ASSERT_LT(b1, a1);
  EXPECT_EQ(cell(0, 4), QStringLiteral("压缩成功"));
  EXPECT_EQ(cell(0, 5), QString::number(b1));
  EXPECT_EQ(cell(0, 6), ui::toQString(savingText(a1, b1)));
  EXPECT_TRUE(cell(0, 6).endsWith(u'%'));
  EXPECT_EQ(cell(0, 7), QString());
  EXPECT_EQ(cell(1, 4), QStringLiteral("文件不在"));
  EXPECT_EQ(cell(1, 5), QString());
  EXPECT_EQ(cell(1, 6), QString());
  EXPECT_TRUE(cell(1, 7).contains(QStringLiteral("检查路径"))) << "what to do";
  EXPECT_EQ(cell(2, 4), QStringLiteral("不是网页"));
  EXPECT_EQ(cell(2, 5), QString());
  EXPECT_EQ(cell(3, 4), QStringLiteral("压缩成功"));
  EXPECT_EQ(child<QLabel>("savingLabel")->text(),
            QStringLiteral("共节省 %1 字节（%2）").arg((a1 - b1) + (a4 - b4)).arg(ui::toQString(savingText(a1 + a4, b1 + b4))));
  EXPECT_EQ(readBytes(pages_ / "notes.txt"), "<p>no html</p><b>here</b>");

  EXPECT_EQ(bar("ProgressBar1")->maximum(), 4);
  EXPECT_EQ(bar("ProgressBar1")->value(), 4);
  EXPECT_EQ(bar("ProgressBar4")->maximum(), a4);
  EXPECT_EQ(bar("ProgressBar4")->value(), a4 - b4);
  EXPECT_EQ(bar("ProgressBar6")->maximum(), 1 + a1 + a4);
  EXPECT_EQ(bar("ProgressBar6")->value(), (a1 - b1) + (a4 - b4));
  EXPECT_EQ(ReadBackupIndex(false).size(), 2u);  // a and b: the file that is no page has no entry
}

TEST_F(RunWindowTest, MissingRowsDoNotAdvanceTheOverallBar) {
  writeBytes(pages_ / "a.htm", kPage);
  RunWindow& w = open();
  queue(pages_ / "a.htm");
  queue(pages_ / "a.htm");
  w.addRow(textPath(pages_ / "never.htm"), Text(), Text(), Text());
  ui::MessageBox::setNextAnswers({Answer::Ok});
  w.compressQueuedRows();
  EXPECT_EQ(bar("ProgressBar1")->maximum(), 3);
  EXPECT_EQ(bar("ProgressBar1")->value(), 2);
  EXPECT_EQ(cell(2, 4), QStringLiteral("文件不在"));
  // The second row found the page already compressed: 0% or a small saving.
  EXPECT_EQ(cell(1, 4), QStringLiteral("压缩成功"));
}

TEST_F(RunWindowTest, GrownAndEmptyPagesKeepTheBarsInRange) {
  writeBytes(pages_ / "grows.htm", "<html><b>x</b></html>");
  writeBytes(pages_ / "empty.htm", "");
  options_.breakLinesAfterTags = true;  // a line break after every tag: this page grows
  RunWindow& w = open();
  queue(pages_ / "grows.htm");
  w.addRow(textPath(pages_ / "empty.htm"), Text(), U"0", Text());
  ui::MessageBox::setNextAnswers({Answer::Ok});
  w.compressQueuedRows();
  EXPECT_EQ(cell(0, 4), QStringLiteral("压缩成功"));
  EXPECT_TRUE(cell(0, 6).startsWith(u'-')) << cell(0, 6).toStdString();
  EXPECT_EQ(bar("ProgressBar4")->value(), 0);
  EXPECT_EQ(bar("ProgressBar6")->value(), 0);
  EXPECT_GE(bar("ProgressBar4")->maximum(), 1);
  EXPECT_EQ(cell(1, 4), QStringLiteral("不是网页"));
  EXPECT_EQ(child<QStatusBar>("StatusBar1")->currentMessage(), QStringLiteral("压缩结束"));
  EXPECT_EQ(ui::MessageBox::shownTexts().size(), 1u);  // no "发生错误" box
}

TEST_F(RunWindowTest, Check3AsksWhetherToRestoreAndOptionsAreReadLive) {
  // One tag only: the compressor fails the page after reading it.
  const std::string broken = "<html>text";
  writeBytes(pages_ / "one.htm", broken);
  writeBytes(pages_ / "two.htm", broken);
  RunWindow& w = open();
  queue(pages_ / "one.htm");
  queue(pages_ / "two.htm");
  options_.offerRestoreAfterError = true;
  ui::MessageBox::setNextAnswers({Answer::Ok, Answer::No, Answer::Yes});
  w.compressQueuedRows();
  const auto& shown = ui::MessageBox::shownTexts();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[1], QStringLiteral("您好:\r\n    本软件在压缩您的这个文件时出现了错误，是否还原文件？（建议选择 是）"));
  EXPECT_EQ(shown[2], shown[1]);
  EXPECT_EQ(cell(0, 4), QStringLiteral("压缩失败"));
  EXPECT_EQ(cell(1, 4), QStringLiteral("压缩失败"));
  EXPECT_EQ(readBytes(pages_ / "one.htm"), broken);
  EXPECT_EQ(readBytes(pages_ / "two.htm"), broken);
}

TEST_F(RunWindowTest, AnErrorOfTheRunItselfStopsItWithABox) {
  writeBytes(pages_ / "a.htm", kPage);
  writeBytes(pages_ / "b.htm", kPage);
  RunWindow& w = open();
  queue(pages_ / "a.htm");
  queue(pages_ / "b.htm");
  StatFails failing(pages_ / "b.htm");
  ScopedFileService scoped(failing);
  ui::MessageBox::setNextAnswers({Answer::Ok, Answer::Ok});
  w.compressQueuedRows();
  const auto& shown = ui::MessageBox::shownTexts();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1], QStringLiteral("发生错误磁盘错误将停止压缩"));
  EXPECT_EQ(cell(1, 4), QString());
  // The second page's row was begun while the first waited for the backup
  // store to be synced; it is left as it was.
  EXPECT_EQ(child<QStatusBar>("StatusBar1")->currentMessage(),
            QStringLiteral("正在压缩 ") + QString::fromStdString(pages_ / "b.htm"));
  EXPECT_EQ(readBytes(pages_ / "b.htm"), kPage);
}

TEST_F(RunWindowTest, ViewShowsEverySelectedRowInTurn) {
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) writeBytes(pages_ / name, kPage);
  RunWindow& w = open();
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) queue(pages_ / name);

  child<QPushButton>("Command2")->click();
  EXPECT_EQ(ui::infoWindow(), nullptr);

  QTreeWidget* list = child<QTreeWidget>("ListView1");
  list->topLevelItem(0)->setSelected(true);
  list->topLevelItem(1)->setSelected(true);
  child<QPushButton>("Command2")->click();
  ASSERT_NE(ui::infoWindow(), nullptr);
  EXPECT_EQ(ui::infoWindow()->findChild<QLabel*>(QStringLiteral("pathLabel"))->text(),
            QString::fromStdString(pages_ / "b.htm"));
  EXPECT_EQ(w.rowCount(), 3);
}

TEST_F(RunWindowTest, ARunKeepsTheListReadableAndPaintsAtTheFrameRate) {
  // Deep paths, a failing page, and more rows than the list shows at once.
  const std::string deep = pages_ / std::string(120, 'd');
  files().createDirectory(deep);
  std::string body;
  for (int i = 0; i < 400; ++i) body += "<p>word   word</p>\r\n";
  for (int i = 0; i < 60; ++i) writeBytes(deep + "/page" + std::to_string(i) + ".htm", "<html>" + body + "</html>");
  writeBytes(pages_ / "broken.htm", "<html>");  // a single tag: the page fails
  RunWindow& w = open();
  for (int i = 0; i < 60; ++i) queue(deep + "/page" + std::to_string(i) + ".htm");
  queue(pages_ / "broken.htm");

  QProgressBar* pageBar = bar("ProgressBar5");
  test::PaintCounter paints(pageBar);
  int values = 0;
  QObject::connect(pageBar, &QProgressBar::valueChanged, &w, [&] { ++values; });
  QElapsedTimer clock;
  clock.start();
  ui::MessageBox::setNextAnswers({Answer::Ok});
  w.compressQueuedRows();
  const qint64 elapsed = clock.elapsed();

  EXPECT_GT(values, 60 * 20) << "the bar takes every value";
  EXPECT_LE(paints.paints, elapsed / (1000 / ui::ScreenPacer::kFramesPerSecond) + 3) << values << " values";

  QTreeWidget* list = child<QTreeWidget>("ListView1");
  const QFontMetrics metrics = list->fontMetrics();
  int total = 0;
  for (int c = 0; c < 8; ++c) total += list->columnWidth(c);
  EXPECT_LE(total, list->viewport()->width()) << "no column hides behind a sideways scroll";
  for (int c = 2; c < 7; ++c) EXPECT_GT(list->columnWidth(c), metrics.horizontalAdvance(cell(0, c))) << c;
  EXPECT_GT(list->columnWidth(0), list->columnWidth(2));

  // The last row is the one in view; only the failed row explains itself.
  const QRect last = list->visualItemRect(list->topLevelItem(60));
  EXPECT_TRUE(list->viewport()->rect().contains(last)) << last.y();
  EXPECT_EQ(cell(60, 4), QStringLiteral("压缩失败"));
  const QString reason = list->topLevelItem(60)->toolTip(4);
  EXPECT_FALSE(reason.isEmpty());
  EXPECT_EQ(list->topLevelItem(60)->toolTip(0), reason) << "the whole row explains itself";
  EXPECT_FALSE(reason.contains(QStringLiteral("broken.htm"))) << reason.toStdString();
  EXPECT_EQ(list->topLevelItem(0)->toolTip(4), QString());
}

TEST_F(RunWindowTest, EscClosesTheWindowBetweenRuns) {
  RunWindow& w = open();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::keyClick(&w, Qt::Key_Escape);
  EXPECT_FALSE(w.isVisible());
}

TEST_F(RunWindowTest, StopAndCloseHideTheWindowAndOnTopKeepsItsPlace) {
  RunWindow& w = open(true);
  EXPECT_TRUE(w.alwaysOnTop());
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  const QRect before = w.geometry();
  w.setAlwaysOnTop(false);
  EXPECT_FALSE(w.alwaysOnTop());
  EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.geometry().size(), before.size());
  EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowCloseButtonHint));

  child<QPushButton>("Command1")->click();
  EXPECT_FALSE(w.isVisible());
  open();
  child<QPushButton>("Command3")->click();
  EXPECT_FALSE(window_->isVisible());
}

}  // namespace
}  // namespace vantiro
