#include "lists/list_manager_window.h"

#include "common/ui/message_box.h"
#include "common/ui/text_convert.h"
#include "lists/task_list_files.h"
#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/support/faulty_file_service.h"
#include "tests/support/temp_dir.h"
#include "tests/windows_lists/fake_task_list.h"
#include "tests/windows_small/qt_test_app.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QListWidget>
#include <QPointer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;
using ui::toQString;

class ListManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setProgramDirectory(home_.path());
    ui::MessageBox::reset();
  }
  void TearDown() override {
    if (window_) window_->close();
    test::settleEvents();
    EXPECT_TRUE(ui::MessageBox::shownTexts().empty()) << "the list manager reports nothing";
    setProgramDirectory("");
  }

  // A file in the program directory, its lines given as texts, joined with CR
  // LF and written all in the code page (as a foreign program writes a list).
  void writeList(const std::string& name, const std::vector<Text>& lines) {
    Text all;
    for (const Text& line : lines) all += line + U"\r\n";
    writeBytes(home_ / name, encodeAnsi(all));
  }
  // A page that exists, as the task list would name it.
  Text existingPage(const std::string& name) {
    writeBytes(pages_ / name, "<html></html>");
    return textPath(pages_ / name);
  }

  ListManagerWindow& open() {
    window_ = new ListManagerWindow(tasks_);
    return *window_;
  }
  QListWidget* list(const char* name) { return window_->findChild<QListWidget*>(QString::fromLatin1(name)); }
  QStringList lines(const char* name) {
    QStringList out;
    for (int i = 0; i < list(name)->count(); ++i) out << list(name)->item(i)->text();
    return out;
  }
  void select(int row) { list("List1")->setCurrentRow(row); }
  void press(const char* button) {
    QAction* action = window_->findChild<QAction*>(QString::fromLatin1(button));
    ASSERT_NE(action, nullptr) << button;
    action->trigger();
  }

  static QStringList q(const std::vector<Text>& texts) {
    QStringList out;
    for (const Text& t : texts) out << toQString(t);
    return out;
  }

  test::TempDir home_;
  test::TempDir pages_;
  test::FakeTaskList tasks_;
  QPointer<ListManagerWindow> window_;
};

TEST_F(ListManagerTest, WithoutListFilesBothListsStayEmptyAndSaveAndDeleteDoNothing) {
  tasks_.items = {U"/web/a.htm"};
  open();
  EXPECT_EQ(list("List1")->count(), 0);
  EXPECT_EQ(list("List2")->count(), 0);
  press("saveList");
  press("deleteList");
  press("addToTaskList");
  press("overwriteTaskList");
  EXPECT_EQ(files().listDirectory(home_.path()).size(), 0u);
  EXPECT_EQ(tasks_.items, std::vector<Text>{U"/web/a.htm"});
}

TEST_F(ListManagerTest, ListsEveryListFileUnderItsNameInListingOrder) {
  writeList("2.lst", {U"   <List>", U"  <File>/web/a.htm</File>", U"</List>"});
  writeList("1.lst", {U"1", U"我的主页", U"/web/a.htm"});
  writeList("10.lst", {U"1"});  // too short to have a name: listed with an empty one
  writeList("notes.txt", {U"1", U"not a list"});
  open();
  EXPECT_EQ(lines("List1"), q({U"我的主页", U"", kForeignListTitle}));
  EXPECT_EQ(kForeignListTitle, U"由Tessaly储存的列表（本软件可以阅读，但是本软件的列表Tessaly不能读）");
}

