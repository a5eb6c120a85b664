#include "compress/rewrite.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "common/page_error.h"
#include "compress/inline_tags.h"
#include "compress/script_compression.h"
#include "compress/shown_as_written.h"
#include "compress/text_routines.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantiro {
namespace {

// Words the passes look for in every tag and text. Named constants, so that
// their lengths are known when compiling: a literal that becomes a TextView
// where it is used is measured character by character each time.
constexpr TextView kScript = U"SCRIPT";
constexpr TextView kSpace = U" ";

// Exactly /p /P /tr /TR /td /TD: no other letter case, no spaces.
bool isOptionalEndTag(TextView tag) {
  if (tag.size() == 2) return tag[0] == U'/' && (tag[1] == U'p' || tag[1] == U'P');
  if (tag.size() != 3 || tag[0] != U'/') return false;
  return (tag[1] == U't' && (tag[2] == U'r' || tag[2] == U'd')) ||
         (tag[1] == U'T' && (tag[2] == U'R' || tag[2] == U'D'));
}

// Space, tab, CR and LF only (the program's "blank").
bool blank(TextView text) {
  for (char32_t c : text)
    if (c != U' ' && c != U'\t' && c != U'\r' && c != U'\n') return false;
  return true;
}

// Position of the next `="` at or after `from`, or npos.
std::size_t findQuoteOpen(TextView tag, std::size_t from) {
  for (std::size_t k = findChar(tag, U'=', from); k != npos; k = findChar(tag, U'=', k + 1))
    if (k + 1 < tag.size() && tag[k + 1] == U'"') return k;
  return npos;
}

// The index of the first non-empty tag after i, or -1.
int nextTagIndex(const PageSplit& split, int i) {
  for (int j = i + 1; j <= split.lastIndex; ++j)
    if (!split.tags[static_cast<std::size_t>(j)].empty()) return j;
  return -1;
}

bool nextTagIsInline(const PageSplit& split, int i) {
  const int j = nextTagIndex(split, i);
  return j >= 0 && isInlineTag(split.tags[static_cast<std::size_t>(j)]);
}

// An end tag whose element starts again right after one or more removed tags:
// "</b>" + removed + "<b>" is one bold run to a browser.
bool repeatsAfterRemovedTags(const PageSplit& split, int i) {
  const TextView name = split.tags[static_cast<std::size_t>(i)].view().substr(1);
  int j = i + 1;
  while (j <= split.capacity - 2 && split.tags[static_cast<std::size_t>(j)].empty()) ++j;
  if (j == split.capacity - 1) return false;
  const TextView later = split.tags[static_cast<std::size_t>(j)];
  if (!split.tags[static_cast<std::size_t>(j - 1)].empty()) return false;
  return later == name;
}

// A character that keeps a value quoted: a browser reading the value
// unquoted would end it there, or read it differently.
bool keepsQuotes(char32_t c) { return c == U'<' || c == U'>' || c == U'\'' || isHtmlSpace(c); }

// The first position at or after `from` that holds a '"' or a character that
// keeps a value quoted, or n. Values are long (addresses, class lists) and
// most of them hold neither until their closing quote, so blocks of
// characters are tested at once: for anything up to a space, '"', "'", "<"
// or ">" (a few more than are looked for), and a block with a hit is then
// read character by character.
std::size_t findValueStop(const char32_t* d, std::size_t from, std::size_t n) {
  std::size_t k = from;
#if defined(__SSE2__)
  const auto candidates = [](__m128i c) {
    // Signed: characters at or above 0x80000000 are candidates too, and fail the exact test.
    const __m128i low = _mm_cmplt_epi32(c, _mm_set1_epi32(U' ' + 1));
    const __m128i angle = _mm_cmpeq_epi32(_mm_or_si128(c, _mm_set1_epi32(2)), _mm_set1_epi32(U'>'));  // < or >
    const __m128i quote =
        _mm_or_si128(_mm_cmpeq_epi32(c, _mm_set1_epi32(U'"')), _mm_cmpeq_epi32(c, _mm_set1_epi32(U'\'')));
    return _mm_or_si128(_mm_or_si128(low, angle), quote);
  };
  for (; k + 8 <= n; k += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k + 4));
    if (_mm_movemask_epi8(_mm_or_si128(candidates(a), candidates(b))) == 0) continue;
    for (std::size_t j = k; j < k + 8; ++j)
      if (d[j] == U'"' || keepsQuotes(d[j])) return j;
  }
#endif
  for (; k < n; ++k)
    if (d[k] == U'"' || keepsQuotes(d[k])) return k;
  return n;
}

// Whether the "=" at `equalsAt` in `tag` follows the attribute name "style"
// (any letter case, spaces between).
bool namesStyle(const SlotText& tag, std::size_t equalsAt) {
  std::size_t e = equalsAt;
  while (e > 0 && tag[e - 1] == U' ') --e;
  constexpr TextView kStyle = U"STYLE";
  if (e < kStyle.size() || !startsWithUpper(tag.view().substr(e - kStyle.size()), kStyle)) return false;
  return e == kStyle.size() || isHtmlSpace(tag[e - kStyle.size() - 1]);
}

