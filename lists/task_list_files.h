#pragma once
// Files that keep the task list: saved lists ("1.lst", "2.lst", ... in the
// program directory), the default list "moren.kbq" loaded at start-up, and
// lists written by Tessaly, which are read but never written.
//
// All are text in the code page, one item per line, every line ending in
// CR LF (a lone CR or LF is part of the line). Paths are stored exactly as
// they stand in the task list.
//
//   saved list:    "1", the list's name, then one path per line
//   default list:  one path per line
//   Tessaly list:  first line, trimmed, begins with "<"; an entry is what
//                  stands between the first "<File>" and the first "</File>"
//                  of every line holding "<File>"
//
// Every operation reads or writes its file whole and keeps nothing. Files are
// rewritten through the atomic replacement: a failed write leaves the old
// file as it was.

#include "platform/text.h"
#include "platform/file_service.h"

#include <optional>
#include <string>
#include <vector>

namespace vantiro {

// Raised when a list file cannot be read as a list: a Tessaly line whose
// "</File>" is missing or comes before its "<File>", or a saved list without
// its two header lines. The list manager then shows the list as empty.
// Input/output failures (a missing file) raise plain FileError.
class ListFormatError : public FileError {
 public:
  using FileError::FileError;
};

// The title the list manager shows for a Tessaly list, which has no name.
extern const Text kForeignListTitle;

// True when a list file's first line marks a Tessaly list: with leading and
// trailing blanks removed it begins with "<".
bool isForeignListFirstLine(TextView firstLine);

// The entries of a saved list (every line after the two header lines, an
// empty line giving an empty entry) or of a Tessaly list. Throws
// ListFormatError or FileError.
std::vector<Text> ReadListEntries(const std::string& path);

// The entries of a Tessaly list, taken from every line that holds "<File>"
// (exact case), text between the tags unchanged. Throws ListFormatError when
// such a line has no "</File>" after its "<File>"; FileError when the file
// cannot be read.
std::vector<Text> ReadForeignListEntries(const std::string& path);

// Writes a saved list to `path`, replacing what was there: "1", `name` as
// given, then the paths in order. Throws FileError.
void WriteSavedList(const std::string& path, TextView name, const std::vector<Text>& paths);

// The path of the new saved list: programDirectory() + n + ".lst" for the
// smallest n >= 1 whose name is not taken.
std::string NextSavedListPath();

// Writes a new saved list under the next free number, never replacing an
// existing file (a number taken meanwhile moves on to the next one). Returns
// the path written, or nothing without writing when `name` is empty after
// removing leading and trailing blanks. The name is stored untrimmed.
// Throws FileError.
std::optional<std::string> WriteNewSavedList(TextView name, const std::vector<Text>& paths);

// programDirectory() + "moren.kbq".
std::string defaultListPath();
// True when the default list is a normal file.
bool DefaultListExists();
// Writes the default list, one path per line (none: an empty file). Throws FileError.
void WriteDefaultList(const std::vector<Text>& paths);
// The default list's paths that name existing normal files, in file order;
// other lines (empty ones included) are left out silently. Nothing when there
// is no default list. Throws FileError when it exists but cannot be read.
std::vector<Text> LoadDefaultList();
// Removes the default list. Throws FileError, also when there is none.
void DeleteDefaultList();

enum class ListKind { Saved, Foreign };

struct ListFileInfo {
  std::string path;  // full native path
  ListKind kind = ListKind::Saved;
  // Line 2 of a saved list (empty when the file has fewer lines or cannot be
  // read), kForeignListTitle for a Tessaly list.
  Text shownName;
};

// The "*.lst" normal files of the program directory in listing order, each
// with its kind and the line the list manager shows for it. A short or
// unreadable file is still listed, so that it can be deleted. Throws FileError
// when the program directory cannot be listed.
std::vector<ListFileInfo> ListSavedListFiles();

}  // namespace vantiro
