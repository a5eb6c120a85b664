#include "common/ui/screen_pacer.h"

#include "common/ui/message_box.h"
#include "tests/windows_small/paint_counter.h"
#include "tests/windows_small/qt_test_app.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vantiro::ui {
namespace {

struct Window {
  Window() : bar(new QProgressBar(&widget)), status(new QStatusBar(&widget)) {
    auto* layout = new QVBoxLayout(&widget);
    layout->addWidget(bar);
    layout->addWidget(status);
    bar->setRange(0, 1000);
    widget.resize(400, 100);
    widget.show();
    test::settleEvents();
  }
  QWidget widget;
  QProgressBar* bar;
  QStatusBar* status;
};

TEST(ScreenPacer, ValuesLandAtOnceButPaintWaitsForTheNextFrame) {
  struct Case {
    std::vector<std::int64_t> stepTimes;  // clock at each step, after one new value each
    int frames;
  };
  const Case cases[] = {
      {{0, 1, 2, 3}, 1},            // all within the first frame
      {{0, 33, 66, 99}, 4},         // one a frame
      {{0, 10, 20, 40, 50, 80}, 3},  // 0, 40 and 80
      {{5000}, 1},
  };
  for (const Case& c : cases) {
    Window w;
    test::PaintCounter barPaints(w.bar);
    std::int64_t now = 0;
    int value = 0;
    {
      ScreenPacer pacer(&w.widget, [&now] { return now; });
      for (std::int64_t t : c.stepTimes) {
        now = t;
        for (int k = 0; k < 25; ++k) w.bar->setValue(++value);
        w.status->showMessage(QString::number(value));
        EXPECT_EQ(w.bar->value(), value);
        pacer.step();
      }
      EXPECT_EQ(pacer.frames(), c.frames);
      EXPECT_LE(barPaints.paints, c.frames) << "a held bar paints only in frames";
    }
    // Ending the loop shows the last values.
    EXPECT_EQ(w.bar->value(), value);
    EXPECT_TRUE(w.bar->updatesEnabled());
    EXPECT_TRUE(w.status->updatesEnabled());
  }
}

TEST(ScreenPacer, FlushPaintsNowAndABoxSeesTheWindowReleased) {
  Window w;
  std::int64_t now = 0;
  ScreenPacer pacer(&w.widget, [&now] { return now; });
  pacer.step();
  pacer.flush();
  EXPECT_EQ(pacer.frames(), 2);
  EXPECT_FALSE(w.bar->updatesEnabled());
  const bool released = pacer.whileReleased([&] { return w.bar->updatesEnabled() && w.status->updatesEnabled(); });
  EXPECT_TRUE(released);
  EXPECT_FALSE(w.bar->updatesEnabled());
}

// A box measured while it waits for its answer.
int shownBoxWidth(const QString& title) {
  int width = 0;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      width = box->width();
      box->accept();
    }
  });
  MessageBox::information(nullptr, QStringLiteral("好"), title);
  return width;
}

TEST(MessageBoxWidth, ABoxIsWideEnoughForItsTitle) {
  MessageBox::reset();
  const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
  for (const QString& title : {QString(), QStringLiteral("关于“Vantiro”"), QStringLiteral("文件重命名")}) {
    const QString shown = title.isEmpty() ? QStringLiteral("Vantiro") : title;
    // The title, an icon and three title bar buttons.
    EXPECT_GE(shownBoxWidth(title), metrics.horizontalAdvance(shown) + 120) << shown.toStdString();
  }
  MessageBox::reset();
}

// Every text is shown whole: a short one on one line, a long one wrapped at a
// readable width, a path that cannot be wrapped on a wider box.
TEST(MessageBoxWidth, EveryTextIsShownWholeInsideTheScreen) {
  MessageBox::reset();
  const QString cases[] = {
      QStringLiteral("如果出现问题，请大家在压缩之后按还原压缩功能"),
      QStringLiteral("您好:\r\n    本软件在压缩您的这个文件时出现了错误，是否还原文件？（建议选择 是）"),
      QString(40, QChar(0x5B57)) + QStringLiteral("。") + QString(40, QChar(0x5B57)),
      QStringLiteral("无法使用程序目录 /home/user/a/rather/long/path/that/has/no/spaces/at/all/vantiro/: 权限不够"),
  };
  for (const QString& text : cases) {
    QSize box;
    QSize label;
    int neededHeight = 0;
    int textWidth = 0;
    QTimer::singleShot(0, [&] {
      auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!shown) return;
      auto* l = shown->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
      box = shown->size();
      label = l->size();
      neededHeight = l->heightForWidth(l->width());
      textWidth = l->fontMetrics().horizontalAdvance(text.split(QLatin1Char('\n')).first());
      shown->accept();
    });
    MessageBox::information(nullptr, text);
    SCOPED_TRACE(text.toStdString());
    ASSERT_FALSE(box.isEmpty());
    EXPECT_LE(neededHeight, label.height()) << "no line is cut off at the bottom";
    EXPECT_LE(box.width(), QApplication::primaryScreen()->availableGeometry().width());
    if (textWidth < 400) {
      EXPECT_GE(label.width(), textWidth) << "a short text stays on one line";
    }
  }
  MessageBox::reset();
}

}  // namespace
}  // namespace vantiro::ui
