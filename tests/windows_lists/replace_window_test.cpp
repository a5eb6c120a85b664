#include "replace/replace_window.h"

#include "backup/backup_store.h"
#include "common/settings_store.h"
#include "common/ui/message_box.h"
#include "common/ui/text_convert.h"
#include "platform/code_page.h"
#include "platform/directory_lock.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/support/temp_dir.h"
#include "tests/windows_lists/fake_task_list.h"
#include "tests/windows_small/qt_test_app.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <string>

namespace vantiro {
namespace {

using test::readBytes;
using test::writeBytes;
using ui::fromQString;
using ui::toQString;

class ReplaceWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setProgramDirectory(home_.path());
    setPauseScale(0);
    ui::MessageBox::reset();
  }
  void TearDown() override {
    if (window_) window_->close();
    test::settleEvents();
    ui::MessageBox::reset();
    setPauseScale(1);
    setProgramDirectory("");
  }

  // Writes a page in the code page and returns its path as a text.
  Text page(const std::string& name, TextView content) {
    writeBytes(pages_ / name, encodeAnsi(content));
    return textPath(pages_ / name);
  }
  std::string pageBytes(const std::string& name) { return readBytes(pages_ / name); }

  ReplaceWindow& open() {
    window_ = new ReplaceWindow(tasks_, [this] { return options_; });
    return *window_;
  }
  void closeWindow() {
    window_->close();
    test::settleEvents();
  }

  template <typename W>
  W* control(const char* name) {
    W* w = window_->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void type(const char* field, const QString& text) { control<QLineEdit>(field)->setText(text); }
  void choose(const char* option) { control<QRadioButton>(option)->click(); }
  void start() { control<QPushButton>("Command1")->click(); }

  struct RowTexts {
    QString path, count, result;
  };
  RowTexts row(int i) {
    QTreeWidgetItem* item = control<QTreeWidget>("ListView1")->topLevelItem(i);
    if (!item) return {};
    return {item->text(0), item->text(1), item->text(2)};
  }

  static Text setting(TextView key) { return ReadSetting(key).value_or(U"<absent>"); }

  test::TempDir home_;
  test::TempDir pages_;
  test::FakeTaskList tasks_;
  CompressionOptions options_;
  QPointer<ReplaceWindow> window_;
};

TEST_F(ReplaceWindowTest, OpeningSnapshotsTheTaskListAsReadyRows) {
  tasks_.items = {U"/web/a.htm", U"/web/新闻.htm"};
  ReplaceWindow& w = open();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("查找替换"));
  ASSERT_EQ(control<QTreeWidget>("ListView1")->topLevelItemCount(), 2);
  EXPECT_EQ(row(1).path, QStringLiteral("/web/新闻.htm"));
  EXPECT_EQ(row(1).count, QStringLiteral("就绪"));
  EXPECT_EQ(row(1).result, QStringLiteral("等待压缩"));
  // Later changes of the task list are not seen by the open window.
  tasks_.items.push_back(U"/web/b.htm");
  EXPECT_EQ(control<QTreeWidget>("ListView1")->topLevelItemCount(), 2);
  EXPECT_TRUE(ui::MessageBox::shownTexts().empty());
}

TEST_F(ReplaceWindowTest, EscClosesTheWindowBetweenRuns) {
  tasks_.items = {U"/web/a.htm"};
  ReplaceWindow& w = open();
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::keyClick(&w, Qt::Key_Escape);
  test::settleEvents();
  EXPECT_TRUE(window_.isNull());
}

TEST_F(ReplaceWindowTest, EmptyTaskListIsReportedAndStartOnlyClearsTheStatus) {
  ui::MessageBox::setNextAnswers({ui::MessageBox::Answer::Ok});
  open();
  ASSERT_EQ(ui::MessageBox::shownTexts().size(), 1u);
  EXPECT_EQ(ui::MessageBox::shownTexts().front(), QStringLiteral("请选择好文件，谢谢"));
  control<QStatusBar>("StatusBar1")->showMessage(QStringLiteral("x"));
  start();
  EXPECT_EQ(control<QTreeWidget>("ListView1")->topLevelItemCount(), 0);
  EXPECT_TRUE(control<QStatusBar>("StatusBar1")->currentMessage().isEmpty());
  EXPECT_EQ(ui::MessageBox::shownTexts().size(), 1u);
}

