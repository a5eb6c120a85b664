#include "mainwin/directory_scan.h"

#include "platform/file_service.h"

#include <filesystem>
#include <set>
#include <string>
#include <unordered_set>

namespace vantiro {
namespace {

// The identity of a directory for the link guard: its resolved path, or the
// path as given when it cannot be resolved.
std::string directoryIdentity(const std::string& native) {
  std::error_code ec;
  auto resolved = std::filesystem::canonical(native, ec);
  return ec ? native : resolved.string();
}

void walk(const Text& dir, const std::string& pattern, std::vector<Text>& collected, std::set<std::string>& visited) {
  const std::string native = nativePath(dir);
  if (!visited.insert(directoryIdentity(native)).second) return;
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

void dirwalk(const Text& dir, TextView pattern, std::vector<Text>& collected) {
  std::set<std::string> visited;
  walk(dir, nativePath(pattern), collected, visited);
}

std::vector<Text> scanNewEntries(Text& root, TextView pattern, const std::vector<Text>& snapshot) {
  if (root.empty() || root.back() != U'/') root += U'/';
  std::vector<Text> collected;
  dirwalk(root, pattern, collected);
  std::unordered_set<Text> present(snapshot.begin(), snapshot.end());
  std::vector<Text> added;
  for (Text& file : collected)
    if (!present.contains(file) && isNormalFile(nativePath(file))) added.push_back(std::move(file));
  return added;
}

void dirmulu(Text& root, TextView pattern, std::vector<Text>& taskList) {
  std::vector<Text> added = scanNewEntries(root, pattern, taskList);
  taskList.insert(taskList.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
}

}  // namespace vantiro
