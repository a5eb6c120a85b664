#include "common/path_directories.h"

#include "platform/file_service.h"

namespace vantiro {

void CreatePathDirectories(TextView path) {
  for (std::size_t slash = path.find(U'/'); slash != npos; slash = path.find(U'/', slash + 1)) {
    std::string prefix = nativePath(path.substr(0, slash + 1));
    if (!isDirectory(prefix)) files().createDirectory(prefix);
  }
}

}  // namespace vantiro