TEST_F(ReplaceWindowTest, RunReplacesInEveryQueuedPageAndShowsEachOutcome) {
  // Declared: the code page's bytes of 猫 alone would also be valid UTF-8.
  const Text good = page("a.htm", U"<html><meta charset=gbk><body>猫 cat, cat; cat</body></html>");
  const Text none = page("b.htm", U"<html><p>nothing here</p></html>");
  const Text missing = textPath(pages_ / "gone.htm");
  tasks_.items = {good, none, missing};
  open();
  type("Text1", QStringLiteral("cat"));
  type("Text2", QStringLiteral("狗"));
  choose("Option1");
  start();

  EXPECT_EQ(row(0).path, toQString(good));
  EXPECT_EQ(row(0).count, QStringLiteral(" 3"));
  EXPECT_EQ(row(0).result, QStringLiteral("成功替换"));
  EXPECT_EQ(decodeAnsi(pageBytes("a.htm")), U"<html><meta charset=gbk><body>猫 狗, 狗; 狗</body></html>");

  EXPECT_EQ(row(1).count, QStringLiteral(" 0"));
  EXPECT_EQ(row(1).result, QStringLiteral("成功替换"));

  EXPECT_EQ(row(2).path, toQString(missing));
  EXPECT_EQ(row(2).count, QStringLiteral("错误"));
  EXPECT_FALSE(row(2).result.isEmpty());  // the error's description

  EXPECT_TRUE(control<QStatusBar>("StatusBar1")->currentMessage().isEmpty());
  // The page replaced went to the backup store first; the one left as it was did not.
  EXPECT_EQ(ReadBackupIndex(false).size(), 1u);
}

TEST_F(ReplaceWindowTest, DoesNotStartWhileAnotherProgramUsesTheDirectory) {
  const Text a = page("a.htm", U"<html><body>cat</body></html>");
  tasks_.items = {a};
  open();
  type("Text1", QStringLiteral("cat"));
  type("Text2", QStringLiteral("dog"));
  choose("Option1");
  {
    auto other = DirectoryLock::take(home_.path(), false);
    ui::MessageBox::setNextAnswers({ui::MessageBox::Answer::Ok});
    start();
    ASSERT_EQ(ui::MessageBox::shownTexts().size(), 1u);
    EXPECT_TRUE(ui::MessageBox::shownTexts().front().startsWith(QStringLiteral("另一个程序正在使用程序目录")));
    EXPECT_EQ(decodeAnsi(pageBytes("a.htm")), U"<html><body>cat</body></html>");
    EXPECT_TRUE(ReadBackupIndex(false).empty());
  }
  start();
  EXPECT_EQ(decodeAnsi(pageBytes("a.htm")), U"<html><body>dog</body></html>");
}

