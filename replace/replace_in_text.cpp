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

namespace {

// The search of replaceInText over `text`, its letters folded to upper case
// as they are read when `Fold` (no copy of a page is made for that).
template <bool Fold>
Occurrences findIn(TextView text, TextView find, TextView replacement, bool wholeWord) {
  Occurrences result;
  const std::size_t m = find.size();
  const std::size_t n = text.size();
  if (m == 0 || m > n) return result;
  const auto fold = [](char32_t c) { return Fold ? upperAscii(c) : c; };
  Text needle(find);
  if (Fold) needle = upperAscii(find);

  // Knuth-Morris-Pratt, so that no input shape costs more than linear time.
  std::vector<std::size_t> border(m, 0);
  for (std::size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && needle[i] != needle[k]) k = border[k - 1];
    if (needle[i] == needle[k]) ++k;
    border[i] = k;
  }

  // Every occurrence lies in the text as given: the search never resumes
  // inside inserted text, so the original positions are scanned once, in order.
  std::size_t resume = 0;  // the next occurrence must start here or later
  for (std::size_t i = 0, k = 0; i < n; ++i) {
    const char32_t c = fold(text[i]);
    while (k > 0 && c != needle[k]) k = border[k - 1];
    if (c == needle[k]) ++k;
    if (k < m) continue;
    k = border[m - 1];
    const std::size_t at = i + 1 - m;
    if (at < resume) continue;
    ++result.count;  // counted before the whole-word test, on purpose
    if (wholeWord && ((at > 0 && isWordCharacter(text[at - 1])) || (at + m < n && isWordCharacter(text[at + m])))) {
      resume = at + replacement.size() + 1;
      continue;
    }
    result.replacedAt.push_back(at);
    resume = at + m + 1;
  }
  return result;
}

}  // namespace

Occurrences findOccurrences(TextView text, TextView find, TextView replacement, int matchFlags) {
  const bool wholeWord = (matchFlags & kMatchWholeWord) != 0;
  return (matchFlags & kMatchCase) != 0 ? findIn<false>(text, find, replacement, wholeWord)
                                        : findIn<true>(text, find, replacement, wholeWord);
}

TextReplacement replaceInText(Text& text, TextView find, TextView replacement, int matchFlags) {
  const Occurrences found = findOccurrences(text, find, replacement, matchFlags);
  if (found.replacedAt.empty()) return {found.count, false};
  Text out;
  out.reserve(text.size() + (replacement.size() > find.size() ? (replacement.size() - find.size()) * 16 : 0));
  forEachReplacedPiece(text, find.size(), replacement, found.replacedAt, [&](TextView piece) { out += piece; });
  text = std::move(out);
  return {found.count, true};
}

}  // namespace vantiro
