#include "compress/optional_tags.h"

#include <algorithm>
#include <array>
#include <climits>
#include <initializer_list>
#include <utility>

#include "compress/element_names.h"
#include "compress/name_key_table.h"
#include "compress/tag_scanner.h"

namespace vantiro {
namespace {

// The elements the conditions name; every other element is Other.
enum class Kind : std::uint8_t {
  Other, Li, Dt, Dd, P, Rt, Rp, Option, Optgroup, Thead, Tbody, Tfoot, Tr, Td, Th,
  Colgroup, Caption, Html, Head, Body, Table, Col, Ruby,
};

// The name lists the conditions ask of an element, as bits.
enum NameFact : std::uint8_t {
  // End tags a browser handles by first ending every element whose end tag
  // may be left out (li, dt, dd, p, ...), so they also end one left open.
  kEndsImpliedElements = 1,
  // Start tags that go into the head when they come after it, so the body's
  // start tag must stay before them; and the ones a head cannot hold without
  // its end tag changing where they go.
  kHeadContent = 2,
  // Elements a browser closes, with no other trace, when the end tag of an
  // element holding them comes: they are neither "special" (where an end tag
  // of another name stops looking) nor formatting elements (which a browser
  // opens again later when their end tag is missing).
  kClosedByTheirParentsEnd = 4,
  // End tags that close their element together with every such element
  // still open inside it: formatting elements (where nothing special stands
  // above them), the block-level ones that close all above them, and the
  // elements above themselves.
  kClosesWhatIsOpenInside = 8,
  // Block elements whose end tag a browser handles by closing every element
  // open inside them, and that no later tag ends by itself: right before the
  // end tag of one of them that holds it, the end tag of another may go.
  kClosesAllInside = 16,
  // Elements whose start tag a browser handles by first closing an open one
  // of the same name (or a heading by another heading), or by ignoring it.
  kEndsOneOfItsName = 32,
  // svg and math, where an element's own rules replace HTML's: end tags
  // there are matched by other rules.
  kForeignRoot = 64,
};

// All the pass asks of an element's name.
struct NameFacts {
  ElementTraits traits;
  Kind kind = Kind::Other;
  std::uint8_t facts = 0;  // NameFact bits
  // For a table and each kEndsOneOfItsName element (15 in all): a bit of its
  // own, by which the pass tells whether one is open.
  std::uint16_t openBit = 0;
};

// Every element the pass or traitsOf knows, by nameKey, with all it asks of
// it: one lookup of nearly every tag, rather than one for each question.
class NameFactsTable {
 public:
  static constexpr NameFacts kUnknown{};

  NameFactsTable(std::initializer_list<std::pair<const char32_t*, Kind>> kinds,
                 std::initializer_list<std::pair<NameFact, std::initializer_list<const char32_t*>>> lists) {
    for (const std::uint64_t key : knownElementKeys()) table_.at(key).traits = traitsOfKey(key);
    unsigned bits = 0;
    const auto nextOpenBit = [&] { return static_cast<std::uint16_t>(1u << bits++); };
    for (const auto& [name, kind] : kinds) {
      NameFacts& facts = table_.at(nameKey(name));
      facts.kind = kind;
      if (kind == Kind::Table) facts.openBit = nextOpenBit();
    }
    for (const auto& [fact, names] : lists)
      for (const char32_t* name : names) {
        NameFacts& facts = table_.at(nameKey(name));
        facts.facts |= fact;
        if (fact == kEndsOneOfItsName) facts.openBit = nextOpenBit();
      }
  }
  // The facts of the name with `key`; those of an unknown element for 0 or
  // a name the table does not hold.
  const NameFacts& find(std::uint64_t key) const {
    const NameFacts* facts = table_.lookup(key);
    return facts != nullptr ? *facts : kUnknown;
  }

