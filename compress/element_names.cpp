#include "compress/element_names.h"

#include <array>
#include <string_view>

namespace vantiro {
namespace {

constexpr std::size_t kLongestName = kLongestKeyedName;  // "blockquote", "figcaption"

// A letter or digit as six bits (0 for anything else).
constexpr std::uint64_t slowCodeOf(char32_t c) {
  if (c >= U'A' && c <= U'Z') c += 32;
  if (c >= U'a' && c <= U'z') return c - U'a' + 1;
  if (c >= U'0' && c <= U'9') return c - U'0' + 27;
  return 0;
}

constexpr std::array<std::uint8_t, 128> codeTable() {
  std::array<std::uint8_t, 128> table{};
  for (char32_t c = 0; c < 128; ++c) table[c] = static_cast<std::uint8_t>(slowCodeOf(c));
  return table;
}

constexpr std::array<std::uint8_t, 128> kCodes = codeTable();

constexpr std::uint64_t codeOf(char32_t c) { return c < 128 ? kCodes[c] : 0; }

// A name of up to ten letters and digits as one number, so that the table is
// searched by comparing numbers; 0 for any other name.
template <typename Chars>
constexpr std::uint64_t packName(const Chars& name) {
  if (name.empty() || name.size() > kLongestName) return 0;
  std::uint64_t v = 0;
  for (std::size_t k = 0; k < name.size(); ++k) {
    const std::uint64_t code = codeOf(static_cast<char32_t>(name[k]));
    if (code == 0) return 0;
    v = (v << 6) | code;
  }
  return v << (6 * (kLongestName - name.size()));
}

// Letters of the traits in the table below.
enum Trait : unsigned {
  kBlock = 1,
  kHidden = 2,
  kVoid = 4,
  kStartCloses = 8,   // the start tag ends an open p
  kEndCloses = 16,    // the end tag ends a p open inside the element
  kNestsSame = 32,
  kScopeEdge = 64,
};

struct Entry {
  std::string_view name;
  unsigned traits;
};

constexpr unsigned kSection = kBlock | kStartCloses | kEndCloses;  // div and its kind

constexpr std::array kEntries = {
    Entry{"address", kSection}, Entry{"applet", kEndCloses | kScopeEdge}, Entry{"area", kVoid},
    Entry{"article", kSection}, Entry{"aside", kSection}, Entry{"b", kNestsSame},
    Entry{"base", kHidden | kVoid}, Entry{"basefont", kVoid}, Entry{"bgsound", kVoid},
    Entry{"blockquote", kSection}, Entry{"body", kBlock | kEndCloses}, Entry{"br", kVoid},
    Entry{"button", kEndCloses | kScopeEdge}, Entry{"caption", kBlock | kEndCloses | kScopeEdge}, Entry{"center", kSection},
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
    Entry{"hgroup", kSection}, Entry{"hr", kBlock | kVoid | kStartCloses}, Entry{"html", kBlock | kEndCloses | kScopeEdge},
    Entry{"i", kNestsSame}, Entry{"img", kVoid}, Entry{"input", kVoid},
    Entry{"kbd", kNestsSame}, Entry{"keygen", kVoid}, Entry{"legend", kBlock},
    Entry{"li", kSection}, Entry{"link", kHidden | kVoid}, Entry{"listing", kSection},
    Entry{"main", kSection}, Entry{"marquee", kEndCloses | kScopeEdge}, Entry{"menu", kSection},
    Entry{"meta", kHidden | kVoid}, Entry{"nav", kSection}, Entry{"object", kEndCloses | kScopeEdge},
    Entry{"ol", kSection}, Entry{"optgroup", kBlock}, Entry{"option", kBlock},
    Entry{"p", kSection}, Entry{"param", kVoid}, Entry{"plaintext", kBlock | kStartCloses},
    Entry{"pre", kSection}, Entry{"s", kNestsSame}, Entry{"samp", kNestsSame},
    Entry{"script", kHidden}, Entry{"search", kSection}, Entry{"section", kSection},
    Entry{"source", kVoid}, Entry{"span", kNestsSame}, Entry{"strike", kNestsSame},
    Entry{"strong", kNestsSame}, Entry{"style", kHidden}, Entry{"summary", kSection},
    Entry{"table", kBlock | kEndCloses | kScopeEdge}, Entry{"tbody", kBlock | kEndCloses}, Entry{"td", kBlock | kEndCloses | kScopeEdge},
    Entry{"template", kHidden | kEndCloses | kScopeEdge}, Entry{"tfoot", kBlock | kEndCloses}, Entry{"th", kBlock | kEndCloses | kScopeEdge},
    Entry{"thead", kBlock | kEndCloses}, Entry{"title", kHidden}, Entry{"tr", kBlock | kEndCloses},
    Entry{"track", kVoid}, Entry{"tt", kNestsSame}, Entry{"u", kNestsSame},
    Entry{"ul", kSection}, Entry{"var", kNestsSame}, Entry{"wbr", kVoid},
    Entry{"xmp", kBlock | kStartCloses},
};

// The table as open addressing over 256 slots, so that a name is found in a
// probe or two: traitsOf is asked of nearly every tag of a page.
constexpr std::size_t kSlots = 256;

struct Slot {
  std::uint64_t name = 0;  // 0: empty
  ElementTraits traits;
};

constexpr std::size_t slotOf(std::uint64_t packed) { return (packed * 0x9E3779B97F4A7C15ull) >> 56; }

constexpr ElementTraits traitsOfLetters(unsigned bits) {
  ElementTraits t;
  t.box = (bits & kBlock) != 0 ? ElementBox::Block : (bits & kHidden) != 0 ? ElementBox::Hidden : ElementBox::Inline;
  t.isVoid = (bits & kVoid) != 0;
  t.startClosesParagraph = (bits & kStartCloses) != 0;
  t.endClosesParagraph = (bits & kEndCloses) != 0;
  t.nestsUnchanged = (bits & kNestsSame) != 0;
  t.bordersScope = (bits & kScopeEdge) != 0;
  return t;
}

// The traits are spelt out when compiling, so a lookup only copies them.
constexpr std::array<Slot, kSlots> slotTable() {
  std::array<Slot, kSlots> slots{};
  for (const Entry& e : kEntries) {
    const std::uint64_t packed = packName(e.name);
    std::size_t k = slotOf(packed);
    while (slots[k].name != 0) k = (k + 1) % kSlots;
    slots[k] = {packed, traitsOfLetters(e.traits)};
  }
  return slots;
}

constexpr std::array<Slot, kSlots> kSlotTable = slotTable();

}  // namespace

std::uint64_t nameKey(TextView name) { return packName(name); }

ElementTraits traitsOf(TextView name) { return traitsOfKey(packName(name)); }

ElementTraits traitsOfKey(std::uint64_t key) {
  if (key == 0) return ElementTraits();
  std::size_t k = slotOf(key);
  while (kSlotTable[k].name != key) {
    if (kSlotTable[k].name == 0) return ElementTraits();
    k = (k + 1) % kSlots;
  }
  return kSlotTable[k].traits;
}

TagName tagName(TextView tag) {
  const char32_t* p = tag.data();
  const char32_t* const end = p + tag.size();
  if (p != end && *p == U'/') ++p;
  const char32_t* const name = p;
  // Nearly every name is letters and digits up to its end: each character
  // both extends the name and its key.
  std::uint64_t key = 0;
  for (; p != end && *p < 128 && kCodes[*p] != 0; ++p) key = (key << 6) | kCodes[*p];
  const auto at = static_cast<std::uint32_t>(name - tag.data());
  if (p == name || kCodes[*name] > 26) return {at, 0, 0};  // a letter first
  if (p != end && !endsElementName(*p)) {  // another character: a name without a key
    while (p != end && !endsElementName(*p)) ++p;
    return {at, static_cast<std::uint32_t>(p - name), 0};
  }
  const std::size_t length = static_cast<std::size_t>(p - name);
  return {at, static_cast<std::uint32_t>(length), length <= kLongestName ? key << (6 * (kLongestName - length)) : 0};
}

std::vector<std::uint64_t> knownElementKeys() {
  std::vector<std::uint64_t> keys;
  keys.reserve(kEntries.size());
  for (const Entry& e : kEntries) keys.push_back(packName(e.name));
  return keys;
}

TextView elementName(TextView tag) {
  std::size_t b = !tag.empty() && tag[0] == U'/' ? 1 : 0;
  if (b >= tag.size()) return {};
  const char32_t first = tag[b];
  if (!((first >= U'a' && first <= U'z') || (first >= U'A' && first <= U'Z'))) return {};
  std::size_t e = b;
  while (e < tag.size() && !endsElementName(tag[e])) ++e;
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
