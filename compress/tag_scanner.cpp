#include "compress/tag_scanner.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "common/page_error.h"
#include "compress/text_routines.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantiro {
namespace {

bool isAsciiLetter(char32_t c) { return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z'); }

// True when the "<" at `p` begins a tag: a letter, "/", "!", "?" or "%" follows.
bool startsTag(const Text& page, std::size_t p) {
  if (p + 1 >= page.size()) return false;
  const char32_t c = page[p + 1];
  return isAsciiLetter(c) || c == U'/' || c == U'!' || c == U'?' || c == U'%';
}

std::size_t findTagStart(const Text& page, std::size_t from) {
  for (std::size_t p = page.find(U'<', from); p != npos; p = page.find(U'<', p + 1))
    if (startsTag(page, p)) return p;
  return npos;
}

// Where the tag starting at `start` ends and the next one starts.
struct TagBounds {
  std::size_t gt;    // the tag's ">", npos when it runs to the end of the page
  std::size_t next;  // the next tag start, npos when none
  bool multiLine;    // a CR lies inside the tag
};

// The end of the tag is the first ">" with no tag start between it and the
// previous ">" (or the tag's own "<"); a ">" preceded by a tag start closes
// that inner tag and the search goes on after it. One forward walk from the
// tag's "<" to the next tag's "<" finds both.
// The characters the walk below stops at: "<", ">" and CR.
constexpr std::uint64_t kStops = (std::uint64_t{1} << U'<') | (std::uint64_t{1} << U'>') | (std::uint64_t{1} << U'\r');

bool isStop(char32_t c) { return c < 64 && ((kStops >> c) & 1) != 0; }

// The first position at or after k that holds a stop, or n. Most of a page
// holds none, so whole blocks of characters are tested at once where SSE2 is there.
std::size_t skipToStop(const char32_t* d, std::size_t k, std::size_t n) {
#if defined(__SSE2__)
  const __m128i lt = _mm_set1_epi32('<'), gt = _mm_set1_epi32('>'), cr = _mm_set1_epi32('\r');
  for (; k + 8 <= n; k += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k + 4));
    const __m128i hitsA =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi32(a, lt), _mm_cmpeq_epi32(a, gt)), _mm_cmpeq_epi32(a, cr));
    const __m128i hitsB =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi32(b, lt), _mm_cmpeq_epi32(b, gt)), _mm_cmpeq_epi32(b, cr));
    const unsigned lanes = static_cast<unsigned>(_mm_movemask_epi8(hitsA)) |
                           static_cast<unsigned>(_mm_movemask_epi8(hitsB)) << 16;
    if (lanes != 0) return k + static_cast<std::size_t>(__builtin_ctz(lanes)) / 4;  // 4 mask bits a character
  }
#endif
  while (k < n && !isStop(d[k])) ++k;
  return k;
}

TagBounds findTagBounds(const Text& page, std::size_t start) {
  TagBounds b{npos, npos, false};
  std::size_t inner = npos;  // first tag start since the last ">" while the end is open
  const std::size_t n = page.size();
  const char32_t* const d = page.data();
  for (std::size_t k = start + 1;; ++k) {
    k = skipToStop(d, k, n);
    if (k >= n) break;
    const char32_t c = d[k];
    if (c == U'>') {
      if (b.gt != npos) continue;
      if (inner != npos)
        inner = npos;
      else
        b.gt = k;
    } else if (c == U'<') {
      if (!startsTag(page, k)) continue;
      if (b.gt != npos) {
        b.next = k;
        return b;
      }
      if (inner == npos) inner = k;
    } else if (b.gt == npos) {
      b.multiLine = true;  // a CR inside the tag
    }
  }
  if (b.gt == npos) b.next = inner;
  return b;
}

// The next "</script" at or after `from` in any letter case, or npos.
std::size_t findScriptEnd(const Text& page, std::size_t from) {
  constexpr TextView kEnd = U"</SCRIPT";
  for (std::size_t p = page.find(U'<', from); p != npos; p = page.find(U'<', p + 1))
    if (startsWithUpper(TextView(page).substr(p), kEnd)) return p;
  return npos;
}

// A window on page[from, to) without the spaces at both ends.
SlotText trimmedWindow(Text& page, std::size_t from, std::size_t to) {
  while (from < to && page[from] == U' ') ++from;
  while (to > from && page[to - 1] == U' ') --to;
  return SlotText::window(page.data() + from, to - from);
}

}  // namespace

PageSplit scanPage(Text pageText) {
  PageSplit split;
  split.page = std::make_shared<Text>(std::move(pageText));
  Text& page = *split.page;
  const std::size_t n = page.size();
  // Every tag starts with a "<": room for them all at once spares the moves
  // of growing the lists 500 slots at a time (capacity stays as described).
  const auto lessThan = static_cast<std::size_t>(std::count(page.begin(), page.end(), U'<'));
  split.tags.reserve(lessThan + PageSplit::kBlock + 1);
  split.texts.reserve(lessThan + PageSplit::kBlock + 1);
  std::size_t next = findTagStart(page, 0);
  split.leadingText = SlotText::window(page.data(), next == npos ? n : next);

  while (next != npos) {
    const std::size_t start = next;
    const TagBounds bounds = findTagBounds(page, start);
    std::size_t gt = bounds.gt;
    next = bounds.next;
    if (gt == npos) gt = n;  // the tag runs to the end of the page

    const int i = ++split.lastIndex;
    SlotText& tag = split.tags[static_cast<std::size_t>(i)];
    if (gt - start >= 2) tag = trimmedWindow(page, start + 1, gt);

    if (tag.size() >= 2 && tag[0] == U'%') {
      const std::size_t close = page.find(U"%>", start + 1);
      if (close == npos) throw PageError("服务器脚本块缺少结束标记“%>”");
      gt = close + 1;
      tag = trimmedWindow(page, start + 1, gt);
    }
    if (next != npos && gt > next) throw PageError("标记没有正确结束（下一个标记开始时它还没有结束）");

    // A tag within one line is already what xiaohc would make of it.
    if (bounds.multiLine || (!tag.empty() && tag[0] == U'%')) xiaohc(tag);

    split.endsInScript = false;
    if (startsWithUpper(tag, U"SCRIPT")) {
      next = gt + 1 < n ? findScriptEnd(page, gt + 1) : npos;
      split.endsInScript = true;
    }

    SlotText& text = split.texts[static_cast<std::size_t>(i)];
    if (next == npos) {
      if (gt + 1 < n) text = SlotText::window(page.data() + gt + 1, n - gt - 1);
      break;
    }
    text = SlotText::window(page.data() + gt + 1, next - gt - 1);

    if (split.lastIndex > split.capacity - 2) {
      split.capacity += PageSplit::kBlock;
      split.tags.resize(static_cast<std::size_t>(split.capacity) + 1);
      split.texts.resize(static_cast<std::size_t>(split.capacity) + 1);
    }
  }
  return split;
}

}  // namespace vantiro
