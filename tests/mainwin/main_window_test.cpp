// The main window driven as a user drives it: widgets found by objectName,
// message boxes answered through the facade, pauses shortened to nothing.

#include "mainwin/main_window.h"

#include "backup/backup_store.h"
#include "common/settings_store.h"
#include "common/ui/message_box.h"
#include "common/ui/text_convert.h"
#include "common/ui/tip_window.h"
#include "compress/run_window.h"
#include "mainwin/file_browser.h"
#include "mainwin/main_menus.h"
#include "mainwin/options_panel.h"
#include "mainwin/task_list.h"
#include "platform/code_page.h"
#include "platform/directory_lock.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/mainwin/window_test_support.h"
#include "tests/support/temp_dir.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QStyleOptionViewItem>
#include <QWindow>
#include <QMimeData>
#include <QUrl>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;
using ui::MainWindow;
using ui::MessageBox;
using Answer = ui::MessageBox::Answer;

const char* const kPage = "<html>\r\n<body>\r\n  <p>hello   world</p>\r\n</body>\r\n</html>\r\n";

class MainWindowTest : public test::WindowTest {
 protected:
  void SetUp() override {
    test::WindowTest::SetUp();
    ui::writeTipSwitch(QStringLiteral("0"));
    std::filesystem::create_directories(site_ / "sub");
    writeBytes(site_ / "a.htm", kPage);
    writeBytes(site_ / "b.html", kPage);
    writeBytes(site_ / "c.htm", kPage);
    writeBytes(site_ / "notes.txt", "plain");
    writeBytes(site_ / ".hidden.htm", kPage);
    writeBytes(site_ / "sub/d.htm", kPage);
  }
  void TearDown() override {
    window_.reset();
    test::WindowTest::TearDown();
  }

  MainWindow& start() {
    window_ = std::make_unique<MainWindow>();
    window_->startUp();
    return *window_;
  }
  // Closes the window as the user does; the settings are written then.
  void closeWindow() {
    window_->close();
    window_.reset();
  }

