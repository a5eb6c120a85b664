#include "compress/character_references.h"

#include "compress/text_routines.h"

namespace vantiro {
namespace {

bool isAsciiAlnum(char32_t c) { return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9'); }

// The character a reference at t[k] ("&...;") stands for, when it is one of
// the named few or a numeric one of printable ASCII; its length in `length`.
char32_t referencedChar(const char32_t* t, std::size_t k, std::size_t n, std::size_t& length) {
  struct Named {
    TextView name;
    char32_t c;
  };
  static constexpr Named kNamed[] = {{U"&gt;", U'>'}, {U"&quot;", U'"'}, {U"&apos;", U'\''}, {U"&amp;", U'&'},
                                     {U"&lt;", U'<'}};
  const TextView rest(t + k, n - k);
  for (const Named& named : kNamed)
    if (rest.starts_with(named.name)) {
      length = named.name.size();
      return named.c;
    }
  if (rest.size() < 4 || rest[1] != U'#') return 0;
  const bool hex = rest[2] == U'x' || rest[2] == U'X';
  std::size_t e = hex ? 3 : 2;
  char32_t value = 0;
  for (; e < rest.size() && e < 9; ++e) {
    const char32_t c = rest[e];
    int digit = -1;
    if (c >= U'0' && c <= U'9') digit = static_cast<int>(c - U'0');
    else if (hex && (c | 0x20) >= U'a' && (c | 0x20) <= U'f') digit = static_cast<int>((c | 0x20) - U'a') + 10;
    if (digit < 0) break;
    value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
  }
  if (e == (hex ? 3u : 2u) || e >= rest.size() || rest[e] != U';') return 0;
  if (value < 0x21 || value > 0x7E) return 0;
  length = e + 1;
  return value;
}

}  // namespace

void writeReferencesOut(SlotText& text) {
  char32_t* const t = text.data();
  const std::size_t n = text.size();
  std::size_t k = findChar(text.view(), U'&');
  if (k == npos) return;
  std::size_t w = k;
  while (k < n) {
    if (t[k] != U'&') {
      t[w++] = t[k++];
      continue;
    }
    std::size_t length = 0;
    const char32_t c = referencedChar(t, k, n, length);
    const char32_t after = k + length < n ? t[k + length] : U'<';
    bool plain = c != 0;
    if (c == U'&') plain = !isAsciiAlnum(after) && after != U'#' && after != U'<';
    if (c == U'<') plain = !isAsciiAlnum(after) && after != U'/' && after != U'!' && after != U'?' && after != U'%' &&
                           after != U'<' && after != U'&';
    if (c == U'>') {
      const bool dashes = w >= 2 && t[w - 1] == U'-' && t[w - 2] == U'-';
      const bool bang = w >= 3 && t[w - 1] == U'!' && t[w - 2] == U'-' && t[w - 3] == U'-';
      plain = !dashes && !bang;
    }
    if (c == U'-' || c == U'!') plain = false;  // could complete a comment's end
    if (!plain) {
      t[w++] = t[k++];
      continue;
    }
    t[w++] = c;
    k += length;
  }
  text.resize(w);
}

}  // namespace vantiro
