#include "replace/search_replace.h"

#include <unicode/uchar.h>

#include <cstdint>
#include <vector>

namespace vantiro {

bool isWordCharacter(char32_t c) {
  if (c < 0x80) {
    char32_t u = upperAscii(c);
    return (u >= U'0' && u <= U'9') || (u >= U'A' && u <= U'Z');
  }
  // Judged by what the character is, never by the code page, so that a page
  // in any encoding gets the same answer. The escapes of undecodable bytes
  // (lone surrogates) and the characters kept as their packed bytes (above
  // U+10FFFF) say nothing of what they are, so they separate.
  if (c > 0x10FFFF) return false;
  constexpr std::uint32_t kLettersMarksNumbers = U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK;
  return (U_GET_GC_MASK(static_cast<UChar32>(c)) & kLettersMarksNumbers) != 0;
}

TextReplacement replaceInText(Text& text, TextView find, TextView replacement, int matchFlags) {
  TextReplacement result;
  const std::size_t m = find.size();
  if (m == 0 || m > text.size()) return result;
  const bool wholeWord = (matchFlags & kMatchWholeWord) != 0;

  // Every occurrence lies in the text as given: the search never resumes
  // inside inserted text, so the original positions are scanned once, in
  // order, and the step-by-step rebuild becomes a single copy.
  Text upperText;
  Text upperFind;
  TextView hay = text;
  TextView needle = find;
  if ((matchFlags & kMatchCase) == 0) {
    upperText = upperAscii(text);
    upperFind = upperAscii(find);
    hay = upperText;
    needle = upperFind;
  }

  // Knuth-Morris-Pratt, so that no input shape costs more than linear time.
  std::vector<std::size_t> border(m, 0);
  for (std::size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && needle[i] != needle[k]) k = border[k - 1];
    if (needle[i] == needle[k]) ++k;
    border[i] = k;
  }

  Text out;
  std::size_t copied = 0;  // text[0, copied) is in `out`
  std::size_t resume = 0;  // the next occurrence must start here or later
  const std::size_t n = text.size();
  for (std::size_t i = 0, k = 0; i < n; ++i) {
    while (k > 0 && hay[i] != needle[k]) k = border[k - 1];
    if (hay[i] == needle[k]) ++k;
    if (k < m) continue;
    k = border[m - 1];
    const std::size_t at = i + 1 - m;
    if (at < resume) continue;
    ++result.count;  // counted before the whole-word test, on purpose
    if (wholeWord && ((at > 0 && isWordCharacter(text[at - 1])) || (at + m < n && isWordCharacter(text[at + m])))) {
      resume = at + replacement.size() + 1;
      continue;
    }
    if (!result.replaced) {
      out.reserve(n + (replacement.size() > m ? (replacement.size() - m) * 16 : 0));
      result.replaced = true;
    }
    out.append(text, copied, at - copied);
    out.append(replacement);
    copied = at + m;
    resume = at + m + 1;
  }
  if (!result.replaced) return result;
  out.append(text, copied, npos);
  text = std::move(out);
  return result;
}

}  // namespace vantiro
