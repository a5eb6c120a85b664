#pragma once
// The small text routines the compressor's passes share: the page reader, line
// and space handling and replacement. Each works on one slot in place, keeps
// no state and runs in time linear in its input.
//
// A line break is the page's own (compress/line_break.h): CR LF, where a lone
// CR or LF is an ordinary character, or LF. "Spaces" means the space character
// only: tabs are never trimmed or collapsed.

#include <cstdint>
#include <string>

#include "platform/text.h"
#include "compress/line_break.h"
#include "compress/slot_text.h"
#include "platform/page_encoding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantiro {

// The whole file decoded in its own encoding (read in one go). Throws
// FileError when the file cannot be read, EncodingRefused when its encoding
// cannot be handled.
PageText readPageText(const std::string& nativePath);

// CR LF when `page` holds a CR LF anywhere, LF otherwise.
LineBreak lineBreakOf(TextView page);

// Makes a multi-line tag one line: every line trimmed of spaces, the lines
// joined by one space each, the result trimmed. An empty line still gives its
// space: "a\r\n\r\nb" becomes "a  b".
void joinTrimmedLines(SlotText& s, LineBreak lineBreak);

// Joins the lines with one space each (lines are not trimmed), then makes every
// run of spaces one space. A single leading or trailing space stays.
void collapseLinesAndSpaces(SlotText& s, LineBreak lineBreak);

// Space, tab, CR or LF (the program's "blank"): one comparison turns away
// every character above the space, a bit of a mask tells the rest.
inline bool isBlankChar(char32_t c) {
  constexpr std::uint64_t kBlanks = 1ull << U' ' | 1ull << U'\t' | 1ull << U'\r' | 1ull << U'\n';
  return c <= U' ' && ((kBlanks >> c) & 1) != 0;
}

// isBlankText for a text of eight characters or more.
bool isLongTextBlank(TextView text);

// isBlank (platform/text.h): whether `text` holds only spaces, tabs, CRs and
// LFs; an empty text is blank. The passes ask it of nearly every text between
// tags: a short one is read inline, a long one (the indentation before a tag,
// often dozens of characters) eight characters at a time.
inline bool isBlankText(TextView text) {
  if (text.size() >= 8) return isLongTextBlank(text);
  for (char32_t c : text)
    if (!isBlankChar(c)) return false;
  return true;
}

// Trims the spaces at both ends of every line; line breaks (and empty lines) stay.
void trimLines(SlotText& s, LineBreak lineBreak);

// Replaces every occurrence of `find`, left to right; the search goes on after
// the replaced occurrence, so a replacement is never searched again. An empty
// `find` changes nothing.
void replaceAll(SlotText& s, TextView find, TextView repl);

// The first position at or after `from` that holds `c`, or npos. Pages are
// searched often and mostly in vain, so blocks of characters are compared at
// once; inline, because most searches are in short tags. For the same
// reason the tail after the whole blocks is not searched character by
// character: it is the last block again, overlapping the one before, whose
// characters are known to differ from `c`.
inline std::size_t findChar(TextView s, char32_t c, std::size_t from = 0) {
  const char32_t* const d = s.data();
  const std::size_t n = s.size();
  std::size_t k = from;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi32(static_cast<int>(c));
  const auto hits4 = [&](std::size_t at) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at));
    return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(a, wanted))));
  };
  const auto equal4 = [&](std::size_t at) {
    return _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at)), wanted);
  };
  if (k + 8 <= n) {
    // Long searches (a whole page) go sixteen characters a step up to the
    // block that holds `c`.
    for (; k + 16 <= n; k += 16)
      if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(equal4(k), equal4(k + 4)),
                                         _mm_or_si128(equal4(k + 8), equal4(k + 12)))) != 0)
        break;
    for (; k + 8 <= n; k += 8)
      if (const unsigned hits = hits4(k) | hits4(k + 4) << 4; hits != 0)
        return k + static_cast<std::size_t>(__builtin_ctz(hits));
    if (k == n) return npos;
    const unsigned hits = hits4(n - 8) | hits4(n - 4) << 4;
    return hits != 0 ? n - 8 + static_cast<std::size_t>(__builtin_ctz(hits)) : npos;
  }
  if (k + 4 <= n) {
    if (const unsigned hits = hits4(k); hits != 0) return k + static_cast<std::size_t>(__builtin_ctz(hits));
    const unsigned hits = hits4(n - 4);
    return hits != 0 ? n - 4 + static_cast<std::size_t>(__builtin_ctz(hits)) : npos;
  }
#endif
  for (; k < n; ++k)
    if (d[k] == c) return k;
  return npos;
}

// The first occurrence of `find` (not empty) at or after `from`, or npos.
std::size_t findText(TextView s, TextView find, std::size_t from = 0);

// Letter-case-insensitive tests of tag texts against upper-case ASCII words
// ("SCRIPT", "/PRE", "BR"); only a-z are folded, as everywhere in the program.
// Inline because the passes call them for every tag.
inline char32_t foldedUpper(char32_t c) { return (c >= U'a' && c <= U'z') ? c - 32 : c; }

inline bool startsWithUpper(TextView s, TextView upperPrefix) {
  if (s.size() < upperPrefix.size()) return false;
  for (std::size_t k = 0; k < upperPrefix.size(); ++k)
    if (foldedUpper(s[k]) != upperPrefix[k]) return false;
  return true;
}

inline bool equalsUpper(TextView s, TextView upper) { return s.size() == upper.size() && startsWithUpper(s, upper); }

// White space a browser collapses: space, tab, CR, LF, form feed. One
// comparison turns away every character above the space, and a bit of a mask
// tells the rest: this is asked of nearly every character of a tag.
inline bool isHtmlSpace(char32_t c) {
  constexpr std::uint64_t kSpaces = 1ull << U' ' | 1ull << U'\t' | 1ull << U'\r' | 1ull << U'\n' | 1ull << U'\f';
  return c <= U' ' && ((kSpaces >> c) & 1) != 0;
}

}  // namespace vantiro
