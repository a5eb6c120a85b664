#pragma once
// Shortens the text of a <style> element without changing what it means.

#include "compress/slot_text.h"

namespace vantiro {

// Makes every run of white space between tokens of the sheet (line breaks
// included) one space, in place. Strings, comments, urls and escapes keep
// their characters, so content:"a    b" and a hex escape's closing space stay;
// a run that ends a broken string or follows a lone backslash keeps its line
// break, which is what ends them.
void collapseStyleSheetSpace(SlotText& css);

}  // namespace vantiro
