#include "compress/paragraphs.h"

#include "compress/text_routines.h"

namespace vantiro {
namespace {

// Outside a preformatted block a browser shows any run of white space as one
// space; inside it shows tabs and line breaks as they are. The rewriting pass
// already made CR LF and runs of spaces one space, but a lone LF (pages saved
// with Unix line ends), a lone CR or a tab would become visible line breaks
// and tabs here, so each run holding one becomes a single space.
void flattenWhiteSpace(Text& text) {
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

// A text that becomes part of a block. Text that already stood inside one of
// the page's own preformatted blocks was shown as it is and stays so.
void takeIntoBlock(Text& text, bool wasPreformatted) {
  if (!wasPreformatted) flattenWhiteSpace(text);
  th(text, U"&nbsp;", U" ");
}

// Whether a slot lies inside one of the page's own "pre" blocks. Worked out
// only up to where a block needs it, so that a page without conversions is
// not read tag by tag a second time; a slot is read before this pass
// changes it.
class PagePreTracker {
 public:
  explicit PagePreTracker(const PageSplit& split) : split_(split) {}
  bool at(std::size_t i) {
    for (; next_ <= i; ++next_) {
      const Text& tag = split_.tags[next_];
      if (startsWithUpper(tag, U"PRE")) inside_ = true;
      if (startsWithUpper(tag, U"/PRE")) inside_ = false;
    }
    return inside_;
  }

 private:
  const PageSplit& split_;
  std::size_t next_ = 0;
  bool inside_ = false;
};

}  // namespace

void convertParagraphs(PageSplit& split) {
  bool inBlock = false;
  PagePreTracker pagePre(split);
  std::size_t anchor = 0;
  for (std::size_t i = 0; static_cast<int>(i) <= split.lastIndex; ++i) {
    Text& tag = split.tags[i];
    Text& text = split.texts[i];
    if (inBlock) {
      if (equalsUpper(tag, U"BR")) {
        takeIntoBlock(text, pagePre.at(i));
        tag.clear();
        Text& target = split.texts[anchor];
        target += U"\r\n";
        target += text;
        text.clear();
      } else if (equalsUpper(tag, U"/A") || equalsUpper(tag, U"/FONT") ||
                 (tag.size() >= 7 && (startsWithUpper(tag, U"FONT ") || startsWithUpper(tag, U"A ")))) {
        anchor = i;
        takeIntoBlock(text, pagePre.at(i));
      } else {
        inBlock = false;
        split.texts[anchor] += U"</pre>";
      }
    }
    if (!inBlock && equalsUpper(tag, U"P")) {
      const std::size_t p1 = text.find(U"&nbsp;");
      if (p1 != npos && text.find(U"&nbsp;", p1 + 1) != npos) {
        takeIntoBlock(text, pagePre.at(i));
        inBlock = true;
        anchor = i;
        tag = U"pre";
      }
    }
  }
}

}  // namespace vantiro
