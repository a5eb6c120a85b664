#pragma once
// The small text routines the compressor's passes share: the page reader, line
// and space handling, replacement and script compression. Each works on one
// string in place, keeps no state and runs in time linear in its input.
//
// A line break is the pair CR LF; a lone CR or LF is an ordinary character.
// "Spaces" means the space character only: tabs are never trimmed or collapsed.

#include "common/text.h"

#include <string>

namespace vantiro {

// The whole file decoded from the ANSI code page (read in one go). Throws
// FileError when the file cannot be read.
Text getfile(const std::string& nativePath);

// Makes a multi-line tag one line: every line trimmed of spaces, the lines
// joined by one space each, the result trimmed. An empty line still gives its
// space: "a\r\n\r\nb" becomes "a  b".
void xiaohc(Text& s);

// Joins the lines with one space each (lines are not trimmed), then makes every
// run of spaces one space. A single leading or trailing space stays.
void xiaohc1(Text& s);

// Trims the spaces at both ends of every line; line breaks (and empty lines) stay.
void xiaohc2(Text& s);

// Replaces every occurrence of `find`, left to right; the search goes on after
// the replaced occurrence, so a replacement is never searched again. An empty
// `find` changes nothing.
void th(Text& s, TextView find, TextView repl);

// Script compression: every line trimmed of spaces, and when the script holds
// both "{" and "}", the spaces next to every brace removed. Line breaks are
// never removed, so a script keeps one statement per line.
void ysjb(Text& script);

}  // namespace vantiro
