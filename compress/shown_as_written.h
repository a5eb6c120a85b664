#pragma once
// Elements whose contents a browser shows as they are written, so the passes
// must leave their white space alone.

#include <optional>

#include "platform/text.h"

namespace vantiro {

// For the start tag of a textarea, xmp or plaintext element (its name in any
// letter case, up to white space, "/" or the tag's end): the end tag, upper
// case and without ">", that closes its contents ("</TEXTAREA", "</XMP"), or
// an empty view for plaintext, whose contents run to the end of the page.
// Their contents hold no tags and are kept exactly. Nothing for any other tag.
std::optional<TextView> rawTextEnd(TextView tag);

// The tags that open and close a preformatted block: any tag beginning with
// "pre" and its end tag "/pre..." (as the passes have always read them), and
// listing, which a browser shows as pre.
bool opensPreformatted(TextView tag);
bool closesPreformatted(TextView tag);

}  // namespace vantiro
