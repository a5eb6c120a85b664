#include "compress/attribute_shortening.h"

#include <array>
#include <cstdint>
#include <optional>

#include "compress/css_minify.h"
#include "compress/element_names.h"
#include "compress/narrowed_block.h"
#include "compress/name_key_table.h"
#include "compress/tag_attributes.h"
#include "compress/text_routines.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantiro {
namespace {

// Attributes whose presence alone is their meaning.
bool isBooleanAttribute(TextView name) {
  for (TextView b : {TextView(U"checked"), TextView(U"selected"), TextView(U"disabled"), TextView(U"readonly"),
                     TextView(U"multiple"), TextView(U"required"), TextView(U"autofocus"), TextView(U"autoplay"),
                     TextView(U"controls"), TextView(U"loop"), TextView(U"muted"), TextView(U"defer"),
                     TextView(U"async"), TextView(U"novalidate"), TextView(U"formnovalidate"), TextView(U"ismap"),
                     TextView(U"nomodule"), TextView(U"open"), TextView(U"reversed"), TextView(U"default"),
                     TextView(U"allowfullscreen"), TextView(U"playsinline"), TextView(U"itemscope"),
                     TextView(U"inert"), TextView(U"noshade"), TextView(U"nowrap"), TextView(U"compact")})
    if (namesAre(name, b)) return true;
  return false;
}

bool sameWord(TextView value, TextView lowerWord) { return namesAre(value, lowerWord); }

// Whether `a` and `b` are the same letters, ASCII letters in any case.
bool sameLetters(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k)
    if (foldedUpper(a[k]) != foldedUpper(b[k])) return false;
  return true;
}

// Whether the attribute `name`=`value` of a tag of `element` says only what
// the element would be without it.
bool isDefault(TextView element, TextView name, TextView value, bool scriptHasType) {
  if (namesAre(element, U"script")) {
    if (namesAre(name, U"type")) return sameWord(value, U"text/javascript") || sameWord(value, U"application/javascript");
    return namesAre(name, U"language") && scriptHasType;
  }
  if (namesAre(element, U"style") || namesAre(element, U"link"))
    return namesAre(name, U"type") && sameWord(value, U"text/css");
  // The HTML parser ignores the namespace an XHTML page names on its root.
  if (namesAre(element, U"html")) return namesAre(name, U"xmlns") && value == TextView(U"http://www.w3.org/1999/xhtml");
  return namesAre(element, U"form") && namesAre(name, U"method") && sameWord(value, U"get");
}

bool isAsciiLabelChar(char32_t c) {
  return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9') || c == U'-' || c == U'_' ||
         c == U'.' || c == U':';
}

// Whether `value` reads the same to a browser without quotes.
bool mayGoUnquoted(TextView value) {
  if (value.empty()) return false;
  for (char32_t c : value)
    if (isHtmlSpace(c) || c == U'"' || c == U'\'' || c == U'<' || c == U'>') return false;
  return true;
}

// For <meta http-equiv=Content-Type content="text/html; charset=X"> and
// nothing else: X, which <meta charset=X> declares the same way to a browser
// looking for the page's encoding.
std::optional<TextView> declaredCharset(TextView tag, TextView element) {
  if (!namesAre(element, U"meta")) return std::nullopt;
  std::optional<TextView> equiv, content;
  int count = 0;
  forEachAttribute(tag, [&](const TagAttribute& a) {
    ++count;
    if (namesAre(a.name(tag), U"http-equiv")) equiv = a.value(tag);
    if (namesAre(a.name(tag), U"content")) content = a.value(tag);
  });
  if (count != 2 || !equiv || !content || !sameLetters(*equiv, U"content-type")) return std::nullopt;
  constexpr TextView kType = U"text/html;";
  TextView c = *content;
  if (c.size() < kType.size() || !sameLetters(c.substr(0, kType.size()), kType)) return std::nullopt;
  c.remove_prefix(kType.size());
  while (!c.empty() && c.front() == U' ') c.remove_prefix(1);
  constexpr TextView kCharset = U"charset=";
  if (c.size() <= kCharset.size() || !sameLetters(c.substr(0, kCharset.size()), kCharset)) return std::nullopt;
  c.remove_prefix(kCharset.size());
  if (!mayGoUnquoted(c)) return std::nullopt;
  for (char32_t ch : c)
    if (!isAsciiLabelChar(ch)) return std::nullopt;
  return c;
}

