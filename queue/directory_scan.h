#pragma once
// Queuing a whole directory tree: the files of a directory that match the
// file list's pattern first, then each subdirectory's tree in listing order.

#include "platform/text.h"

#include <string>
#include <vector>

namespace vantiro {

// The file list's patterns: HTML pages ("*.htm", which also takes ".html")
// and every file.
inline constexpr TextView kHtmlPattern = U"*.htm";
inline constexpr TextView kAllFilesPattern = U"*.*";

// dir + name for every matching file of `dir` (a path ending in "/"), in
// listing order, followed by the files of each subdirectory's tree, the
// subdirectories taken in listing order. Hidden files and directories, and
// entries that are neither files nor directories, are left out, and so is a
// symbolic link that leads out of `dir`'s tree: a scan never reaches a file
// or directory outside the tree the user chose. A directory
// that cannot be listed is skipped, and a directory reached a second time
// through a link is not walked again, so a link leading back into the tree
// cannot make the walk endless.
std::vector<Text> listTreeFiles(const Text& dir, TextView pattern);

// Every file of `dir`'s tree as listTreeFiles finds it, and also the hidden
// ones a site is served with (".htaccess", ".well-known/"), but neither a
// version control directory (".git" and its kind, never part of a site one
// uploads) nor a temporary file this program writes beside a page.
std::vector<Text> listSiteFiles(const Text& dir);

// `dir` ending in "/", the form in which a scan names its root: every path it
// queues is that root followed by the file's path below it.
Text withTrailingSlash(Text dir);

// The files a scan of `root` adds to a task list holding `snapshot`: the files
// of listTreeFiles(withTrailingSlash(root)) (normal files as the listing found
// them), in that order, that equal no snapshot entry (exact comparison).
std::vector<Text> scanNewEntries(const Text& root, TextView pattern, const std::vector<Text>& snapshot);

// The task list of a command line: each argument made absolute, a directory
// replaced by the files its scan finds with `pattern`, in order and without
// an entry twice.
std::vector<Text> queueArguments(const std::vector<std::string>& arguments, TextView pattern);

}  // namespace vantiro
