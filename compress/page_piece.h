#pragma once
// What the passes need to know of a page they see a window of: a page too
// large to hold whole as characters is compressed one window at a time.

#include <climits>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/text.h"

namespace vantiro {

// Where the further level's optional-tag pass stands at a tag, with slots
// counted from that tag: -3 is the third tag before it.
struct OptionalTagsState {
  struct OpenElement {
    std::uint64_t key = 0;
    int at = 0;  // its start tag
  };
  std::vector<OpenElement> open;  // outermost first
  // The last tag after which a browser may hold other elements open than
  // the pass does; kDoubtToTheEnd for the rest of the page.
  int lastDoubt = INT_MIN / 2;
  // The last tag written, when nothing kept as read came after it: a copy,
  // its name's key and whether its text was empty.
  std::optional<Text> lastKeptTag;
  std::uint64_t lastKeptKey = 0;
  bool lastKeptTextEmpty = true;

  static constexpr int kDoubtToTheEnd = INT_MAX / 2;
};

// How the passes that read a page in order stand where a window begins.
struct PassesState {
  std::uint64_t commentTextElement = 0;  // the nameKey of an open title, iframe ... that reads comments as text
  OptionalTagsState optionalTags;
  bool inParagraphBlock = false;  // inside a paragraph turned into a block, begun before the window
  bool inPagePre = false;         // inside one of the page's own pre blocks, for that conversion
  // What the further level learns from the page's start: whether a meta
  // tag before the body declares the encoding, and whether the page is read
  // as UTF-8; nothing while not yet known.
  std::optional<bool> charsetInMeta;
  std::optional<bool> readAsUtf8;
};

// How a split made of a window on a larger page stands in that page. Its
// first `contextTags` tags are none of the window's own: they repeat the
// start tags of the elements open where the window begins, so that the
// window's tags close, and stand in, what they do in the whole page.
struct PagePiece {
  int contextTags = 0;
  bool standardsMode = false;   // the whole page's, which its first tag decides
  bool inPreformatted = false;  // inside a pre or listing block where the window begins
  // The tag of the split where the next window will begin, whose state the
  // passes report in a PieceBoundary; -1 for none.
  int reportAt = -1;
  // The first tag after the window's own, which it writes; the split's
  // last tag is the page's when the window reaches the page's end.
  int ownEnd = INT_MAX;
  bool reachesPageEnd = true;
  PassesState passes;  // at the tag after the context
};

// What the passes found at a PagePiece's `reportAt`.
struct PieceBoundary {
  std::vector<int> openStarts;  // the start tags of the elements open there, outermost first
  bool inPreformatted = false;
  bool insideValue = false;  // inside an attribute value that the scan cut at a ">"
  PassesState passes;
  // A pass needed tags past the window's end to decide what its own tags
  // become: the window must reach further past them.
  bool needsLaterTags = false;
  // The first tag from which a pass looked past the window's end.
  int lookedPastEndFrom = INT_MAX;
};

}  // namespace vantiro
