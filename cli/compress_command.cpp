#include "backup/backup_store.h"
#include "cli/cli_language.h"
#include "cli/commands.h"
#include "cli/run_report.h"
#include "compress/compression_run.h"
#include "compress/mirror_copy.h"
#include "platform/absolute_path.h"
#include "platform/file_service.h"
#include "queue/directory_scan.h"

#include <optional>
#include <ostream>

namespace vantiro::cli {
namespace {

// What `-` cannot be combined with: it is one page without a row, a backup or
// a destination.
std::optional<std::string> refusePipeUsage(const CompressArguments& args) {
  if (args.paths.size() > 1)
    return say("- 从标准输入读取唯一的一页：不能再给别的 PATH", "- reads the only page from standard input; give no other PATH");
  if (!args.into.empty()) return say("- 写到标准输出：不能用 --into", "- writes to standard output; --into does not apply");
  if (args.dryRun) return say("- 输出页面本身：不能用 --dry-run", "- prints the page itself; --dry-run does not apply");
  if (args.json) return say("- 输出页面本身而不是结果行：不能用 --json", "- prints the page itself, not rows; --json does not apply");
  if (args.overwriteBackup)
    return say("- 不做备份：不能用 --overwrite-backup", "- keeps no backup; --overwrite-backup does not apply");
  return std::nullopt;
}

// Copies the other files of the directories among `paths` into the mirror,
// saying on `err` what failed; false when anything did.
bool copyOtherFiles(const std::vector<std::string>& paths, const std::vector<RunRow>& rows,
                    const CompressionOptions& options, std::ostream& err) {
  std::vector<Text> trees;
  for (const std::string& path : paths)
    if (isDirectory(path)) trees.push_back(textPath(path));
  NoProgress quiet;
  const MirrorCopy copy = copyOtherFilesIntoMirror(trees, rows, options, quiet);
  for (const Text& failure : copy.failures) err << "复制失败: " << lineField(failure) << '\n';
  return copy.failures.empty();
}

}  // namespace

std::vector<std::string> queuedPaths(const std::vector<std::string>& paths, const std::vector<std::string>& into) {
  if (paths.empty() && into.size() == 2) return {into[0]};
  return paths;
}

bool readsStandardInput(const CompressArguments& args) {
  for (const std::string& path : args.paths)
    if (path == "-") return true;
  return false;
}

CompressionOptions compressionOptions(const CompressArguments& args) {
  CompressionOptions options;
  options.mirror = args.into.size() == 2;
  if (options.mirror) {
    options.sourceDirectory = absolutePath(textPath(args.into[0]));
    options.destinationDirectory = absolutePath(textPath(args.into[1]));
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
  CLI::App* cmd = app.add_subcommand(
      "compress", say("就地压缩网页（或压缩到另一个目录），每页先备份。每页输出一行，以制表符分隔：源文件、目的文件、"
                      "大小、日期、结果、压缩后大小、压缩率；最后一行是总计。字段中的反斜杠、制表符和换行写作 "
                      "\\\\、\\t、\\n、\\r。在终端上，标准错误显示正在读的页面、[n/N] 和已读的字节数。"
                      "每页都成功时（不是网页的文件除外）退出状态为 0，否则为 1，用法有误为 2。",
                      "Compress pages in place (or into another directory), backing up each page first. Prints one "
                      "tab-separated line per page: source, destination, size, date, result, new size, saving; then "
                      "a summary line. Backslash, tab and line breaks in a field are written \\\\, \\t, \\n, \\r. On "
                      "a terminal the page being read, [n/N] and the bytes so far are shown on standard error. Exit "
                      "status 0 when every page succeeded (files that are no page aside), 1 otherwise, 2 for bad "
                      "usage."));
  cmd->add_option("PATH", args.paths,
                  say("一个网页，或一个目录（压缩其下所有网页）；单独的 - 从标准输入读一页，结果写到标准输出"
                      "（不备份，不输出结果行；加 --restore-on-error 时失败的页面原样写出）；加 --into 而不给 PATH "
                      "时为整个 SRC",
                      "A page, or a directory whose tree is queued; - alone reads one page from standard input and "
                      "writes the result to standard output (no backup, no row; with --restore-on-error a page "
                      "that fails is written unchanged); with --into and no PATH, the whole of SRC"));
  CLI::Option* into =
      cmd->add_option("--into", args.into,
                      say("把 SRC 下的网页写到 DEST 下的相同位置；所列目录中的其他文件（样式表、脚本、图片、"
                          "不是网页的文件）原样复制过去，DEST 就是完整的网站",
                          "Write pages found under SRC to the same place under DEST; the other files of the "
                          "directories queued (style sheets, scripts, images, files that are no pages) are copied "
                          "there unchanged, so DEST holds the whole site"))
          ->expected(2)
          ->allow_extra_args(false)
          ->type_name("SRC DEST");
  cmd->add_flag("--pages-only", args.pagesOnly,
                say("与 --into 同用：只写网页，不复制其他文件", "With --into: copy no other file into DEST, only the pages"))
      ->needs(into);
  CLI::Option* scripts = cmd->add_flag("--scripts", args.scripts, say("也压缩脚本", "Compress script bodies too"));
  cmd->add_flag("--restore-on-error", args.restoreOnError,
                say("页面失败后，把读到的原样写回它的输出文件", "After a page fails, write the page as read back to its output file"));
  cmd->add_flag("--require-html", args.requireHtml, say("拒绝没有全小写 <html> 或全大写 <HTML> 标记的页面", "Refuse pages without an exact-case <html> or <HTML> tag"));
  CLI::Option* paragraphs = cmd->add_flag("--paragraphs", args.paragraphs,
                                          say("把用 &nbsp; 排版的段落变成预排格式的块",
                                              "Turn paragraphs laid out with &nbsp; into preformatted blocks"));
  cmd->add_flag("--readable", args.readable, say("每个标记和每段文字后换行", "Line break after every tag and every text"));
  cmd->add_option("--level", args.level,
                  say("1（默认）：网页一向有的规则；2：再省去 HTML 允许省去的标记、注释、引号和默认属性值，"
                      "以及 CSS 不理会的空白和注释",
                      "1 (the default): the rules every page has always had; 2: also leave out the tags, comments, "
                      "quotes and default attribute values HTML lets a page leave out, and the white space and "
                      "comments CSS ignores"))
      ->check(CLI::IsMember({1, 2}));
  cmd->add_option("--jobs", args.jobs,
                  say("同时压缩的网页数（默认每个处理器核心一页）；结果与 1 相同",
                      "Pages compressed at once (default: one per processor core); the result is the same as with 1"))
      ->check(CLI::Range(1, 1024))
      ->type_name("N");
  cmd->add_flag("--overwrite-backup", args.overwriteBackup,
                say("压缩前清空备份（默认追加备份）", "Clear the backup store before the run (by default the run appends to it)"));
  cmd->add_flag("--all-files", args.allFiles, say("目录中的所有文件都压缩，不只是网页", "Queue every file of a directory, not only HTML pages"));
  CLI::Option* dryRun = cmd->add_flag("--dry-run", args.dryRun,
                                      say("只在内存中压缩每一页，输出同样的结果行和总计，不写页面、目的文件或备份",
                                          "Compress every page in memory and print the same rows and summary, "
                                          "writing no page, mirror file or backup entry"));
  cmd->add_flag("--by-option", args.byOption,
                say("与 --dry-run 同用：再分别加 --scripts 和 --paragraphs 压缩，在总计后输出各自多省的字节",
                    "With --dry-run: also compress the pages with --scripts and with --paragraphs, and print "
                    "after the summary what each of them saves over the run without them"))
      ->needs(dryRun)
      ->excludes(scripts)
      ->excludes(paragraphs);
  CLI::Option* json = cmd->add_flag("--json", args.json,
                                    say("每行输出一个 JSON 对象：每页一个（type、source、destination、size、date、"
                                        "result、new_size、saving、reason），然后是总计",
                                        "Print one JSON object per line: one per page (type, source, destination, "
                                        "size, date, result, new_size, saving, reason), then the summary"));
  cmd->add_flag("--quiet", args.quiet, say("只输出失败页面的行和总计，不显示进度", "Print only the rows of pages that failed and the summary; no progress"))
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
  const std::vector<std::string> paths = queuedPaths(args.paths, args.into);
  if (paths.empty()) {
    err << "PATH is required (or --into SRC DEST for the whole of SRC)\n";
    return kExitUsage;
  }
  const CompressionOptions options = compressionOptions(args);
  const WriteMode mode = args.dryRun ? WriteMode::DryRun : WriteMode::Write;

  std::vector<RunRow> rows;
  for (const Text& page : queueArguments(paths, args.allFiles ? kAllFilesPattern : kHtmlPattern))
    rows.push_back(makeRunRow(page, options));

  if (!rows.empty() && !options.appendToBackup && mode == WriteMode::Write) {
    try {
      ClearBackupStore();
    } catch (const FileError& e) {
      err << say("无法清除备份: ", "Cannot clear the backups: ") << e.what() << '\n';
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
  RunReport report(options, style, true, out, err, progress, args.jobs);
  const RunTotals totals = compressQueuedRows(rows, report, mode);
  if (totals.stoppedBefore < rows.size()) {
    line.clear();
    err << "输出已关闭: 已完成 " << totals.stoppedBefore << " 个文件, 其余 " << rows.size() - totals.stoppedBefore
        << " 个未处理\n";
    return kExitFailure;
  }
  std::vector<OptionSaving> savings;
  for (const auto& [option, optionOptions] : measured) {
    std::vector<RunRow> again = queued;
    RunReport silent(optionOptions, style, false, out, err, progress, args.jobs);
    compressQueuedRows(again, silent, mode);
    savings.push_back(optionSaving(option, totals, report.newSizes(), silent.newSizes()));
  }
  line.clear();
  printSummary(totals, savings, style, args.dryRun, out);
  const bool copiesFailed = mode == WriteMode::Write && !args.pagesOnly && !copyOtherFiles(paths, rows, options, err);
  return totals.failed == 0 && totals.missing == 0 && !copiesFailed ? kExitSuccess : kExitFailure;
}

}  // namespace vantiro::cli
