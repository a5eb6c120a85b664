#include "compress/tag_shortening.h"

#include <cstring>

#include "compress/element_names.h"
#include "compress/narrowed_block.h"
#include "compress/tag_attributes.h"
#include "compress/text_routines.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantiro {
namespace {

// A character that keeps a value quoted: a browser reading the value
// unquoted would end it there, or read it differently.
bool keepsQuotes(char32_t c) { return c == U'<' || c == U'>' || c == U'\'' || c == U'"' || isHtmlSpace(c); }

// The first position in [from, n) that holds a character that keeps a value
// quoted, or n. Values are long (addresses, class lists) and most hold none,
// so blocks of eight characters, narrowed to 16 bits, are tested at once for
// anything up to a space, '"', "'", "<" or ">" (a few more than are looked
// for), and only the characters found so are then tested one by one.
[[gnu::always_inline]] inline std::size_t findQuoteKeeper(const char32_t* d, std::size_t from, std::size_t n) {
  std::size_t k = from;
#if defined(__SSE2__)
  const auto blockFrom = [&](std::size_t at) {
    // Saturating: a character outside 16 bits becomes 0x7FFF, which keeps
    // nothing quoted, or (at or above 0x80000000) one below a space, which
    // fails the exact test.
    const __m128i c = narrowed8(d + at);
    const __m128i low = _mm_cmplt_epi16(c, _mm_set1_epi16(U' ' + 1));
    const __m128i angle = _mm_cmpeq_epi16(_mm_or_si128(c, _mm_set1_epi16(2)), _mm_set1_epi16(U'>'));  // < or >
    const __m128i quote =
        _mm_or_si128(_mm_cmpeq_epi16(c, _mm_set1_epi16(U'"')), _mm_cmpeq_epi16(c, _mm_set1_epi16(U'\'')));
    // Two bits a character; the low one is read.
    auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(low, angle), quote))) & 0x5555u;
    for (; bits != 0; bits &= bits - 1)
      if (const std::size_t j = at + static_cast<std::size_t>(__builtin_ctz(bits)) / 2; keepsQuotes(d[j])) return j;
    return n;
  };
  if (k + 8 <= n) {
    for (; k + 8 <= n; k += 8)
      if (const std::size_t hit = blockFrom(k); hit != n) return hit;
    // The rest is read as the last block, which overlaps characters known
    // to keep no quotes.
    return k == n ? n : blockFrom(n - 8);
  }
#endif
  for (; k < n; ++k)
    if (keepsQuotes(d[k])) return k;
  return n;
}

// Whether `css` holds "space" in any letter case.
bool holdsSpaceWord(TextView css) {
  for (std::size_t k = 0; k + 5 <= css.size(); ++k)
    if ((css[k] | 0x20) == U's' && (css[k + 1] | 0x20) == U'p' && (css[k + 2] | 0x20) == U'a' &&
        (css[k + 3] | 0x20) == U'c' && (css[k + 4] | 0x20) == U'e')
      return true;
  return false;
}

// Moves t[from, to) to t[w...] (w <= from) and returns the new write
// position; most tags need no move at all, and then nothing is copied.
std::size_t moveDown(char32_t* t, std::size_t w, std::size_t from, std::size_t to) {
  if (w != from) std::memmove(t + w, t + from, (to - from) * sizeof(char32_t));
  return w + (to - from);
}

bool spaceGoesAfter(char32_t c) { return c == U':' || c == U',' || c == U';' || c == U' '; }

// Copies t[from, to) to t[w...], each run of white space made one space;
// returns the new write position.
std::size_t copyCollapsingSpace(char32_t* t, std::size_t w, std::size_t from, std::size_t to) {
  for (std::size_t k = from; k < to; ++k) {
    if (!isHtmlSpace(t[k])) {
      t[w++] = t[k];
    } else if (k == from || !isHtmlSpace(t[k - 1])) {
      t[w++] = U' ';
    }
  }
  return w;
}

// Writes the CSS of a style value t[from, to) to t[w...] without the white
// space that shows nothing: at both ends, after ":", ",", ";", and all but
// one space of a run. CSS strings (quoted with `stringQuote`, the quote the
// value is not quoted with) and escapes are copied as they are.
std::size_t copyTightCss(char32_t* t, std::size_t w, std::size_t from, std::size_t to, char32_t stringQuote) {
  const std::size_t start = w;
  bool pendingSpace = false;
  for (std::size_t k = from; k < to; ++k) {
    const char32_t c = t[k];
    if (isHtmlSpace(c)) {
      pendingSpace = true;
      continue;
    }
    if (pendingSpace && w > start && !spaceGoesAfter(t[w - 1])) t[w++] = U' ';
    pendingSpace = false;
    if (c == U'\\' && k + 1 < to) {
      t[w++] = c;
      t[w++] = t[++k];
    } else if (c == stringQuote) {
      t[w++] = c;
      for (++k; k < to; ++k) {
        t[w++] = t[k];
        if (t[k] == U'\\' && k + 1 < to) {
          t[w++] = t[++k];
        } else if (t[k] == stringQuote) {
          break;
        }
      }
    } else {
      t[w++] = c;
    }
  }
  return w;
}

