// The tip window "日积月累" and its per-user start-up switch.

#include "common/ui/tip_window.h"

#include "common/ui/flat_toolbar.h"
#include "common/ui/text_convert.h"
#include "platform/code_page.h"
#include "tests/mainwin/window_test_support.h"
#include "tests/support/temp_dir.h"

#include <QAction>
#include <QCheckBox>
#include <QToolBar>
#include <QToolButton>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace vantiro {
namespace {

using test::writeBytes;
using ui::TipWindow;

class TipWindowTest : public test::WindowTest {
 protected:
  template <typename T>
  static T* child(QWidget* w, const char* name) {
    T* found = w->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  static QString tipLabel(QWidget* w) { return child<QLabel>(w, "lblTipText")->text(); }
};

TEST_F(TipWindowTest, SwitchCountsAsOnUntilWrittenAndOnlyZeroKeepsTheWindowShut) {
  EXPECT_EQ(ui::readTipSwitch(), 1);
  ui::writeTipSwitch(QStringLiteral("0"));
  EXPECT_EQ(ui::readTipSwitch(), 0);
  EXPECT_EQ(TipWindow::open(), nullptr);
  ui::writeTipSwitch(QStringLiteral("1"));
  QPointer<TipWindow> w = TipWindow::open();
  ASSERT_FALSE(w.isNull());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("日积月累"));
  EXPECT_EQ(child<QLabel>(w, "Label1")->text(), QStringLiteral("您知道吗？"));
  EXPECT_TRUE(child<QCheckBox>(w, "chkLoadTipsAtStartup")->isChecked());
}

TEST_F(TipWindowTest, UntickingWritesZeroAtOnceAndTheLabelTogglesTheBox) {
  QPointer<TipWindow> w = TipWindow::open();
  ASSERT_FALSE(w.isNull());
  auto* box = child<QCheckBox>(w, "chkLoadTipsAtStartup");
  box->click();
  EXPECT_EQ(ui::readTipSwitch(), 0);  // not only when the window closes
  QTest::mouseClick(child<QLabel>(w, "Label2"), Qt::LeftButton);
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(ui::readTipSwitch(), 1);
  child<QPushButton>(w, "cmdOK")->click();
  test::settleWindowEvents();
  EXPECT_TRUE(w.isNull());  // closed windows delete themselves
}

TEST_F(TipWindowTest, ShowsTheTipThatTheRandomNumberPicks) {
  writeBytes(home_ / "rjyl.dat", encodeAnsi(U"第一条\r\n\r\n第三条\r\n"));
  double next = 0.0;
  const double draws[] = {0.99, 0.0, 0.5};
  int i = 0;
  QPointer<TipWindow> w = TipWindow::open(nullptr, [&] { return next = draws[i++ % 3]; });
  ASSERT_FALSE(w.isNull());
  EXPECT_EQ(tipLabel(w), QStringLiteral("第三条"));
  child<QPushButton>(w, "cmdNextTip")->click();
  EXPECT_EQ(tipLabel(w), QStringLiteral("第一条"));
  child<QPushButton>(w, "cmdNextTip")->click();
  EXPECT_EQ(tipLabel(w), QString());  // the blank line is a tip of its own
}

TEST_F(TipWindowTest, OneLineFileShowsThatLineEveryTime) {
  writeBytes(home_ / "rjyl.dat", encodeAnsi(U"只有这一条\r\n"));
  QPointer<TipWindow> w = TipWindow::open();
  ASSERT_FALSE(w.isNull());
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(tipLabel(w), QStringLiteral("只有这一条"));
    child<QPushButton>(w, "cmdNextTip")->click();
  }
}

TEST_F(TipWindowTest, MissingFileExplainsHowToMakeOne) {
  QPointer<TipWindow> w = TipWindow::open();
  ASSERT_FALSE(w.isNull());
  const QString expected = QStringLiteral(
      "rjyl.dat 文件未找到？\r\n\r\n使用记事本，创建一个名为 rjyl.dat 的文本文件，其中每行一个技巧。 "
      "然后，放在应用程序所在目录下。");
  EXPECT_EQ(tipLabel(w), expected);
  child<QPushButton>(w, "cmdNextTip")->click();
  EXPECT_EQ(tipLabel(w), expected);
}

TEST(FlatToolbar, ButtonsLoseTheirRaisedBorders) {
  QToolBar bar;
  bar.addAction(QStringLiteral("记事本"));
  bar.addAction(QStringLiteral("关闭"));
  ui::ApplyFlatToolbarStyle(&bar);
  const auto buttons = bar.findChildren<QToolButton*>();
  int flat = 0;
  for (QToolButton* b : buttons)
    if (b->defaultAction()) flat += b->autoRaise() ? 1 : 0;
  EXPECT_EQ(flat, 2);
  EXPECT_FALSE(bar.isMovable());
  ui::ApplyFlatToolbarStyle(nullptr);  // no toolbar: no effect
}

}  // namespace
}  // namespace vantiro
