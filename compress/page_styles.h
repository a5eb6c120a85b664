#pragma once
// The style rules that apply to one page: its style elements and the style
// sheets it links that are files on this machine.

#include <string>

#include "compress/page_split.h"
#include "compress/style_rules.h"

namespace vantiro {

// Reads the rules of every <style> element of `split` and of every style
// sheet a <link rel=stylesheet> names (the split's styleSources, as the scan
// found them), with the sheets they @import, where the address is a file:
// relative to the page at `pageNativePath` (or to the page's <base> when
// that is relative), an absolute path, or a file: address. A sheet elsewhere (http:, https:, another host), a missing one or
// one that cannot be read counts for nothing, as for a page without it: the
// page then gets HTML's own rules only. With an empty `pageNativePath` only
// absolute and file: addresses are read.
//
// Sheets are read once and kept for later pages (of this run and the next),
// as long as none of their files changed (size, time, identity); safe to
// call from several threads.
StyleRules pageStyleRules(const PageSplit& split, const std::string& pageNativePath);

}  // namespace vantiro
