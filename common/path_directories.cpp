#include "common/path_directories.h"

#include "platform/file_service.h"

namespace vantiro {

void CreatePathDirectories(TextView path) {
  // Nearly always the directory is there already: one look instead of one per level.
  const std::size_t last = path.rfind(U'/');
  if (last == npos || isDirectory(nativePath(path.substr(0, last + 1)))) return;
  for (std::size_t slash = path.find(U'/'); slash != npos; slash = path.find(U'/', slash + 1)) {
    std::string prefix = nativePath(path.substr(0, slash + 1));
    if (!isDirectory(prefix)) files().createDirectory(prefix);
  }
}

}  // namespace vantiro
