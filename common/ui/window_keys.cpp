#include "common/ui/window_keys.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QShortcut>

namespace vantiro::ui {

void closeOnEscape(QWidget* window) {
  auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), window);
  shortcut->setContext(Qt::WindowShortcut);
  QObject::connect(shortcut, &QShortcut::activated, window, &QWidget::close);
}

bool isKeyboardMenuRequest(const QEvent* event) {
  if (event->type() == QEvent::ContextMenu)
    return static_cast<const QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<const QKeyEvent*>(event);
  return (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) ||
         (key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier);
}

void popupAtCurrentItem(QMenu* menu, QAbstractItemView* list) {
  QRect rect = list->visualRect(list->currentIndex());
  if (!rect.isValid() || !list->viewport()->rect().intersects(rect)) rect = QRect(0, 0, 0, 0);
  menu->popup(list->viewport()->mapToGlobal(rect.bottomLeft()));
}

}  // namespace vantiro::ui
