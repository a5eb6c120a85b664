#include "compress/page_kind.h"

#include "compress/text_routines.h"

#include <array>
#include <cstdint>


namespace vantiro {
namespace {

// Extensions of files that are never pages, in lower case.
constexpr std::array<std::string_view, 47> kNonPageExtensions{
    "js",   "mjs",  "cjs",  "ts",   "map",  "css",  "scss", "less", "json", "md",   "markdown", "txt",
    "csv",  "xml",  "rss",  "atom", "svg",  "png",  "jpg",  "jpeg", "gif",  "webp", "avif",     "ico",
    "bmp",  "tif",  "tiff", "pdf",  "zip",  "gz",   "tgz",  "bz2",  "xz",   "7z",   "rar",      "tar",
    "woff", "woff2", "ttf", "otf",  "eot",  "mp3",  "mp4",  "webm", "ogg",  "wav",  "wasm"};

bool isAsciiLetter(char32_t c) { return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z'); }

}  // namespace

bool hasNonPageName(std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  std::string extension(fileName.substr(dot + 1));
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  for (std::string_view known : kNonPageExtensions)
    if (extension == known) return true;
  return false;
}

bool holdsBinaryBytes(std::string_view bytes) { return bytes.find('\0') != std::string_view::npos; }

bool mostlyUndecodable(const PageChars& page) { return page.undecodableBytes() * 4 > page.size(); }

bool startsLikeHtml(TextView text) {
  std::size_t at = !text.empty() && text.front() == U'\uFEFF' ? 1 : 0;
  for (;;) {
    while (at < text.size() && isHtmlSpace(text[at])) ++at;
    const TextView rest = text.substr(at);
    if (rest.size() < 2 || rest[0] != U'<') return false;
    if (isAsciiLetter(rest[1]) || startsWithUpper(rest, U"<!DOCTYPE")) return true;
    const bool comment = rest.starts_with(U"<!--");
    if (!comment && rest[1] != U'?' && rest[1] != U'!') return false;
    const TextView close = comment ? TextView(U"-->") : TextView(U">");
    const std::size_t end = rest.find(close, comment ? 4 : 2);
    if (end == npos) return false;
    at += end + close.size();
  }
}

}  // namespace vantiro
