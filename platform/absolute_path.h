#pragma once
// Paths as the program keeps them once queued: absolute, so that a page is
// named the same wherever the program later runs from.

#include "platform/text.h"

namespace vantiro {

// `path` made absolute against the current directory, lexically: empty and
// "." components are dropped and so is a trailing "/", but ".." stays and
// links are not resolved, so the result names the very file `path` named.
// An empty path stays empty.
Text absolutePath(TextView path);

}  // namespace vantiro
