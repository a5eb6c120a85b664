#include "queue/directory_scan.h"

#include "platform/absolute_path.h"
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

// Where a walk may go: the tree the user chose, its links resolved.
struct Walk {
  std::string pattern;
  bool takesHidden = false;  // hidden entries but the kinds no site is served with
  std::string resolvedRoot;
  WalkedDirectories visited;
  std::vector<Text> collected;
};

// Whether a link found in the tree leads to a place inside it. Entries that
// are no links lie where their directory lies, inside.
bool staysInTree(const Walk& tree, const std::string& native, const DirEntry& entry) {
  return !entry.link || liesWithin(resolvedPath(native), tree.resolvedRoot);
}

// A hidden entry that not even a walk of a whole site takes.
bool neverInSite(const DirEntry& entry) {
  static constexpr std::string_view kVersionControl[] = {".git", ".svn", ".hg", ".bzr"};
  for (std::string_view name : kVersionControl)
    if (entry.name == name) return true;
  return entry.kind == EntryKind::File && isProgramTemporary(entry.name);
}

void walk(const Text& dir, Walk& tree) {
  const std::string native = nativePath(dir);
  const std::optional<FileInfo> info = files().stat(native);
  if (!info || !tree.visited.emplace(info->device, info->inode).second) return;
  std::vector<DirEntry> entries;
  try {
    entries = files().listDirectory(native);
  } catch (const FileError&) {
    return;  // removed meanwhile, or not readable: the rest of the tree goes on
  }
  std::vector<Text> subdirectories;
  for (const DirEntry& e : entries) {
    if ((e.hidden && (!tree.takesHidden || neverInSite(e))) || !staysInTree(tree, native + e.name, e)) continue;
    if (e.kind == EntryKind::File && matchesPattern(e.name, tree.pattern))
      tree.collected.push_back(dir + textPath(e.name));
    else if (e.kind == EntryKind::Directory)
      subdirectories.push_back(dir + textPath(e.name) + U"/");
  }
  for (const Text& sub : subdirectories) walk(sub, tree);
}

}  // namespace

std::vector<Text> listTreeFiles(const Text& dir, TextView pattern) {
  Walk tree{nativePath(pattern), false, resolvedExistingPart(nativePath(dir)), {}, {}};
  walk(dir, tree);
  return std::move(tree.collected);
}

std::vector<Text> listSiteFiles(const Text& dir) {
  Walk tree{nativePath(kAllFilesPattern), true, resolvedExistingPart(nativePath(dir)), {}, {}};
  walk(dir, tree);
  return std::move(tree.collected);
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
    if (!present.contains(file)) added.push_back(std::move(file));
  return added;
}

std::vector<Text> queueArguments(const std::vector<std::string>& arguments, TextView pattern) {
  std::vector<Text> tasks;
  std::unordered_set<Text> queued;
  for (const std::string& argument : arguments) {
    Text path = absolutePath(textPath(argument));
    if (isDirectory(argument)) {
      for (Text& file : scanNewEntries(path, pattern, tasks))
        if (queued.insert(file).second) tasks.push_back(std::move(file));
    } else if (queued.insert(path).second) {
      tasks.push_back(std::move(path));
    }
  }
  return tasks;
}

}  // namespace vantiro
