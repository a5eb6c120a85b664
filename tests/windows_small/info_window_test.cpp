#include "pageinfo/info_window.h"

#include "common/ui/message_box.h"
#include "common/ui/text_convert.h"
#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/support/temp_dir.h"
#include "tests/windows_small/qt_test_app.h"

#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace vantiro {
namespace {

using test::writeBytes;
using ui::infoWindow;
using ui::showInfoWindow;

class InfoWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setProgramDirectory(home_.path());
    ui::MessageBox::reset();
  }
  void TearDown() override {
    if (QWidget* w = infoWindow()) w->close();
    test::settleEvents();
    setProgramDirectory("");
  }

  // Writes a page in the code page and returns its path as a text.
  Text page(const std::string& name, TextView content) {
    writeBytes(dir_ / name, encodeAnsi(content));
    return textPath(dir_ / name);
  }

  static QString label(const char* name) {
    return infoWindow()->findChild<QLabel*>(QString::fromLatin1(name))->text();
  }

  static QAction* action(const QString& caption) {
    for (QAction* a : infoWindow()->findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions())
      if (a->text() == caption) return a;
    return nullptr;
  }

  test::TempDir home_;
  test::TempDir dir_;
};

TEST_F(InfoWindowTest, ShowsTheFactsOfAGbkPage) {
  const Text content = U"<html><head><title>中文标题 Home</title>"
                       U"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"></head>"
                       U"<body>正文</body></html>";
  const Text path = page("中文.htm", content);
  showInfoWindow(path);
  ASSERT_NE(infoWindow(), nullptr);
  EXPECT_EQ(infoWindow()->windowTitle(), QStringLiteral("查看文件"));
  EXPECT_TRUE(infoWindow()->isVisible());
  EXPECT_EQ(label("pathLabel"), ui::toQString(path));
  EXPECT_EQ(label("sizeLabel"), QString::number(encodeAnsi(content).size()) + QStringLiteral(" byte"));
  EXPECT_EQ(label("typeLabel"), QStringLiteral("超文本文件"));
  EXPECT_EQ(label("titleLabel"), QStringLiteral("中文标题 Home"));
  EXPECT_EQ(label("languageLabel"), QStringLiteral("中国大陆GB码"));
  EXPECT_EQ(label("sizeCaption"), QStringLiteral("文件大小:"));
  EXPECT_EQ(label("typeCaption"), QStringLiteral("类型："));
  EXPECT_EQ(label("titleCaption"), QStringLiteral("标题："));
  EXPECT_EQ(label("languageCaption"), QStringLiteral("语言："));
}

TEST_F(InfoWindowTest, ToolbarHasTheDesktopsProgramsAndCloseEndsTheWindow) {
  showInfoWindow(page("a.htm", U"<html></html>"));
  for (const char* caption : {"编辑器", "浏览器", "文件夹", "关闭"})
    EXPECT_NE(action(QString::fromUtf8(caption)), nullptr) << caption;
  for (QToolButton* b : infoWindow()->findChild<QToolBar*>(QStringLiteral("Toolbar1"))->findChildren<QToolButton*>())
    EXPECT_TRUE(b->autoRaise());

  QPointer<QWidget> first = infoWindow();
  action(QStringLiteral("关闭"))->trigger();
  test::settleEvents();
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(infoWindow(), nullptr);
}

TEST_F(InfoWindowTest, RefillShowsOnlyTheNextFilesFacts) {
  showInfoWindow(page("titled.htm", U"<HTML><TITLE>First</TITLE><meta charset=big5></HTML>"));
  EXPECT_EQ(label("titleLabel"), QStringLiteral("First"));
  EXPECT_EQ(label("languageLabel"), QStringLiteral("中国台湾大五码"));
  QWidget* window = infoWindow();

  // No title: nothing of the page before stays.
  showInfoWindow(page("untitled.htm", U"<html><body>x</body></html>"));
  EXPECT_EQ(infoWindow(), window);
  EXPECT_EQ(label("titleLabel"), QStringLiteral("未知"));
  EXPECT_EQ(label("languageLabel"), QStringLiteral("未知"));
  EXPECT_EQ(label("sizeLabel"), QStringLiteral("27 byte"));

  // A file of unknown type switches the icon; the next page switches it back.
  showInfoWindow(page("notes.txt", U"just text"));
  EXPECT_EQ(label("typeLabel"), QStringLiteral("未知类型"));
  EXPECT_EQ(label("titleLabel"), QStringLiteral("未知"));
  EXPECT_TRUE(window->findChild<QLabel*>(QStringLiteral("Image1"))->property("unknownType").toBool());
  showInfoWindow(page("b.htm", U"<html><title></title></html>"));
  EXPECT_FALSE(window->findChild<QLabel*>(QStringLiteral("Image1"))->property("unknownType").toBool());
  EXPECT_EQ(label("titleLabel"), QString());

  // A fresh window starts from "未知".
  window->close();
  test::settleEvents();
  showInfoWindow(page("c.htm", U"<html></html>"));
  EXPECT_EQ(label("titleLabel"), QStringLiteral("未知"));
  EXPECT_EQ(label("languageLabel"), QStringLiteral("未知"));
}

TEST_F(InfoWindowTest, UnreadableFileAndMissingProgramAreReportedInABox) {
  ui::MessageBox::setNextAnswers({ui::MessageBox::Answer::Ok});
  showInfoWindow(textPath(dir_ / "gone.htm"));
  ASSERT_NE(infoWindow(), nullptr);
  ASSERT_EQ(ui::MessageBox::shownTexts().size(), 1u);
  EXPECT_TRUE(ui::MessageBox::shownTexts().front().startsWith(QStringLiteral("无法读取文件")));
  EXPECT_EQ(label("sizeLabel"), QString());

  // Without the desktop's tools the editor button says so and what to do.
  ui::MessageBox::reset();
  ui::MessageBox::setNextAnswers({ui::MessageBox::Answer::Ok});
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", dir_.path().c_str(), 1);
  showInfoWindow(page("a;touch pwned.htm", U"<html></html>"));
  action(QStringLiteral("编辑器"))->trigger();
  ::setenv("PATH", path.c_str(), 1);
  ASSERT_EQ(ui::MessageBox::shownTexts().size(), 1u);
  EXPECT_TRUE(ui::MessageBox::shownTexts()[0].startsWith(QStringLiteral("无法启动编辑器")));
  EXPECT_TRUE(ui::MessageBox::shownTexts()[0].contains(QStringLiteral("xdg-mime")));
  EXPECT_FALSE(pathExists(dir_ / "pwned.htm"));
}

TEST(DesktopExecArgumentsTest, PutsTheFileWhereTheEntryAsksForIt) {
  const QString file = QStringLiteral("/tmp/a b;c.htm");
  struct Case {
    QStringList arguments;
    QStringList expected;
  };
  const Case cases[] = {
      {{QStringLiteral("%U")}, {file}},
      {{QStringLiteral("--new-window"), QStringLiteral("%f")}, {QStringLiteral("--new-window"), file}},
      {{}, {file}},
      {{QStringLiteral("-n")}, {QStringLiteral("-n"), file}},
      {{QStringLiteral("%i"), QStringLiteral("%c"), QStringLiteral("%F")}, {file}},
      {{QStringLiteral("--rate=50%%"), QStringLiteral("%F")}, {QStringLiteral("--rate=50%"), file}},
  };
  for (const Case& c : cases) EXPECT_EQ(ui::desktopExecArguments(c.arguments, file), c.expected) << c.arguments.join(u' ').toStdString();
}

}  // namespace
}  // namespace vantiro
