#include "compress/paragraphs.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "compress/shown_as_written.h"
#include "compress/text_routines.h"

namespace vantiro {
namespace {

// Outside a preformatted block a browser shows any run of white space as one
// space; inside it shows tabs and line breaks as they are. The rewriting pass
// already made the page's line breaks and runs of spaces one space, but a lone
// CR or LF or a tab would become a visible line break or tab here, so each run
// holding one becomes a single space.
void flattenWhiteSpace(SlotText& text) {
  std::size_t w = 0;
  for (std::size_t r = 0; r < text.size();) {
    if (!isHtmlSpace(text[r])) {
      text[w++] = text[r++];
      continue;
    }
    std::size_t e = r;
    bool onlySpaces = true;
    for (; e < text.size() && isHtmlSpace(text[e]); ++e) onlySpaces = onlySpaces && text[e] == U' ';
    if (onlySpaces) {
      for (; r < e; ++r) text[w++] = U' ';
    } else {
      text[w++] = U' ';
      r = e;
    }
  }
  text.resize(w);
}

// Whether a slot lies inside one of the page's own "pre" blocks. Worked out
// only up to where a block text with tabs or lone line ends needs it, so
// that most pages are not read tag by tag a second time. Paragraphs this pass
// turned into "pre" are not the page's own and are passed over.
class PagePreTracker {
 public:
  // From slot `first` on, inside a block there when `inside`.
  PagePreTracker(const PageSplit& split, std::size_t first, bool inside)
      : split_(split), next_(first), inside_(inside) {}

  bool at(std::size_t i) {
    for (; next_ <= i; ++next_) {
      if (passed_ < converted_.size() && converted_[passed_] == next_) {
        ++passed_;
        continue;
      }
      const TextView tag = split_.tags[next_];
      if (opensPreformatted(tag)) inside_ = true;
      if (closesPreformatted(tag)) inside_ = false;
    }
    return inside_;
  }

  // Whether the slots before slot i leave a block open; read no earlier
  // than at slot i.
  bool before(std::size_t i) { return i == next_ ? inside_ : at(i - 1); }

  // Slot i (a paragraph) now reads "pre"; slots are converted in page order.
  void converted(std::size_t i) {
    if (i >= next_) converted_.push_back(i);
  }

 private:
  const PageSplit& split_;
  std::vector<std::size_t> converted_;
  std::size_t passed_ = 0;
  std::size_t next_ = 0;
  bool inside_ = false;
};

// A text that becomes part of a block. Text that already stood inside one of
// the page's own preformatted blocks was shown as it is and stays so.
void takeIntoBlock(SlotText& text, PagePreTracker& pagePre, std::size_t i) {
  const bool hasLooseBreaks =
      std::any_of(text.begin(), text.end(), [](char32_t c) { return c != U' ' && isHtmlSpace(c); });
  if (hasLooseBreaks && !pagePre.at(i)) flattenWhiteSpace(text);
  replaceAll(text, U"&nbsp;", U" ");
}

}  // namespace

void convertParagraphs(PageSplit& split, const PagePiece* piece, PieceBoundary* boundary) {
  const std::size_t first = piece != nullptr ? static_cast<std::size_t>(piece->contextTags) : 0;
  const int reportAt = boundary != nullptr ? piece->reportAt : -1;
  bool inBlock = piece != nullptr && piece->passes.inParagraphBlock;
  PagePreTracker pagePre(split, first, piece != nullptr && piece->passes.inPagePre);
  // The slot whose text the block's lines join; a block begun before the
  // window joins them to one written there, which this window does not write.
  SlotText beforeWindow;
  std::optional<std::size_t> anchor;
  const auto anchorText = [&]() -> SlotText& { return anchor ? split.texts[*anchor] : beforeWindow; };
  for (std::size_t i = first; static_cast<int>(i) <= split.lastIndex; ++i) {
    if (static_cast<int>(i) == reportAt) {
      boundary->passes.inParagraphBlock = inBlock;
      boundary->passes.inPagePre = pagePre.before(i);
    }
    SlotText& tag = split.tags[i];
    SlotText& text = split.texts[i];
    if (inBlock) {
      if (equalsUpper(tag, U"BR")) {
        takeIntoBlock(text, pagePre, i);
        tag.clear();
        SlotText& target = anchorText();
        target += lineBreakText(split.lineBreak);
        target += text;
        text.clear();
      } else if (equalsUpper(tag, U"/A") || equalsUpper(tag, U"/FONT") ||
                 (tag.size() >= 7 && (startsWithUpper(tag, U"FONT ") || startsWithUpper(tag, U"A ")))) {
        anchor = i;
        takeIntoBlock(text, pagePre, i);
      } else if (equalsUpper(tag, U"/P")) {
        // The paragraph's own end tag now ends the block: a "</p>" left
        // after it would stand for an empty paragraph of its own.
        inBlock = false;
        tag = U"/pre";
      } else {
        inBlock = false;
        anchorText() += U"</pre>";
      }
    }
    if (!inBlock && equalsUpper(tag, U"P")) {
      const std::size_t p1 = findText(text, U"&nbsp;");
      if (p1 != npos && findText(text, U"&nbsp;", p1 + 1) != npos) {
        takeIntoBlock(text, pagePre, i);
        inBlock = true;
        anchor = i;
        tag = U"pre";
        pagePre.converted(i);
      }
    }
  }
  // Lines after the window would join a text it writes.
  const bool blockGoesOn = boundary != nullptr && !piece->reachesPageEnd && inBlock;
  if (blockGoesOn && (!anchor || static_cast<int>(*anchor) < piece->ownEnd)) boundary->needsLaterTags = true;
}

}  // namespace vantiro
