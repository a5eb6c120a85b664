#pragma once
// The flat look of the toolbars of the list manager and the page viewer.

class QToolBar;

namespace vantiro::ui {

// Gives the toolbar buttons without raised borders (they show a frame only
// under the mouse) and repaints it. A null toolbar is left alone.
void ApplyFlatToolbarStyle(QToolBar* toolbar);

}  // namespace vantiro::ui
