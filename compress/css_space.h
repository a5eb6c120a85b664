#pragma once
// Shortens the text of a <style> element without changing what it means.

#include "compress/slot_text.h"

namespace vantiro {

// Makes every run of white space between tokens of the sheet (line breaks
// included) one space, in place. Strings, comments, urls and escapes keep
// their characters, so content:"a    b" and a hex escape's closing space stay.
void collapseStyleSheetSpace(SlotText& css);

}  // namespace vantiro
