#pragma once
// Counts the paint events a widget receives: how often it reached the screen.

#include <QEvent>
#include <QObject>
#include <QWidget>

namespace vantiro::test {

class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

}  // namespace vantiro::test