TEST_F(ReplaceWindowTest, EveryGeneralModeReachesItsPartOfThePage) {
  const Text source = U"<html><font color=red>font<script>var font=1;</script></html>";
  struct Case {
    const char* option;
    const char* count;
    Text expected;
  };
  const Case cases[] = {
      // A script body is the text of its script tag.
      {"Option1", " 2", U"<html><font color=red>X<script>var X=1;</script></html>"},
      {"Option2", " 1", U"<html><X color=red>font<script>var font=1;</script></html>"},
      {"Option3", " 3", U"<html><X color=red>X<script>var X=1;</script></html>"},
      {"Option4", " 1", U"<html><font color=red>font<script>var X=1;</script></html>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    tasks_.items = {page("p.htm", source)};
    open();
    type("Text1", QStringLiteral("font"));
    type("Text2", QStringLiteral("X"));
    choose(c.option);
    start();
    EXPECT_EQ(row(0).count, QString::fromLatin1(c.count));
    EXPECT_EQ(decodeAnsi(pageBytes("p.htm")), c.expected);
    closeWindow();
  }
}

TEST_F(ReplaceWindowTest, EmptySearchTextIsRefusedBeforeAnyPageIsTouched) {
  const std::string content = "<html>abc</html>";
  writeBytes(pages_ / "a.htm", content);
  tasks_.items = {textPath(pages_ / "a.htm")};
  open();
  choose("Option3");
  ui::MessageBox::setNextAnswers({ui::MessageBox::Answer::Ok});
  start();
  ASSERT_EQ(ui::MessageBox::shownTexts().size(), 1u);
  EXPECT_EQ(ui::MessageBox::shownTexts().front(), toQString(kEmptySearchText));
  EXPECT_EQ(row(0).count, QStringLiteral("就绪"));
  EXPECT_EQ(pageBytes("a.htm"), content);
  EXPECT_TRUE(ReadBackupIndex(false).empty());
}

TEST_F(ReplaceWindowTest, TheFirstModeIsOfferedAndARunWithoutAModeIsRefused) {
  const std::string content = "<html>< b >abc</b></html>";
  writeBytes(pages_ / "a.htm", content);
  tasks_.items = {textPath(pages_ / "a.htm")};
  open();
  EXPECT_TRUE(control<QRadioButton>("Option1")->isChecked()) << "a first opening offers a mode";
  for (const char* name : {"Option1", "Option2", "Option3", "Option4", "Option8"}) {
    auto* option = control<QRadioButton>(name);
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(true);
  }
  type("Text1", QStringLiteral("abc"));
  ui::MessageBox::setNextAnswers({ui::MessageBox::Answer::Ok});
  start();
  ASSERT_EQ(ui::MessageBox::shownTexts().size(), 1u);
  EXPECT_TRUE(ui::MessageBox::shownTexts().front().contains(QStringLiteral("替换模式")));
  EXPECT_EQ(row(0).result, QStringLiteral("等待压缩")) << "no result claimed";
  EXPECT_EQ(pageBytes("a.htm"), content);
  EXPECT_TRUE(ReadBackupIndex(false).empty());
}

TEST_F(ReplaceWindowTest, SpecificModeMarksAPageTheHtmlTestRefuses) {
  options_.requireHtml = true;
  const Text path = page("plain.htm", U"<p>no html tag</p>");
  tasks_.items = {path};
  open();
  type("Text1", QStringLiteral("html"));
  choose("Option8");
  start();
  EXPECT_EQ(row(0).path, toQString(path + U"|文件错误!"));
  EXPECT_EQ(row(0).count, QStringLiteral("错误"));
  EXPECT_EQ(row(0).result, QString());
  EXPECT_TRUE(ReadBackupIndex(false).empty());  // nothing written, nothing saved
}

TEST_F(ReplaceWindowTest, SpecificModeWithoutAChosenEntryLeavesThePageAsItWas) {
  const std::string content = "<html><title>Old</title></html>";
  writeBytes(pages_ / "a.htm", content);
  tasks_.items = {textPath(pages_ / "a.htm")};
  open();
  type("Text1", QStringLiteral("Old"));
  choose("Option8");
  start();
  EXPECT_EQ(row(0).count, QStringLiteral(" 0"));
  EXPECT_EQ(row(0).result, QStringLiteral("成功替换"));
  EXPECT_EQ(pageBytes("a.htm"), content);
  EXPECT_TRUE(ReadBackupIndex(false).empty());
}

TEST_F(ReplaceWindowTest, SpecificModeUsesTheChosenEntryAndTheMainWindowsDirectoriesLive) {
  files().createDirectory(pages_ / "src");
  writeBytes(pages_ / "src/a.htm", "<html><title>Old</title></html>");
  tasks_.items = {textPath(pages_ / "src/a.htm")};
  open();
  type("Text1", QStringLiteral("ignored"));
  type("Text2", QStringLiteral("新标题"));
  choose("Option8");
  control<QCheckBox>("Check5")->setChecked(true);
  auto* combo = control<QComboBox>("Combo1");
  combo->setCurrentIndex(1);
  emit combo->activated(1);  // "标题"
  // The options are read when the page is processed, not when the window opened.
  options_.mirror = true;
  options_.sourceDirectory = textPath(pages_ / "src/");
  options_.destinationDirectory = textPath(pages_ / "out/");
  start();
  EXPECT_EQ(row(0).path, toQString(textPath(pages_ / "out/a.htm")));
  EXPECT_EQ(row(0).count, QStringLiteral(" 1"));
  EXPECT_EQ(decodeAnsi(pageBytes("out/a.htm")), U"<html><title>新标题</title></html>");
  EXPECT_EQ(pageBytes("src/a.htm"), "<html><title>Old</title></html>");
}

TEST_F(ReplaceWindowTest, ModeButtonsEnableOnlyWhatTheirModeUses) {
  tasks_.items = {U"/x.htm"};
  open();
  auto* frame2 = control<QGroupBox>("Frame2");
  auto* check5 = control<QCheckBox>("Check5");
  EXPECT_FALSE(frame2->isEnabled());
  EXPECT_FALSE(check5->isEnabled());
  struct Step {
    const char* option;
    bool frame2;
    bool check5;
  };
  // Option8 leaves the script frame as the previous mode left it.
  const Step steps[] = {{"Option4", true, false}, {"Option8", true, true},   {"Option1", false, false},
                        {"Option8", false, true}, {"Option2", false, false}, {"Option4", true, false},
                        {"Option3", false, false}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.option);
    choose(s.option);
    EXPECT_EQ(frame2->isEnabled(), s.frame2);
    EXPECT_EQ(check5->isEnabled(), s.check5);
    EXPECT_TRUE(control<QComboBox>("Combo1")->isEnabled());
    EXPECT_TRUE(control<QCheckBox>("Check1")->isEnabled());
    EXPECT_TRUE(control<QCheckBox>("Check2")->isEnabled());
  }
}

