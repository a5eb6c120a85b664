#include "compress/mirror_copy.h"

#include "common/mirror_path.h"
#include "common/path_directories.h"
#include "platform/absolute_path.h"
#include "platform/file_service.h"
#include "queue/directory_scan.h"

#include <exception>
#include <optional>
#include <string>
#include <unordered_set>

namespace vantiro {
namespace {

// Whether `to` holds a copy of the file `from` describes already.
bool copiedBefore(const FileInfo& from, const std::optional<FileInfo>& to) {
  return to && to->kind == EntryKind::File && to->size == from.size && to->modified == from.modified &&
         to->modifiedNanoseconds == from.modifiedNanoseconds;
}

void copyFile(const std::string& from, const FileInfo& info, const Text& to) {
  CreatePathDirectories(to);
  StagedTraits traits = stagedLike(from);
  traits.modified = FileTime{info.modified, info.modifiedNanoseconds};
  files().stageCopy(from, nativePath(to), traits)->place();
}

}  // namespace

MirrorCopy copyOtherFilesIntoMirror(const std::vector<Text>& roots, const std::vector<RunRow>& rows,
                                    const CompressionOptions& options, ProgressIndicator& progress) {
  MirrorCopy done;
  if (!mirrorOn(options)) return done;
  std::unordered_set<Text> compressed;
  for (const RunRow& row : rows)
    if (row.result == kResultSucceeded) compressed.insert(row.source);
  const std::string destination = resolvedExistingPart(nativePath(absolutePath(options.destinationDirectory)));
  std::vector<Text> found;
  for (const Text& root : roots)
    for (Text& file : listSiteFiles(withTrailingSlash(absolutePath(root)))) found.push_back(std::move(file));
  progress.setRange(0, static_cast<int>(found.size()));
  int goneThrough = 0;
  for (const Text& file : found) {
    progress.setValue(goneThrough++);
    const std::string native = nativePath(file);
    const std::optional<Text> mirror = mirroredPath(file, options.sourceDirectory, options.destinationDirectory);
    if (!mirror || compressed.contains(file) || liesWithin(resolvedPath(native), destination)) continue;
    try {
      if (!mirrorStaysInDestination(*mirror, options.destinationDirectory))
        throw FileError(toUtf8(kLinkOutOfDestinationReason));
      const std::optional<FileInfo> info = files().stat(native);
      if (!info || info->kind != EntryKind::File) continue;
      if (copiedBefore(*info, files().stat(nativePath(*mirror)))) {
        ++done.unchanged;
        continue;
      }
      copyFile(native, *info, *mirror);
      ++done.copied;
    } catch (const std::exception& e) {
      done.failures.push_back(file + U'|' + fromUtf8(e.what()));
    }
  }
  progress.setValue(goneThrough);
  return done;
}

}  // namespace vantiro