 private:
  // About 130 names: a quarter full.
  NameKeyTable<NameFacts, 512> table_;
};

const NameFactsTable kNameFacts{
    {
        {U"li", Kind::Li},
        {U"dt", Kind::Dt},
        {U"dd", Kind::Dd},
        {U"p", Kind::P},
        {U"rt", Kind::Rt},
        {U"rp", Kind::Rp},
        {U"option", Kind::Option},
        {U"optgroup", Kind::Optgroup},
        {U"thead", Kind::Thead},
        {U"tbody", Kind::Tbody},
        {U"tfoot", Kind::Tfoot},
        {U"tr", Kind::Tr},
        {U"td", Kind::Td},
        {U"th", Kind::Th},
        {U"colgroup", Kind::Colgroup},
        {U"caption", Kind::Caption},
        {U"html", Kind::Html},
        {U"head", Kind::Head},
        {U"body", Kind::Body},
        {U"table", Kind::Table},
        {U"col", Kind::Col},
        {U"ruby", Kind::Ruby},
    },
    {
        {kEndsImpliedElements,
         {U"address", U"article", U"aside",    U"blockquote", U"button", U"center", U"details", U"dialog",  U"dir",
          U"div",     U"dl",      U"fieldset", U"figcaption", U"figure", U"footer", U"header",  U"hgroup",  U"listing",
          U"main",    U"menu",    U"nav",      U"ol",         U"pre",    U"search", U"section", U"summary", U"ul",
          U"form",    U"li",      U"dd",       U"dt",         U"h1",     U"h2",     U"h3",      U"h4",      U"h5",
          U"h6",      U"applet",  U"marquee",  U"object",     U"td",     U"th",     U"caption", U"body",    U"html"}},
        {kHeadContent,
         {U"base", U"basefont", U"bgsound", U"link", U"meta", U"noframes", U"script", U"style", U"template", U"title",
          U"noscript", U"frameset", U"html", U"head", U"body"}},
        {kClosedByTheirParentsEnd,
         {U"span", U"label", U"abbr", U"kbd", U"var", U"samp", U"cite", U"dfn", U"sub", U"sup", U"mark", U"q", U"time",
          U"data", U"bdi", U"bdo", U"ins", U"del"}},
        {kClosesWhatIsOpenInside,
         {U"a",       U"b",       U"big",   U"code",       U"em",     U"font", U"i",       U"nobr", U"s",
          U"small",   U"strike",  U"strong", U"tt",        U"u",      U"address", U"article", U"aside", U"blockquote",
          U"center",  U"div",     U"dl",    U"footer",     U"header", U"main", U"nav",     U"ol",   U"pre",
          U"section", U"ul",      U"li",    U"dd",         U"dt",     U"p",    U"h1",      U"h2",   U"h3",
          U"h4",      U"h5",      U"h6",    U"td",         U"th"}},
        {kClosesAllInside,
         {U"address", U"article", U"aside", U"blockquote", U"center", U"div", U"dl", U"figcaption", U"figure",
          U"footer", U"header", U"main", U"nav", U"ol", U"section", U"ul"}},
        {kEndsOneOfItsName,
         {U"button", U"a", U"nobr", U"form", U"select", U"li", U"dd", U"dt", U"h1", U"h2", U"h3", U"h4", U"h5",
          U"h6"}},
        {kForeignRoot, {U"svg", U"math"}},
    }};

struct Element {
  std::uint64_t key = 0;
  const NameFacts* facts = &NameFactsTable::kUnknown;  // in kNameFacts, which is never copied
  Kind kind() const { return facts->kind; }
  bool is(NameFact fact) const { return (facts->facts & fact) != 0; }
};

Element elementOf(std::uint64_t key) { return {key, &kNameFacts.find(key)}; }

const std::uint16_t kTableBit = elementOf(nameKey(U"table")).facts->openBit;

// A few kinds as bits, made when compiling: the conditions ask such sets of
// nearly every tag.
class KindSet {
 public:
  consteval KindSet(std::initializer_list<Kind> kinds) {
    for (Kind k : kinds) bits_ |= std::uint32_t{1} << static_cast<unsigned>(k);
  }
  bool holds(Kind k) const { return ((bits_ >> static_cast<unsigned>(k)) & 1) != 0; }

