#include "queue/directory_scan.h"

#include "platform/file_service.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>

namespace vantiro {
namespace {

// Directories walked, by device and inode: whatever names lead to a directory,
// it is one entry here, found without resolving its path component by component.
using WalkedDirectories = std::set<std::pair<std::uint64_t, std::uint64_t>>;

void walk(const Text& dir, const std::string& pattern, std::vector<Text>& collected, WalkedDirectories& visited) {
  const std::string native = nativePath(dir);
  const std::optional<FileInfo> info = files().stat(native);
  if (!info || !visited.emplace(info->device, info->inode).second) return;
  std::vector<DirEntry> entries;
  try {
    entries = files().listDirectory(native);
  } catch (const FileError&) {
    return;  // removed meanwhile, or not readable: the rest of the tree goes on
  }
  std::vector<Text> subdirectories;
  for (const DirEntry& e : entries) {
    if (e.hidden) continue;
    if (e.kind == EntryKind::File && matchesPattern(e.name, pattern))
      collected.push_back(dir + textPath(e.name));
    else if (e.kind == EntryKind::Directory)
      subdirectories.push_back(dir + textPath(e.name) + U"/");
  }
  for (const Text& sub : subdirectories) walk(sub, pattern, collected, visited);
}

}  // namespace

std::vector<Text> listTreeFiles(const Text& dir, TextView pattern) {
  std::vector<Text> collected;
  WalkedDirectories visited;
  walk(dir, nativePath(pattern), collected, visited);
  return collected;
}

Text withTrailingSlash(Text dir) {
  if (dir.empty() || dir.back() != U'/') dir += U'/';
  return dir;
}

std::vector<Text> scanNewEntries(const Text& root, TextView pattern, const std::vector<Text>& snapshot) {
  std::vector<Text> collected = listTreeFiles(withTrailingSlash(root), pattern);
  std::unordered_set<Text> present(snapshot.begin(), snapshot.end());
  std::vector<Text> added;
  for (Text& file : collected)
    if (!present.contains(file) && isNormalFile(nativePath(file))) added.push_back(std::move(file));
  return added;
}

}  // namespace vantiro
