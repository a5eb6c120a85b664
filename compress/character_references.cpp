#include "compress/character_references.h"

#include "compress/element_names.h"
#include "compress/tag_attributes.h"
#include "compress/text_routines.h"
#include "platform/code_page.h"

#include <optional>
#include <string>

namespace vantiro {
namespace {

bool isAsciiAlnum(char32_t c) { return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9'); }

// A character a browser reads the same whether a page spells it or refers
// to it: not a control, surrogate or noncharacter, and not U+FEFF, which at
// a page's start reads as a byte-order mark.
bool writableBeyondAscii(char32_t c) {
  if (c < 0xA0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFEFF) return false;
  return !(c >= 0xFDD0 && c <= 0xFDEF) && (c & 0xFFFE) != 0xFFFE;
}

// The character a reference at t[k] ("&...;") stands for, when it is one of
// the named ones below or a numeric one of printable ASCII (with
// `beyondAscii`, also of a character writableBeyondAscii); its length in
// `length`.
char32_t referencedChar(const char32_t* t, std::size_t k, std::size_t n, bool beyondAscii, std::size_t& length) {
  struct Named {
    TextView name;
    char32_t c;
  };
  static constexpr Named kNamed[] = {{U"&gt;", U'>'}, {U"&quot;", U'"'}, {U"&apos;", U'\''}, {U"&amp;", U'&'},
                                     {U"&lt;", U'<'}};
  static constexpr Named kNamedBeyondAscii[] = {
      {U"&nbsp;", 0xA0},    {U"&copy;", 0xA9},   {U"&reg;", 0xAE},    {U"&raquo;", 0xBB},  {U"&laquo;", 0xAB},
      {U"&middot;", 0xB7},  {U"&para;", 0xB6},   {U"&sect;", 0xA7},   {U"&deg;", 0xB0},    {U"&plusmn;", 0xB1},
      {U"&times;", 0xD7},   {U"&divide;", 0xF7}, {U"&pound;", 0xA3},  {U"&yen;", 0xA5},    {U"&cent;", 0xA2},
      {U"&mdash;", 0x2014}, {U"&ndash;", 0x2013}, {U"&hellip;", 0x2026}, {U"&lsquo;", 0x2018}, {U"&rsquo;", 0x2019},
      {U"&ldquo;", 0x201C}, {U"&rdquo;", 0x201D}, {U"&bull;", 0x2022}, {U"&trade;", 0x2122}, {U"&euro;", 0x20AC},
      {U"&larr;", 0x2190},  {U"&rarr;", 0x2192}, {U"&uarr;", 0x2191}, {U"&darr;", 0x2193},
  };
  const TextView rest(t + k, n - k);
  for (const Named& named : kNamed)
    if (rest.starts_with(named.name)) {
      length = named.name.size();
      return named.c;
    }
  if (rest.size() < 4) return 0;
  if (rest[1] != U'#') {
    if (!beyondAscii) return 0;
    for (const Named& named : kNamedBeyondAscii)
      if (rest.starts_with(named.name)) {
        length = named.name.size();
        return named.c;
      }
    return 0;
  }
  const bool hex = rest[2] == U'x' || rest[2] == U'X';
  std::size_t e = hex ? 3 : 2;
  char32_t value = 0;
  for (; e < rest.size() && e < 10; ++e) {
    const char32_t c = rest[e];
    int digit = -1;
    if (c >= U'0' && c <= U'9') digit = static_cast<int>(c - U'0');
    else if (hex && (c | 0x20) >= U'a' && (c | 0x20) <= U'f') digit = static_cast<int>((c | 0x20) - U'a') + 10;
    if (digit < 0) break;
    value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
  }
  if (e == (hex ? 3u : 2u) || e >= rest.size() || rest[e] != U';') return 0;
  const bool ascii = value >= 0x21 && value <= 0x7E;
  if (!ascii && !(beyondAscii && writableBeyondAscii(value))) return 0;
  length = e + 1;
  return value;
}

bool isUtf8Label(TextView label) { return namesAre(label, U"utf-8") || namesAre(label, U"utf8"); }

bool isUtf8Name(const std::string& name) {
  std::string upper;
  for (char c : name) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return upper == "UTF-8" || upper == "UTF8";
}

}  // namespace

void writeReferencesOut(SlotText& text, bool beyondAscii) {
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
    const char32_t c = referencedChar(t, k, n, beyondAscii, length);
    const char32_t after = k + length < n ? t[k + length] : U'<';
    bool plain = c != 0;
    // A reference after it may become a character that would join it.
    if (c == U'&') plain = !isAsciiAlnum(after) && after != U'#' && after != U'<' && after != U'&';
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

std::optional<bool> readAsUtf8(const PageSplit& split, int knownTags) {
  const CodePage& codePage = split.page.codePage();
  if (!isUtf8Name(codePage.name())) return false;
  if (!split.leadingText.empty() && split.leadingText[0] == 0xFEFF) return true;
  constexpr std::size_t kDeclarationWithin = 1024;
  std::size_t read = split.leadingText.size();
  for (int i = 0; i <= split.lastIndex && read < kDeclarationWithin; ++i) {
    if (i == knownTags) return std::nullopt;
    const TextView tag = split.tags[static_cast<std::size_t>(i)];
    read += tag.size() + 2;
    if (read <= kDeclarationWithin && isStartTagOf(tag, U"meta")) {
      const std::optional<TextView> charset = attributeValue(tag, U"charset");
      if (charset) return isUtf8Label(*charset);
    }
    read += split.texts[static_cast<std::size_t>(i)].size();
  }
  return false;
}

}  // namespace vantiro