  template <typename T>
  T* find(const char* name) const {
    T* widget = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QAction* action(const char* name) const { return find<QAction>(name); }
  QPushButton* button(const char* name) const { return find<QPushButton>(name); }
  QCheckBox* check(int n) const { return find<QCheckBox>(("Check" + std::to_string(n)).c_str()); }

  Text sitePath(const std::string& name) const { return textPath(site_ / name); }
  Text siteDir() const {
    std::string dir = site_.path();
    dir.pop_back();
    return textPath(dir);
  }
  // Opens the site in the browser and selects the named files of File1.
  void openSite(const std::vector<QString>& select = {}) {
    window_->browser()->setCurrentDirectory(siteDir());
    auto* files = find<QListWidget>("File1");
    for (int i = 0; i < files->count(); ++i)
      files->item(i)->setSelected(std::find(select.begin(), select.end(), files->item(i)->text()) != select.end());
  }
  std::vector<Text> entries() const { return window_->taskList()->entries(); }

  static Text setting(TextView key) { return ReadSetting(key).value_or(U"<absent>"); }

  test::TempDir site_;
  std::unique_ptr<MainWindow> window_;
};

// ---------------------------------------------------------------- start-up and shut-down

// Every option starts off but appending to the backup store: a second run
// must not clear the originals the first one saved.
TEST_F(MainWindowTest, FirstStartShowsEverythingOffButAppendingAndTheHomeFolder) {
  MainWindow& w = start();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Vantirov3.00"));
  for (int n = 1; n <= 7; ++n) EXPECT_FALSE(check(n)->isChecked()) << n;
  EXPECT_TRUE(check(8)->isChecked());
  EXPECT_FALSE(check(9)->isChecked());
  EXPECT_FALSE(check(10)->isChecked());
  EXPECT_FALSE(find<QComboBox>("text1")->isVisible());
  EXPECT_TRUE(find<QComboBox>("text2")->currentText().isEmpty());
  EXPECT_EQ(w.browser()->currentDirectory(), textPath(QFile::encodeName(QDir::homePath()).toStdString()));
  EXPECT_EQ(find<QComboBox>("Combo1")->currentIndex(), 0);
  EXPECT_EQ(find<QComboBox>("Combo1")->itemText(0), QStringLiteral("*.htm,*.html"));
  EXPECT_FALSE(w.isMaximized());
  EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(MessageBox::shownTexts().empty());
}

TEST_F(MainWindowTest, ClosingWritesEveryKeyOfTheShutDownList) {
  start();
  openSite();
  check(1)->click();
  find<QComboBox>("text1")->setEditText(QStringLiteral("/srv/site"));
  find<QComboBox>("text2")->setEditText(QStringLiteral("/srv/out"));
  check(2)->setChecked(true);
  check(8)->setChecked(true);
  closeWindow();

  for (TextView key : {U"com10", U"com11", U"com111", U"com12", U"com2", U"com3"})
    EXPECT_EQ(setting(key), U"ture") << toUtf8(key);
  EXPECT_EQ(setting(U"text1.text"), U"/srv/site");
  EXPECT_EQ(setting(U"text2.text"), U"/srv/out");
  const Text expected[] = {U"1", U"1", U"0", U"0", U"0", U"0", U"0", U"1", U"0", U"0"};
  for (int n = 1; n <= 10; ++n) EXPECT_EQ(setting(U"check" + toText(n)), expected[n - 1]) << n;
  EXPECT_EQ(setting(U"dir"), siteDir());

  // Nineteen keys in their write order: the first is com10, the last dir.
  std::string bytes = readBytes(home_ / "peizi.dll");
  EXPECT_EQ(bytes.size(), 356u + 256u * 19u);
  EXPECT_EQ(bytes.substr(128 + 256, 5), "com10");
  EXPECT_EQ(bytes.substr(128 + 256 * 19, 3), "dir");
}

TEST_F(MainWindowTest, NextStartRestoresOptionsFieldsAndDirectory) {
  start();
  openSite();
  check(1)->click();
  find<QComboBox>("text1")->setEditText(QStringLiteral("/srv/site"));
  check(6)->setChecked(true);
  check(9)->setChecked(true);
  check(10)->setChecked(true);
  closeWindow();

  MainWindow& w = start();
  EXPECT_TRUE(check(1)->isChecked());
  EXPECT_TRUE(check(6)->isChecked());
  EXPECT_TRUE(check(9)->isChecked());
  EXPECT_TRUE(check(10)->isChecked());
  EXPECT_FALSE(check(2)->isChecked());
  EXPECT_TRUE(find<QComboBox>("text1")->isVisible());
  EXPECT_EQ(find<QComboBox>("text1")->currentText(), QStringLiteral("/srv/site"));
  EXPECT_EQ(w.browser()->currentDirectory(), siteDir());
  // The menu check marks are not restored.
  EXPECT_FALSE(action("com11")->isChecked());
  EXPECT_TRUE(action("com111")->isChecked());
}

TEST_F(MainWindowTest, StoredValuesAreReadAsLeadingNumbersAndCheckedForSense) {
  struct Case {
    TextView check1, check2, dir;
    bool on1, on2, fieldsShown;
  };
  const Case cases[] = {
      {U"1", U"x", U"/no/such/dir", true, false, true},
      {U"0", U"1", U"", false, true, false},
      {U"12abc", U"0", U"", true, false, true},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(home_ / "peizi.dll");
    WriteSetting(U"text1.text", U"/srv/site");
    WriteSetting(U"check1", c.check1);
    WriteSetting(U"check2", c.check2);
    WriteSetting(U"dir", c.dir);
    MainWindow& w = start();
    EXPECT_EQ(check(1)->isChecked(), c.on1);
    EXPECT_EQ(check(2)->isChecked(), c.on2);
    auto* text1 = find<QComboBox>("text1");
    EXPECT_EQ(text1->isVisible(), c.fieldsShown);
    // With Check1 off the field starts hidden and empty.
    EXPECT_EQ(text1->currentText(), c.fieldsShown ? QStringLiteral("/srv/site") : QString());
    // A stored directory that is gone is ignored: the browser stays in the home folder.
    EXPECT_EQ(w.browser()->currentDirectory(), textPath(QFile::encodeName(QDir::homePath()).toStdString()));
    window_.reset();
  }
}

TEST_F(MainWindowTest, LargeBackupAsksOnlyAboveTenMillionBytesWithAppendOn) {
  struct Case {
    std::uintmax_t size;
    TextView check8;
    bool asked;
  };
  const Case cases[] = {{10000000, U"1", false}, {10000001, U"1", true}, {10000001, U"0", false}};
  for (const Case& c : cases) {
    {
      writeBytes(home_ / "bak.dat", "");
      std::filesystem::resize_file(home_ / "bak.dat", c.size);
    }
    WriteSetting(U"check8", c.check8);
    MessageBox::reset();
    MessageBox::setNextAnswers({Answer::Yes});
    start();
    const QString question = QStringLiteral("由于你的文件备份已经超过了10M，我建议您选择覆盖的备份：");
    bool asked = !MessageBox::shownTexts().empty() && MessageBox::shownTexts().back() == question;
    EXPECT_EQ(asked, c.asked) << c.size;
    if (c.asked) {
      EXPECT_FALSE(check(8)->isChecked());  // Yes turns appending off
    }
    window_.reset();
  }
}

TEST_F(MainWindowTest, DefaultListIsLoadedAtStartAndByItsButton) {
  writeBytes(home_ / "moren.kbq", site_ / "a.htm" + "\r\n" + site_ / "gone.htm" + "\r\n" + site_ / "c.htm" + "\r\n");
  start();
  EXPECT_EQ(entries(), (std::vector<Text>{sitePath("a.htm"), sitePath("c.htm")}));

  window_->taskList()->clear();
  window_->taskList()->append(U"/x/keep.htm");
  std::filesystem::remove(home_ / "moren.kbq");
  button("Command10")->click();
  EXPECT_EQ(entries(), std::vector<Text>{U"/x/keep.htm"});  // no default list: nothing changes

  writeBytes(home_ / "moren.kbq", site_ / "b.html" + "\r\n");
  button("Command10")->click();
  EXPECT_EQ(entries(), std::vector<Text>{sitePath("b.html")});
}

// ---------------------------------------------------------------- task list

TEST_F(MainWindowTest, AddingFromTheBrowserNeverDuplicatesAndComparesWholePaths) {
  start();
  openSite({QStringLiteral("a.htm")});
  button("Command1")->click();
  button("Command1")->click();
  EXPECT_EQ(entries(), std::vector<Text>{sitePath("a.htm")});

  window_->taskList()->append(sitePath("A.htm"));  // differs in case: a different entry
  button("Command2")->click();
  EXPECT_EQ(entries(), (std::vector<Text>{sitePath("a.htm"), sitePath("A.htm"), sitePath("b.html"),
                                          sitePath("c.htm")}));

  // "*.*" lists every visible file.
  find<QComboBox>("Combo1")->setCurrentIndex(1);
  window_->browser()->chooseFilter(1);
  EXPECT_EQ(find<QListWidget>("File1")->count(), 4);
}

TEST_F(MainWindowTest, AddWithNothingSelectedStillShowsTheHiddenList) {
  start();
  openSite();
  auto* panel = window_->taskList();
  QTest::qWait(1100);
  EXPECT_FALSE(panel->isListShown());
  button("Command1")->click();
  EXPECT_TRUE(panel->isListShown());
  EXPECT_TRUE(entries().empty());
}

TEST_F(MainWindowTest, EmptyListIsHiddenByTheTimerAndShownUnderTheMouse) {
  start();
  auto* panel = window_->taskList();
  panel->append(U"/x/a.htm");
  QTest::qWait(1100);
  EXPECT_TRUE(panel->isListShown());
  button("Command4")->click();  // 删除全部
  QTest::qWait(1100);
  EXPECT_FALSE(panel->isListShown());
  EXPECT_TRUE(find<QLabel>("Image1")->isVisible());

  QTest::mouseMove(find<QLabel>("Image1"), QPoint(20, 20));
  EXPECT_TRUE(panel->isListShown());
  QTest::qWait(1100);
  EXPECT_FALSE(panel->isListShown());
}

TEST_F(MainWindowTest, TheListShowsAsSoonAsItHoldsEntries) {
  start();
  auto* panel = window_->taskList();
  QTest::qWait(1100);
  ASSERT_FALSE(panel->isListShown());
  window_->browser()->setCurrentDirectory(siteDir());
  window_->queueHighlightedDirectory();  // 整个目录
  EXPECT_FALSE(entries().empty());
  EXPECT_TRUE(panel->isListShown());
  QTest::qWait(1100);
  EXPECT_TRUE(panel->isListShown()) << "the timer hides only an empty list";
}

// A drag of files over the list and over the picture that stands in for it.
TEST_F(MainWindowTest, DropsAreTakenAsCopiesOnTheListAndOnThePicture) {
  struct Case {
    Qt::DropActions offered;
    Qt::DropAction proposed;
    bool accepted;
    Qt::DropAction answer;
  };
  const Case cases[] = {
      {Qt::CopyAction | Qt::MoveAction, Qt::MoveAction, true, Qt::CopyAction},
      {Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::LinkAction, true, Qt::CopyAction},
      {Qt::LinkAction | Qt::MoveAction, Qt::MoveAction, true, Qt::LinkAction},
      {Qt::MoveAction, Qt::MoveAction, false, Qt::MoveAction},
  };
  start();
  auto* panel = window_->taskList();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(site_ / "c.htm"))});
  for (QWidget* target : {panel->List1->viewport(), static_cast<QWidget*>(panel->Image1)}) {
    for (const Case& c : cases) {
      QDragEnterEvent enter(QPoint(5, 5), c.offered, &data, Qt::LeftButton, Qt::NoModifier);
      enter.setDropAction(c.proposed);
      QApplication::sendEvent(target, &enter);
      EXPECT_EQ(enter.isAccepted(), c.accepted) << target->objectName().toStdString() << " " << int(c.offered);
      if (c.accepted) {
        EXPECT_EQ(enter.dropAction(), c.answer);
      }
    }
    panel->clear();
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(target, &drop);
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    EXPECT_EQ(entries(), std::vector<Text>{sitePath("c.htm")});
    EXPECT_TRUE(panel->isListShown());
  }
  EXPECT_EQ(readBytes(site_ / "c.htm"), kPage);
}

