#pragma once
// Which element each tag of a split page opens or closes, and what that
// element does to the white space beside it and inside it, by HTML's own
// layout and the page's style sheets. The rewriting pass asks before it
// drops white space.

#include <cstdint>
#include <vector>

#include "compress/page_piece.h"
#include "compress/page_split.h"
#include "compress/style_rules.h"

namespace vantiro {

// Whether doctype tag `tag` (its text without "<" and ">") puts a browser in
// standards mode: "<!DOCTYPE html>" and the XHTML doctypes; the older HTML
// ones may put it in quirks mode, where a table may stand inside a paragraph.
bool isStandardsDoctype(TextView tag);

class PageElements {
 public:
  // What the rewriting pass learned of each tag while shortening it.
  enum TagStyle : std::uint8_t {
    kHoldsStyle = 1,       // the tag has a style attribute
    kStyleNamesSpace = 2,  // ... whose value names a white-space property
    kHoldsHidden = 4,      // the tag has a hidden attribute
    // The pass read the tag's attributes, so that kHoldsHidden tells: the
    // tag need not be looked through for "hidden" again.
    kAttributesRead = 8,
  };

  // Reads the tags of `split`, with `tagStyles[i]` (TagStyle bits) for tag i
  // and `nameKeys[i]` its element's nameKey as tagName reads it (0 for other
  // tags), which the pass that shortened the tags has read already;
  // `split`, `styles` and `tagStyles` must outlive the object.
  // For a split that is a window on a larger page, `piece` tells the whole
  // page's mode, and `boundary` (when given) gets the elements open at the
  // piece's reportAt.
  PageElements(const PageSplit& split, const StyleRules& styles, const std::vector<std::uint8_t>& tagStyles,
               std::vector<std::uint64_t> nameKeys, const PagePiece* piece = nullptr,
               PieceBoundary* boundary = nullptr);

  // How the element of tag i takes part in a line of text.
  enum class Flow : std::uint8_t {
    Inline,  // white space beside it may show
    Block,   // white space beside it never shows
    None,    // no box of its own (a comment, a hidden element, an end tag
             // that closes nothing): look past it to what stands beside it
  };
  // Asked only of tags next to blank texts, so attributes and style rules
  // are read then, once per element. Inline: a tag's flow is asked again
  // for every blank text that looks past it, and is then known.
  Flow flowOf(int i) const {
    const std::uint8_t bits = bits_[index(i)];
    if ((bits & kFlowKnown) == 0) return readFlow(i);
    if (bits & kFlowInline) return Flow::Inline;
    return (bits & kFlowNone) ? Flow::None : Flow::Block;
  }
  // The text after tag i is the contents of an element that shows none
  // (script, style, title).
  bool hidesTextAfter(int i) const { return (bits_[index(i)] & kHidesText) != 0 && !split_.tags[index(i)].empty(); }
  // The text after tag i lies inside an element whose white space a style
  // rule could keep as written: it must not change at all.
  bool keepsTextAfter(int i) const { return bits_[index(i)] & kKeepsText; }
  // The start tag that end tag i closes, -1 when it closes none; i itself
  // for a start tag.
  int startOf(int i) const { return opener_[index(i)]; }
  // End tag i is a "</p>" with no paragraph open: a browser makes an empty
  // paragraph of it, so it must stay.
  bool closesNothingButMakesAParagraph(int i) const;
  // The nameKey of the element tag i opens or closes (0 for other tags and
  // names too long to key), as given when the object was made.
  std::uint64_t nameKeyOf(int i) const { return keys_[index(i)]; }
  // The page starts with a doctype that puts a browser in standards mode
  // (where a table start tag ends an open paragraph).
  bool standardsMode() const { return standardsMode_; }

 private:
  // kHidesText: a start tag of an element that shows no contents, as its
  // traits say, which matching the tags reads.
  enum : std::uint8_t { kKeepsText = 1, kFlowKnown = 2, kFlowInline = 4, kFlowNone = 8, kHidesText = 16 };
  static std::size_t index(int i) { return static_cast<std::size_t>(i); }
  // Matches every end tag with its start tag in one pass and marks the texts
  // inside elements that may keep their white space.
  void readNesting(int reportAt, PieceBoundary* boundary);
  Flow flowOfStart(int start) const;
  // flowOf for a tag whose flow is not known yet: reads it and keeps it.
  Flow readFlow(int i) const;

  const PageSplit& split_;
  const StyleRules& styles_;
  const std::vector<std::uint8_t>& tagStyles_;
  // For an end tag: the start tag it closes, -1 when it closes none; for
  // every other element tag: itself.
  std::vector<int> opener_;
  std::vector<std::uint64_t> keys_;
  mutable std::vector<std::uint8_t> bits_;
  bool standardsMode_ = false;
};

}  // namespace vantiro
