#include "pageinfo/page_info.h"

#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/page_encoding.h"

#include <algorithm>

namespace vantiro {
namespace {

// A character of any code page takes at most four bytes; one more character's
// worth makes sure a character cut at the end of the read lies beyond the head.
constexpr std::uint64_t kHeadBytes = (kPageHeadCharacters + 1) * 4;

bool isSpace(char32_t c) { return c == U' ' || c == U'\t' || c == U'\n' || c == U'\r' || c == U'\f'; }

// Where the first start tag named by `upperOpen` ("<TITLE") begins: the name
// must end there (">", white space or "/" follows), so "<TITLEX>" is no title.
std::size_t findStartTag(TextView upper, TextView upperOpen) {
  for (std::size_t at = upper.find(upperOpen); at != npos; at = upper.find(upperOpen, at + 1)) {
    const std::size_t after = at + upperOpen.size();
    if (after < upper.size() && (upper[after] == U'>' || upper[after] == U'/' || isSpace(upper[after]))) return at;
  }
  return npos;
}

// The first end tag `upperClose` ("</TITLE") at or after `from` that ends
// within the head (">" or white space follows its name).
std::size_t findEndTag(TextView upper, TextView upperClose, std::size_t from) {
  for (std::size_t at = upper.find(upperClose, from); at != npos; at = upper.find(upperClose, at + 1)) {
    const std::size_t after = at + upperClose.size();
    if (after < upper.size() && (upper[after] == U'>' || isSpace(upper[after]))) return at;
  }
  return npos;
}

Text titleOf(TextView head, TextView upper) {
  const std::size_t tag = findStartTag(upper, U"<TITLE");
  if (tag == npos) return U"未知";
  const std::size_t tagEnd = upper.find(U'>', tag);
  if (tagEnd == npos) return U"未知";
  const std::size_t end = findEndTag(upper, U"</TITLE", tagEnd + 1);
  if (end == npos) return U"未知";
  return Text(head.substr(tagEnd + 1, end - tagEnd - 1));
}

Text describeCharset(const Text& value) {
  const Text upper = upperAscii(value);
  if (upper == U"GB2312") return U"中国大陆GB码";
  if (upper == U"BIG5") return U"中国台湾大五码";
  if (upper == U"SHIFT_JIS") return U"日本字体网页";
  return value;
}

Text languageOf(TextView head, TextView upper) {
  const std::size_t charset = upper.find(U"CHARSET=");
  if (charset == npos) return U"未知";
  std::size_t start = charset + 8;
  while (start < upper.size() && isSpace(upper[start])) ++start;
  if (start < upper.size() && (upper[start] == U'"' || upper[start] == U'\'')) ++start;
  std::size_t end = start;
  while (end < upper.size() && !isSpace(upper[end]) && upper[end] != U'"' && upper[end] != U'\'' &&
         upper[end] != U'>' && upper[end] != U';' && upper[end] != U'/')
    ++end;
  if (end == upper.size()) return U"默认为英文网页";
  return describeCharset(Text(head.substr(start, end - start)));
}

}  // namespace

PageInfo analyseHead(TextView whole) {
  PageInfo info;
  const TextView head = whole.substr(0, std::min(whole.size(), kPageHeadCharacters));
  // Searches run on the upper-cased head and ignore case; what is shown is cut
  // from the head itself at the same positions.
  const Text upper = upperAscii(head);
  info.isHtml = upper.find(U"HTML") != npos;
  if (!info.isHtml) {
    info.typeText = U"未知类型";
    return info;
  }
  info.typeText = U"超文本文件";
  info.title = titleOf(head, upper);
  info.language = languageOf(head, upper);
  return info;
}

PageInfo analysePage(const std::string& nativePath) {
  const Text path = textPath(nativePath);
  const auto status = files().stat(nativePath);
  if (!status) throw FileError("无法打开文件 " + nativePath);
  // Devices and pipes are never read: a pipe would block the viewer.
  if (status->kind != EntryKind::File) throw FileError("不是文件 " + nativePath);
  const std::string bytes = files().readRange(nativePath, 0, std::min(status->size, kHeadBytes));
  const PageEncoding encoding = detectPageEncoding(bytes, bytes.size() < status->size);
  // A page the program refuses to change can still be looked at.
  const CodePage& codePage = encoding.codePage != nullptr ? *encoding.codePage : CodePage::ansi();
  const Text head = codePage.decode(bytes);
  PageInfo info = analyseHead(head);
  info.path = path;
  info.sizeText = toText(static_cast<long long>(status->size)) + U" byte";
  // A page that says nothing of its character set, or whose byte-order mark
  // outweighs what it says, shows what its bytes are.
  const bool foundInBytes = encoding.source == EncodingSource::ByteOrderMark ||
                            (encoding.source == EncodingSource::ValidUtf8 &&
                             upperAscii(TextView(head).substr(0, kPageHeadCharacters)).find(U"CHARSET=") == npos);
  if (info.isHtml && encoding.codePage != nullptr && foundInBytes) info.language = fromUtf8(codePage.name());
  return info;
}

}  // namespace vantiro
