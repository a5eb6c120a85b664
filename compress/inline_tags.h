#pragma once
// Which tags open or close an inline element. White space between two inline
// elements is shown by a browser as one space, so the passes must not drop it.

#include "platform/text.h"

namespace vantiro {

// True when `tag` (a tag text without "<" and ">", start or end tag) names an
// inline element: its name, up to white space or "/" and in any letter case,
// is one of a, abbr, acronym, b, bdi, bdo, big, button, cite, code, del, dfn,
// em, font, i, img, input, ins, kbd, label, mark, q, s, samp, select, small,
// span, strike, strong, sub, sup, textarea, time, tt, u, var.
bool isInlineTag(TextView tag);

}  // namespace vantiro