// Whether a class value holds white space other than single spaces between
// names. Class values are long lists of names with single spaces between,
// so the value is read once, eight characters a step narrowed to 16 bits,
// for the characters up to a space (signed: those at or above 0x80000000
// too), and only those are tested one by one.
bool hasSpaceToCollapse(TextView value) {
  const char32_t* const d = value.data();
  const std::size_t n = value.size();
  const auto collapses = [&](std::size_t k) {
    return isHtmlSpace(d[k]) && (d[k] != U' ' || k == 0 || k + 1 == n || isHtmlSpace(d[k + 1]));
  };
  std::size_t k = 0;
#if defined(__SSE2__)
  const __m128i aboveSpace = _mm_set1_epi16(U' ' + 1);
  // Whether the block at `at` holds a character that collapses.
  const auto blockCollapses = [&](std::size_t at) {
    const __m128i narrow = narrowed8(d + at);
    // Two bits a character; the low one is read.
    auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi16(narrow, aboveSpace))) & 0x5555u;
    for (; bits != 0; bits &= bits - 1)
      if (collapses(at + static_cast<std::size_t>(__builtin_ctz(bits)) / 2)) return true;
    return false;
  };
  if (k + 8 <= n) {
    for (; k + 8 <= n; k += 8)
      if (blockCollapses(k)) return true;
    // The rest as the last block, which overlaps characters read already.
    return k < n && blockCollapses(n - 8);
  }
#endif
  for (; k < n; ++k)
    if (collapses(k)) return true;
  return false;
}

Text collapsedClasses(TextView value) {
  Text out;
  for (std::size_t k = 0; k < value.size(); ++k) {
    if (!isHtmlSpace(value[k])) {
      out += value[k];
    } else if (!out.empty() && out.back() != U' ') {
      out += U' ';
    }
  }
  if (!out.empty() && out.back() == U' ') out.pop_back();
  return out;
}

// Whether an attribute after `a` has its name: a browser keeps the first.
bool namedAgainAfter(TextView tag, const TagAttribute& a) {
  const TextView name = a.name(tag);
  for (std::size_t k = afterAttribute(a);;) {
    const std::optional<TagAttribute> later = readAttribute(tag, k);
    if (!later) return false;
    if (sameLetters(later->name(tag), name)) return true;
    k = afterAttribute(*later);
  }
}

// Whether shortenAttributesFurther would change the tag at all: most tags
// it reads stay as they are, and are passed without being written again.
bool anythingChanges(TextView tag, TextView element, std::size_t start, bool mayHaveDefaults, bool scriptHasType) {
  if (tag.back() == U'/' && traitsOf(element).isVoid) return true;
  for (std::size_t k = start;;) {
    const std::optional<TagAttribute> a = readAttribute(tag, k);
    if (!a) return false;
    if (!a->closed) return false;
    k = afterAttribute(*a);
    if (a->valueAt == npos) continue;
    const TextView name = a->name(tag);
    const TextView value = a->value(tag);
    if (value.empty() || (mayHaveDefaults && isDefault(element, name, value, scriptHasType))) return true;
    if (sameLetters(value, name) && isBooleanAttribute(name)) return true;
    if (a->quote == 0) continue;
    if (tag[a->valueAt - 2] != U'=' || mayGoUnquoted(value)) return true;
    if (namesAre(name, U"class") && hasSpaceToCollapse(value)) return true;
    if (namesAre(name, U"style") && findChar(value, U'&') == npos) return true;
  }
}

// The first '"' or "'" in `tag` at or after `from`, or npos. Tags are
// short and most hold a few quotes, so eight characters a step are narrowed
// to 16 bits (saturating, so that no other character becomes a quote) and
// compared at once.
std::size_t findQuote(TextView tag, std::size_t from) {
  const char32_t* const d = tag.data();
  const std::size_t n = tag.size();
  std::size_t k = from;
#if defined(__SSE2__)
  const __m128i doubleQuote = _mm_set1_epi16(U'"'), singleQuote = _mm_set1_epi16(U'\'');
  const auto quoteBits = [&](__m128i narrow) {
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(narrow, doubleQuote), _mm_cmpeq_epi16(narrow, singleQuote))));
  };
  for (; k + 8 <= n; k += 8)
    if (const unsigned hits = quoteBits(narrowed8(d + k)); hits != 0)
      return k + static_cast<std::size_t>(__builtin_ctz(hits)) / 2;
  if (k + 4 <= n) {
    if (const unsigned hits =
            quoteBits(_mm_packs_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k)), _mm_setzero_si128()));
        hits != 0)
      return k + static_cast<std::size_t>(__builtin_ctz(hits)) / 2;
    k += 4;
  }
#endif
  for (; k < n; ++k)
    if (d[k] == U'"' || d[k] == U'\'') return k;
  return npos;
}

// A quick look at the quoted values of a tag: whether each is double-quoted
// and stays as it is, quoted right after its "=", not empty, not a style
// value, and in a class value no run of white space to collapse; a "'"
// anywhere says no. The tag shortening every page gets has taken the quotes
// off every value that may go without, so the values themselves are read
// only for classes.
bool quotedValuesStay(TextView tag, std::size_t start) {
  for (std::size_t open = findQuote(tag, start); open != npos;) {
    if (tag[open] == U'\'') return false;
    const std::size_t close = findQuote(tag, open + 1);
    if (close == npos || tag[close] == U'\'' || close == open + 1 || tag[open - 1] != U'=') return false;
    if (open >= 6) {
      const TextView name = tag.substr(open - 6, 5);
      if (namesAre(name, U"style")) return false;
      if (namesAre(name, U"class") && hasSpaceToCollapse(tag.substr(open + 1, close - open - 1))) return false;
    }
    open = findQuote(tag, close + 1);
  }
  return true;
}

