#pragma once
// What the page information viewer shows about one file: size, type, title
// and character set, found in the first 5000 characters of the file.

#include "platform/text.h"

#include <cstddef>
#include <string>

namespace vantiro {

// Only this many characters from the start of a file are read and searched,
// whatever its size.
inline constexpr std::size_t kPageHeadCharacters = 5000;

// The viewer's labels. A default-constructed value holds what a newly opened
// viewer shows before any file.
struct PageInfo {
  Text path;
  Text sizeText;        // "2048 byte"
  Text typeText;        // "超文本文件" or "未知类型"
  Text title = U"未知";
  Text language = U"未知";  // the character set, or a description of it
  bool isHtml = false;  // the file's head holds "HTML" in any case
};

// The labels after examining the file at `nativePath`, starting from what the
// viewer showed before (`shownBefore`). Path, size and type are always set.
// Analysis stops early as the viewer always did, and every label a step does
// not reach keeps its earlier value: a file without "HTML" leaves title and
// language alone; a page without a complete title element leaves both alone;
// a page without "CHARSET=" leaves the language alone. A character set value
// ends at the nearest quote, ">" or ";" after it; with none of them the
// language is "默认为英文网页"; GB2312, BIG5 and SHIFT_JIS (any case) are
// described in Chinese, any other value is shown as found. The head is read
// in the page's own encoding; an HTML page with a UTF-8 byte-order mark, or
// valid UTF-8 without "CHARSET=", shows "UTF-8" as its language.
// Throws FileError when the file's size or head cannot be read; `shownBefore`
// is then still what the labels should keep.
PageInfo analysePage(const std::string& nativePath, PageInfo shownBefore);

// The same analysis on a head already read (at most kPageHeadCharacters
// characters are looked at), starting from `shownBefore`; size and path are
// left as they are.
PageInfo analyseHead(TextView head, PageInfo shownBefore);

}  // namespace vantiro
