#include "lists/task_list_files.h"

#include "platform/code_page.h"
#include "platform/system.h"

namespace vantiro {
namespace {

// A list's lines. In the lists this program writes, paths are the file
// system's bytes and the first two lines (its mark and its name) are in the
// code page; `headerLines` says how many lines are not paths. A foreign list
// comes from a program that wrote everything in the code page.
std::vector<Text> readLines(const std::string& path, std::size_t headerLines) {
  const std::string bytes = files().readFile(path);
  std::vector<Text> lines;
  for (std::string_view line : splitCrLfLines(std::string_view(bytes)))
    lines.push_back(lines.size() < headerLines ? decodeAnsi(line) : textPath(line));
  return lines;
}

constexpr std::size_t kSavedListHeader = 2;
constexpr std::size_t kAllLines = static_cast<std::size_t>(-1);

void appendLine(std::string& bytes, std::string line) {
  bytes += line;
  bytes += "\r\n";
}

std::string pathLinesBytes(std::string bytes, const std::vector<Text>& paths) {
  for (const Text& path : paths) appendLine(bytes, nativePath(path));
  return bytes;
}

std::string savedListBytes(TextView name, const std::vector<Text>& paths) {
  std::string bytes;
  appendLine(bytes, "1");
  appendLine(bytes, encodeAnsi(name));
  return pathLinesBytes(std::move(bytes), paths);
}

std::string savedListPath(unsigned long n) { return programDirectory() + std::to_string(n) + ".lst"; }

}  // namespace

const Text kForeignListTitle = U"由Tessaly储存的列表（本软件可以阅读，但是本软件的列表Tessaly不能读）";

bool isForeignListFirstLine(TextView firstLine) {
  Text trimmed = trimSpaces(firstLine);
  return !trimmed.empty() && trimmed.front() == U'<';
}

std::vector<Text> ReadListEntries(const std::string& path) {
  std::vector<Text> lines = readLines(path, kSavedListHeader);
  if (!lines.empty() && isForeignListFirstLine(lines.front())) return ReadForeignListEntries(path);
  if (lines.size() < 2) throw ListFormatError("列表文件不完整 " + path);
  return std::vector<Text>(lines.begin() + 2, lines.end());
}

std::vector<Text> ReadForeignListEntries(const std::string& path) {
  static constexpr TextView kOpen = U"<File>";
  static constexpr TextView kClose = U"</File>";
  std::vector<Text> entries;
  for (const Text& line : readLines(path, kAllLines)) {
    std::size_t open = line.find(kOpen);
    if (open == npos) continue;
    std::size_t close = line.find(kClose);
    if (close == npos || close < open + kOpen.size()) throw ListFormatError("列表文件格式错误 " + path);
    std::size_t start = open + kOpen.size();
    entries.push_back(line.substr(start, close - start));
  }
  return entries;
}

void WriteSavedList(const std::string& path, TextView name, const std::vector<Text>& paths) {
  files().writeFileAtomic(path, savedListBytes(name, paths));
}

std::string NextSavedListPath() {
  for (unsigned long n = 1;; ++n) {
    std::string path = savedListPath(n);
    if (!pathExists(path)) return path;
  }
}

std::optional<std::string> WriteNewSavedList(TextView name, const std::vector<Text>& paths) {
  if (trimSpaces(name).empty()) return std::nullopt;
  // The list is written complete under a hidden name and then renamed to its
  // number, which fails rather than replace a list that appeared meanwhile.
  const std::string bytes = savedListBytes(name, paths);
  for (unsigned long n = 1;; ++n) {
    std::string path = savedListPath(n);
    if (pathExists(path)) continue;
    std::string temp = programDirectory() + "." + std::to_string(n) + ".lst.new";
    files().writeFileAtomic(temp, bytes);
    try {
      files().renameNoReplace(temp, path);
      return path;
    } catch (const FileError&) {
      try {
        files().removeFile(temp);
      } catch (const FileError&) {
        // a stray hidden file is never listed; the rename failure matters more
      }
      if (!pathExists(path)) throw;
    }
  }
}

std::string defaultListPath() { return programDirectory() + "moren.kbq"; }

bool DefaultListExists() { return isNormalFile(defaultListPath()); }

void WriteDefaultList(const std::vector<Text>& paths) { files().writeFileAtomic(defaultListPath(), pathLinesBytes({}, paths)); }

std::vector<Text> LoadDefaultList() {
  std::vector<Text> paths;
  if (!DefaultListExists()) return paths;
  for (Text& line : readLines(defaultListPath(), 0))
    if (!line.empty() && isNormalFile(nativePath(line))) paths.push_back(std::move(line));
  return paths;
}

void DeleteDefaultList() { files().removeFile(defaultListPath()); }

std::vector<ListFileInfo> ListSavedListFiles() {
  const std::string dir = programDirectory();
  std::vector<ListFileInfo> lists;
  for (const DirEntry& entry : files().listDirectory(dir)) {
    if (entry.kind != EntryKind::File || entry.hidden || !matchesPattern(entry.name, "*.lst")) continue;
    ListFileInfo info;
    info.path = dir + entry.name;
    try {
      std::vector<Text> lines = readLines(info.path, kSavedListHeader);
      if (!lines.empty() && isForeignListFirstLine(lines.front())) {
        info.kind = ListKind::Foreign;
        info.shownName = kForeignListTitle;
      } else if (lines.size() >= 2) {
        info.shownName = lines[1];
      }
    } catch (const FileError&) {
      // listed with an empty name: the user can still delete it
    }
    lists.push_back(std::move(info));
  }
  return lists;
}

}  // namespace vantiro
