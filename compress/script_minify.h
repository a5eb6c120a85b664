#pragma once
// What the further level does to a script with "compress scripts" on.

#include "compress/line_break.h"
#include "compress/slot_text.h"

namespace vantiro {

// Takes out of JavaScript the white space and comments it reads the same
// without, in place, by its tokens: names and numbers, strings, templates
// (whose ${...} hold code again), regular expressions and punctuators.
// - Comments go (//, /* */, and the <!-- and --> line comments of scripts in
//   pages), except /*! ... */ and /*@ ... */, which a page keeps on purpose;
//   a comment holding a line break counts as one.
// - A run of white space holding a line break keeps it (the first line
//   terminator as written), since a line break may end a statement; it goes
//   only after a punctuator that needs an operand after it ("=", "(", ",",
//   ...; not ")", "]", "}", "+" or "-", which may end an expression or be
//   "++"), or before "}", ")", "]", "," or ";".
// - Other runs go, or become one space where the tokens on both sides would
//   otherwise read as one (two names, "+ +", a number and ".", a regular
//   expression and a name, "< /" ...).
// Nothing inside a string, template text or regular expression changes.
// Whether "/" starts a regular expression follows the token before it; where
// that leaves a doubt it is taken as one, which keeps its text as written.
void minifyScript(SlotText& script, LineBreak lineBreak);

}  // namespace vantiro
