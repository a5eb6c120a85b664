#pragma once
// What the script passes read characters and words of JavaScript as.

#include <array>
#include <cstddef>

#include "platform/text.h"

namespace vantiro {

inline bool isLineTerminator(char32_t c) { return c == U'\n' || c == U'\r' || c == 0x2028 || c == 0x2029; }

// White space between tokens other than the space itself and line terminators.
inline bool isOtherWhiteSpace(char32_t c) {
  if (c < 0x80) return c == U'\t' || c == U'\v' || c == U'\f';
  return c == 0xA0 || c == 0xFEFF || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// A character of a name or a number; "\" for the \u escapes names may hold.
inline bool isWordChar(char32_t c) {
  if (c < 0x80)
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9') || c == U'_' || c == U'$' ||
           c == U'\\';
  return !isLineTerminator(c) && !isOtherWhiteSpace(c);
}

// Words after which an expression, and so a regular expression, may follow.
inline bool isKeywordBeforeExpression(TextView word) {
  static constexpr std::array<TextView, 14> kKeywords = {U"return", U"typeof",     U"case",  U"do",     U"else",
                                                         U"in",     U"of",         U"new",   U"delete", U"void",
                                                         U"throw",  U"instanceof", U"yield", U"await"};
  if (word.empty() || word.size() > 10 || word[0] < U'a' || word[0] > U'z') return false;
  for (TextView k : kKeywords)
    if (word == k) return true;
  return false;
}

// Where a literal that starts at `from` ends, and whether it was closed.
struct LiteralEnd {
  std::size_t end;  // just after the literal
  bool closed;      // by its closing quote or "/", not by a line break or the end
};

// A string literal opening with `quote` at `from`: it ends after its quote, or
// unterminated before a line break; a backslash takes the next character or
// a line break (CR LF included).
inline LiteralEnd stringLiteralEnd(TextView s, std::size_t from, char32_t quote) {
  std::size_t k = from + 1;
  while (k < s.size()) {
    const char32_t c = s[k];
    if (c == U'\n' || c == U'\r') return {k, false};
    ++k;
    if (c == quote) return {k, true};
    if (c == U'\\' && k < s.size()) k += (s[k] == U'\r' && k + 1 < s.size() && s[k + 1] == U'\n') ? 2 : 1;
  }
  return {k, false};
}

// A regular-expression literal whose "/" is at `from`: it ends after the "/"
// that closes it outside a class, or before a line terminator, which it
// cannot hold.
inline LiteralEnd regexLiteralEnd(TextView s, std::size_t from) {
  bool inClass = false;
  std::size_t k = from + 1;
  while (k < s.size()) {
    const char32_t c = s[k];
    if (isLineTerminator(c)) return {k, false};
    ++k;
    if (c == U'\\') {
      if (k < s.size() && !isLineTerminator(s[k])) ++k;
    } else if (c == U'[') {
      inClass = true;
    } else if (c == U']') {
      inClass = false;
    } else if (c == U'/' && !inClass) {
      return {k, true};
    }
  }
  return {k, false};
}

}  // namespace vantiro