TEST_F(MainWindowTest, ListMenusOpenFromTheKeyboard) {
  start();
  openSite();
  window_->taskList()->append(U"/x/a.htm");
  const std::pair<QAbstractItemView*, const char*> lists[] = {
      {window_->browser()->Dir1, "dir1111"}, {window_->browser()->File1, "filek"}, {window_->taskList()->List1, "ysk"}};
  QKeyEvent shiftF10(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
  QKeyEvent menuKey(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier);
  QContextMenuEvent keyboardMenu(QContextMenuEvent::Keyboard, QPoint(0, 0), QPoint(0, 0));
  for (const auto& [list, menu] : lists) {
    for (QEvent* request : std::initializer_list<QEvent*>{&shiftF10, &menuKey, &keyboardMenu}) {
      QApplication::sendEvent(list, request);
      QWidget* popup = QApplication::activePopupWidget();
      ASSERT_NE(popup, nullptr) << menu;
      EXPECT_EQ(popup->objectName(), QString::fromLatin1(menu));
      popup->close();
    }
  }
}

TEST_F(MainWindowTest, DirectoryNamesAreFoundByTyping) {
  start();
  openSite();
  QListWidget* dirs = window_->browser()->Dir1;
  for (int i = 0; i < dirs->count(); ++i) EXPECT_FALSE(dirs->item(i)->text().startsWith(u' ')) << i;
  dirs->keyboardSearch(QStringLiteral("su"));
  ASSERT_NE(dirs->currentItem(), nullptr);
  EXPECT_EQ(dirs->currentItem()->text(), QStringLiteral("sub"));
  // Deeper levels stand further right, as the view indents them.
  auto indent = [dirs](int row) {
    QStyleOptionViewItem option;
    option.initFrom(dirs);
    return dirs->itemDelegate()->sizeHint(option, dirs->model()->index(row, 0)).width() -
           dirs->fontMetrics().horizontalAdvance(dirs->item(row)->text());
  };
  EXPECT_GT(indent(dirs->count() - 1), indent(0));
}

TEST_F(MainWindowTest, DeletingSelectedEntriesKeepsTheOthersInOrder) {
  start();
  auto* panel = window_->taskList();
  for (int i = 1; i <= 7; ++i) panel->append(U"/x/" + toText(i) + U".htm");
  panel->List1->item(1)->setSelected(true);
  panel->List1->item(4)->setSelected(true);
  button("Command3")->click();
  EXPECT_EQ(entries(), (std::vector<Text>{U"/x/1.htm", U"/x/3.htm", U"/x/4.htm", U"/x/6.htm", U"/x/7.htm"}));
  button("Command3")->click();  // nothing selected any more
  EXPECT_EQ(entries().size(), 5u);
}

TEST_F(MainWindowTest, DropsAddDirectoriesInScanOrderAndFilesOnce) {
  start();
  auto* panel = window_->taskList();
  panel->dropPaths({siteDir(), sitePath("notes.txt"), sitePath(".hidden.htm"), U"/no/such/file.htm"});
  EXPECT_EQ(entries(), (std::vector<Text>{sitePath("a.htm"), sitePath("b.html"), sitePath("c.htm"),
                                          sitePath("sub/d.htm"), sitePath("notes.txt")}));
  panel->dropPaths({sitePath("notes.txt"), siteDir()});
  EXPECT_EQ(entries().size(), 5u);
}

TEST_F(MainWindowTest, UriListDroppedOnTheTaskListIsQueued) {
  start();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(site_ / "c.htm")), QUrl(QStringLiteral("http://x.example/a.htm"))});
  window_->taskList()->dropPaths(ui::droppedPaths(data));
  EXPECT_EQ(entries(), std::vector<Text>{sitePath("c.htm")});
}

