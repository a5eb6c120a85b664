#include "compress/tag_scanner.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

#include "common/page_error.h"
#include "compress/element_names.h"
#include "compress/shown_as_written.h"
#include "compress/text_routines.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantiro {
namespace {

// Named, so that their lengths are known when compiling: a literal that
// becomes a TextView where it is used is measured each time, for every tag.
constexpr TextView kScript = U"SCRIPT";
constexpr TextView kScriptEnd = U"</SCRIPT";
constexpr TextView kServerScriptEnd = U"%>";
constexpr TextView kStyleEnd = U"</STYLE";


// With the case bit set, only the letters fall in a-z: one comparison.
bool isAsciiLetter(char32_t c) { return static_cast<char32_t>((c | 0x20) - U'a') < 26; }

// What may follow the "<" of a tag: a letter, "/", "!", "?" or "%".
bool followsTagStart(char32_t c) { return isAsciiLetter(c) || c == U'/' || c == U'!' || c == U'?' || c == U'%'; }

// True when the "<" at `p` begins a tag.
bool startsTag(const char32_t* d, std::size_t p, std::size_t n) {
  return d[p] == U'<' && p + 1 < n && followsTagStart(d[p + 1]);
}

#if defined(__SSE2__)
// Sixteen characters narrowed to bytes, saturating: every character outside
// a byte becomes 0 or 255, neither of which the scan looks for. A byte a
// character, so a compare's mask has one bit for each.
__m128i load16(const char32_t* d) {
  const auto load4 = [&](int at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at)); };
  return _mm_packus_epi16(_mm_packs_epi32(load4(0), load4(4)), _mm_packs_epi32(load4(8), load4(12)));
}

unsigned charBits(__m128i lanes) { return static_cast<unsigned>(_mm_movemask_epi8(lanes)); }
#endif

// The first position at or after k that holds a tag start; n when there is
// none. Most of a page holds none, so whole blocks of characters are tested
// at once where SSE2 is there; a "<" that starts no tag ("a < b", a run of
// "<") is passed over in the block.
// Inline: called for every tag, nearly always to read a block or two.
[[gnu::always_inline]] inline std::size_t skipToTagStart(const char32_t* d, std::size_t k, std::size_t n) {
#if defined(__SSE2__)
  const __m128i lt = _mm_set1_epi8('<');
  for (; k + 17 <= n; k += 16) {  // the character after the block is read too
    for (unsigned bits = charBits(_mm_cmpeq_epi8(load16(d + k), lt)); bits != 0; bits &= bits - 1) {
      const unsigned lane = static_cast<unsigned>(__builtin_ctz(bits));
      if (followsTagStart(d[k + lane + 1])) return k + lane;
    }
  }
#endif
  for (; k < n; ++k)
    if (startsTag(d, k, n)) return k;
  return n;
}

// Where the tag starting at `start` ends and the next one starts.
struct TagBounds {
  std::size_t gt;    // the tag's ">", npos when it runs to the end of the page
  std::size_t next;  // the next tag start, npos when none
};

// The tag's ">" found at `gt`, with no tag start after it before `from`:
// the next tag start after it. Inline: called for every tag.
[[gnu::always_inline]] inline TagBounds boundsEndingAt(const char32_t* d, std::size_t gt, std::size_t from, std::size_t n) {
  const std::size_t next = skipToTagStart(d, from, n);
  return {gt, next < n ? next : npos};
}

