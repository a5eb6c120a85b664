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

// The 1-based position of the first `c` at or after the 0-based `from`, 0 when
// there is none.
std::size_t positionOf(TextView text, char32_t c, std::size_t from) {
  std::size_t i = text.find(c, from);
  return i == npos ? 0 : i + 1;
}

Text describeCharset(const Text& value) {
  const Text upper = upperAscii(value);
  if (upper == U"GB2312") return U"中国大陆GB码";
  if (upper == U"BIG5") return U"中国台湾大五码";
  if (upper == U"SHIFT_JIS") return U"日本字体网页";
  return value;
}

}  // namespace

PageInfo analyseHead(TextView whole, PageInfo shownBefore) {
  PageInfo info = std::move(shownBefore);
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

  const std::size_t titleTag = upper.find(U"<TITLE>");
  if (titleTag == npos) return info;
  const std::size_t titleEnd = upper.find(U"</TITLE>", titleTag + 1);
  if (titleEnd == npos) return info;
  const std::size_t titleStart = titleTag + 7;
  info.title = Text(head.substr(titleStart, titleEnd - std::min(titleEnd, titleStart)));

  const std::size_t charset = upper.find(U"CHARSET=");
  if (charset == npos) return info;
  const std::size_t valueStart = charset + 8;
  const std::size_t quote = positionOf(upper, U'"', valueStart);
  const std::size_t greater = positionOf(upper, U'>', valueStart);
  const std::size_t semicolon = positionOf(upper, U';', valueStart);
  // The nearest of the three that are present ends the value.
  std::size_t end = quote;
  if ((quote > greater && greater != 0) || quote == 0) end = greater;
  if ((semicolon != 0 && end > semicolon) || end == 0) end = semicolon;
  if (end == 0) {
    info.language = U"默认为英文网页";
    return info;
  }
  info.language = describeCharset(Text(head.substr(valueStart, end - 1 - valueStart)));
  return info;
}

PageInfo analysePage(const std::string& nativePath, PageInfo shownBefore) {
  PageInfo info = std::move(shownBefore);
  info.path = textPath(nativePath);
  const auto status = files().stat(nativePath);
  if (!status) throw FileError("无法打开文件 " + nativePath);
  // Devices and pipes are never read: a pipe would block the viewer.
  if (status->kind != EntryKind::File) throw FileError("不是文件 " + nativePath);
  info.sizeText = toText(static_cast<long long>(status->size)) + U" byte";
  const std::string bytes = files().readRange(nativePath, 0, std::min(status->size, kHeadBytes));
  const PageEncoding encoding = detectPageEncoding(bytes, bytes.size() < status->size);
  // A page the program refuses to change can still be looked at.
  const CodePage& codePage = encoding.codePage != nullptr ? *encoding.codePage : CodePage::ansi();
  const Text head = codePage.decode(bytes);
  info = analyseHead(head, std::move(info));
  // A page that says nothing of its character set, or whose byte-order mark
  // outweighs what it says, shows what its bytes are.
  const bool foundInBytes = encoding.source == EncodingSource::ByteOrderMark ||
                            (encoding.source == EncodingSource::ValidUtf8 &&
                             upperAscii(TextView(head).substr(0, kPageHeadCharacters)).find(U"CHARSET=") == npos);
  if (info.isHtml && encoding.codePage != nullptr && foundInBytes) info.language = fromUtf8(codePage.name());
  return info;
}

}  // namespace vantiro
