#include "common/ui/window_placement.h"

#include <QApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace vantiro::ui {
namespace {

// The shown main window, if any: child windows open over it.
QWidget* shownMainWindow(const QWidget* except) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != except && w->isVisible() && qobject_cast<QMainWindow*>(w)) return w;
  return nullptr;
}

}  // namespace

void placeWindow(QWidget* window, const QSize& preferred) {
  QWidget* anchor = shownMainWindow(window);
  QScreen* screen = anchor ? anchor->screen() : QApplication::primaryScreen();
  if (!screen) {
    window->resize(preferred);
    return;
  }
  const QRect room = screen->availableGeometry();
  // A frame the window manager adds is not known before the window shows:
  // some room is kept for a title bar and borders.
  constexpr int kFrameWidth = 16;
  constexpr int kFrameHeight = 40;
  const QSize most(std::max(1, room.width() - kFrameWidth), std::max(1, room.height() - kFrameHeight));
  const QSize size = preferred.expandedTo(window->minimumSizeHint()).boundedTo(most);
  window->resize(size);
  const QRect over = anchor ? anchor->frameGeometry() : room;
  QPoint topLeft = over.center() - QPoint(size.width() / 2, size.height() / 2);
  topLeft.setX(std::clamp(topLeft.x(), room.left(), std::max(room.left(), room.right() - size.width() - kFrameWidth)));
  topLeft.setY(std::clamp(topLeft.y(), room.top(), std::max(room.top(), room.bottom() - size.height() - kFrameHeight)));
  window->move(topLeft);
}

}  // namespace vantiro::ui
