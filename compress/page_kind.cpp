#include "compress/page_kind.h"

#include "compress/text_routines.h"

#include <array>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantiro {
namespace {

// Extensions of files that are never pages, in lower case.
constexpr std::array<std::string_view, 47> kNonPageExtensions{
    "js",   "mjs",  "cjs",  "ts",   "map",  "css",  "scss", "less", "json", "md",   "markdown", "txt",
    "csv",  "xml",  "rss",  "atom", "svg",  "png",  "jpg",  "jpeg", "gif",  "webp", "avif",     "ico",
    "bmp",  "tif",  "tiff", "pdf",  "zip",  "gz",   "tgz",  "bz2",  "xz",   "7z",   "rar",      "tar",
    "woff", "woff2", "ttf", "otf",  "eot",  "mp3",  "mp4",  "webm", "ogg",  "wav",  "wasm"};

// The lone surrogates a code page decodes a byte that starts no character to.
constexpr char32_t kFirstByteEscape = 0xDC00;
constexpr char32_t kLastByteEscape = 0xDCFF;

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

namespace {

// The number of escapes in [from, to) of `d`. Every page is read through
// before it is scanned, so blocks of characters are counted at once: an
// escape is a character whose bits above the lowest eight are those of
// kFirstByteEscape.
std::size_t countEscapes(const char32_t* d, std::size_t from, std::size_t to) {
  static_assert(kFirstByteEscape >> 8 == kLastByteEscape >> 8 && (kFirstByteEscape & 0xFF) == 0);
  std::size_t escapes = 0;
  std::size_t k = from;
#if defined(__SSE2__)
  const __m128i escapeHigh = _mm_set1_epi32(static_cast<int>(kFirstByteEscape >> 8));
  const auto escapeLanes = [&](std::size_t at) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at));
    return _mm_cmpeq_epi32(_mm_srli_epi32(c, 8), escapeHigh);
  };
  // A hit lane holds -1, so subtracting it counts it: at most a quarter of
  // the characters a lane.
  __m128i lanes = _mm_setzero_si128();
  for (; k + 16 <= to; k += 16) {
    const __m128i hits = _mm_add_epi32(_mm_add_epi32(escapeLanes(k), escapeLanes(k + 4)),
                                       _mm_add_epi32(escapeLanes(k + 8), escapeLanes(k + 12)));
    lanes = _mm_sub_epi32(lanes, hits);
  }
  alignas(16) std::uint32_t counts[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(counts), lanes);
  escapes = std::size_t{counts[0]} + counts[1] + counts[2] + counts[3];
#endif
  for (; k < to; ++k)
    if (d[k] >= kFirstByteEscape && d[k] <= kLastByteEscape) ++escapes;
  return escapes;
}

}  // namespace

bool mostlyUndecodable(TextView text) {
  // Past three quarters of a page, the rest cannot make it mostly escapes
  // unless those read so far already come close.
  const std::size_t n = text.size();
  const std::size_t most = n - n / 4;
  const std::size_t escapes = countEscapes(text.data(), 0, most);
  if ((escapes + (n - most)) * 4 <= n) return false;
  return (escapes + countEscapes(text.data(), most, n)) * 4 > n;
}

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