TEST_F(ListManagerTest, SelectingAListShowsItsEntries) {
  WriteSavedList(home_ / "1.lst", U"full", {U"/web/一.htm", U"", U"/web/b.htm"});
  writeList("2.lst", {U"1", U"empty"});
  writeList("3.lst", {U"<List>", U"  <File>C:/web/a.htm</File>", U"<FILE>x</FILE>", U"<File>a</File><File>b</File>"});
  writeList("4.lst", {U"<List>", U"<File>broken"});
  open();
  struct Case {
    int row;
    QStringList shown;
  };
  const Case cases[] = {
      {0, {QStringLiteral("/web/一.htm"), QString(), QStringLiteral("/web/b.htm")}},
      {1, {QString()}},  // a list without entries shows one empty line
      {2, {QStringLiteral("C:/web/a.htm"), QStringLiteral("a")}},
      {3, {}},  // a list that cannot be read shows nothing
      {0, {QStringLiteral("/web/一.htm"), QString(), QStringLiteral("/web/b.htm")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    select(c.row);
    EXPECT_EQ(lines("List2"), c.shown);
  }
}

TEST_F(ListManagerTest, AddAppendsExistingFilesTheTaskListDidNotHold) {
  const Text held = existingPage("a.html");
  const Text similar = existingPage("a.htm");
  const Text twice = existingPage("c.htm");
  const Text gone = textPath(pages_ / "gone.htm");
  const Text hidden = existingPage(".hidden.htm");
  const Text directory = textPath(pages_.path());
  writeList("1.lst", {U"1", U"n", held, similar, gone, twice, hidden, directory, twice});
  tasks_.items = {held};
  open();
  select(0);
  press("addToTaskList");
  EXPECT_EQ(tasks_.items, (std::vector<Text>{held, similar, twice, twice}));
  press("addToTaskList");  // now all of them are present
  EXPECT_EQ(tasks_.items.size(), 4u);
}

TEST_F(ListManagerTest, OverwriteReplacesTheTaskListWithoutAnyTest) {
  const Text gone = textPath(pages_ / "gone.htm");
  writeList("1.lst", {U"1", U"n", gone, gone});
  writeList("2.lst", {U"1", U"empty"});
  tasks_.items = {U"/old.htm"};
  open();
  select(0);
  press("overwriteTaskList");
  EXPECT_EQ(tasks_.items, (std::vector<Text>{gone, gone}));
  select(1);
  press("overwriteTaskList");
  EXPECT_EQ(tasks_.items, std::vector<Text>{U""});
}

TEST_F(ListManagerTest, SaveRewritesTheSelectedListWithTheTaskList) {
  writeList("1.lst", {U"1", U"周末", U"/old.htm"});
  writeList("2.lst", {U"<List>", U"<File>/f.htm</File>"});
  tasks_.items = {U"/web/新.htm", U"/web/b.htm"};
  open();
  select(0);
  press("saveList");
  // The name in the code page, the paths as the file system's bytes.
  EXPECT_EQ(readBytes(home_ / "1.lst"), encodeAnsi(U"1\r\n周末\r\n") + "/web/新.htm\r\n/web/b.htm\r\n");
  EXPECT_EQ(lines("List2"), QStringList{QStringLiteral("/old.htm")});  // not refreshed

  // A foreign list saved so becomes a saved list named by the foreign title.
  select(1);
  press("saveList");
  EXPECT_EQ(readBytes(home_ / "2.lst"),
            encodeAnsi(U"1\r\n" + kForeignListTitle + U"\r\n") + "/web/新.htm\r\n/web/b.htm\r\n");
}

TEST_F(ListManagerTest, NamesInUtf8AndNamesThatAreNotAreSavedShownAndQueued) {
  const std::vector<Text> paths = {existingPage("站点首页.htm"), existingPage("😀.htm"),
                                   existingPage("\xFF\xB0\xA1.htm")};
  WriteSavedList(home_ / "1.lst", U"名字", {U"/old.htm"});
  tasks_.items = paths;
  open();
  select(0);
  press("saveList");
  EXPECT_EQ(ReadListEntries(home_ / "1.lst"), paths);

  tasks_.items.clear();
  window_->close();
  open();
  select(0);
  EXPECT_EQ(lines("List2"), q(paths));
  press("addToTaskList");
  EXPECT_EQ(tasks_.items, paths);
}

TEST_F(ListManagerTest, DeleteRemovesTheFileAndListsAgainKeepingTheEntriesShown) {
  writeList("1.lst", {U"1", U"first", U"/a.htm"});
  writeList("2.lst", {U"<List>", U"<File>/f.htm</File>"});
  open();
  select(0);
  press("deleteList");
  EXPECT_FALSE(pathExists(home_ / "1.lst"));
  EXPECT_EQ(lines("List1"), q({kForeignListTitle}));
  EXPECT_EQ(lines("List2"), QStringList{QStringLiteral("/a.htm")});
  press("deleteList");  // nothing selected after listing again
  EXPECT_TRUE(pathExists(home_ / "2.lst"));
}

TEST_F(ListManagerTest, DefaultWritesTheShownEntriesAndCancelRemovesThem) {
  writeList("1.lst", {U"1", U"n", U"/web/甲.htm", U"/web/b.htm"});
  open();
  press("setDefaultList");  // nothing shown: an empty default list
  EXPECT_EQ(readBytes(home_ / "moren.kbq"), "");
  select(0);
  press("setDefaultList");
  EXPECT_EQ(readBytes(home_ / "moren.kbq"), encodeAnsi(U"/web/甲.htm\r\n/web/b.htm\r\n"));
  press("cancelDefaultList");
  EXPECT_FALSE(pathExists(home_ / "moren.kbq"));
  press("cancelDefaultList");  // a second press finds nothing and says nothing
  EXPECT_FALSE(pathExists(home_ / "moren.kbq"));
}

TEST_F(ListManagerTest, FailedWritesEndSilentlyAndLeaveTheFilesWhole) {
  writeList("1.lst", {U"1", U"n", U"/a.htm"});
  const std::string before = readBytes(home_ / "1.lst");
  tasks_.items = {U"/b.htm"};
  open();
  select(0);
  test::FaultyFileService faulty;
  faulty.bytesUntilFull = 3;
  {
    ScopedFileService scoped(faulty);
    press("saveList");
    press("setDefaultList");
  }
  EXPECT_EQ(readBytes(home_ / "1.lst"), before);
  EXPECT_FALSE(pathExists(home_ / "moren.kbq"));
}

TEST_F(ListManagerTest, CloseButtonClosesTheWindow) {
  open();
  press("closeWindow");
  test::settleEvents();
  EXPECT_TRUE(window_.isNull());
}

TEST_F(ListManagerTest, TheKeyboardReachesTheToolbarAndEscCloses) {
  writeList("1.lst", {U"1", U"n", U"/a.htm"});
  ListManagerWindow& w = open();
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  list("List2")->setFocus();
  QStringList reached;
  for (int i = 0; i < 10; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    reached << QApplication::focusWidget()->objectName();
  }
  for (const char* button : {"saveList", "addToTaskList", "overwriteTaskList", "deleteList", "closeWindow"})
    EXPECT_TRUE(reached.contains(QString::fromLatin1(button))) << button << " " << reached.join(u' ').toStdString();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  test::settleEvents();
  EXPECT_TRUE(window_.isNull());
}

}  // namespace
}  // namespace vantiro
