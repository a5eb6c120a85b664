#pragma once
// The program's text type: one character of the page code page is one element,
// so positions and lengths count characters as the pages' authors see them.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vantiro {

using Text = std::u32string;
using TextView = std::u32string_view;

inline constexpr std::size_t npos = Text::npos;

// Only the ASCII letters a-z change; every other character keeps its value,
// so positions in the upper-cased copy match the original.
char32_t upperAscii(char32_t c);
Text upperAscii(TextView s);

// Trimming concerns the space character only, never tabs or line breaks.
Text trimSpaces(TextView s);
Text trimLeadingSpaces(TextView s);
Text trimTrailingSpaces(TextView s);

// The lines of a text whose lines end with CR LF; a lone CR or LF is an
// ordinary character. A last line without a line break still counts; nothing
// follows a final CR LF.
std::vector<Text> splitCrLfLines(TextView text);
// The same on bytes, for files whose lines are in different encodings.
std::vector<std::string_view> splitCrLfLines(std::string_view bytes);

// "Blank" for the rules that treat white space between tags: space, tab, CR, LF.
bool isBlank(TextView s);

// Conversions for texts that are plain ASCII or UTF-8 in the program's own
// sources and on the terminal (messages, numbers, command-line arguments).
Text fromUtf8(std::string_view utf8);
std::string toUtf8(TextView text);
// `c` (at most 0x10FFFF) appended to `out` as UTF-8.
void appendUtf8(char32_t c, std::string& out);

Text toText(long long number);

}  // namespace vantiro
