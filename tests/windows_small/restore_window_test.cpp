#include "backup/restore_window.h"

#include "backup/backup_store.h"
#include "common/settings_store.h"
#include "common/ui/message_box.h"
#include "common/ui/text_convert.h"
#include "platform/directory_lock.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/support/temp_dir.h"
#include "tests/windows_small/qt_test_app.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;
using ui::RestoreWindow;
using ui::toQString;

class RestoreWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setProgramDirectory(home_.path());
    setPauseScale(0);
    ui::MessageBox::reset();
  }

  void TearDown() override {
    for (QWidget* w : QApplication::topLevelWidgets()) w->close();
    test::settleEvents();
    setProgramDirectory("");
  }

  std::string page(const std::string& name) { return pages_ / name; }

  void backup(const std::string& path, const std::string& content) {
    AppendBackupEntry(textPath(path), content, content.size(), BackupFiller::Spaces);
  }

  // Opens the window and records every status text it shows from then on.
  RestoreWindow* open() {
    RestoreWindow* w = RestoreWindow::open();
    statuses_.clear();
    QObject::connect(w->findChild<QStatusBar*>(QStringLiteral("StatusBar1")), &QStatusBar::messageChanged, w,
                     [this](const QString& text) {
                       if (!text.isEmpty()) statuses_.push_back(text);
                     });
    return w;
  }

  static QTreeWidget* list(RestoreWindow* w) { return w->findChild<QTreeWidget*>(QStringLiteral("ListView1")); }
  static QCheckBox* check(RestoreWindow* w) { return w->findChild<QCheckBox*>(QStringLiteral("Check1")); }
  static void press(RestoreWindow* w, const char* name) {
    w->findChild<QPushButton*>(QString::fromLatin1(name))->click();
  }
  static std::vector<QString> column(RestoreWindow* w, int c) {
    std::vector<QString> out;
    for (int i = 0; i < list(w)->topLevelItemCount(); ++i) out.push_back(list(w)->topLevelItem(i)->text(c));
    return out;
  }

  static QString restoring(const std::string& path, int length) {
    return QStringLiteral("正在还原  ") + QString::fromStdString(path) + QStringLiteral("文件，大小为") +
           QString::number(length) + QStringLiteral("B .....");
  }
  static QString restored(const std::string& path, int length) {
    return QStringLiteral("成功还原  ") + QString::fromStdString(path) + QStringLiteral("文件，大小为") +
           QString::number(length) + QStringLiteral("B   OK!!");
  }

  test::TempDir home_;
  test::TempDir pages_;
  std::vector<QString> statuses_;
};

TEST_F(RestoreWindowTest, EmptyStoreListsNothingAndRestoresNothing) {
  RestoreWindow* w = open();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("还原压缩"));
  EXPECT_EQ(list(w)->topLevelItemCount(), 0);
  press(w, "Command2");
  EXPECT_EQ(statuses_, std::vector<QString>{QStringLiteral("就绪")});
}

TEST_F(RestoreWindowTest, EscClosesTheWindow) {
  QPointer<RestoreWindow> w = open();
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  QTest::keyClick(w, Qt::Key_Escape);
  test::settleEvents();
  EXPECT_TRUE(w.isNull());
}

TEST_F(RestoreWindowTest, DoesNotRestoreWhileAnotherProgramUsesTheDirectory) {
  backup(page("a.htm"), "A-1");
  writeBytes(page("a.htm"), "changed");
  RestoreWindow* w = open();
  {
    auto other = DirectoryLock::take(home_.path(), false);
    ui::MessageBox::setNextAnswers({ui::MessageBox::Answer::Ok});
    press(w, "Command2");
    ASSERT_EQ(ui::MessageBox::shownTexts().size(), 1u);
    EXPECT_TRUE(ui::MessageBox::shownTexts().front().startsWith(QStringLiteral("另一个程序正在使用程序目录")));
    EXPECT_EQ(readBytes(page("a.htm")), "changed");
  }
  press(w, "Command2");
  EXPECT_EQ(readBytes(page("a.htm")), "A-1");
}