 private:
  std::uint32_t bits_ = 0;
};

bool isOneOf(Kind k, KindSet kinds) { return kinds.holds(k); }

bool isTablePart(Kind k) { return isOneOf(k, {Kind::Thead, Kind::Tbody, Kind::Tfoot}); }

// What a table holds of its own: its parts, rows, cells, caption and
// columns. One set, asked of every start tag in one test.
constexpr KindSet kTableContents{Kind::Thead, Kind::Tbody, Kind::Tfoot,    Kind::Tr, Kind::Td,
                                 Kind::Th,    Kind::Caption, Kind::Colgroup, Kind::Col};

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// One tag as the pass reads it.
struct ReadTag {
  bool element = false;  // a start or end tag of an element
  bool end = false;
  bool bare = false;     // nothing but the name ("li", "/li")
  Element element_;
};

// `key`: the nameKey of the tag's element.
// Inlined: read once for every tag, where a call costs as much as the reading.
[[gnu::always_inline]] inline ReadTag readTag(TextView tag, std::uint64_t key) {
  ReadTag r;
  // Only an element's name has a key: the tag need not be read for it.
  if (key == 0 && !isElementTag(tag)) return r;
  r.element = true;
  r.end = tag[0] == U'/';
  r.element_ = elementOf(key);
  // Only the tags the conditions name are asked whether they hold more.
  // The kinds named all have a key, which measures the name.
  if (r.element_.kind() != Kind::Other) r.bare = tag.size() == nameLengthOfKey(key) + (r.end ? 1 : 0);
  return r;
}

class OptionalTagPass {
 public:
  OptionalTagPass(PageSplit& split, const std::vector<std::uint8_t>& keptAsRead, const PageElements& elements,
                  const PagePiece* piece, PieceBoundary* boundary)
      : split_(split),
        keptAsRead_(keptAsRead),
        elements_(elements),
        standardsMode_(elements.standardsMode()),
        boundary_(boundary) {
    if (piece == nullptr) return;
    first_ = piece->contextTags;
    reachesPageEnd_ = piece->reachesPageEnd;
    if (boundary != nullptr) reportAt_ = piece->reportAt;
    takeState(piece->passes.optionalTags);
  }

  void run() {
    // Held apart from the members, which the calls below may change for all the compiler knows.
    const int reportAt = reportAt_;
    const int last = split_.lastIndex;
    for (int i = first_; i <= last; ++i) {
      if (i == reportAt) [[unlikely]]
        reportState(boundary_->passes.optionalTags);
      readTagAt(i);
    }
    if (boundary_ != nullptr)
      boundary_->lookedPastEndFrom = std::min(boundary_->lookedPastEndFrom, lookedPastEndFrom_);
  }

 private:
  // Reads the tag at slot i: whether it goes, and what it opens or closes.
  [[gnu::always_inline]] inline void readTagAt(int i) {
    SlotText& tag = split_.tags[at(i)];
    if (tag.empty()) return;
    if (keptAsRead_[at(i)] != 0) {
      lastKept_ = -1;
      doubtFrom(i);
      textBefore_ = &split_.texts[at(i)];
      return;
    }
    const ReadTag read = readTag(tag, elements_.nameKeyOf(i));
    if (read.element && read.end) {
      const bool goes = endTag(i, read);
      if (goes) tag.clear();
    } else if (read.element) {
      const bool goes = startTagMayGo(i, read);
      openStart(read.element_, tag.view(), i);
      if (goes) {
        tag.clear();
        // Only the body's start tag goes with a text, which starts the body.
        if (!split_.texts[at(i)].empty()) textBefore_->append(split_.texts[at(i)].view());
      }
    }
    if (!tag.empty()) {
      lastKept_ = i;
      textBefore_ = &split_.texts[at(i)];
    }
    // A browser moves text out of a table part it stands in.
    if (!split_.texts[at(i)].empty() && topHoldsRows()) doubtFrom(i);
  }

