#pragma once
// `vantiro-cli replace`: search and replace across pages, as the
// search-and-replace window runs it over the task list.

#include "platform/system.h"

#include <CLI/CLI.hpp>

#include <iosfwd>
#include <string>
#include <vector>

namespace vantiro::cli {

struct ReplaceArguments {
  std::string find;
  std::string with;
  bool wholeWord = false;
  bool caseSensitive = false;
  std::string in = "text";  // text | tags | page | scripts
  std::string kind;         // filename | title | link | font | image | table (the specific mode)
  bool fixed = false;
  bool requireHtml = false;
  std::vector<std::string> into;  // SRC DEST
  std::vector<std::string> paths;
  bool dryRun = false;
  bool json = false;
  bool quiet = false;
  std::size_t jobs = processorCores();  // pages searched at once
};

CLI::App* addReplaceCommand(CLI::App& app, ReplaceArguments& args);

// Replaces in the pages given and in the HTML pages of the directories given
// (scanned as compress scans them; with --into and no PATH, the whole of
// SRC). Prints one line per page: path, count text and result text, tab-separated,
// in UTF-8, as the window's result list shows them (only the pages that failed
// with --quiet; with --json an object per page and a summary). Returns 0 when every page
// succeeded, 1 when any failed, 2 when the search text is empty.
int runReplace(const ReplaceArguments& args, std::ostream& out, std::ostream& err);

}  // namespace vantiro::cli