TEST_F(ReplaceWindowTest, KeepOnTopFollowsCheck3WithoutMovingTheWindow) {
  tasks_.items = {U"/x.htm"};
  ReplaceWindow& w = open();
  w.show();
  const QRect before = w.geometry();
  control<QCheckBox>("Check3")->setChecked(true);
  EXPECT_TRUE(w.alwaysOnTop());
  EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.geometry(), before);
  control<QCheckBox>("Check3")->setChecked(false);
  EXPECT_FALSE(w.alwaysOnTop());
  EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(ReplaceWindowTest, ClosingSavesTheSettingsUnderTheirKeys) {
  tasks_.items = {U"/x.htm"};
  open();
  type("Text1", QStringLiteral("旧词"));
  type("Text2", QStringLiteral("  new  "));
  control<QCheckBox>("Check1")->setChecked(true);
  control<QCheckBox>("Check4")->setChecked(true);
  choose("Option4");
  control<QRadioButton>("Option6")->click();
  control<QComboBox>("Combo1")->setCurrentIndex(4);
  control<QPushButton>("Command2")->click();  // "停止" closes the window
  test::settleEvents();
  EXPECT_TRUE(window_.isNull());

  EXPECT_EQ(setting(U"form5.text1.text"), U"旧词");
  EXPECT_EQ(setting(U"form5.text2.text"), U"new");  // the store trims what it reads
  const TextView checks[] = {U"1", U"0", U"0", U"1", U"0"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(setting(U"form5.check" + toText(i + 1) + U".Value"), checks[i]) << i + 1;
  EXPECT_EQ(setting(U"form5.combo1.text"), U"字体");
  const TextView options[] = {U"false", U"false", U"false", U"ture", U"false", U"ture", U"false", U"false"};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(setting(U"form5.Option" + toText(i + 1) + U".Value"), options[i]) << i + 1;
  EXPECT_EQ(setting(U"form5.check1.value"), U"<absent>");  // keys keep their capital V
}

TEST_F(ReplaceWindowTest, OpeningRestoresTheSavedSettings) {
  WriteSetting(U"form5.text1.text", U"甲");
  WriteSetting(U"form5.text2.text", U"乙");
  WriteSetting(U"form5.check1.Value", U"3");  // odd: checked
  WriteSetting(U"form5.check2.Value", U"2");  // even: not checked
  WriteSetting(U"form5.check3.Value", U"1");
  WriteSetting(U"form5.check4.Value", U"98765432109876543211");  // odd however long
  WriteSetting(U"form5.check5.Value", U"junk");
  WriteSetting(U"form5.Option4.Value", U"ture");
  WriteSetting(U"form5.Option7.Value", U"ture");
  WriteSetting(U"form5.Option1.Value", U"true");  // only the program's own spelling selects
  WriteSetting(U"form5.combo1.text", U"标题");    // written, never read back
  tasks_.items = {U"/x.htm"};
  ReplaceWindow& w = open();
  EXPECT_EQ(control<QLineEdit>("Text1")->text(), QStringLiteral("甲"));
  EXPECT_EQ(control<QLineEdit>("Text2")->text(), QStringLiteral("乙"));
  EXPECT_TRUE(control<QCheckBox>("Check1")->isChecked());
  EXPECT_FALSE(control<QCheckBox>("Check2")->isChecked());
  EXPECT_TRUE(control<QCheckBox>("Check3")->isChecked());
  EXPECT_TRUE(w.alwaysOnTop());
  EXPECT_TRUE(control<QCheckBox>("Check4")->isChecked());
  EXPECT_FALSE(control<QCheckBox>("Check5")->isChecked());
  EXPECT_FALSE(control<QRadioButton>("Option1")->isChecked());
  EXPECT_TRUE(control<QRadioButton>("Option4")->isChecked());
  EXPECT_TRUE(control<QRadioButton>("Option7")->isChecked());
  EXPECT_TRUE(control<QGroupBox>("Frame2")->isEnabled());
  EXPECT_EQ(control<QComboBox>("Combo1")->currentIndex(), -1);
  EXPECT_EQ(w.attributeTarget().kind, 0);
}

TEST_F(ReplaceWindowTest, SettingsSurviveACloseAndReopen) {
  tasks_.items = {U"/x.htm"};
  open();
  type("Text1", QStringLiteral("a"));
  choose("Option8");
  control<QCheckBox>("Check5")->setChecked(true);
  control<QCheckBox>("Check2")->setChecked(true);
  closeWindow();
  open();
  EXPECT_EQ(control<QLineEdit>("Text1")->text(), QStringLiteral("a"));
  EXPECT_TRUE(control<QRadioButton>("Option8")->isChecked());
  EXPECT_TRUE(control<QCheckBox>("Check5")->isChecked());
  EXPECT_TRUE(control<QCheckBox>("Check5")->isEnabled());
  EXPECT_TRUE(control<QCheckBox>("Check2")->isChecked());
  EXPECT_FALSE(control<QCheckBox>("Check1")->isChecked());
}

}  // namespace
}  // namespace vantiro