TEST_F(MainWindowTest, FilesDraggedOutOfTheFileListCarryTheirPaths) {
  start();
  openSite({QStringLiteral("a.htm"), QStringLiteral("c.htm")});
  auto* files = find<QListWidget>("File1");
  QModelIndexList selected = files->selectionModel()->selectedIndexes();
  std::sort(selected.begin(), selected.end());
  std::unique_ptr<QMimeData> data(files->model()->mimeData(selected));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->urls(), (QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(site_ / "a.htm")),
                                       QUrl::fromLocalFile(QString::fromStdString(site_ / "c.htm"))}));
}

TEST_F(MainWindowTest, ViewFileHandsTheCurrentEntryToTheViewer) {
  start();
  auto viewerOpen = [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->windowTitle() == QStringLiteral("查看文件") && w->isVisible()) return true;
    return false;
  };
  window_->taskList()->append(sitePath("a.htm"));
  action("ysk6")->trigger();  // no current entry: nothing happens
  EXPECT_FALSE(viewerOpen());
  find<QListWidget>("List1")->setCurrentRow(0);
  action("ysk6")->trigger();
  EXPECT_TRUE(viewerOpen());
}

TEST(FileBrowserParts, DrivesAndFilters) {
  const std::vector<std::string> drives = {"/", "/home", "/media/usb", "/media/usb2"};
  EXPECT_EQ(ui::driveOf("/home/me/site", drives), "/home");
  EXPECT_EQ(ui::driveOf("/home", drives), "/home");
  EXPECT_EQ(ui::driveOf("/homework", drives), "/");
  EXPECT_EQ(ui::driveOf("/media/usb2/x", drives), "/media/usb2");
  EXPECT_EQ(ui::mountedDrives().front(), "/");

  EXPECT_TRUE(ui::matchesFileFilter("Index.HTML", "*.htm"));
  EXPECT_TRUE(ui::matchesFileFilter("a.htm", "*.htm"));
  EXPECT_FALSE(ui::matchesFileFilter("a.txt", "*.htm"));
  EXPECT_TRUE(ui::matchesFileFilter("Makefile", "*.*"));  // every file, as users of the filter expect
}

