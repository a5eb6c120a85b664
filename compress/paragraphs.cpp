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

}  // namespace

void convertParagraphs(PageSplit& split) {
  bool inBlock = false;
  bool inPagePre = false;  // inside a "pre" block the page itself has
  std::size_t anchor = 0;
  for (std::size_t i = 0; static_cast<int>(i) <= split.lastIndex; ++i) {
    Text& tag = split.tags[i];
    Text& text = split.texts[i];
    if (startsWithUpper(tag, U"PRE")) inPagePre = true;
    if (startsWithUpper(tag, U"/PRE")) inPagePre = false;
    if (inBlock) {
      if (equalsUpper(tag, U"BR")) {
        tag.clear();
        takeIntoBlock(text, inPagePre);
        Text& target = split.texts[anchor];
        target += U"\r\n";
        target += text;
        text.clear();
      } else if (equalsUpper(tag, U"/A") || equalsUpper(tag, U"/FONT") ||
                 (tag.size() >= 7 && (startsWithUpper(tag, U"FONT ") || startsWithUpper(tag, U"A ")))) {
        anchor = i;
        takeIntoBlock(text, inPagePre);
      } else {
        inBlock = false;
        split.texts[anchor] += U"</pre>";
      }
    }
    if (!inBlock && equalsUpper(tag, U"P")) {
      const std::size_t p1 = text.find(U"&nbsp;");
      if (p1 != npos && text.find(U"&nbsp;", p1 + 1) != npos) {
        inBlock = true;
        anchor = i;
        tag = U"pre";
        takeIntoBlock(text, inPagePre);
      }
    }
  }
}

}  // namespace vantiro
