#include "compress/shown_as_written.h"

#include "compress/text_routines.h"

namespace vantiro {
namespace {

// `tag` names the element `upperName`: the name in any letter case, then the
// tag's end, white space or "/".
bool namesElement(TextView tag, TextView upperName) {
  if (!startsWithUpper(tag, upperName)) return false;
  return tag.size() == upperName.size() || isHtmlSpace(tag[upperName.size()]) || tag[upperName.size()] == U'/';
}

}  // namespace

std::optional<TextView> rawTextEnd(TextView tag) {
  if (tag.empty()) return std::nullopt;
  switch (foldedUpper(tag[0])) {
    case U'T':
      if (namesElement(tag, U"TEXTAREA")) return TextView(U"</TEXTAREA");
      break;
    case U'X':
      if (namesElement(tag, U"XMP")) return TextView(U"</XMP");
      break;
    case U'P':
      if (namesElement(tag, U"PLAINTEXT")) return TextView();
      break;
    default:
      break;
  }
  return std::nullopt;
}

bool opensPreformatted(TextView tag) {
  // Asked of every tag: most start with another letter.
  if (tag.empty() || (foldedUpper(tag[0]) != U'P' && foldedUpper(tag[0]) != U'L')) return false;
  return startsWithUpper(tag, U"PRE") || namesElement(tag, U"LISTING");
}

bool closesPreformatted(TextView tag) {
  if (tag.size() < 2 || tag[0] != U'/' || (foldedUpper(tag[1]) != U'P' && foldedUpper(tag[1]) != U'L')) return false;
  return startsWithUpper(tag, U"/PRE") || namesElement(tag, U"/LISTING");
}

}  // namespace vantiro