bool spaceGoesAfter(char32_t c) { return c == U':' || c == U',' || c == U';' || c == U' '; }

// Whether some space in t[0, n) follows a character spaceGoesAfter holds.
// Blocks of characters are tested at once, each against the block one
// character before it; as tags are short, the tail after the whole blocks is
// a last block that overlaps the one before.
bool holdsSpaceAfterSeparator(const char32_t* t, std::size_t n) {
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi32(U' ');
  const auto pairs = [&](std::size_t at) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + at));
    const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + at - 1));
    const __m128i separator =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi32(before, _mm_set1_epi32(U':')), _mm_cmpeq_epi32(before, _mm_set1_epi32(U','))),
                     _mm_or_si128(_mm_cmpeq_epi32(before, _mm_set1_epi32(U';')), _mm_cmpeq_epi32(before, space)));
    return _mm_and_si128(_mm_cmpeq_epi32(c, space), separator);
  };
  const auto anyPair = [&](std::size_t at) { return _mm_movemask_epi8(_mm_or_si128(pairs(at), pairs(at + 4))) != 0; };
  if (n >= 9) {
    std::size_t k = 1;
    for (; k + 8 <= n; k += 8)
      if (anyPair(k)) return true;
    return k < n && anyPair(n - 8);
  }
  if (n >= 5) return _mm_movemask_epi8(_mm_or_si128(pairs(1), pairs(n - 4))) != 0;
#endif
  for (std::size_t k = 1; k < n; ++k)
    if (t[k] == U' ' && spaceGoesAfter(t[k - 1])) return true;
  return false;
}

// Spaces after ":", "," and ";" go; every other run of spaces becomes one.
// A quoted attribute value (a quote after "=" and spaces, up to the same
// quote) is what a visitor sees or a form sends, and is copied as it is; but
// a style value is CSS, where those spaces show nothing, and loses them too.
void tightenSpacing(SlotText& tag) {
  char32_t* const t = tag.data();
  const std::size_t n = tag.size();
  // Only a space right after one of these can go, so a tag without such a
  // pair (most tags: single spaces between attributes) is left as it is.
  if (!holdsSpaceAfterSeparator(t, n)) return;
  std::size_t w = 0;
  std::size_t r = 0;
  std::size_t equalsAt = npos;  // where the last "=" outside values was written, spaces since aside
  while (r < n) {
    const char32_t c = t[r++];
    if (c == U' ') {
      if (w == 0 || !spaceGoesAfter(t[w - 1])) t[w++] = c;
      continue;
    }
    if (equalsAt == npos || (c != U'"' && c != U'\'')) {
      equalsAt = c == U'=' ? w : npos;
      t[w++] = c;
      continue;
    }
    const bool style = namesStyle(tag, equalsAt);
    equalsAt = npos;
    t[w++] = c;
    if (!style) {
      // Values are long runs without anything to change: moved in one go.
      std::size_t end = findChar(tag, c, r);
      end = end == npos ? n : end + 1;
      if (w != r) std::copy(t + r, t + end, t + w);
      w += end - r;
      r = end;
      continue;
    }
    while (r < n) {
      const char32_t d = t[r++];
      if (d == U' ' && spaceGoesAfter(t[w - 1])) continue;
      t[w++] = d;
      if (d == c) break;
    }
  }
  tag.resize(w);
}

// The single-quoted attribute values of `tag` (a quote after "=" and spaces,
// up to the same quote), as the positions of their two quotes; a value left
// open runs to the tag's end. Only tags holding a "'" have any.
std::vector<std::pair<std::size_t, std::size_t>> singleQuotedValues(const SlotText& tag) {
  std::vector<std::pair<std::size_t, std::size_t>> values;
  if (findChar(tag, U'\'') == npos) return values;
  char32_t quote = 0;
  std::size_t opened = 0;
  bool afterEquals = false;
  for (std::size_t k = 0; k < tag.size(); ++k) {
    const char32_t c = tag[k];
    if (quote != 0) {
      if (c != quote) continue;
      if (quote == U'\'') values.emplace_back(opened, k);
      quote = 0;
    } else if (c != U' ') {
      if (afterEquals && (c == U'"' || c == U'\'')) {
        quote = c;
        opened = k;
      }
      afterEquals = c == U'=';
    }
  }
  if (quote == U'\'') values.emplace_back(opened, tag.size());
  return values;
}

