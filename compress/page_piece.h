#pragma once
// What the passes need to know of a page they see a window of: a page too
// large to hold whole as characters is compressed one window at a time.

#include <vector>

namespace vantiro {

// How a split made of a window on a larger page stands in that page. Its
// first `contextTags` tags are none of the window's own: they repeat the
// start tags of the elements open where the window begins, so that the
// window's tags close, and stand in, what they do in the whole page.
struct PagePiece {
  int contextTags = 0;
  bool standardsMode = false;   // the whole page's, which its first tag decides
  bool inPreformatted = false;  // inside a pre or listing block where the window begins
  // The tag of the split where the next window will begin, whose state the
  // passes report in a PieceBoundary; -1 for none.
  int reportAt = -1;
};

// What the passes found at a PagePiece's `reportAt`.
struct PieceBoundary {
  std::vector<int> openStarts;  // the start tags of the elements open there, outermost first
  bool inPreformatted = false;
  bool insideValue = false;  // inside an attribute value that the scan cut at a ">"
};

}  // namespace vantiro