// Elements whose tags may hold a default or a boolean attribute; the tags
// of others change only where they hold a quote or end in "/".
// Asked of most start tags: a table made once, not looked after at each call,
// and so sparse that a name it does not hold, as most are, is passed in one
// probe.
const NameKeyTable<bool, 256> kMayHoldDefaultsOrBooleans{
    {U"script", true},   {U"style", true},   {U"link", true},     {U"html", true},   {U"form", true},
    {U"meta", true},     {U"input", true},   {U"option", true},   {U"select", true}, {U"video", true},
    {U"audio", true},    {U"details", true}, {U"textarea", true}, {U"button", true}, {U"iframe", true},
    {U"ol", true},       {U"img", true},     {U"track", true},    {U"dialog", true}, {U"fieldset", true},
    {U"optgroup", true}, {U"hr", true},      {U"td", true},       {U"th", true},     {U"dl", true},
    {U"ul", true},       {U"object", true},
};

bool mayHoldDefaultsOrBooleans(std::uint64_t elementKey) { return kMayHoldDefaultsOrBooleans.find(elementKey, false); }

// shortenAttributesFurther for a start tag whose attributes begin at `start`
// and may change. Out of line: most tags are passed by the quick looks before
// it, and need none of its set-up.
[[gnu::noinline]] void rewriteAttributes(SlotText& tag, std::size_t start) {
  const TextView original = tag.view();
  const TextView element = original.substr(0, start);
  const bool scriptHasType = namesAre(element, U"script") && attributeValue(original, U"type").has_value();
  const bool mayHaveDefaults = namesAre(element, U"script") || namesAre(element, U"style") ||
                               namesAre(element, U"link") || namesAre(element, U"html") || namesAre(element, U"form");
  if (const std::optional<TextView> charset = declaredCharset(original, element); charset) {
    Text shorter = Text(element) + U" charset=" + Text(*charset);
    if (shorter.size() < original.size()) tag.assign(shorter);
    return;
  }

  if (!anythingChanges(original, element, start, mayHaveDefaults, scriptHasType)) return;

  thread_local Text out;
  thread_local Text rewritten;
  out.assign(element);
  bool lastUnquoted = false;  // the last value written ends without a quote
  bool lastQuoted = false;    // ... or with its closing quote
  std::size_t end = start;
  for (std::size_t k = start;;) {
    const std::optional<TagAttribute> a = readAttribute(original, k);
    if (!a) break;
    if (!a->closed) return;
    k = end = afterAttribute(*a);
    const TextView name = a->name(original);
    TextView value = a->value(original);
    if (a->valueAt != npos && mayHaveDefaults && isDefault(element, name, value, scriptHasType) &&
        !namedAgainAfter(original, *a))
      continue;
    // After a closing quote the next name needs no space, as a browser reads it.
    if (!lastQuoted) out += U' ';
    out += name;
    lastUnquoted = lastQuoted = false;
    if (a->valueAt == npos || value.empty() || (sameLetters(value, name) && isBooleanAttribute(name))) continue;
    out += U'=';
    if (a->quote == 0) {  // as it was: it may hold a quote
      out += value;
      lastUnquoted = true;
      continue;
    }
    if (namesAre(name, U"class") && hasSpaceToCollapse(value)) {
      rewritten = collapsedClasses(value);
      value = rewritten;
    } else if (namesAre(name, U"style") && findChar(value, U'&') == npos) {
      rewritten.assign(value);
      minifyDeclarations(rewritten);
      value = rewritten;
    }
    if (value.empty()) {
      out.pop_back();  // the "="
      continue;
    }
    if (mayGoUnquoted(value)) {
      out += value;
      lastUnquoted = true;
      continue;
    }
    out += a->quote;
    out += value;
    out += a->quote;
    lastQuoted = true;
  }
  // A "/" closing the tag (self-closing in svg and math) stays, apart from an
  // unquoted value it would otherwise join.
  // On an HTML void element it means nothing and goes.
  if (end < original.size() && original.back() == U'/' && !traitsOf(element).isVoid)
    out += lastUnquoted ? TextView(U" /") : TextView(U"/");
  // Not only when shorter: a line break in a class list becomes a space
  // either way, whichever line break the page writes.
  if (out.size() <= original.size() && TextView(out) != original) tag.assign(out);
}

}  // namespace

void shortenAttributesFurther(SlotText& tag, std::uint64_t elementKey) {
  const TextView original = tag.view();
  if (!isElementTag(original) || original[0] == U'/') return;
  // A start tag's name is the one its key was made from.
  const std::size_t start = elementKey != 0 ? nameLengthOfKey(elementKey) : attributesStart(original);
  if (start == original.size()) return;
  if (original.back() != U'/' && !mayHoldDefaultsOrBooleans(elementKey) && quotedValuesStay(original, start)) return;
  rewriteAttributes(tag, start);
}

}  // namespace vantiro
