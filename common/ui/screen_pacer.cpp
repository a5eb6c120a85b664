#include "common/ui/screen_pacer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressBar>
#include <QStatusBar>

#include <memory>
#include <utility>

namespace vantiro::ui {
namespace {

constexpr std::int64_t kFrameMilliseconds = 1000 / ScreenPacer::kFramesPerSecond;

ScreenPacer::Clock steadyClock() {
  auto timer = std::make_shared<QElapsedTimer>();
  timer->start();
  return [timer] { return timer->elapsed(); };
}

}  // namespace

ScreenPacer::ScreenPacer(QWidget* window, Clock clock)
    : clock_(clock ? std::move(clock) : steadyClock()) {
  if (window) {
    for (QWidget* widget : window->findChildren<QProgressBar*>()) held_.emplace_back(widget);
    for (QWidget* widget : window->findChildren<QStatusBar*>()) held_.emplace_back(widget);
  }
  hold();
}

ScreenPacer::~ScreenPacer() {
  release();
  paint();
}

void ScreenPacer::step() {
  if (painted_ && clock_() - lastFrame_ < kFrameMilliseconds) return;
  flush();
}

void ScreenPacer::flush() {
  release();
  paint();
  hold();
}

void ScreenPacer::hold() {
  for (const QPointer<QWidget>& widget : held_)
    if (widget) widget->setUpdatesEnabled(false);
}

// Turning updates back on schedules a repaint of the whole widget, so the
// values taken while held all show at once.
void ScreenPacer::release() {
  for (const QPointer<QWidget>& widget : held_)
    if (widget) widget->setUpdatesEnabled(true);
}

void ScreenPacer::paint() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  lastFrame_ = clock_();
  painted_ = true;
  ++frames_;
}

}  // namespace vantiro::ui