// The end of the tag is the first ">" with no tag start between it and the
// previous ">" (or the tag's own "<"); a ">" preceded by a tag start closes
// that inner tag and the search goes on after it. One forward walk from the
// tag's "<" to the next tag's "<" finds both: where SSE2 is there, a block
// of sixteen characters at a time, every "<" and ">" of which is taken in
// order; the next tag nearly always starts in the block that holds the ">".
TagBounds findTagBounds(TextView page, std::size_t start) {
  const std::size_t n = page.size();
  const char32_t* const d = page.data();
  // A tag start matters only when none came since the last ">".
  std::size_t inner = npos;  // the first tag start since the last ">"
  std::size_t k = start + 1;
#if defined(__SSE2__)
  const __m128i lt = _mm_set1_epi8('<'), gt = _mm_set1_epi8('>');
  for (; k + 17 <= n; k += 16) {  // the character after the block is read too
    const __m128i c = load16(d + k);
    const unsigned ltBits = charBits(_mm_cmpeq_epi8(c, lt)), gtBits = charBits(_mm_cmpeq_epi8(c, gt));
    for (unsigned bits = ltBits | gtBits; bits != 0; bits &= bits - 1) {
      const unsigned lane = static_cast<unsigned>(__builtin_ctz(bits));
      if (((ltBits >> lane) & 1) != 0) {
        if (inner == npos && followsTagStart(d[k + lane + 1])) inner = k + lane;
      } else if (inner != npos) {
        inner = npos;  // this ">" closes the inner tag
      } else {
        for (unsigned after = ltBits & ~((2u << lane) - 1); after != 0; after &= after - 1) {
          const std::size_t p = k + static_cast<std::size_t>(__builtin_ctz(after));
          if (followsTagStart(d[p + 1])) return {k + lane, p};
        }
        return boundsEndingAt(d, k + lane, k + 16, n);  // the rest of the block starts no tag
      }
    }
  }
#endif
  for (; k < n; ++k) {
    if (d[k] == U'<') {
      if (inner == npos && startsTag(d, k, n)) inner = k;
    } else if (d[k] == U'>') {
      if (inner == npos) return boundsEndingAt(d, k, k + 1, n);
      inner = npos;
    }
  }
  return {npos, inner};
}

// The next `upperEnd` ("</SCRIPT") at or after `from` in any letter case, or npos.
std::size_t findEndTag(TextView page, std::size_t from, TextView upperEnd) {
  for (std::size_t p = findChar(page, U'<', from); p != npos; p = findChar(page, U'<', p + 1))
    if (startsWithUpper(page.substr(p), upperEnd)) return p;
  return npos;
}

// Makes `slot` a window on page[from, to) of a tag's text, without the
// spaces at its end with `trimEnd`. The text starts with the character after
// the "<", by which the scan knew it for a tag: never a space.
void setTagWindow(SlotText& slot, char32_t* page, std::size_t from, std::size_t to, bool trimEnd = true) {
  while (trimEnd && to > from && page[to - 1] == U' ') --to;
  slot.setWindow(page + from, to - from);
}

}  // namespace

bool closesComment(TextView tag) {
  return isCommentTag(tag) && (tag.ends_with(U"--") || (tag.size() >= 6 && tag.ends_with(U"--!")));
}

std::size_t findTagStart(TextView page, std::size_t from) {
  const std::size_t p = skipToTagStart(page.data(), from, page.size());
  return p < page.size() ? p : npos;
}

PageSplit scanPage(TextView page) { return scanPage(PageChars(page)); }

PageSplit scanPage(PageChars chars) {
  const LineBreak lineBreak = chars.mayHoldCr() ? lineBreakOf(chars.view()) : LineBreak::Lf;
  return scanPage(std::move(chars), lineBreak);
}

