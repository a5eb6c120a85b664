#include "compress/text_routines.h"

#include <algorithm>

#include "compress/narrowed_block.h"
#include "platform/code_page.h"
#include "platform/file_service.h"

namespace vantiro {
namespace {

// True when a line break starts at `i`.
bool lineBreakAt(const SlotText& s, std::size_t i, LineBreak lineBreak) {
  if (lineBreak == LineBreak::Lf) return s[i] == U'\n';
  return s[i] == U'\r' && i + 1 < s.size() && s[i + 1] == U'\n';
}

// End of the line that starts at `from`: the position of its line break, or
// the size. Both breaks end in LF, so the search is for that.
std::size_t lineEnd(const SlotText& s, std::size_t from, LineBreak lineBreak) {
  if (lineBreak == LineBreak::Lf) return std::min(findChar(s, U'\n', from), s.size());
  for (std::size_t k = findChar(s, U'\n', from + 1); k != npos; k = findChar(s, U'\n', k + 1))
    if (s[k - 1] == U'\r') return k - 1;
  return s.size();
}

// The first position where a line break starts or a space follows a space,
// or the size. Most texts hold one early, but long texts of a line each
// hold none: blocks of characters are tested at once, each against the
// blocks one character before and after it.
std::size_t firstBreakOrDoubleSpace(const SlotText& s, LineBreak lineBreak) {
  const std::size_t n = s.size();
  if (n == 0 || lineBreakAt(s, 0, lineBreak)) return 0;
  const char32_t* const d = s.data();
  std::size_t k = 1;
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi16(U' '), lf = _mm_set1_epi16(U'\n'), cr = _mm_set1_epi16(U'\r');
  for (; k + 9 <= n; k += 8) {  // the character after the block is read too
    const __m128i c = narrowed8(d + k);
    const __m128i doubled = _mm_and_si128(_mm_cmpeq_epi16(c, space), _mm_cmpeq_epi16(narrowed8(d + k - 1), space));
    const __m128i breaks = lineBreak == LineBreak::Lf
                               ? _mm_cmpeq_epi16(c, lf)
                               : _mm_and_si128(_mm_cmpeq_epi16(c, cr), _mm_cmpeq_epi16(narrowed8(d + k + 1), lf));
    // Two bits a character.
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(doubled, breaks)));
    if (bits != 0) return k + static_cast<std::size_t>(__builtin_ctz(bits)) / 2;
  }
#endif
  for (; k < n; ++k)
    if (lineBreakAt(s, k, lineBreak) || (d[k] == U' ' && d[k - 1] == U' ')) return k;
  return n;
}

void trimInPlace(SlotText& s) {
  std::size_t e = s.size();
  while (e > 0 && s[e - 1] == U' ') --e;
  std::size_t b = 0;
  while (b < e && s[b] == U' ') ++b;
  if (b != 0)
    s.assign(s.view().substr(b, e - b));
  else
    s.resize(e);
}

// collapseLinesAndSpaces from `start` on, for one kind of line break, so
// that each character costs one pass through a short loop.
template <LineBreak kBreak>
std::size_t collapseFrom(char32_t* d, std::size_t start, std::size_t n) {
  std::size_t w = start;
  bool afterSpace = w > 0 && d[w - 1] == U' ';  // the last character written is a space
  std::size_t r = start;
  const auto step = [&] {
    char32_t c = d[r++];
    if constexpr (kBreak == LineBreak::Lf) {
      if (c == U'\n') c = U' ';
    } else {
      if (c == U'\r' && r < n && d[r] == U'\n') {
        c = U' ';
        ++r;
      }
    }
    if (c == U' ') {
      if (afterSpace) return;
      afterSpace = true;
    } else {
      afterSpace = false;
    }
    d[w++] = c;
  };
#if defined(__SSE2__)
  if constexpr (kBreak == LineBreak::Lf) {
    // Between the line breaks of a long text and the spaces that indent the
    // line after each, whole blocks are copied as they are: those that hold
    // no LF and no space after a space (the first character's is the one
    // written last).
    const __m128i space = _mm_set1_epi16(U' '), lf = _mm_set1_epi16(U'\n');
    if (r == 0 && n != 0) step();  // a block is read with the character before it
    while (r + 8 <= n) {
      const __m128i c = narrowed8(d + r), before = narrowed8(d + r - 1);
      if (afterSpace) {
        // After a space, the run of spaces and line breaks that indents the
        // next line all goes: passed whole rather than a character a step.
        const __m128i blankLanes = _mm_or_si128(_mm_cmpeq_epi16(c, space), _mm_cmpeq_epi16(c, lf));
        const auto blanks = static_cast<unsigned>(_mm_movemask_epi8(blankLanes));  // two bits a character
        if (const std::size_t run = static_cast<std::size_t>(__builtin_ctz(~blanks)) / 2; run != 0) {
          r += run;
          continue;
        }
      }
      const __m128i doubled = _mm_and_si128(_mm_cmpeq_epi16(c, space), _mm_cmpeq_epi16(before, space));
      auto changes = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(doubled, _mm_cmpeq_epi16(c, lf)))) & 0x5554u;
      if (d[r] == U'\n' || (afterSpace && d[r] == U' ')) changes |= 1;
      if (changes == 0) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + w), _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + r)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + w + 4),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + r + 4)));
        afterSpace = d[r + 7] == U' ';
        w += 8;
        r += 8;
        continue;
      }
      // Up to the first character that changes, one at a time.
      for (const std::size_t to = r + static_cast<std::size_t>(__builtin_ctz(changes)) / 2; r <= to;) step();
    }
  }