TEST_F(MainWindowTest, WholeDirectoryReportsHowManyPagesItAdded) {
  MainWindow& w = start();
  openSite();
  w.browser()->setCurrentDirectory(siteDir());
  action("allmulu")->trigger();
  EXPECT_EQ(entries().size(), 4u);
  EXPECT_EQ(w.statusText(), QStringLiteral("读取目录 ") + ui::toQString(siteDir()) + QStringLiteral("/ 完毕，添加了 4 个文件"));
  action("allmulu")->trigger();
  EXPECT_TRUE(w.statusText().endsWith(QStringLiteral("添加了 0 个文件"))) << "none twice";
}

// Pages and directories named on the command line are queued, each once;
// what is neither is left out.
TEST_F(MainWindowTest, PathsFromTheCommandLineAreQueued) {
  MainWindow& w = start();
  openSite();
  w.queuePaths({siteDir(), sitePath("a.htm"), textPath(site_ / "missing.htm")});
  EXPECT_EQ(entries().size(), 4u);
  EXPECT_EQ(w.statusText(), QStringLiteral("添加了 4 个文件"));
}

TEST_F(MainWindowTest, AnEmptyListIsReportedInsteadOfAnEmptyRunWindow) {
  MainWindow& w = start();
  writeBytes(home_ / "bak.dat", "old");
  for (const char* command : {"Command6", "Command5"}) {
    MessageBox::setNextAnswers({Answer::Ok});
    button(command)->click();
    ASSERT_FALSE(MessageBox::shownTexts().empty());
    EXPECT_TRUE(MessageBox::shownTexts().back().contains(QStringLiteral("列表"))) << command;
    EXPECT_EQ(w.runWindow(), nullptr) << command;
  }
  window_->taskList()->append(sitePath("a.htm"));
  find<QListWidget>("List1")->clearSelection();
  MessageBox::setNextAnswers({Answer::Ok});
  button("Command5")->click();
  EXPECT_TRUE(MessageBox::shownTexts().back().contains(QStringLiteral("没有选中"))) << "nothing selected";
  EXPECT_EQ(w.runWindow(), nullptr);
  EXPECT_EQ(readBytes(home_ / "bak.dat"), "old");
}

TEST_F(MainWindowTest, SettingsAreKeptOnlyWhileTheirMenuItemIsTicked) {
  MainWindow& w = start();
  check(2)->setChecked(true);
  w.menus()->com111->setChecked(false);
  w.saveSettings();
  EXPECT_FALSE(ReadSetting(U"check2").has_value()) << "nothing written";
}

TEST_F(MainWindowTest, RenameNeverReplacesAndReportsEveryFailure) {
  start();
  openSite();
  auto* files = find<QListWidget>("File1");
  auto select = [&](const QString& name) {
    for (int i = 0; i < files->count(); ++i)
      if (files->item(i)->text() == name) files->setCurrentItem(files->item(i));
  };
  struct Case {
    QString answer;
    bool renamed;
  };
  const Case cases[] = {{QString(), false}, {QStringLiteral("   "), false}, {QStringLiteral("c.htm"), false},
                        {QStringLiteral("  new.htm "), true}};
  for (const Case& c : cases) {
    MessageBox::reset();
    select(QStringLiteral("a.htm"));
    MessageBox::setNextInputs({c.answer});
    MessageBox::setNextAnswers({Answer::Ok});
    action("rename")->trigger();
    EXPECT_EQ(isNormalFile(site_ / "new.htm"), c.renamed) << c.answer.toStdString();
    EXPECT_EQ(MessageBox::shownTexts().back() == QStringLiteral("重命名失败"), !c.renamed);
  }
  EXPECT_EQ(readBytes(site_ / "c.htm"), kPage);
  EXPECT_FALSE(isNormalFile(site_ / "a.htm"));

  MessageBox::reset();
  select(QStringLiteral("new.htm"));
  MessageBox::setNextAnswers({Answer::Yes});
  action("killfile")->trigger();
  EXPECT_EQ(MessageBox::shownTexts().front(), QStringLiteral("是否要删除 new.htm"));
  EXPECT_FALSE(pathExists(site_ / "new.htm"));
}

TEST_F(MainWindowTest, SaveListAsksThenWritesTheNextNumberedList) {
  start();
  window_->taskList()->append(U"/x/a.htm");
  window_->taskList()->append(U"/x/b.htm");
  MessageBox::setNextAnswers({Answer::Cancel});
  button("Command9")->click();
  EXPECT_FALSE(pathExists(home_ / "1.lst"));

  MessageBox::setNextAnswers({Answer::Yes});
  MessageBox::setNextInputs({QStringLiteral("   ")});
  button("Command9")->click();
  EXPECT_FALSE(pathExists(home_ / "1.lst"));

  MessageBox::setNextAnswers({Answer::Yes});
  MessageBox::setNextInputs({QStringLiteral(" 我的站点")});
  button("Command9")->click();
  EXPECT_EQ(readBytes(home_ / "1.lst"), "1\r\n" + encodeAnsi(U" 我的站点") + "\r\n/x/a.htm\r\n/x/b.htm\r\n");
}

// ---------------------------------------------------------------- options

