#pragma once

#include "platform/text.h"

namespace vantiro {

// Creates, from left to right, every directory named by a prefix of `path`
// that ends at a "/", when it does not exist yet. The part after the last "/"
// is not touched. Failures (a file standing where a directory must be, a
// directory that cannot be written) throw FileError to the caller.
void CreatePathDirectories(TextView path);

}  // namespace vantiro