PageSplit scanPage(PageChars chars, LineBreak lineBreak) {
  // The lists start empty, to be made once at the size reserved for the page
  // below: a split's own first slots would be made, moved there and freed.
  PageSplit split{.tags = {}, .texts = {}, .leadingText = {}, .styleSources = {}, .page = std::move(chars)};
  char32_t* const d = split.page.data();
  const TextView page = split.page.view();
  const std::size_t n = page.size();
  if (n > SlotText::kMaxChars) throw PageError("页面太大: 超过 " + std::to_string(SlotText::kMaxChars) + " 个字符");
  split.lineBreak = lineBreak;
  // Room for a tag every 16 characters at once (real pages hold one every 25
  // to 50) spares most moves of growing the lists 500 slots at a time, without
  // reading the page an extra time to count them; memory reserved and never
  // used is never touched.
  const std::size_t expectedTags = n / 16 + PageSplit::kBlock + 1;
  split.tags.reserve(expectedTags);
  split.texts.reserve(expectedTags);
  split.tags.resize(static_cast<std::size_t>(split.capacity) + 1);
  split.texts.resize(static_cast<std::size_t>(split.capacity) + 1);
  std::size_t next = findTagStart(page, 0);
  split.leadingText.setWindow(d, next == npos ? n : next);

  // Counted here and stored once the page is cut: kept in the split, they
  // would be read again after every slot is written, which may alias them.
  int last = -1;
  int capacity = split.capacity;
  bool endsInScript = false;
  while (next != npos) {
    const std::size_t start = next;
    const TagBounds bounds = findTagBounds(page, start);
    std::size_t gt = bounds.gt;
    next = bounds.next;
    if (gt == npos) gt = n;  // the tag runs to the end of the page

    const int i = ++last;
    SlotText& tag = split.tags[static_cast<std::size_t>(i)];
    // An element's tag keeps the spaces at its end, which a value the tag
    // ends in may hold; the rewriting pass drops them where they show nothing.
    // A comment's end is kept too: trimmed, "<!--a-- >" would end where it does not.
    // What follows the "<" starts the tag's text, which so holds at least
    // that character: the tag's ">" (or the page's end) comes after it.
    const char32_t first = d[start + 1];
    const bool startTag = isAsciiLetter(first);  // an element's start tag: most tags
    const bool keepsEnd = startTag || isCommentTag(TextView(d + start + 1, gt - start - 1));
    setTagWindow(tag, d, start + 1, gt, !keepsEnd);

    const bool serverBlock = first == U'%';
    if (serverBlock && tag.size() >= 2) {
      const std::size_t close = findText(page, kServerScriptEnd, start + 1);
      if (close == npos) throw PageError("服务器脚本块缺少结束标记“%>”");
      gt = close + 1;
      setTagWindow(tag, d, start + 1, gt);
    }
    if (next != npos && gt > next) throw PageError("标记没有正确结束（下一个标记开始时它还没有结束）");

    // A tag within one line is already what joinTrimmedLines would make of it.
    // An element's tag keeps its lines: a quoted value holds them as they
    // are, and the rewriting pass reads the tag as a browser does. So only
    // the few other tags are looked through for an LF.
    if (serverBlock || (!startTag && !isElementTag(tag) && findChar(tag, U'\n') != npos)) {
      const bool openComment = isCommentTag(tag) && !closesComment(tag);
      joinTrimmedLines(tag, split.lineBreak);
      if (openComment && closesComment(tag)) tag += U" ";
    }

    endsInScript = false;
    if ((first | 0x20) == U's') {  // script and style both start with it; joining lines keeps it first
      if (startsWithUpper(tag, kScript)) {
        next = gt + 1 < n ? findEndTag(page, gt + 1, kScriptEnd) : npos;
        endsInScript = true;
      } else if (isStartTagOf(tag, U"style")) {
        split.styleSources.push_back(i);
        // Style sheets are raw text: a "<" in them starts no tag.
        next = gt + 1 < n ? findEndTag(page, gt + 1, kStyleEnd) : npos;
      }
    } else if (((first | 0x20) == U'l' && isStartTagOf(tag, U"link")) ||
               ((first | 0x20) == U'b' && isStartTagOf(tag, U"base"))) {
      split.styleSources.push_back(i);
    } else if (const std::optional<TextView> end = rawTextEnd(tag)) {
      next = gt + 1 < n && !end->empty() ? findEndTag(page, gt + 1, *end) : npos;
    }

    SlotText& text = split.texts[static_cast<std::size_t>(i)];
    if (next == npos) {
      if (gt + 1 < n) text.setWindow(d + gt + 1, n - gt - 1);
      break;
    }
    text.setWindow(d + gt + 1, next - gt - 1);

    if (last > capacity - 2) {
      // Denser than expected: room for the rest at the density so far, so
      // that the lists are moved once rather than doubled past what they need.
      if (static_cast<std::size_t>(capacity) + PageSplit::kBlock >= split.tags.capacity()) {
        const std::size_t seen = static_cast<std::size_t>(last) + 1;
        const std::size_t rest = (n - next) / (next / seen + 1) + (n - next) / 64;
        split.tags.reserve(seen + rest + 2 * PageSplit::kBlock);
        split.texts.reserve(seen + rest + 2 * PageSplit::kBlock);
      }
      capacity += PageSplit::kBlock;
      split.tags.resize(static_cast<std::size_t>(capacity) + 1);
      split.texts.resize(static_cast<std::size_t>(capacity) + 1);
    }
  }
  split.lastIndex = last;
  split.capacity = capacity;
  split.endsInScript = endsInScript;
  return split;
}

}  // namespace vantiro
