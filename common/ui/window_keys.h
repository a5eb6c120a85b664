#pragma once
// Keyboard ways into what the mouse reaches: Esc closing a window, and the
// Menu key or Shift+F10 opening a list's right-click menu.

class QEvent;
class QAbstractItemView;
class QMenu;
class QWidget;

namespace vantiro::ui {

// Esc anywhere in `window` closes it, as its close button would.
void closeOnEscape(QWidget* window);

// True when `event`, received by a list, asks for its menu from the keyboard:
// Shift+F10 or the Menu key (some platforms send the key, others a keyboard
// context menu event).
bool isKeyboardMenuRequest(const QEvent* event);

// Shows `menu` under the list's current item, or at the list's top left when
// there is none: where a keyboard user looks.
void popupAtCurrentItem(QMenu* menu, QAbstractItemView* list);

}  // namespace vantiro::ui