TEST_F(MainWindowTest, DirectoryFieldsAndCheck10FollowCheck1AndTheDirectoryMenu) {
  MainWindow& w = start();
  openSite();
  auto* text1 = find<QComboBox>("text1");
  auto* text2 = find<QComboBox>("text2");
  action("mubiao")->trigger();  // Check1 off: filled but not shown
  EXPECT_EQ(text1->currentText(), ui::toQString(siteDir()));
  EXPECT_FALSE(text1->isVisible());
  EXPECT_FALSE(check(10)->isEnabled());
  check(1)->click();
  EXPECT_TRUE(text1->isVisible());
  EXPECT_TRUE(check(10)->isEnabled());
  EXPECT_EQ(text1->currentText(), ui::toQString(siteDir()));
  action("budi")->trigger();
  EXPECT_EQ(text2->currentText(), ui::toQString(siteDir()));
  check(1)->click();
  check(1)->click();
  EXPECT_TRUE(text1->currentText().isEmpty());
  EXPECT_TRUE(text2->currentText().isEmpty());
  EXPECT_TRUE(w.options().sourceDirectory.empty());
}

TEST_F(MainWindowTest, HintsGoToTheStatusBar) {
  MainWindow& w = start();
  QTest::mouseMove(check(8), QPoint(5, 5));
  EXPECT_EQ(w.statusText(), QStringLiteral("为了您主页的绝对安全，强烈建议您选择这个选项！"));
  check(1)->click();
  find<QComboBox>("text2")->setEditText(QStringLiteral("/out"));
  EXPECT_EQ(w.statusText(), QStringLiteral("这是本软件的压缩目录，文件压缩后要放如哪儿！"));
  QTest::mouseMove(find<QListWidget>("File1")->viewport(), QPoint(5, 5));
  EXPECT_EQ(w.statusText(), QStringLiteral("你可以使用鼠标右键弹出关于文件的菜单！"));
  QTest::mouseMove(find<QListWidget>("Dir1")->viewport(), QPoint(5, 5));
  EXPECT_EQ(w.statusText(), QStringLiteral("你可以使用鼠标右键弹出关于目录的菜单！"));
}

// ---------------------------------------------------------------- run start

TEST_F(MainWindowTest, CompressAllRunsOverTheQueuedPages) {
  start();
  openSite({QStringLiteral("a.htm")});
  button("Command1")->click();
  window_->taskList()->dropPaths({sitePath("c.htm")});
  writeBytes(home_ / "bak.dat", "old");
  writeBytes(home_ / "bak.kbq", "old");
  check(8)->setChecked(false);
  MessageBox::setNextAnswers({Answer::Ok, Answer::Ok, Answer::Ok});
  button("Command6")->click();

  ui::RunWindow* run = window_->runWindow();
  ASSERT_NE(run, nullptr);
  auto* rows = run->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
  ASSERT_EQ(rows->topLevelItemCount(), 2);
  EXPECT_EQ(rows->topLevelItem(0)->text(0), ui::toQString(sitePath("a.htm")));
  EXPECT_EQ(rows->topLevelItem(1)->text(0), ui::toQString(sitePath("c.htm")));
  EXPECT_EQ(rows->topLevelItem(0)->text(2), QString::number(std::string(kPage).size()));
  EXPECT_EQ(rows->topLevelItem(0)->text(4), QStringLiteral("压缩成功"));
  EXPECT_EQ(run->findChild<QStatusBar*>(QStringLiteral("StatusBar1"))->currentMessage(), QStringLiteral("压缩结束"));
  auto* overall = run->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
  EXPECT_EQ(overall->value(), overall->maximum());
  EXPECT_LT(readBytes(site_ / "a.htm").size(), std::string(kPage).size());
  // Check8 off: the old store was cleared and holds only this run's two pages.
  EXPECT_EQ(ReadBackupIndex(false).size(), 2u);
  EXPECT_EQ(entries().size(), 2u);  // Check5 off keeps the task list
}

