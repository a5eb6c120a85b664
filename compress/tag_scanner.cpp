#include "compress/tag_scanner.h"

#include "common/page_error.h"
#include "compress/text_routines.h"

namespace vantiro {
namespace {

bool isAsciiLetter(char32_t c) { return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z'); }

// Position of the first "<" at or after `from` that begins a tag, or npos.
std::size_t findTagStart(const Text& page, std::size_t from) {
  for (std::size_t p = page.find(U'<', from); p != npos; p = page.find(U'<', p + 1)) {
    if (p + 1 >= page.size()) return npos;
    const char32_t c = page[p + 1];
    if (isAsciiLetter(c) || c == U'/' || c == U'!' || c == U'?' || c == U'%') return p;
  }
  return npos;
}

// tag = page[from, to) without the spaces at both ends.
void assignTrimmed(Text& tag, const Text& page, std::size_t from, std::size_t to) {
  while (from < to && page[from] == U' ') ++from;
  while (to > from && page[to - 1] == U' ') --to;
  tag.assign(page, from, to - from);
}

bool startsWithScript(const Text& tag) {
  constexpr TextView kScript = U"SCRIPT";
  if (tag.size() < kScript.size()) return false;
  for (std::size_t k = 0; k < kScript.size(); ++k)
    if (upperAscii(tag[k]) != kScript[k]) return false;
  return true;
}

}  // namespace

PageSplit scanPage(const Text& page, const Text& upperText) {
  PageSplit split;
  const std::size_t n = page.size();
  std::size_t next = findTagStart(page, 0);
  split.leadingText.assign(page, 0, next == npos ? n : next);

  while (next != npos) {
    const std::size_t start = next;
    // The end of the tag: a ">" with no tag start between it and the previous
    // ">" (or the tag's own "<"). Each round moves past one ">", and the two
    // searches never go beyond the ">" they stop at, so this stays linear.
    std::size_t p = start, gt;
    for (;;) {
      gt = page.find(U'>', p + 1);
      next = findTagStart(page, p + 1);
      if (next == npos || gt == npos || next > gt) break;
      p = gt;
    }
    if (gt == npos) gt = n;  // the tag runs to the end of the page

    const int i = ++split.lastIndex;
    Text& tag = split.tags[static_cast<std::size_t>(i)];
    if (gt - start < 2)
      tag.clear();
    else
      assignTrimmed(tag, page, start + 1, gt);

    if (tag.size() >= 2 && tag[0] == U'%') {
      const std::size_t close = page.find(U"%>", start + 1);
      if (close == npos) throw PageError("服务器脚本块缺少结束标记“%>”");
      gt = close + 1;
      assignTrimmed(tag, page, start + 1, gt);
    }
    if (next != npos && gt > next) throw PageError("标记没有正确结束（下一个标记开始时它还没有结束）");

    xiaohc(tag);

    split.endsInScript = false;
    if (startsWithScript(tag)) {
      next = gt + 1 < n ? upperText.find(U"</SCRIPT", gt + 1) : npos;
      split.endsInScript = true;
    }

    Text& text = split.texts[static_cast<std::size_t>(i)];
    if (next == npos) {
      if (gt + 1 < n) text.assign(page, gt + 1, npos);
      break;
    }
    text.assign(page, gt + 1, next - gt - 1);

    if (split.lastIndex > split.capacity - 2) {
      split.capacity += PageSplit::kBlock;
      split.tags.resize(static_cast<std::size_t>(split.capacity) + 1);
      split.texts.resize(static_cast<std::size_t>(split.capacity) + 1);
    }
  }
  return split;
}

}  // namespace vantiro