// The stored switch orders the rows; restoring all gives every page its
// oldest copy in either order.
TEST_F(RestoreWindowTest, OrderFollowsTheStoredSwitchAndAllMeansEachPagesOldestCopy) {
  struct Case {
    const char* setting;
    bool newestFirst;
  };
  const Case cases[] = {{"1", true}, {"0", false}, {nullptr, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting ? c.setting : "no setting");
    if (pathExists(settingsFilePath())) files().removeFile(settingsFilePath());
    if (c.setting) WriteSetting(U"form6.check1.value", fromUtf8(c.setting));
    ClearBackupStore();
    backup(page("a.htm"), "A-1");
    backup(page("b.htm"), "B-1");
    backup(page("a.htm"), "A-22");
    writeBytes(page("a.htm"), "changed");
    writeBytes(page("b.htm"), "changed");

    RestoreWindow* w = open();
    EXPECT_EQ(check(w)->isChecked(), c.newestFirst);
    const QString a = QString::fromStdString(page("a.htm"));
    const QString b = QString::fromStdString(page("b.htm"));
    EXPECT_EQ(column(w, 0), (std::vector<QString>{a, b, a}));
    const std::vector<QString> lengths = {QStringLiteral("3"), QStringLiteral("3"), QStringLiteral("4")};
    EXPECT_EQ(column(w, 1), c.newestFirst ? std::vector<QString>(lengths.rbegin(), lengths.rend()) : lengths);
    EXPECT_FALSE(column(w, 2)[0].isEmpty());
    EXPECT_FALSE(list(w)->topLevelItem(0)->icon(0).isNull());

    press(w, "Command2");
    EXPECT_EQ(readBytes(page("a.htm")), "A-1");
    EXPECT_EQ(readBytes(page("b.htm")), "B-1");
    EXPECT_TRUE(statuses_.front() == QStringLiteral("就绪"));
    EXPECT_TRUE(std::count(statuses_.begin(), statuses_.end(), restored(page("a.htm"), 3)) == 1);
    EXPECT_TRUE(std::count(statuses_.begin(), statuses_.end(), restored(page("b.htm"), 3)) == 1);

    // Restoring again gives the same files and leaves the list as it was.
    press(w, "Command2");
    EXPECT_EQ(readBytes(page("a.htm")), "A-1");
    EXPECT_EQ(list(w)->topLevelItemCount(), 3);
    w->close();
    test::settleEvents();
  }
}

// Rows read before another program cleared the store point into the new data
// file: they are refused, and the list is read again.
TEST_F(RestoreWindowTest, RowsTheStoreNoLongerHoldsAreRefused) {
  backup(page("a.htm"), "A-1");
  backup(page("b.htm"), "B-1");
  RestoreWindow* w = open();
  ClearBackupStore();
  backup(page("b.htm"), "B-9");  // the same length at a's place
  backup(page("c.htm"), "C-9");
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) writeBytes(page(name), "changed");

  press(w, "Command2");
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) EXPECT_EQ(readBytes(page(name)), "changed") << name;
  EXPECT_EQ(column(w, 0), (std::vector<QString>{QString::fromStdString(page("b.htm")),
                                                QString::fromStdString(page("c.htm"))}));
  press(w, "Command2");
  EXPECT_EQ(readBytes(page("b.htm")), "B-9");
}

// Restoring takes no pauses of its own and counts the entries on a bar.
TEST_F(RestoreWindowTest, RestoringAllWaitsForNothingAndShowsHowFarItGot) {
  constexpr int kPages = 20;
  for (int n = 0; n < kPages; ++n) {
    backup(page("p" + std::to_string(n) + ".htm"), "saved");
    writeBytes(page("p" + std::to_string(n) + ".htm"), "changed");
  }
  RestoreWindow* w = open();
  setPauseScale(1);
  QElapsedTimer clock;
  clock.start();
  press(w, "Command2");
  EXPECT_LT(clock.elapsed(), 1000) << "no pause between entries";
  setPauseScale(0);
  for (int n = 0; n < kPages; ++n) EXPECT_EQ(readBytes(page("p" + std::to_string(n) + ".htm")), "saved");
  const auto* bar = w->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
  EXPECT_EQ(bar->value(), kPages);
  EXPECT_EQ(bar->text(), QStringLiteral("20/20"));
}

// Clearing the store asks first, and takes the list with it.
TEST_F(RestoreWindowTest, ClearingTheStoreAsksFirst) {
  backup(page("a.htm"), "A-1");
  RestoreWindow* w = open();
  for (const auto answer : {ui::MessageBox::Answer::No, ui::MessageBox::Answer::Yes}) {
    ui::MessageBox::setNextAnswers({answer});
    press(w, "Command4");
    const bool cleared = answer == ui::MessageBox::Answer::Yes;
    EXPECT_EQ(ReadBackupIndex(false).empty(), cleared);
    EXPECT_EQ(list(w)->topLevelItemCount(), cleared ? 0 : 1);
  }
}

