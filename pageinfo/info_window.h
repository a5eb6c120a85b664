#pragma once
// The page information viewer "查看文件": path, size, type, title and
// character set of one page, and a toolbar that hands the page to the
// desktop's default text editor or browser, or opens its folder.

#include "platform/text.h"

#include <QStringList>

class QWidget;

namespace vantiro::ui {

// Shows the one viewer window (creating it when none is open) and fills it for
// the file at `path`. An open window shows the new file's facts alone.
void showInfoWindow(const Text& path);

// The viewer window while it is open, otherwise nullptr.
QWidget* infoWindow();

// The arguments of a desktop entry's Exec line (after the program) with the
// file put in place of its file field code, or appended when it has none.
QStringList desktopExecArguments(const QStringList& arguments, const QString& file);

}  // namespace vantiro::ui
