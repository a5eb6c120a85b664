#include "backup/backup_store.h"
#include "cli/commands.h"
#include "compress/compression_run.h"
#include "mainwin/directory_scan.h"
#include "platform/file_service.h"

#include <ostream>
#include <unordered_set>

namespace vantiro::cli {
namespace {

// Reports a run as tab-separated lines, one per page as it finishes.
class LineObserver final : public RunObserver {
 public:
  LineObserver(CompressionOptions options, std::ostream& out, std::ostream& err, bool terminalProgress)
      : options_(std::move(options)), answer_(options_.Check3), out_(out), err_(err), terminal_(terminalProgress) {}

  CompressionOptions options() override { return options_; }
  void notice(const Text&) override {}
  void setStatus(const Text& status) override {
    if (terminal_) err_ << "\r\033[K" << toUtf8(status) << std::flush;
  }
  void setBar(RunBar, int, int) override {}
  void rowFinished(std::size_t, const RunRow& row) override {
    if (terminal_) err_ << "\r\033[K" << std::flush;
    if (row.result == kResultFailed) err_ << toUtf8(kResultFailed) << ": " << toUtf8(row.outcome) << '\n';
    for (const Text* column : {&row.source, &row.destination, &row.size, &row.date, &row.result, &row.newSize})
      out_ << toUtf8(*column) << '\t';
    out_ << toUtf8(row.ratio) << '\n' << std::flush;
  }
  ProgressIndicator& pageProgress() override { return progress_; }
  RestoreQuestion& restoreQuestion() override { return answer_; }
  void betweenPages() override {}
  void finish() {
    if (terminal_) err_ << "\r\033[K" << std::flush;
  }

 private:
  CompressionOptions options_;
  NoProgress progress_;
  FixedAnswer answer_;
  std::ostream& out_;
  std::ostream& err_;
  bool terminal_;
};

// The task list of the run: a page as given, a directory as the directory
// scan queues it. Like the task list, it holds no entry twice.
std::vector<Text> queuePages(const CompressArguments& args) {
  std::vector<Text> tasks;
  std::unordered_set<Text> queued;
  for (const std::string& arg : args.paths) {
    Text path = textPath(arg);
    if (isDirectory(arg)) {
      for (Text& page : scanNewEntries(path, args.allFiles ? kAllFilesPattern : kHtmlPattern, tasks))
        if (queued.insert(page).second) tasks.push_back(std::move(page));
    } else if (queued.insert(path).second) {
      tasks.push_back(std::move(path));
    }
  }
  return tasks;
}

}  // namespace

CLI::App* addCompressCommand(CLI::App& app, CompressArguments& args) {
  CLI::App* cmd = app.add_subcommand("compress", "Compress pages in place (or into another directory), "
                                                 "backing up each page first. Prints one tab-separated line per "
                                                 "page: source, destination, size, date, result, new size, saving; "
                                                 "then a summary line. Exit status 0 when every page succeeded, 1 "
                                                 "otherwise.");
  cmd->add_option("PATH", args.paths, "A page, or a directory whose tree is queued")->required();
  cmd->add_option("--into", args.into, "Write pages found under SRC to the same place under DEST")
      ->expected(2)
      ->type_name("SRC DEST");
  cmd->add_flag("--scripts", args.scripts, "Compress script bodies too");
  cmd->add_flag("--restore-on-error", args.restoreOnError,
                "After a page fails, write the page as read back to its output file");
  cmd->add_flag("--require-html", args.requireHtml, "Refuse pages without an exact-case <html> or <HTML> tag");
  cmd->add_flag("--paragraphs", args.paragraphs, "Turn paragraphs laid out with &nbsp; into preformatted blocks");
  cmd->add_flag("--readable", args.readable, "Line break after every tag and every text");
  cmd->add_flag("--overwrite-backup", args.overwriteBackup,
                "Clear the backup store before the run (by default the run appends to it)");
  cmd->add_flag("--all-files", args.allFiles, "Queue every file of a directory, not only HTML pages");
  return cmd;
}

int runCompress(const CompressArguments& args, std::ostream& out, std::ostream& err, bool terminalProgress) {
  CompressionOptions options;
  options.Check1 = args.into.size() == 2;
  if (options.Check1) {
    options.text1 = textPath(args.into[0]);
    options.text2 = textPath(args.into[1]);
  }
  options.Check2 = args.scripts;
  options.Check3 = args.restoreOnError;
  options.Check4 = args.requireHtml;
  options.Check6 = args.paragraphs;
  options.Check7 = args.readable;
  options.Check8 = !args.overwriteBackup;

  std::vector<RunRow> rows;
  for (const Text& page : queuePages(args)) rows.push_back(makeRunRow(page, options));

  if (!rows.empty() && !options.Check8) {
    try {
      ClearBackupStore();
    } catch (const FileError& e) {
      err << "无法清除备份: " << e.what() << '\n';
      return kExitFailure;
    }
  }

  LineObserver observer(options, out, err, terminalProgress);
  RunTotals totals = ys(rows, observer);
  observer.finish();
  out << "总计 " << totals.pages << " 个文件\t成功 " << totals.succeeded << " 个\t压缩前 " << totals.bytesBefore
      << " 字节\t压缩后 " << totals.bytesAfter << " 字节\t压缩率 "
      << toUtf8(savingText(totals.bytesBefore, totals.bytesAfter)) << '\n';
  return totals.succeeded == totals.pages ? kExitSuccess : kExitFailure;
}

}  // namespace vantiro::cli