TEST_F(RestoreWindowTest, RestoresOnlyTheSelectedRows) {
  backup(page("a.htm"), "A-1");
  backup(page("b.htm"), "B-1");
  backup(page("c.htm"), "C-1");
  for (const char* name : {"a.htm", "b.htm", "c.htm"}) writeBytes(page(name), "changed");

  RestoreWindow* w = open();
  press(w, "Command1");
  EXPECT_EQ(statuses_, std::vector<QString>{QStringLiteral("就绪")});
  EXPECT_EQ(readBytes(page("a.htm")), "changed");

  list(w)->topLevelItem(0)->setSelected(true);
  list(w)->topLevelItem(2)->setSelected(true);
  w->findChild<QStatusBar*>(QStringLiteral("StatusBar1"))->clearMessage();
  statuses_.clear();
  press(w, "Command1");
  EXPECT_EQ(readBytes(page("a.htm")), "A-1");
  EXPECT_EQ(readBytes(page("b.htm")), "changed");
  EXPECT_EQ(readBytes(page("c.htm")), "C-1");
  EXPECT_EQ(statuses_.size(), 5u);
  EXPECT_EQ(statuses_.back(), restored(page("c.htm"), 3));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(RestoreWindowTest, NamesInUtf8AndNamesThatAreNotAreShownAndRestored) {
  const std::string names[] = {"站点首页.htm", "😀.html", "\xFF\xB0\xA1.htm"};
  for (const std::string& name : names) {
    backup(page(name), "saved " + name);
    writeBytes(page(name), "changed");
  }
  RestoreWindow* w = open();
  ASSERT_EQ(list(w)->topLevelItemCount(), 3);
  for (int i = 0; i < 3; ++i) list(w)->topLevelItem(i)->setSelected(true);
  press(w, "Command1");
  std::vector<QString> shown;
  for (const std::string& name : names) {
    EXPECT_EQ(readBytes(page(name)), "saved " + name);
    shown.push_back(toQString(textPath(page(name))));
  }
  std::vector<QString> rows = column(w, 0);
  std::sort(rows.begin(), rows.end());
  std::sort(shown.begin(), shown.end());
  EXPECT_EQ(rows, shown);
  EXPECT_EQ(rows[0].contains(QStringLiteral("站点首页")), true);
}

TEST_F(RestoreWindowTest, AFailingEntryIsReportedAndTheNextOneStillRestored) {
  backup(page("a.htm"), "A-1");
  backup(page("b.htm"), "B-1");
  writeBytes(page("b.htm"), "changed");
  // The data file loses its last byte: the second entry's range is incomplete.
  const std::string data = readBytes(backupDataPath());
  writeBytes(backupDataPath(), data.substr(0, data.size() - 1));
  writeBytes(page("a.htm"), "kept");

  RestoreWindow* w = open();
  press(w, "Command2");
  EXPECT_EQ(readBytes(page("a.htm")), "A-1");
  EXPECT_EQ(readBytes(page("b.htm")), "changed");
  ASSERT_FALSE(statuses_.empty());
  EXPECT_EQ(statuses_.back(), QStringLiteral("还原  ") + QString::fromStdString(page("b.htm")) + QStringLiteral("失败！"));
}

TEST_F(RestoreWindowTest, SwitchTakesEffectAtTheNextOpeningAndIsSavedOnClose) {
  backup(page("a.htm"), "A-1");
  backup(page("b.htm"), "B-1");
  const QString a = QString::fromStdString(page("a.htm"));
  const QString b = QString::fromStdString(page("b.htm"));

  RestoreWindow* w = open();
  EXPECT_FALSE(check(w)->isChecked());
  EXPECT_EQ(RestoreWindow::open(), w);  // one window at most
  check(w)->setChecked(true);
  EXPECT_EQ(column(w, 0), (std::vector<QString>{a, b}));
  press(w, "Command3");
  test::settleEvents();
  EXPECT_EQ(ReadSetting(U"form6.check1.value"), U"1");

  w = open();
  EXPECT_TRUE(check(w)->isChecked());
  EXPECT_EQ(column(w, 0), (std::vector<QString>{b, a}));
  check(w)->setChecked(false);
  w->close();  // the close box saves too
  test::settleEvents();
  EXPECT_EQ(ReadSetting(U"form6.check1.value"), U"0");
}

TEST_F(RestoreWindowTest, StoredSwitchIsReadAsANumberModuloTwo) {
  const std::pair<const char*, bool> cases[] = {{"3", true}, {"2", false}, {"ture", false}, {" 11", true}, {"", false}};
  for (const auto& [stored, checked] : cases) {
    SCOPED_TRACE(stored);
    WriteSetting(U"form6.check1.value", fromUtf8(stored));
    RestoreWindow* w = open();
    EXPECT_EQ(check(w)->isChecked(), checked);
    delete w;  // no closing step: the stored text stays as written
  }
}

}  // namespace
}  // namespace vantiro
