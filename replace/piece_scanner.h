#pragma once
// The page cut into pieces for search and replace: each piece is a tag and the
// text that follows it, plus the text before the first tag and after the last.

#include "platform/text.h"

#include <optional>
#include <vector>

namespace vantiro {

struct PieceList {
  static constexpr int kBlock = 500;

  // tags[i]: the text between "<" and its ">" (without the brackets), trimmed
  // of spaces. texts[i]: everything after that ">" up to the next piece's "<".
  // Rows 0..capacity exist; rows above lastIndex are empty.
  std::vector<Text> tags = std::vector<Text>(kBlock + 1);
  std::vector<Text> texts = std::vector<Text>(kBlock + 1);
  int lastIndex = -1;
  int capacity = kBlock;

  // The page text before the first tag and after the last piece's tag (when
  // no further piece follows, e.g. a script without its closing tag). Both are
  // written back unchanged, so replacing never loses them.
  Text head;
  Text tail;
  // The last tag ran to the end of the page without a ">": it is written back
  // without one, as the page had it.
  bool lastTagOpen = false;

  int count() const { return lastIndex + 1; }
};

enum class ScanVariant {
  General,   // `replaceInPage`: a "<" with no later ">" fails the page
  Specific,  // `replaceAttributeInPage`: such a tag runs to the end; "<%" blocks run to "%>"
};

// One piece as PieceReader gives it.
struct Piece {
  Text tag;        // as in PieceList::tags
  TextView text;   // the text after it, or the page's tail
  bool open = false;        // the tag runs to the end of the page without ">"; nothing follows
  bool textIsTail = false;  // no piece follows: `text` is the page's tail (PieceList::tail)
};

// The pieces of a page one after another, as cutPieces cuts them, for a
// caller that needs one at a time: a large page is not held twice.
class PieceReader {
 public:
  PieceReader(TextView page, ScanVariant variant);
  // The page text before the first tag.
  TextView head() const { return head_; }
  // The next piece, or nothing after the last. Throws PageError where
  // cutPieces does.
  std::optional<Piece> next();

 private:
  TextView page_;
  ScanVariant variant_;
  TextView head_;
  std::size_t tagStart_;  // npos once the last piece is given
};

// Cuts `page` into pieces. A tag starts where the page compressor sees one (a
// "<" before a letter, "/", "!", "?" or "%"; any other "<" is text) and ends
// at the first ">" that has no tag start between it and the previous
// candidate; a tag beginning with "SCRIPT" (any case) owns
// everything up to the next "</script" (any case) as its text. Linear in the
// page's length. Throws PageError when the General variant meets a tag without
// ">" or the Specific variant a "<%" block without "%>".
PieceList cutPieces(TextView page, ScanVariant variant);

// The page as the pieces give it: head, then "<" + tag + ">" + text for each
// piece in order, then the tail.
Text joinPieces(const PieceList& pieces);

// A tag whose first six characters are "SCRIPT", in any letter case.
bool isScriptTag(TextView tag);

}  // namespace vantiro
