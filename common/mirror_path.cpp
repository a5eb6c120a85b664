#include "common/mirror_path.h"

#include "platform/absolute_path.h"
#include "platform/file_service.h"

namespace vantiro {

bool mirrorOn(const CompressionOptions& options) {
  return options.mirror && !options.sourceDirectory.empty() && !options.destinationDirectory.empty();
}

std::optional<Text> mirroredPath(TextView path, TextView source, TextView destination) {
  const Text page = absolutePath(path);
  Text root = absolutePath(source);
  if (root == U"/") root.clear();  // every absolute path lies under "/"
  if (page.size() <= root.size() + 1 || page[root.size()] != U'/') return std::nullopt;
  if (upperAscii(TextView(page).substr(0, root.size())) != upperAscii(root)) return std::nullopt;
  const TextView rest = TextView(page).substr(root.size());  // begins with "/"
  if ((Text(rest) + U"/").find(U"/../") != npos) return std::nullopt;
  Text mapped = absolutePath(destination);
  if (mapped == U"/") mapped.clear();
  return mapped.append(rest);
}

bool mirrorStaysInDestination(TextView mirror, TextView destination) {
  return liesWithin(resolvedExistingPart(nativePath(absolutePath(mirror))),
                    resolvedExistingPart(nativePath(absolutePath(destination))));
}

}  // namespace vantiro