  // An open element: sixteen bytes, as nearly every start tag opens one.
  struct Open {
    std::uint64_t key = 0;
    Kind kind = Kind::Other;
    ElementBox box = ElementBox::Inline;
    bool foreign = false;         // inside svg or math, or one of them
    std::uint16_t openBelow = 0;  // the openBit of it and every element below it, or'ed
    int at = -1;                  // the slot of its start tag
  };

  // The pass as it stood at the window's first tag after the context, with
  // slots counted from there (the page's first window starts as a page does).
  [[gnu::cold, gnu::noinline]] void takeState(const OptionalTagsState& state) {
    const auto here = [&](int relative) {
      return relative >= OptionalTagsState::kDoubtToTheEnd ? relative : first_ + relative;
    };
    for (const OptionalTagsState::OpenElement& e : state.open) {
      const Element element = elementOf(e.key);
      open_.push_back({e.key, element.kind(), element.facts->traits.box,
                       (!open_.empty() && open_.back().foreign) || element.is(kForeignRoot),
                       static_cast<std::uint16_t>(openBits() | element.facts->openBit), here(e.at)});
    }
    lastDoubt_ = here(state.lastDoubt);
    if (state.lastKeptTag) {
      lastKept_ = kKeptBeforeWindow;
      keptBeforeTag_ = *state.lastKeptTag;
      keptBeforeKey_ = state.lastKeptKey;
      if (!state.lastKeptTextEmpty) textBeforeWindow_ = U" ";
      textBefore_ = &textBeforeWindow_;
    }
  }

  // How the pass stands before reading slot reportAt_, where the next window begins.
  [[gnu::cold, gnu::noinline]] void reportState(OptionalTagsState& state) const {
    const auto relative = [&](int i) { return i >= OptionalTagsState::kDoubtToTheEnd ? i : i - reportAt_; };
    for (const Open& e : open_) state.open.push_back({e.key, relative(e.at)});
    // "None" stays below every tag however many windows carry it.
    state.lastDoubt = std::max(relative(lastDoubt_), OptionalTagsState{}.lastDoubt);
    if (lastKept_ == kKeptBeforeWindow) {
      state.lastKeptTag = keptBeforeTag_;
      state.lastKeptKey = keptBeforeKey_;
    } else if (lastKept_ >= 0) {
      state.lastKeptTag = Text(split_.tags[at(lastKept_)].view());
      state.lastKeptKey = elements_.nameKeyOf(lastKept_);
    }
    state.lastKeptTextEmpty = lastKeptText().empty();
  }

  // The tag written last and its text, which may lie before the window.
  ReadTag lastKeptRead() const {
    return lastKept_ == kKeptBeforeWindow ? readTag(keptBeforeTag_, keptBeforeKey_)
                                          : readTag(split_.tags[at(lastKept_)], elements_.nameKeyOf(lastKept_));
  }
  const SlotText& lastKeptText() const {
    static const SlotText kNone;
    if (lastKept_ == kKeptBeforeWindow) return textBeforeWindow_;
    return lastKept_ >= 0 ? split_.texts[at(lastKept_)] : kNone;
  }

  // The next tag after slot i that is written, -1 at the end of the page,
  // -2 when it must not be read. In a window that ends before the page, the
  // tag at slot `reading` then looked past what the pass can tell.
  int nextTag(int i, int reading) {
    for (int j = i + 1; j <= split_.lastIndex; ++j) {
      if (split_.tags[at(j)].empty()) continue;
      return keptAsRead_[at(j)] != 0 ? -2 : j;
    }
    if (!reachesPageEnd_) lookedPastEndFrom_ = std::min(lookedPastEndFrom_, reading);
    return -1;
  }

  Kind topKind() const { return open_.empty() ? Kind::Other : open_.back().kind; }

  // The innermost open element is a table, a table part or a row.
  bool topHoldsRows() const {
    return isOneOf(topKind(), {Kind::Table, Kind::Thead, Kind::Tbody, Kind::Tfoot, Kind::Tr});
  }

