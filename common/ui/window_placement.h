#pragma once
// Where a window of the program opens and how large: never larger than the
// screen it opens on, and centred over the main window rather than at the
// screen's corner, so that a child window does not cover the file browser
// more than it must.

class QSize;
class QWidget;

namespace vantiro::ui {

// Gives `window` its `preferred` size, shrunk to the available area of the
// screen it opens on (never below its minimum size hint where the screen
// allows), and centres it over the program's main window when one is shown,
// otherwise over the screen. The result lies inside the available area.
void placeWindow(QWidget* window, const QSize& preferred);

}  // namespace vantiro::ui
