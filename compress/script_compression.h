#pragma once
// Script compression: what the "compress scripts" option does to the contents
// of a script element, and which script elements hold a script at all.

#include "platform/text.h"
#include "compress/line_break.h"
#include "compress/slot_text.h"

#include <optional>

namespace vantiro {

// Trims the spaces at both ends of every line of the script's code and, when
// the script holds both "{" and "}" anywhere, removes the spaces right before
// and after every brace of its code. Line breaks are never removed, so the
// script keeps one statement per line; only the space character goes, never
// a tab.
//
// Nothing inside a string ('...', "..."), template (`...`, whose ${...} hold
// code again) or regular-expression literal changes, so a line that begins or
// ends inside a template keeps its spaces there. Comments (//, /* */, and the
// <!-- and --> line comments of scripts in pages) are trimmed like code.
// Whether "/" starts a regular expression follows the token before it; where
// that leaves a doubt, the "/" is taken as a regular expression, which at worst
// keeps a few spaces. A literal left open at the end of the script runs to its
// end unchanged. Runs in one pass, in place, in time linear in the script.
void compressScript(SlotText& script, LineBreak lineBreak);

// Whether a script element whose type and language attributes have these
// values (nullopt: the attribute is absent) holds JavaScript, as a browser
// decides before running it: no type and no or an empty language, an empty
// type, "module", or a JavaScript MIME type in any ASCII case, with white
// space around it ignored (a type with parameters is no script to a
// browser). Without a type, a
// language "x" stands for the type "text/x". Anything else (JSON, import
// maps, templates, other languages) is data the page keeps exactly.
bool isJavaScriptType(std::optional<TextView> type, std::optional<TextView> language);

}  // namespace vantiro