  // Pops the elements that the start tag of `started` ends by itself.
  void closeImplied(Element started) {
    const Kind y = started.kind();
    while (!open_.empty()) {
      const Kind top = topKind();
      bool closes = false;
      switch (top) {
        case Kind::Li: closes = y == Kind::Li; break;
        case Kind::Dt:
        case Kind::Dd: closes = isOneOf(y, {Kind::Dt, Kind::Dd}); break;
        case Kind::P:
          closes = started.facts->traits.startClosesParagraph || (standardsMode_ && y == Kind::Table);
          break;
        case Kind::Option: closes = isOneOf(y, {Kind::Option, Kind::Optgroup}); break;
        case Kind::Optgroup: closes = y == Kind::Optgroup; break;
        case Kind::Rt:
        case Kind::Rp: closes = isOneOf(y, {Kind::Rt, Kind::Rp}); break;
        case Kind::Td:
        case Kind::Th: closes = isOneOf(y, {Kind::Td, Kind::Th, Kind::Tr, Kind::Thead, Kind::Tbody, Kind::Tfoot}); break;
        case Kind::Tr: closes = isOneOf(y, {Kind::Tr, Kind::Thead, Kind::Tbody, Kind::Tfoot}); break;
        case Kind::Thead:
        case Kind::Tbody:
        case Kind::Tfoot: closes = isTablePart(y); break;
        case Kind::Colgroup: closes = y != Kind::Col; break;
        case Kind::Caption:
          closes = isTablePart(y) || isOneOf(y, {Kind::Colgroup, Kind::Col, Kind::Tr, Kind::Td, Kind::Th, Kind::Caption});
          break;
        case Kind::Head: closes = !started.is(kHeadContent); break;
        default: break;
      }
      if (!closes) return;
      open_.pop_back();
    }
  }

  void openStart(Element started, TextView tag, int i) {
    closeImplied(started);
    const ElementTraits traits = started.facts->traits;
    if (!open_.empty()) {
      // Where a browser builds otherwise than the open elements here say: a
      // block inside a phrase (which may end a paragraph or list item open
      // further down), or anything but a table's own parts inside a table.
      const bool block = traits.box == ElementBox::Block || traits.startClosesParagraph;
      if ((block && open_.back().box == ElementBox::Inline) ||
          (topHoldsRows() && !isOneOf(started.kind(), kTableContents)))
        doubtFrom(i);
    }
    // A browser closes the open one first, or ignores the new one.
    if (started.is(kEndsOneOfItsName) && (openBits() & started.facts->openBit) != 0) doubtFrom(i);
    // Outside a table a browser ignores a table's parts, and anywhere in it
    // but in the table itself, a part or a row, it first closes what is open.
    if (isOneOf(started.kind(), kTableContents) && ((openBits() & kTableBit) == 0 || !topHoldsRows()))
      doubtFrom(i);
    const bool selfClosing = tag.back() == U'/' && started.kind() == Kind::Other;
    if (!traits.isVoid && !selfClosing && started.key != 0)
      open_.push_back({started.key, started.kind(), traits.box,
                       (!open_.empty() && open_.back().foreign) || started.is(kForeignRoot),
                       static_cast<std::uint16_t>(openBits() | started.facts->openBit), i});
  }