#endif
  while (r < n) step();
  return w;
}

}  // namespace

std::size_t findText(TextView s, TextView find, std::size_t from) {
  for (std::size_t p = findChar(s, find[0], from); p != npos && p + find.size() <= s.size();
       p = findChar(s, find[0], p + 1))
    if (s.compare(p, find.size(), find) == 0) return p;
  return npos;
}

PageText readPageText(const std::string& nativePath) { return decodePage(files().readFile(nativePath)); }

bool isLongTextBlank(TextView text) {
  const char32_t* const d = text.data();
  const std::size_t n = text.size();
  // Most texts that are not blank start so, and are told by one character.
  if (!isBlankChar(d[0])) return false;
#if defined(__SSE2__)
  // The last block overlaps the one before it.
  const __m128i space = _mm_set1_epi16(U' '), tab = _mm_set1_epi16(U'\t'), cr = _mm_set1_epi16(U'\r'),
                lf = _mm_set1_epi16(U'\n');
  const auto blank8 = [&](std::size_t at) {
    const __m128i c = narrowed8(d + at);
    const __m128i blanks = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(c, space), _mm_cmpeq_epi16(c, tab)),
                                        _mm_or_si128(_mm_cmpeq_epi16(c, cr), _mm_cmpeq_epi16(c, lf)));
    return _mm_movemask_epi8(blanks) == 0xFFFF;
  };
  std::size_t k = 0;
  for (; k + 8 <= n; k += 8)
    if (!blank8(k)) return false;
  return k == n || blank8(n - 8);
#else
  for (std::size_t k = 1; k < n; ++k)
    if (!isBlankChar(d[k])) return false;
  return true;
#endif
}

LineBreak lineBreakOf(TextView page) {
  // Asked of every page, and read whole when it holds no CR: 32 characters
  // at a time are narrowed to 16 bits (saturating, so that no other
  // character becomes a CR) and compared at once, up to the first CR.
  std::size_t from = 0;
#if defined(__SSE2__)
  const char32_t* const d = page.data();
  const __m128i cr = _mm_set1_epi16(U'\r');
  const auto crIn8 = [&](std::size_t at) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at + 4));
    return _mm_cmpeq_epi16(_mm_packs_epi32(a, b), cr);
  };
  for (; from + 32 <= page.size(); from += 32)
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(crIn8(from), crIn8(from + 8)),
                                       _mm_or_si128(crIn8(from + 16), crIn8(from + 24)))) != 0)
      break;
#endif
  return findText(page, U"\r\n", from) != npos ? LineBreak::CrLf : LineBreak::Lf;
}

// The routines below compact the string in place: the write position never
// passes the read position, because every step replaces a piece by one that is
// no longer.

void joinTrimmedLines(SlotText& s, LineBreak lineBreak) {
  const TextView breakText = lineBreakText(lineBreak);
  std::size_t w = 0, r = 0;
  for (bool first = true;; first = false) {
    const std::size_t e = lineEnd(s, r, lineBreak);
    std::size_t b = r, t = e;
    while (b < t && s[b] == U' ') ++b;
    while (t > b && s[t - 1] == U' ') --t;
    if (!first) s[w++] = U' ';
    for (std::size_t k = b; k < t; ++k) s[w++] = s[k];
    if (e == s.size()) break;
    r = e + breakText.size();
  }
  s.resize(w);
  trimInPlace(s);
}

void collapseLinesAndSpaces(SlotText& s, LineBreak lineBreak) {
  // Nothing moves before the first line break or doubled space.
  const std::size_t n = s.size();
  const std::size_t start = firstBreakOrDoubleSpace(s, lineBreak);
  if (start == n) return;
  s.resize(lineBreak == LineBreak::Lf ? collapseFrom<LineBreak::Lf>(s.data(), start, n)
                                      : collapseFrom<LineBreak::CrLf>(s.data(), start, n));
}

void trimLines(SlotText& s, LineBreak lineBreak) {
  const TextView breakText = lineBreakText(lineBreak);
  std::size_t w = 0, r = 0;
  for (;;) {
    const std::size_t e = lineEnd(s, r, lineBreak);
    std::size_t b = r, t = e;
    while (b < t && s[b] == U' ') ++b;
    while (t > b && s[t - 1] == U' ') --t;
    for (std::size_t k = b; k < t; ++k) s[w++] = s[k];
    if (e == s.size()) break;
    for (char32_t c : breakText) s[w++] = c;
    r = e + breakText.size();
  }
  s.resize(w);
}

void replaceAll(SlotText& s, TextView find, TextView repl) {
  if (find.empty()) return;
  const TextView text = s.view();
  std::size_t p = findText(text, find);
  if (p == npos) return;
  if (repl.size() > find.size()) {
    Text out;
    out.reserve(s.size() + s.size() / find.size() * (repl.size() - find.size()));
    std::size_t r = 0;
    for (; p != npos; p = findText(text, find, r)) {
      out.append(text.substr(r, p - r));
      out.append(repl);
      r = p + find.size();
    }
    out.append(text.substr(r));
    s.assign(out);
    return;
  }
  // The searches read the part not yet rewritten, which writing never reaches.
  std::size_t w = p, r = p;
  for (; p != npos; p = findText(text, find, r)) {
    for (; r < p; ++r) s[w++] = s[r];
    for (char32_t c : repl) s[w++] = c;
    r = p + find.size();
  }
  for (; r < s.size(); ++r) s[w++] = s[r];
  s.resize(w);
}

}  // namespace vantiro