// The part of an element's tag from `nameEnd` on, where its attributes are
// (`nameKey` the key of its name, which stays). Out of line: half the tags of
// a page have no attributes, and need none of its set-up.
[[gnu::noinline]] ShortenedTag shortenAttributes(SlotText& tag, std::size_t nameEnd, std::uint64_t nameKey) {
  char32_t* const t = tag.data();
  const std::size_t n = tag.size();
  const TextView original(t, n);  // read ahead of writing: w never passes r
  std::size_t w = nameEnd;
  std::size_t r = w;
  ShortenedTag result;
  result.nameKey = nameKey;
  while (r < n) {
    // White space and "/" between attributes; white space at the end goes.
    std::size_t s = r;
    while (s < n && (isHtmlSpace(t[s]) || t[s] == U'/')) ++s;
    if (s == n) {
      w = copyCollapsingSpace(t, w, r, n);
      if (w > 0 && t[w - 1] == U' ') --w;
      break;
    }
    w = copyCollapsingSpace(t, w, r, s);
    std::optional<TagAttribute> a = readAttributeHead(original, s);
    if (!a) break;
    // Read before anything of this attribute is written over.
    const bool style = namesAre(a->name(original), U"style");
    result.holdsStyle = result.holdsStyle || style;
    result.holdsHidden = result.holdsHidden || (!style && namesAre(a->name(original), U"hidden"));
    // Only a value right after its "=" loses its quotes, as it always has.
    const bool rightAfterEquals = a->quote != 0 && original[a->valueAt - 2] == U'=';
    // A value other than a style value is written as it is read, so the one
    // walk that looks for its closing quote also tells whether it may lose
    // its quotes: when that quote is the first character that keeps them.
    bool keepsNothingQuoted = false;
    if (a->quote == U'"' && rightAfterEquals && !style) {
      const std::size_t keeper = findQuoteKeeper(t, a->valueAt, n);
      keepsNothingQuoted = keeper < n && t[keeper] == U'"';
      closeValue(*a, original, keepsNothingQuoted ? keeper : findChar(original, U'"', keeper));
    } else if (a->quote != 0) {
      closeValue(*a, original, findChar(original, a->quote, a->valueAt));
    }
    w = moveDown(t, w, a->nameAt, a->nameEnd);
    if (a->valueAt == npos) {
      r = a->nameEnd;
      continue;
    }
    if (keepsNothingQuoted && a->valueEnd > a->valueAt) {
      // Known before it moves: the value goes without its quotes, and moves once.
      w = copyCollapsingSpace(t, w, a->nameEnd, a->valueAt - 1);  // the "=" with the white space around it
      w = moveDown(t, w, a->valueAt, a->valueEnd);
      r = a->valueEnd + 1;
      // Another attribute right after the quote needs a space to start.
      if (r < n && !isHtmlSpace(t[r])) t[w++] = U' ';
      continue;
    }
    // The "=" with the white space around it, the opening quote after it.
    w = copyCollapsingSpace(t, w, a->nameEnd, a->valueAt);
    if (a->quote == 0) {
      w = moveDown(t, w, a->valueAt, a->valueEnd);
      r = a->valueEnd;
      continue;
    }
    if (!a->closed) {
      // The value goes on after the tag: the rest is kept exactly.
      w = moveDown(t, w, a->valueAt, n);
      result.openQuote = a->quote;
      break;
    }
    const std::size_t valueAt = w;
    if (style) result.styleNamesSpace = result.styleNamesSpace || holdsSpaceWord(original.substr(a->valueAt, a->valueEnd - a->valueAt));
    if (style) {
      w = copyTightCss(t, w, a->valueAt, a->valueEnd, a->quote == U'"' ? U'\'' : U'"');
    } else {
      w = moveDown(t, w, a->valueAt, a->valueEnd);
    }
    r = a->valueEnd + 1;
    // Only a style value, made tight just now, may still lose its quotes.
    const bool unquoted = style && w > valueAt && a->quote == U'"' && rightAfterEquals && findQuoteKeeper(t, valueAt, w) == w;
    if (!unquoted) {
      t[w++] = a->quote;
      continue;
    }
    std::memmove(t + valueAt - 1, t + valueAt, (w - valueAt) * sizeof(char32_t));
    --w;
    // Another attribute right after the quote needs a space to start.
    if (r < n && !isHtmlSpace(t[r])) t[w++] = U' ';
  }
  tag.resize(w);
  return result;
}

// Spaces after ":", "," and ";" go, and every other run of spaces becomes one.
void shortenComment(SlotText& tag) {
  std::size_t w = 0;
  for (std::size_t r = 0; r < tag.size(); ++r) {
    if (tag[r] == U' ' && w > 0 && spaceGoesAfter(tag[w - 1])) continue;
    tag[w++] = tag[r];
  }
  tag.resize(w);
}

}  // namespace

ShortenedTag shortenTag(SlotText& tag) {
  // An element's tag is one whose name (after an optional "/") starts with a
  // letter: the one a name is read from (isElementTag), so reading it tells.
  const TagName read = tagName(tag);
  if (read.length != 0) {
    // The attributes start after an optional "/" and the name, which stay.
    const std::size_t nameEnd = read.at + read.length;
    if (nameEnd < tag.size()) return shortenAttributes(tag, nameEnd, read.key);
    ShortenedTag bare;
    bare.nameKey = read.key;
    return bare;
  }
  if (tag.size() >= 3 && tag[0] == U'!' && tag[1] == U'-' && tag[2] == U'-') shortenComment(tag);
  return {};
}

}  // namespace vantiro