  // Whether the start tag at slot i may go; the element stays open either way.
  bool startTagMayGo(int i, const ReadTag& read) {
    if (!read.bare) return false;
    const Kind k = read.element_.kind();
    if (!isOneOf(k, {Kind::Head, Kind::Body, Kind::Tbody, Kind::Colgroup})) return false;
    const TextView text = split_.texts[at(i)];
    const int j = nextTag(i, i);
    if (j == -2) return false;
    const ReadTag next = j >= 0 ? readTag(split_.tags[at(j)], elements_.nameKeyOf(j)) : ReadTag{};
    if (k == Kind::Body) {
      // Body text that starts with a character shows where the body begins.
      if (!text.empty()) return !isHtmlSpaceChar(text[0]);
      if (j < 0) return true;
      if (!next.element) return false;
      if (next.end) return isOneOf(next.element_.kind(), {Kind::Body, Kind::Html});
      return !next.element_.is(kHeadContent);
    }
    if (!text.empty() || j < 0 || !next.element) return false;
    if (k == Kind::Head) {
      if (next.end) return next.element_.kind() == Kind::Head;
      return !isOneOf(next.element_.kind(), {Kind::Html, Kind::Head});
    }
    // tbody before its first row, colgroup before its first col, and only
    // where no table part of the same kind left its end tag out just before.
    if (next.end || next.element_.kind() != (k == Kind::Tbody ? Kind::Tr : Kind::Col)) return false;
    if (lastKept_ == -1 || !lastKeptText().empty()) return false;
    const ReadTag before = lastKeptRead();
    if (!before.element) return false;
    const Kind b = before.element_.kind();
    if (!before.end) return b == Kind::Table || (k == Kind::Tbody && (b == Kind::Col || b == Kind::Colgroup));
    return b == Kind::Caption || b == Kind::Colgroup || (k == Kind::Tbody && isTablePart(b));
  }

  // Matches the end tag at slot i with its open element and tells whether it
  // may go.
  bool endTag(int i, const ReadTag& read) {
    const std::uint64_t key = read.element_.key;
    std::size_t k = open_.size();
    const std::size_t lowest = open_.size() > kDeepestMatch ? open_.size() - kDeepestMatch : 0;
    while (k > lowest && open_[k - 1].key != key) --k;
    const Kind x = read.element_.kind();
    // html and body end by themselves whether or not a start tag opened them.
    const bool pageLevel = x == Kind::Html || x == Kind::Body;
    const bool closesTop = k == open_.size();
    const bool clean = k > lowest && closesCleanly(x, k);
    // An end tag that closes nothing here, or elements it may not close the
    // way a browser does (a formatting element a browser opens again later).
    if (key == 0 || k == lowest || !(closesTop || clean)) doubtFrom(i);
    // Outside a table a browser ignores the end tag of a cell or row, whose
    // element it never opened, and the elements read here no longer match
    // its own for the rest of the page.
    const bool tableKind =
        isOneOf(x, {Kind::Thead, Kind::Tbody, Kind::Tfoot, Kind::Tr, Kind::Td, Kind::Th, Kind::Caption, Kind::Colgroup});
    if (tableKind && (openBits() & kTableBit) == 0) doubtFrom(OptionalTagsState::kDoubtToTheEnd);
    if (key == 0 || (k == lowest && !pageLevel)) return false;  // closes nothing: the browser ignores it
    if (k > lowest) open_.resize(k - 1);
    if (!split_.texts[at(i)].empty()) return false;
    if (x == Kind::Other)
      return k > lowest && closedByTheEndTagsAfter(i, read.element_, closesTop, clean);
    if (!read.bare || !mayBeLeftOut(x)) return false;
    const int j = nextTag(i, i);
    if (j == -2) return false;
    if (j == -1) return true;
    const TextView nextTagText = split_.tags[at(j)];
    if (isCommentTag(nextTagText)) return false;
    if (pageLevel) return true;
    const ReadTag next = readTag(nextTagText, elements_.nameKeyOf(j));
    if (!next.element) return false;
    if (x == Kind::Head) {
      if (!closesTop) return false;
      if (next.end) return isOneOf(next.element_.kind(), {Kind::Body, Kind::Html}) || namesAre(elementName(nextTagText), U"br");
      return next.element_.kind() != Kind::Head && !namesAre(elementName(nextTagText), U"noscript");
    }
    if (!clean) return false;
    return next.end ? endsParentToo(x, next.element_) : nextStartEnds(x, next.element_);
  }