// Names as the Linux desktop writes them, and a name that is not UTF-8 at all,
// go from the browser through the task list, drag and drop and a run.
TEST_F(MainWindowTest, NamesInUtf8AndNamesThatAreNotTravelThroughTheWindow) {
  const std::string dir = site_ / "中文目录";
  std::filesystem::create_directories(dir);
  const std::string names[] = {"站点首页.htm", "😀.htm", "\xFF\xB0\xA1.htm"};
  std::vector<Text> paths;
  for (const std::string& name : names) {
    writeBytes(dir + "/" + name, kPage);
    paths.push_back(textPath(dir + "/" + name));
  }
  std::sort(paths.begin(), paths.end());
  start();
  window_->browser()->setCurrentDirectory(textPath(dir));
  auto* fileList = find<QListWidget>("File1");
  ASSERT_EQ(fileList->count(), 3);
  EXPECT_EQ(fileList->findItems(QStringLiteral("站点首页.htm"), Qt::MatchExactly).size(), 1);
  button("Command2")->click();
  std::vector<Text> queued = entries();
  std::sort(queued.begin(), queued.end());
  EXPECT_EQ(queued, paths);

  for (int i = 0; i < fileList->count(); ++i) fileList->item(i)->setSelected(true);
  QModelIndexList selected = fileList->selectionModel()->selectedIndexes();
  std::unique_ptr<QMimeData> dragged(fileList->model()->mimeData(selected));
  std::vector<Text> dropped = ui::droppedPaths(*dragged);
  std::sort(dropped.begin(), dropped.end());
  EXPECT_EQ(dropped, paths);

  MessageBox::setNextAnswers({Answer::Ok, Answer::Ok, Answer::Ok});
  button("Command6")->click();
  auto* rows = window_->runWindow()->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
  ASSERT_EQ(rows->topLevelItemCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(rows->topLevelItem(i)->text(4), QStringLiteral("压缩成功")) << i;
  for (const std::string& name : names) EXPECT_LT(readBytes(dir + "/" + name).size(), std::string(kPage).size());
  std::vector<Text> backedUp;
  for (const BackupEntry& e : ReadBackupIndex(false)) backedUp.push_back(e.path);
  std::sort(backedUp.begin(), backedUp.end());
  EXPECT_EQ(backedUp, paths);
}

TEST_F(MainWindowTest, RunDoesNotStartWhileAnotherProgramUsesTheDirectory) {
  start();
  window_->taskList()->append(sitePath("a.htm"));
  writeBytes(home_ / "bak.dat", "old");
  {
    auto other = DirectoryLock::take(home_.path(), false);
    MessageBox::setNextAnswers({Answer::Ok});
    button("Command6")->click();
    ASSERT_EQ(MessageBox::shownTexts().size(), 1u);
    EXPECT_TRUE(MessageBox::shownTexts().front().startsWith(QStringLiteral("另一个程序正在使用程序目录")));
    EXPECT_EQ(readBytes(site_ / "a.htm"), kPage);
    EXPECT_EQ(readBytes(home_ / "bak.dat"), "old") << "not even cleared";
  }
  MessageBox::setNextAnswers({Answer::Ok, Answer::Ok});
  button("Command6")->click();
  EXPECT_LT(readBytes(site_ / "a.htm").size(), std::string(kPage).size());
}

// Whichever way a path comes in, the list keeps it absolute.
TEST_F(MainWindowTest, TaskListQueuesAbsolutePaths) {
  start();
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(site_.path());
  struct Case {
    Text given, queued;
  };
  const Case cases[] = {{U"a.htm", sitePath("a.htm")}, {U"./sub/../c.htm", sitePath("sub/../c.htm")},
                        {sitePath("b.html"), sitePath("b.html")}};
  for (const Case& c : cases) window_->taskList()->append(c.given);
  window_->taskList()->addIfAbsent(U"a.htm");  // already there once made absolute
  window_->taskList()->dropPaths({U"sub/d.htm"});
  std::filesystem::current_path(before);
  EXPECT_EQ(entries(), (std::vector<Text>{cases[0].queued, cases[1].queued, cases[2].queued, sitePath("sub/d.htm")}));
}

TEST_F(MainWindowTest, RunStartMapsIntoTheDestinationAndEmptiesTheListWhenAsked) {
  start();
  openSite();
  check(1)->click();
  check(5)->setChecked(true);
  check(8)->setChecked(true);
  test::TempDir out;
  std::string outDir = out.path();
  outDir.pop_back();
  find<QComboBox>("text1")->setEditText(ui::toQString(upperAscii(siteDir())));
  find<QComboBox>("text2")->setEditText(ui::toQString(textPath(outDir)));
  window_->taskList()->append(sitePath("sub/d.htm"));
  window_->taskList()->append(U"/elsewhere/x.htm");
  MessageBox::setNextAnswers({Answer::Ok, Answer::Ok, Answer::Ok});
  button("Command6")->click();

  auto* rows = window_->runWindow()->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
  ASSERT_EQ(rows->topLevelItemCount(), 2);
  EXPECT_EQ(rows->topLevelItem(0)->text(1), ui::toQString(textPath(outDir) + U"/sub/d.htm"));
  EXPECT_EQ(rows->topLevelItem(1)->text(1), QStringLiteral("/elsewhere/x.htm"));
  EXPECT_EQ(rows->topLevelItem(1)->text(4), QStringLiteral("文件不在"));
  EXPECT_TRUE(entries().empty());
  EXPECT_EQ(readBytes(site_ / "sub/d.htm"), kPage);  // the source stays as it was
  EXPECT_TRUE(isNormalFile(out / "sub/d.htm"));

  // The site's other files follow its pages into the destination.
  std::filesystem::create_directories(site_ / "css");
  writeBytes(site_ / "css/site.css", "p { color: red }\n");
  find<QComboBox>("text1")->setEditText(ui::toQString(siteDir()));
  window_->taskList()->append(sitePath("sub/d.htm"));
  MessageBox::setNextAnswers({Answer::Ok, Answer::Ok});
  button("Command6")->click();
  EXPECT_EQ(find<QComboBox>("text1")->count(), 2);  // each start adds the texts again
  EXPECT_EQ(readBytes(out / "css/site.css"), "p { color: red }\n");
  // The run window follows the copying.
  auto* status = window_->runWindow()->findChild<QStatusBar*>(QStringLiteral("StatusBar1"));
  auto* overall = window_->runWindow()->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
  int siteFiles = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(site_.path())) siteFiles += entry.is_regular_file();
  EXPECT_EQ(overall->maximum(), siteFiles);
  EXPECT_EQ(overall->value(), overall->maximum());
  EXPECT_EQ(status->currentMessage(), QStringLiteral("复制了 %1 个其他文件").arg(siteFiles - 1)) << "all but the page";

  // With Check10 the destination gets the pages only.
  check(10)->setChecked(true);
  writeBytes(site_ / "css/site.css", "p { color: blue }\n");
  writeBytes(site_ / "logo.png", "\x89PNG");
  window_->taskList()->append(sitePath("sub/d.htm"));
  MessageBox::setNextAnswers({Answer::Ok, Answer::Ok});
  button("Command6")->click();
  EXPECT_EQ(readBytes(out / "css/site.css"), "p { color: red }\n");
  EXPECT_FALSE(std::filesystem::exists(out / "logo.png"));
}

