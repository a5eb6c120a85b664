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

// The labels after examining the file at `nativePath`. Every label comes from
// this file alone: a page without a title shows "未知" as its title, whatever
// the viewer showed before. A file without "HTML" in its head is of unknown
// type with title and language "未知". The title is the text of the first
// complete title element (its tag may carry attributes). The language is the
// value after the first "charset=" (any case; spaces and an opening quote
// skipped), ending at a quote, white space, ">", ";" or "/"; a value that runs
// to the end of the head reads "默认为英文网页". GB2312, BIG5 and SHIFT_JIS (any
// case) are described in Chinese, any other value is shown as found. The head
// is read in the page's own encoding; an HTML page with a UTF-8 byte-order
// mark, or valid UTF-8 without "CHARSET=", shows "UTF-8" as its language.
// Throws FileError when the file's size or head cannot be read.
PageInfo analysePage(const std::string& nativePath);

// The same analysis of type, title and language on a head already read (at
// most kPageHeadCharacters characters are looked at).
PageInfo analyseHead(TextView head);

}  // namespace vantiro