  // Whether the element with `key` whose end tag is at slot i (already
  // taken off open_) is one a later end tag closes the same way without it:
  // for a span and its kin, the end tags right after it close, in order, the
  // elements that held it, none by its name, until one that closes all above
  // its element, or one of them that stays; for a div and its kin, the same
  // with blocks of that kind, the last of which stays. Inside svg and math
  // other rules match end tags.
  // `closesTop`: nothing was left open inside it; `clean`: only elements
  // that end by themselves were (a p, li, ...), which a block's end closes.
  bool closedByTheEndTagsAfter(int i, const Element& ended, bool closesTop, bool clean) {
    const std::uint64_t key = ended.key;
    const bool phrase = ended.is(kClosedByTheirParentsEnd);
    if (phrase ? !closesTop : !clean || !ended.is(kClosesAllInside)) return false;
    if (!open_.empty() && open_.back().foreign) return false;
    const TextView endTag = split_.tags[at(i)];
    if (endTag.size() != nameLengthOfKey(key) + 1) return false;  // "</span x>" stays as written
    std::size_t below = open_.size();  // the next end tag must close open_[below - 1]
    // The element whose end tag then closes it: the open elements read here
    // are what a browser has open when nothing doubtful came since it started.
    const auto closedBy = [&](std::size_t element) { return open_[element].at > lastDoubt_; };
    bool continued = false;  // a tag of the same kind is in between
    for (int j = nextTag(i, i); j >= 0 && below > 0; j = nextTag(j, i)) {
      const TextView tag = split_.tags[at(j)];
      const std::uint64_t closing = elements_.nameKeyOf(j);
      // One by its name would close it instead, unless it went too.
      if (tag[0] == U'/' && closing == key) return false;
      if (tag[0] != U'/' || closing != open_[below - 1].key) return continued && closedBy(below);
      const Element closed = elementOf(closing);
      if (phrase && closed.is(kClosesWhatIsOpenInside)) {
        // An end tag that may go in turn leaves the closing to what ends
        // its element, which the open elements must then tell right too.
        const bool mayGoItself = mayBeLeftOut(open_[below - 1].kind);
        return closedBy(below - 1) && (!mayGoItself || below < 2 || closedBy(below - 2));
      }
      if (!closed.is(phrase ? kClosedByTheirParentsEnd : kClosesAllInside)) return continued && closedBy(below);
      if (!split_.texts[at(j)].empty()) return closedBy(below - 1);  // that one stays and closes it
      continued = true;
      --below;
    }
    return continued && closedBy(below);
  }

  static bool mayBeLeftOut(Kind x) {
    return x != Kind::Other && x != Kind::Table && x != Kind::Col && x != Kind::Ruby;
  }

  // Whether the end tag of `x`, matched with open_[k - 1], ends no element a
  // browser would not end the same way without it: a cell, row or table part
  // may hold anything but a table still open (the next cell or row ends all
  // of it), the other elements only ones that end with them by themselves.
  bool closesCleanly(Kind x, std::size_t k) const {
    const bool tableKind = isOneOf(x, {Kind::Thead, Kind::Tbody, Kind::Tfoot, Kind::Tr, Kind::Td, Kind::Th, Kind::Caption});
    for (std::size_t above = k; above < open_.size(); ++above) {
      const Kind a = open_[above].kind;
      if (tableKind ? a == Kind::Table
                    : !isOneOf(a, {Kind::P, Kind::Li, Kind::Dt, Kind::Dd, Kind::Option, Kind::Optgroup, Kind::Rt,
                                   Kind::Rp}))
        return false;
    }
    return true;
  }

  // Whether the start tag of `y` right after the end tag of `x` ends x by itself.
  bool nextStartEnds(Kind x, Element y) const {
    const Kind k = y.kind();
    switch (x) {
      case Kind::Li: return k == Kind::Li;
      case Kind::Dt:
      case Kind::Dd: return isOneOf(k, {Kind::Dt, Kind::Dd});
      case Kind::P: return y.facts->traits.startClosesParagraph || (standardsMode_ && k == Kind::Table);
      case Kind::Rt:
      case Kind::Rp: return isOneOf(k, {Kind::Rt, Kind::Rp}) && isOneOf(topKind(), {Kind::Ruby});
      case Kind::Option: return isOneOf(k, {Kind::Option, Kind::Optgroup});
      case Kind::Optgroup: return k == Kind::Optgroup;
      case Kind::Thead:
      case Kind::Tbody: return isOneOf(k, {Kind::Tbody, Kind::Tfoot});
      case Kind::Tr: return k == Kind::Tr;
      case Kind::Td:
      case Kind::Th: return isOneOf(k, {Kind::Td, Kind::Th});
      // A col after a colgroup would join it.
      case Kind::Colgroup: return isTablePart(k) || isOneOf(k, {Kind::Colgroup, Kind::Tr});
      // Anything but a table's own parts would go into the caption.
      case Kind::Caption: return isTablePart(k) || isOneOf(k, {Kind::Colgroup, Kind::Col, Kind::Tr});
      default: return false;
    }
  }

