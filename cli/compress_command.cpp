#include "backup/backup_store.h"
#include "cli/commands.h"
#include "cli/run_report.h"
#include "compress/compression_run.h"
#include "platform/absolute_path.h"
#include "platform/file_service.h"
#include "queue/directory_scan.h"

#include <optional>
#include <ostream>
#include <unordered_set>

namespace vantiro::cli {
namespace {

// The task list of the run: a page as given (made absolute), a directory as
// the directory scan queues it. Like the task list, it holds no entry twice.
std::vector<Text> queuePages(const CompressArguments& args) {
  std::vector<Text> tasks;
  std::unordered_set<Text> queued;
  for (const std::string& arg : args.paths) {
    Text path = absolutePath(textPath(arg));
    if (isDirectory(arg)) {
      for (Text& page : scanNewEntries(path, args.allFiles ? kAllFilesPattern : kHtmlPattern, tasks))
        if (queued.insert(page).second) tasks.push_back(std::move(page));
    } else if (queued.insert(path).second) {
      tasks.push_back(std::move(path));
    }
  }
  return tasks;
}

// What `-` cannot be combined with: it is one page without a row, a backup or
// a destination.
std::optional<std::string> refusePipeUsage(const CompressArguments& args) {
  if (args.paths.size() > 1) return "- reads the only page from standard input; give no other PATH";
  if (!args.into.empty()) return "- writes to standard output; --into does not apply";
  if (args.dryRun) return "- prints the page itself; --dry-run does not apply";
  if (args.json) return "- prints the page itself, not rows; --json does not apply";
  if (args.overwriteBackup) return "- keeps no backup; --overwrite-backup does not apply";
  return std::nullopt;
}

}  // namespace

bool readsStandardInput(const CompressArguments& args) {
  for (const std::string& path : args.paths)
    if (path == "-") return true;
  return false;
}

CompressionOptions compressionOptions(const CompressArguments& args) {
  CompressionOptions options;
  options.mirror = args.into.size() == 2;
  if (options.mirror) {
    options.sourceDirectory = textPath(args.into[0]);
    options.destinationDirectory = textPath(args.into[1]);
  }
  options.compressScripts = args.scripts;
  options.offerRestoreAfterError = args.restoreOnError;
  options.requireHtml = args.requireHtml;
  options.preformatParagraphs = args.paragraphs;
  options.breakLinesAfterTags = args.readable;
  options.appendToBackup = !args.overwriteBackup;
  options.level = args.level == 2 ? CompressionLevel::Further : CompressionLevel::Standard;
  return options;
}

CLI::App* addCompressCommand(CLI::App& app, CompressArguments& args) {
  CLI::App* cmd = app.add_subcommand("compress", "Compress pages in place (or into another directory), "
                                                 "backing up each page first. Prints one tab-separated line per "
                                                 "page: source, destination, size, date, result, new size, saving; "
                                                 "then a summary line. Backslash, tab and line breaks in a field "
                                                 "are written \\\\, \\t, \\n, \\r. On a terminal the page being "
                                                 "read, [n/N] and the bytes so far are shown on standard error. "
                                                 "Exit status 0 when every page succeeded, 1 otherwise, 2 for bad "
                                                 "usage.");
  cmd->add_option("PATH", args.paths,
                  "A page, or a directory whose tree is queued; - alone reads one page from standard input and "
                  "writes the result to standard output (no backup, no row; with --restore-on-error a page "
                  "that fails is written unchanged)")
      ->required();
  cmd->add_option("--into", args.into, "Write pages found under SRC to the same place under DEST")
      ->expected(2)
      ->type_name("SRC DEST");
  CLI::Option* scripts = cmd->add_flag("--scripts", args.scripts, "Compress script bodies too");
  cmd->add_flag("--restore-on-error", args.restoreOnError,
                "After a page fails, write the page as read back to its output file");
  cmd->add_flag("--require-html", args.requireHtml, "Refuse pages without an exact-case <html> or <HTML> tag");
  CLI::Option* paragraphs = cmd->add_flag("--paragraphs", args.paragraphs,
                                          "Turn paragraphs laid out with &nbsp; into preformatted blocks");
  cmd->add_flag("--readable", args.readable, "Line break after every tag and every text");
  cmd->add_option("--level", args.level,
                  "1 (the default): the rules every page has always had; 2: also leave out the tags, comments, "
                  "quotes and default attribute values HTML lets a page leave out, and the white space and "
                  "comments CSS ignores")
      ->check(CLI::IsMember({1, 2}));
  cmd->add_flag("--overwrite-backup", args.overwriteBackup,
                "Clear the backup store before the run (by default the run appends to it)");
  cmd->add_flag("--all-files", args.allFiles, "Queue every file of a directory, not only HTML pages");
  CLI::Option* dryRun = cmd->add_flag("--dry-run", args.dryRun,
                                      "Compress every page in memory and print the same rows and summary, "
                                      "writing no page, mirror file or backup entry");
  cmd->add_flag("--by-option", args.byOption,
                "With --dry-run: also compress the pages with --scripts and with --paragraphs, and print "
                "after the summary what each of them saves over the run without them")
      ->needs(dryRun)
      ->excludes(scripts)
      ->excludes(paragraphs);
  CLI::Option* json = cmd->add_flag("--json", args.json,
                                    "Print one JSON object per line: one per page (type, source, destination, "
                                    "size, date, result, new_size, saving, reason), then the summary");
  cmd->add_flag("--quiet", args.quiet, "Print only the rows of pages that failed and the summary; no progress")
      ->excludes(json);
  return cmd;
}

int runCompress(const CompressArguments& args, std::istream& in, std::ostream& out, std::ostream& err,
                Terminals terminals) {
  if (readsStandardInput(args)) {
    if (auto refusal = refusePipeUsage(args)) {
      err << *refusal << '\n';
      return kExitUsage;
    }
    return compressPipe(args, in, out, err);
  }
  const CompressionOptions options = compressionOptions(args);
  const WriteMode mode = args.dryRun ? WriteMode::DryRun : WriteMode::Write;

  std::vector<RunRow> rows;
  for (const Text& page : queuePages(args)) rows.push_back(makeRunRow(page, options));

  if (!rows.empty() && !options.appendToBackup && mode == WriteMode::Write) {
    try {
      ClearBackupStore();
    } catch (const FileError& e) {
      err << "无法清除备份: " << e.what() << '\n';
      return kExitFailure;
    }
  }

  // --by-option runs the pages again with each option the run leaves off.
  std::vector<std::pair<std::string, CompressionOptions>> measured;
  if (args.byOption) {
    measured.emplace_back("--scripts", options);
    measured.back().second.compressScripts = true;
    measured.emplace_back("--paragraphs", options);
    measured.back().second.preformatParagraphs = true;
  }

  const OutputStyle style = outputStyle(args.json, args.quiet);
  ProgressLine line(err);
  ProgressCount progress;
  if (terminals.err && style != OutputStyle::Quiet) progress.line = &line;
  progress.rowsOnTerminal = terminals.out;
  progress.total = rows.size() * (1 + measured.size());

  const std::vector<RunRow> queued = rows;
  RunReport report(options, style, true, out, err, progress);
  const RunTotals totals = compressQueuedRows(rows, report, mode);
  std::vector<OptionSaving> savings;
  for (const auto& [option, optionOptions] : measured) {
    std::vector<RunRow> again = queued;
    RunReport silent(optionOptions, style, false, out, err, progress);
    compressQueuedRows(again, silent, mode);
    savings.push_back(optionSaving(option, totals, report.newSizes(), silent.newSizes()));
  }
  line.clear();
  printSummary(totals, savings, style, args.dryRun, out);
  return totals.succeeded == totals.pages ? kExitSuccess : kExitFailure;
}

}  // namespace vantiro::cli
