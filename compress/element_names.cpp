#include "compress/element_names.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vantiro {
namespace {

constexpr std::size_t kLongestName = 10;  // "blockquote", "figcaption"

// A letter or digit as six bits (0 for anything else).
constexpr std::uint64_t codeOf(char32_t c) {
  if (c >= U'A' && c <= U'Z') c += 32;
  if (c >= U'a' && c <= U'z') return c - U'a' + 1;
  if (c >= U'0' && c <= U'9') return c - U'0' + 27;
  return 0;
}

// A name of up to ten letters and digits as one number, so that the table is
// searched by comparing numbers; 0 for any other name.
template <typename Chars>
constexpr std::uint64_t packName(const Chars& name) {
  if (name.empty() || name.size() > kLongestName) return 0;
  std::uint64_t v = 0;
  for (std::size_t k = 0; k < kLongestName; ++k) {
    std::uint64_t code = 0;
    if (k < name.size()) {
      code = codeOf(static_cast<char32_t>(name[k]));
      if (code == 0) return 0;
    }
    v = (v << 6) | code;
  }
  return v;
}

// Letters of the traits in the table below.
enum Trait : unsigned {
  kBlock = 1,
  kHidden = 2,
  kVoid = 4,
  kStartCloses = 8,   // the start tag ends an open p
  kEndCloses = 16,    // the end tag ends a p open inside the element
  kNestsSame = 32,
};

struct Entry {
  std::string_view name;
  unsigned traits;
};

constexpr unsigned kSection = kBlock | kStartCloses | kEndCloses;  // div and its kind

constexpr std::array kEntries = {
    Entry{"address", kSection}, Entry{"applet", kEndCloses}, Entry{"area", kVoid},
    Entry{"article", kSection}, Entry{"aside", kSection}, Entry{"b", kNestsSame},
    Entry{"base", kHidden | kVoid}, Entry{"basefont", kVoid}, Entry{"bgsound", kVoid},
    Entry{"blockquote", kSection}, Entry{"body", kBlock | kEndCloses}, Entry{"br", kVoid},
    Entry{"button", kEndCloses}, Entry{"caption", kBlock | kEndCloses}, Entry{"center", kSection},
    Entry{"cite", kNestsSame}, Entry{"code", kNestsSame}, Entry{"col", kBlock | kVoid},
    Entry{"colgroup", kBlock}, Entry{"dd", kSection}, Entry{"details", kSection},
    Entry{"dfn", kNestsSame}, Entry{"dialog", kStartCloses | kEndCloses}, Entry{"dir", kSection},
    Entry{"div", kSection}, Entry{"dl", kSection}, Entry{"dt", kSection},
    Entry{"em", kNestsSame}, Entry{"embed", kVoid}, Entry{"fieldset", kSection},
    Entry{"figcaption", kSection}, Entry{"figure", kSection}, Entry{"font", kNestsSame},
    Entry{"footer", kSection}, Entry{"form", kSection}, Entry{"frame", kBlock | kVoid},
    Entry{"frameset", kBlock}, Entry{"h1", kSection}, Entry{"h2", kSection},
    Entry{"h3", kSection}, Entry{"h4", kSection}, Entry{"h5", kSection},
    Entry{"h6", kSection}, Entry{"head", kBlock}, Entry{"header", kSection},
    Entry{"hgroup", kSection}, Entry{"hr", kBlock | kVoid | kStartCloses}, Entry{"html", kBlock | kEndCloses},
    Entry{"i", kNestsSame}, Entry{"img", kVoid}, Entry{"input", kVoid},
    Entry{"kbd", kNestsSame}, Entry{"keygen", kVoid}, Entry{"legend", kBlock},
    Entry{"li", kSection}, Entry{"link", kHidden | kVoid}, Entry{"listing", kSection},
    Entry{"main", kSection}, Entry{"marquee", kEndCloses}, Entry{"menu", kSection},
    Entry{"meta", kHidden | kVoid}, Entry{"nav", kSection}, Entry{"object", kEndCloses},
    Entry{"ol", kSection}, Entry{"optgroup", kBlock}, Entry{"option", kBlock},
    Entry{"p", kSection}, Entry{"param", kVoid}, Entry{"plaintext", kBlock | kStartCloses},
    Entry{"pre", kSection}, Entry{"s", kNestsSame}, Entry{"samp", kNestsSame},
    Entry{"script", kHidden}, Entry{"search", kSection}, Entry{"section", kSection},
    Entry{"source", kVoid}, Entry{"span", kNestsSame}, Entry{"strike", kNestsSame},
    Entry{"strong", kNestsSame}, Entry{"style", kHidden}, Entry{"summary", kSection},
    Entry{"table", kBlock | kEndCloses}, Entry{"tbody", kBlock | kEndCloses}, Entry{"td", kBlock | kEndCloses},
    Entry{"template", kHidden | kEndCloses}, Entry{"tfoot", kBlock | kEndCloses}, Entry{"th", kBlock | kEndCloses},
    Entry{"thead", kBlock | kEndCloses}, Entry{"title", kHidden}, Entry{"tr", kBlock | kEndCloses},
    Entry{"track", kVoid}, Entry{"tt", kNestsSame}, Entry{"u", kNestsSame},
    Entry{"ul", kSection}, Entry{"var", kNestsSame}, Entry{"wbr", kVoid},
    Entry{"xmp", kBlock | kStartCloses},
};

struct Packed {
  std::uint64_t name;
  unsigned traits;
  constexpr bool operator<(const Packed& other) const { return name < other.name; }
};

constexpr std::array<Packed, kEntries.size()> packedEntries() {
  std::array<Packed, kEntries.size()> packed{};
  for (std::size_t k = 0; k < kEntries.size(); ++k) packed[k] = {packName(kEntries[k].name), kEntries[k].traits};
  std::sort(packed.begin(), packed.end());
  return packed;
}

constexpr std::array<Packed, kEntries.size()> kPacked = packedEntries();

bool endsName(char32_t c) { return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == U'\f' || c == U'/'; }

}  // namespace

ElementTraits traitsOf(TextView name) {
  const std::uint64_t packed = packName(name);
  ElementTraits t;
  if (packed == 0) return t;
  const auto it = std::lower_bound(kPacked.begin(), kPacked.end(), Packed{packed, 0});
  if (it == kPacked.end() || it->name != packed) return t;
  const unsigned bits = it->traits;
  t.box = (bits & kBlock) != 0 ? ElementBox::Block : (bits & kHidden) != 0 ? ElementBox::Hidden : ElementBox::Inline;
  t.isVoid = (bits & kVoid) != 0;
  t.startClosesParagraph = (bits & kStartCloses) != 0;
  t.endClosesParagraph = (bits & kEndCloses) != 0;
  t.nestsUnchanged = (bits & kNestsSame) != 0;
  return t;
}

TextView elementName(TextView tag) {
  std::size_t b = !tag.empty() && tag[0] == U'/' ? 1 : 0;
  if (b >= tag.size()) return {};
  const char32_t first = tag[b];
  if (!((first >= U'a' && first <= U'z') || (first >= U'A' && first <= U'Z'))) return {};
  std::size_t e = b;
  while (e < tag.size() && !endsName(tag[e])) ++e;
  return tag.substr(b, e - b);
}

bool namesAre(TextView name, TextView lowerName) {
  if (name.size() != lowerName.size()) return false;
  for (std::size_t k = 0; k < name.size(); ++k) {
    char32_t c = name[k];
    if (c >= U'A' && c <= U'Z') c += 32;
    if (c != lowerName[k]) return false;
  }
  return true;
}

}  // namespace vantiro