// Removes the quotes around safe values written ="value". The rebuilt tag is
// written over the old one from the left: each step drops two quotes and adds
// at most one space, so writing never overtakes reading. Searches run on the
// unread part of the old tag, which is where they would run in the rebuilt one
// (a safe value has no quote, so no new ="... can form across it).
void unquoteValues(SlotText& tag) {
  const std::size_t n = tag.size();
  char32_t* const t = tag.data();
  // A ="..." inside a single-quoted value is part of that value (a script's
  // string, a title's text) and stays as it is.
  const auto singleQuoted = singleQuotedValues(tag);
  std::size_t passed = 0;  // single-quoted values wholly before the last candidate
  const auto nextQuoteOpen = [&](std::size_t from) {
    for (std::size_t k = findQuoteOpen(tag, from); k != npos; k = findQuoteOpen(tag, k + 1)) {
      while (passed < singleQuoted.size() && singleQuoted[passed].second < k) ++passed;
      if (passed == singleQuoted.size() || singleQuoted[passed].first > k) return k;
    }
    return npos;
  };
  std::size_t w = 0;       // end of the rebuilt part
  std::size_t copied = 0;  // old tag before this is rebuilt
  std::size_t q = nextQuoteOpen(0);
  for (bool first = true; q != npos; first = false) {
    // The value runs to the closing quote e; it can lose its quotes when it
    // is not empty and holds nothing that keeps them.
    const std::size_t stop = findValueStop(t, q + 2, n);
    std::size_t e = stop;
    bool safe = stop > q + 2;
    if (stop == n) {
      e = npos;
    } else if (t[stop] != U'"') {
      e = findChar(tag, U'"', stop + 1);
      safe = false;
    }
    if (e == npos) {
      if (!first) throw PageError("属性值缺少结束引号");
      e = n;
    }
    if (!safe) {
      q = nextQuoteOpen(q + 1);
      continue;
    }
    if (e == n) throw PageError("属性值缺少结束引号");
    // Moved left over the quotes dropped so far; nothing moves before the first.
    if (w != copied) std::memmove(t + w, t + copied, (q + 1 - copied) * sizeof(char32_t));
    w += q + 1 - copied;
    std::memmove(t + w, t + q + 2, (e - q - 2) * sizeof(char32_t));
    w += e - q - 2;
    if (e + 1 < n) {
      tag[w++] = U' ';
      copied = e + 1;
      while (copied < n && tag[copied] == U' ') ++copied;
    } else {
      copied = n;
    }
    q = nextQuoteOpen(copied);
  }
  if (copied == 0) return;
  std::memmove(t + w, t + copied, (n - copied) * sizeof(char32_t));
  tag.resize(w + n - copied);
}

// ";&nbsp;&nbsp" -> "; &nbsp": three "&nbsp;" in a row show the same as
// "&nbsp; &nbsp;".
void shortenSpaceEntities(SlotText& text) {
  constexpr TextView kThree = U";&nbsp;&nbsp", kSpaced = U"; &nbsp";
  if (text.size() >= 11) replaceAll(text, kThree, kSpaced);
}

// Joined and collapsed; `blankGoes` decides whether white space other than
// spaces alone also vanishes.
void rewriteLooseText(SlotText& text, LineBreak lineBreak, bool blankGoes) {
  collapseLinesAndSpaces(text, lineBreak);
  if (text.view().find_first_not_of(U' ') == npos || (blankGoes && blank(text))) text.clear();
}

}  // namespace

void shortenTag(SlotText& tag) {
  tightenSpacing(tag);
  unquoteValues(tag);
}

void rewritePage(PageSplit& split, bool compressScripts, ProgressIndicator& progress) {
  rewriteLooseText(split.leadingText, split.lineBreak, true);
  shortenSpaceEntities(split.leadingText);

  bool inPreBlock = false;
  const int last = split.lastIndex;
  const int step = last / 30;
  int untilProgress = 0;  // i is a multiple of step when this reaches 0
  for (int i = 0; i <= last; ++i) {
    if (step != 0 && untilProgress-- == 0) {
      progress.setValue(i);
      untilProgress = step - 1;
    }
    SlotText& tag = split.tags[static_cast<std::size_t>(i)];
    SlotText& text = split.texts[static_cast<std::size_t>(i)];

    const bool tagStays = split.endsInScript || (tag.size() >= 3 && tag[0] == U'%');
    if (!tagStays) {
      // Dropping an end tag drops its text too, so only a blank text may go;
      // and "</p> <b>" would pull what follows into the paragraph.
      if (isOptionalEndTag(tag) && blank(text) && !nextTagIsInline(split, i)) {
        tag.clear();
        continue;
      }
      if (!tag.empty() && tag[0] == U'/' && blank(text) && repeatsAfterRemovedTags(split, i)) tag.clear();
      shortenTag(tag);
    }

    if (startsWithUpper(tag, kScript)) {
      if (compressScripts) compressScript(text, split.lineBreak);
      continue;
    }
    if (rawTextEnd(tag)) continue;  // a textarea's text is what the form sends

    if (opensPreformatted(tag)) inPreBlock = true;
    if (closesPreformatted(tag)) inPreBlock = false;

    if (!inPreBlock) {
      if (!text.empty() && blank(text) && isInlineTag(tag) && nextTagIsInline(split, i)) {
        text.assign(kSpace);
      } else {
        rewriteLooseText(text, split.lineBreak, i == last);
      }
    } else if (i == last && blank(text)) {
      text.clear();
    }
    shortenSpaceEntities(text);
  }
}

}  // namespace vantiro
