#include "compress/shown_as_written.h"

namespace vantiro {

bool namesElement(TextView tag, TextView upperName) {
  if (!startsWithUpper(tag, upperName)) return false;
  return tag.size() == upperName.size() || isHtmlSpace(tag[upperName.size()]) || tag[upperName.size()] == U'/';
}

}  // namespace vantiro
