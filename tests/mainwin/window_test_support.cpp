#include "tests/mainwin/window_test_support.h"

#include "common/ui/message_box.h"
#include "platform/system.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <QTimer>
#include <QSettings>
#include <QWidget>

#include <cstdlib>
#include <memory>

namespace vantiro::test {
namespace {

class QtApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override {
    settleWindowEvents();
    app_.reset();
  }

 private:
  int argc_ = 1;
  char name_[16] = "mainwin_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace

void WindowTest::SetUp() {
  setProgramDirectory(home_.path());
  setPauseScale(0);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(home_ / "user-settings"));
  ui::MessageBox::reset();
  watchdog_ = std::make_unique<QTimer>();
  watchdog_->setInterval(50);
  QObject::connect(watchdog_.get(), &QTimer::timeout, watchdog_.get(), [] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    auto* box = qobject_cast<QMessageBox*>(modal);
    ADD_FAILURE() << "a box waited for an answer: " << (box ? box->text().toStdString() : std::string("(input)"));
    modal->close();
  });
  watchdog_->start();
}

void WindowTest::TearDown() {
  watchdog_.reset();
  for (QWidget* w : QApplication::topLevelWidgets()) w->close();
  settleWindowEvents();
  ui::MessageBox::reset();
  setProgramDirectory("");
}

void settleWindowEvents() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

QWidget* visibleTipWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("frmTip") && w->isVisible()) return w;
  return nullptr;
}

}  // namespace vantiro::test