TEST_F(MainWindowTest, KeepOnTopMarkReachesTheNextRunWindow) {
  start();
  window_->taskList()->append(U"/elsewhere/x.htm");
  action("com11")->trigger();
  MessageBox::setNextAnswers({Answer::Ok});
  button("Command6")->click();
  EXPECT_TRUE(window_->runWindow()->alwaysOnTop());
  action("com11")->trigger();
  MessageBox::setNextAnswers({Answer::Ok});
  button("Command6")->click();
  EXPECT_FALSE(window_->runWindow()->alwaysOnTop());
}

// ---------------------------------------------------------------- menus and small tools

TEST(UptimeMessage, ShowsTheNonZeroPartsEachAfterOneBlank) {
  struct Case {
    std::int64_t milliseconds;
    TextView tail;
  };
  const Case cases[] = {
      {3725000, U" 1小时 2分 5秒"},
      {7200000, U" 2小时"},
      {59999, U" 59秒"},
      {0, U""},
      {30LL * 24 * 3600 * 1000 + 61000, U" 720小时 1分 1秒"},  // past 24.8 days: no negative figures
  };
  for (const Case& c : cases)
    EXPECT_EQ(ui::uptimeMessage(c.milliseconds), Text(U"您好，系统已经启动了") + Text(c.tail));
}

TEST_F(MainWindowTest, UptimeHelpAndAboutShowTheirBoxes) {
  start();
  MessageBox::setNextAnswers({Answer::Ok, Answer::Ok, Answer::Ok});
  action("com2")->trigger();
  EXPECT_TRUE(MessageBox::shownTexts().back().startsWith(QStringLiteral("您好，系统已经启动了")));
  action("help1")->trigger();
  EXPECT_EQ(MessageBox::shownTexts().back(), QStringLiteral("对不起帮助文件不存在你的目录下"));
  action("help2")->trigger();
  EXPECT_TRUE(MessageBox::shownTexts().back().contains(QStringLiteral("Vantiro")));
}

TEST_F(MainWindowTest, MenusCarryTheirCaptionsInOrder) {
  start();
  auto captions = [&](const char* menu) {
    QStringList texts;
    for (QAction* a : find<QMenu>(menu)->actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
  };
  EXPECT_EQ(captions("com3"), (QStringList{QStringLiteral("压缩文件框是否一直在最上面"), QStringLiteral("是否保存设置？"),
                                           QStringLiteral("-"), QStringLiteral("查看系统启动了多长时间..")}));
  EXPECT_EQ(captions("filek"), (QStringList{QStringLiteral("添加"), QStringLiteral("全部添加"), QStringLiteral("查看文件"),
                                            QStringLiteral("-"), QStringLiteral("重命名"), QStringLiteral("删除文件"),
                                            QStringLiteral("列表刷新")}));
  EXPECT_EQ(captions("ysk"), (QStringList{QStringLiteral("压缩"), QStringLiteral("全部压缩"), QStringLiteral("-"),
                                          QStringLiteral("删除"), QStringLiteral("全部删除"), QStringLiteral("查看文件")}));
  EXPECT_EQ(captions("dir1111"), (QStringList{QStringLiteral("定为压缩的目标目录"), QStringLiteral("定为压缩的目的目录"),
                                              QStringLiteral("整个目录"), QStringLiteral("-"), QStringLiteral("刷新目录")}));
  EXPECT_EQ(action("com12")->text(), QStringLiteral("查看\"日积月累\""));
}

TEST_F(MainWindowTest, TipsMenuTurnsTheStartUpSwitchBackOn) {
  writeBytes(home_ / "rjyl.dat", encodeAnsi(U"唯一的技巧\r\n"));
  start();
  EXPECT_EQ(test::visibleTipWindow(), nullptr);  // the switch is at 0
  action("com12")->trigger();
  EXPECT_EQ(ui::readTipSwitch(), 1);
  QWidget* tip = test::visibleTipWindow();
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(tip->findChild<QLabel*>(QStringLiteral("lblTipText"))->text(), QStringLiteral("唯一的技巧"));
}

TEST_F(MainWindowTest, StartUpShowsTheTipWindowWhileTheSwitchIsOn) {
  ui::writeTipSwitch(QStringLiteral("1"));
  start();
  QWidget* tip = test::visibleTipWindow();
  ASSERT_NE(tip, nullptr);
  // Held above the main window by the window manager.
  ASSERT_NE(tip->windowHandle(), nullptr);
  EXPECT_EQ(tip->windowHandle()->transientParent(), window_->windowHandle());
}

}  // namespace
}  // namespace vantiro
