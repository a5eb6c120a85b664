#pragma once
// The page information viewer "查看文件": path, size, type, title and
// character set of one page, and a toolbar that hands the page to a text
// editor, the browser, FrontPage or Dreamweaver.

#include "common/text.h"

namespace vantiro::ui {

// Shows the one viewer window (creating it when none is open) and fills it for
// the file at `path`. An open window is refilled without being cleared first:
// a title or language the new file does not give stays from the previous one.
void jr(const Text& path);

}  // namespace vantiro::ui
