#pragma once
// Elements whose contents a browser shows as they are written, so the passes
// must leave their white space alone.
//
// The tests are asked of every tag of a page, and nearly every tag starts
// with another letter than the names they look for: that is told inline, and
// only the rest is compared out of line.

#include <optional>

#include "platform/text.h"
#include "compress/text_routines.h"

namespace vantiro {

// Whether `tag` names the element `upperName`: the name in any letter case,
// then the tag's end, white space or "/".
bool namesElement(TextView tag, TextView upperName);

// For the start tag of a textarea, xmp or plaintext element (its name in any
// letter case, up to white space, "/" or the tag's end): the end tag, upper
// case and without ">", that closes its contents ("</TEXTAREA", "</XMP"), or
// an empty view for plaintext, whose contents run to the end of the page.
// Their contents hold no tags and are kept exactly. Nothing for any other tag.
inline std::optional<TextView> rawTextEnd(TextView tag) {
  static constexpr TextView kTextarea = U"TEXTAREA", kTextareaEnd = U"</TEXTAREA";
  static constexpr TextView kXmp = U"XMP", kXmpEnd = U"</XMP";
  static constexpr TextView kPlaintext = U"PLAINTEXT";
  if (tag.empty()) return std::nullopt;
  switch (tag[0] | 0x20) {
    case U't':
      if (namesElement(tag, kTextarea)) return kTextareaEnd;
      break;
    case U'x':
      if (namesElement(tag, kXmp)) return kXmpEnd;
      break;
    case U'p':
      if (namesElement(tag, kPlaintext)) return TextView();
      break;
    default:
      break;
  }
  return std::nullopt;
}

// The tags that open and close a preformatted block: any tag beginning with
// "pre" and its end tag "/pre..." (as the passes have always read them), and
// listing, which a browser shows as pre.
inline bool opensPreformatted(TextView tag) {
  static constexpr TextView kPre = U"PRE", kListing = U"LISTING";
  if (tag.empty() || ((tag[0] | 0x20) != U'p' && (tag[0] | 0x20) != U'l')) return false;
  return startsWithUpper(tag, kPre) || namesElement(tag, kListing);
}
inline bool closesPreformatted(TextView tag) {
  static constexpr TextView kPreEnd = U"/PRE", kListingEnd = U"/LISTING";
  if (tag.size() < 2 || tag[0] != U'/' || ((tag[1] | 0x20) != U'p' && (tag[1] | 0x20) != U'l')) return false;
  return startsWithUpper(tag, kPreEnd) || namesElement(tag, kListingEnd);
}

}  // namespace vantiro