  // Whether the end tag of `z` right after the end tag of `x` (x closed, its
  // parent now on top) ends x's parent and so x with it.
  bool endsParentToo(Kind x, Element z) const {
    const Kind parent = topKind();
    const bool endsParent = !open_.empty() && open_.back().key == z.key;
    switch (x) {
      case Kind::Li:
      case Kind::Dd:
      case Kind::P: return endsParent && z.is(kEndsImpliedElements);
      case Kind::Option:
      case Kind::Optgroup:
      case Kind::Rt:
      case Kind::Rp: return endsParent;
      case Kind::Td:
      case Kind::Th: return (z.kind() == Kind::Tr || isTablePart(z.kind()) || z.kind() == Kind::Table) && openInTable(z.key);
      case Kind::Tr: return (isTablePart(z.kind()) || z.kind() == Kind::Table) && openInTable(z.key);
      case Kind::Tbody:
      case Kind::Tfoot:
      case Kind::Colgroup:
      case Kind::Caption: return z.kind() == Kind::Table && parent == Kind::Table;
      default: return false;
    }
  }

  // From slot i on, a browser may hold other elements open than open_ says.
  void doubtFrom(int i) { lastDoubt_ = std::max(lastDoubt_, i); }

  // The openBit of every open element, or'ed.
  std::uint16_t openBits() const { return open_.empty() ? 0 : open_.back().openBelow; }

  // Whether an element with `key` is open within the innermost table (the
  // table itself included).
  bool openInTable(std::uint64_t key) const {
    for (std::size_t k = open_.size(); k > 0; --k) {
      const Open& e = open_[k - 1];
      if (e.key == key) return true;
      if (e.kind == Kind::Table) return false;
    }
    return false;
  }

  static bool isHtmlSpaceChar(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == U'\f';
  }

  // An end tag is matched against at most this many open elements.
  static constexpr std::size_t kDeepestMatch = 256;

  // lastKept_ for a tag written before the window.
  static constexpr int kKeptBeforeWindow = -3;

  PageSplit& split_;
  const std::vector<std::uint8_t>& keptAsRead_;
  const PageElements& elements_;
  const bool standardsMode_;
  std::vector<Open> open_;
  int lastKept_ = -1;  // the last tag written before the one being read; -1 for none
  int lastDoubt_ = -1;  // the last slot after which a browser may hold other elements open
  SlotText* textBefore_ = &split_.leadingText;  // the text written last

  // In a window on a larger page: its first tag after the context, whether
  // its end is the page's, where to report the pass's state and the first
  // tag that looked past its end.
  int first_ = 0;
  bool reachesPageEnd_ = true;
  int reportAt_ = -1;
  PieceBoundary* boundary_ = nullptr;
  int lookedPastEndFrom_ = INT_MAX;
  // The last tag written before the window, and its text (only whether it is empty matters).
  Text keptBeforeTag_;
  std::uint64_t keptBeforeKey_ = 0;
  SlotText textBeforeWindow_;
};

}  // namespace

void dropOptionalTags(PageSplit& split, const std::vector<std::uint8_t>& keptAsRead, const PageElements& elements,
                      const PagePiece* piece, PieceBoundary* boundary) {
  if (split.endsInScript) return;
  OptionalTagPass(split, keptAsRead, elements, piece, boundary).run();
}

}  // namespace vantiro
