#include "common/ui/flat_toolbar.h"

#include <QAction>
#include <QToolBar>
#include <QToolButton>

namespace vantiro::ui {

void ApplyFlatToolbarStyle(QToolBar* toolbar) {
  if (!toolbar) return;
  toolbar->setMovable(false);
  toolbar->setFloatable(false);
  // Buttons added later pick up autoRaise from the toolbar itself; the ones
  // already there are switched here.
  const auto buttons = toolbar->findChildren<QToolButton*>();
  for (QToolButton* button : buttons) button->setAutoRaise(true);
  toolbar->setProperty("vantiroFlat", true);
  toolbar->setStyleSheet(QStringLiteral("QToolBar { border: none; }"));
  toolbar->update();
}

}  // namespace vantiro::ui
