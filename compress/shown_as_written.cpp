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

// Named, so that their lengths are known when compiling: a literal that
// becomes a TextView where it is used is measured each time, and these
// tests are made for every tag.
constexpr TextView kTextarea = U"TEXTAREA", kTextareaEnd = U"</TEXTAREA";
constexpr TextView kXmp = U"XMP", kXmpEnd = U"</XMP";
constexpr TextView kPlaintext = U"PLAINTEXT";
constexpr TextView kPre = U"PRE", kListing = U"LISTING";
constexpr TextView kPreEnd = U"/PRE", kListingEnd = U"/LISTING";

}  // namespace

std::optional<TextView> rawTextEnd(TextView tag) {
  if (tag.empty()) return std::nullopt;
  switch (foldedUpper(tag[0])) {
    case U'T':
      if (namesElement(tag, kTextarea)) return kTextareaEnd;
      break;
    case U'X':
      if (namesElement(tag, kXmp)) return kXmpEnd;
      break;
    case U'P':
      if (namesElement(tag, kPlaintext)) return TextView();
      break;
    default:
      break;
  }
  return std::nullopt;
}

bool opensPreformatted(TextView tag) {
  // Asked of every tag: most start with another letter.
  if (tag.empty() || (foldedUpper(tag[0]) != U'P' && foldedUpper(tag[0]) != U'L')) return false;
  return startsWithUpper(tag, kPre) || namesElement(tag, kListing);
}

bool closesPreformatted(TextView tag) {
  if (tag.size() < 2 || tag[0] != U'/' || (foldedUpper(tag[1]) != U'P' && foldedUpper(tag[1]) != U'L')) return false;
  return startsWithUpper(tag, kPreEnd) || namesElement(tag, kListingEnd);
}

}  // namespace vantiro
