#include "cli/replace_command.h"

#include "cli/cli_language.h"
#include "cli/commands.h"
#include "cli/output_format.h"
#include "compress/compression_run.h"
#include "common/compression_options.h"
#include "platform/absolute_path.h"
#include "platform/file_service.h"
#include "queue/directory_scan.h"
#include "replace/replace_run.h"
#include "replace/search_replace.h"

#include <map>
#include <ostream>

namespace vantiro::cli {
namespace {

const std::map<std::string, ReplaceMode>& generalModes() {
  static const std::map<std::string, ReplaceMode> modes{{"text", ReplaceMode::Text},
                                                        {"tags", ReplaceMode::Tags},
                                                        {"page", ReplaceMode::Page},
                                                        {"scripts", ReplaceMode::Scripts}};
  return modes;
}

// The entries of the window's attribute list that --kind names.
const std::map<std::string, TextView>& kindEntries() {
  static const std::map<std::string, TextView> kinds{{"filename", U"文件名"},   {"title", U"标题"},
                                                     {"link", U"超级链接地址"}, {"font", U"字体"},
                                                     {"image", U"图片属性"},    {"table", U"表格属性"}};
  return kinds;
}

template <typename Map>
std::vector<std::string> keysOf(const Map& map) {
  std::vector<std::string> keys;
  for (const auto& entry : map) keys.push_back(entry.first);
  return keys;
}

}  // namespace

CLI::App* addReplaceCommand(CLI::App& app, ReplaceArguments& args) {
  CLI::App* cmd = app.add_subcommand(
      "replace",
      say("在网页中替换文字，每页先备份。每页输出一行，以制表符分隔：路径、替换数目、结果（路径中的反斜杠、制表符和换行"
          "写作 \\\\、\\t、\\n、\\r）。每页都成功时退出状态为 0，否则为 1。",
          "Replace a text in pages, backing up each page first. Prints one tab-separated line per page: path, "
          "replacement count, result (backslash, tab and line breaks in a path written \\\\, \\t, \\n, \\r). "
          "Exit status 0 when every page succeeded, 1 otherwise."));
  cmd->add_option("--find", args.find, say("要查找的文字（不能为空）", "The text to find (not empty)"))->required()->type_name("TEXT");
  cmd->add_option("--with", args.with, say("替换成的文字，原样插入", "The replacement, inserted as given"))->required()->type_name("TEXT");
  cmd->add_flag("--whole-word", args.wholeWord, say("全字匹配", "Only whole words match"));
  cmd->add_flag("--case-sensitive", args.caseSensitive, say("区分大小写", "Letter case must match"));
  CLI::Option* in = cmd->add_option("--in", args.in,
                                    say("在哪里替换：标记之间的文字、标记内、整页、脚本（默认：text）",
                                        "Where to replace: between tags, in tags, the whole page, "
                                        "script bodies (default: text)"))
                        ->check(CLI::IsMember(keysOf(generalModes())));
  CLI::Option* kind = cmd->add_option("--kind", args.kind,
                                      say("特定替换：改文件名，或替换标题、链接、字体、图片或表格中的属性",
                                          "Specific mode: rename the file, or replace in the title, links, "
                                          "fonts, images or tables"))
                          ->check(CLI::IsMember(keysOf(kindEntries())));
  in->excludes(kind);
  cmd->add_flag("--fixed", args.fixed, say("特定替换：替换成的文字取代整个标记或标题", "Specific mode: the replacement takes the whole tag or title"))->needs(kind);
  cmd->add_flag("--require-html", args.requireHtml,
                say("特定替换：拒绝没有全小写 <html> 或全大写 <HTML> 标记的页面",
                    "Specific mode: refuse pages without an exact-case <html> or <HTML> tag"));
  cmd->add_option("--into", args.into, say("特定替换：把 SRC 下的网页写到 DEST 下的相同位置", "Specific mode: write pages found under SRC to the same place under DEST"))
      ->expected(2)
      ->allow_extra_args(false)
      ->type_name("SRC DEST");
  cmd->add_option("PATH", args.paths,
                  say("一个网页，或一个目录（像 compress 一样扫描其中的网页）；加 --into 而不给 PATH 时为整个 SRC",
                      "A page, or a directory whose HTML pages are scanned as compress scans them; with --into and "
                      "no PATH, the whole of SRC"));
  cmd->add_option("--jobs", args.jobs,
                  say("同时查找的网页数（默认每个处理器核心一页）；结果与 1 相同",
                      "Pages searched at once (default: one per processor core); the result is the same as with 1"))
      ->check(CLI::Range(1, 1024))
      ->type_name("N");
  cmd->add_flag("--dry-run", args.dryRun,
                say("只在内存中替换，输出同样的结果行和数目，不写页面、目的文件、改名的文件或备份",
                    "Replace in memory and print the same lines and counts, writing no page, mirror, renamed file "
                    "or backup entry"));
  CLI::Option* json = cmd->add_flag("--json", args.json,
                                    say("每行输出一个 JSON 对象：每页一个（type、path、count、result、reason），"
                                        "然后是总计（type、pages、succeeded、failed、replacements）",
                                        "Print one JSON object per line: one per page (type, path, count, result, "
                                        "reason), then the summary (type, pages, succeeded, failed, replacements)"));
  cmd->add_flag("--quiet", args.quiet, say("只输出失败页面的行", "Print only the lines of pages that failed"))->excludes(json);
  return cmd;
}

int runReplace(const ReplaceArguments& args, std::ostream& out, std::ostream& err) {
  SearchParameters params;
  params.findText = fromUtf8(args.find);
  params.replacement = fromUtf8(args.with);
  params.wholeWord = args.wholeWord;
  params.caseSensitive = args.caseSensitive;
  params.fixedReplacement = args.fixed;
  if (args.kind.empty()) {
    params.mode = generalModes().at(args.in);
  } else {
    params.mode = ReplaceMode::Specific;
    params.target = *attributeForEntry(kindEntries().at(args.kind));
  }
  if (auto refusal = refuseParameters(params)) {
    err << toUtf8(*refusal) << '\n';
    return kExitUsage;
  }

  CompressionOptions options;
  options.requireHtml = args.requireHtml;
  options.mirror = args.into.size() == 2;
  if (options.mirror) {
    options.sourceDirectory = absolutePath(textPath(args.into[0]));
    options.destinationDirectory = absolutePath(textPath(args.into[1]));
  }

  params.dryRun = args.dryRun;
  const std::vector<std::string> given = queuedPaths(args.paths, args.into);
  if (given.empty()) {
    err << "PATH is required (or --into SRC DEST for the whole of SRC)\n";
    return kExitUsage;
  }
  const std::vector<Text> pages = queueArguments(given, kHtmlPattern);
  if (!args.dryRun) removeReplaceLeftovers(pages, options);

  const OutputStyle style = outputStyle(args.json, args.quiet);
  std::int64_t succeeded = 0, replacements = 0;
  std::vector<ReplaceRow> rows;
  rows.reserve(pages.size());
  for (const Text& page : pages) rows.push_back(ReplaceRow{page});
  ReplaceRunHooks hooks;
  hooks.options = [&options] { return options; };
  hooks.rowBegins = [](std::size_t) {};
  hooks.rowFinished = [&](std::size_t index) {
    const ReplaceRow& row = rows[index];
    const bool replaced = row.resultText == kResultReplaced;
    if (replaced) {
      ++succeeded;
      replacements += sizeColumnValue(row.countText);
    }
    if (style == OutputStyle::Json) {
      JsonLine line;
      line.text("type", U"page").text("path", row.path);
      if (replaced)
        line.number("count", sizeColumnValue(row.countText)).text("result", row.resultText).nullValue("reason");
      else
        line.nullValue("count").text("result", row.countText).text("reason", row.resultText);
      out << line.line() << std::flush;
    } else if (style == OutputStyle::Lines || !replaced) {
      // The window right-aligns counts with a leading space; a script gets the bare number.
      const TextView count = TextView(row.countText).starts_with(U' ') ? TextView(row.countText).substr(1) : TextView(row.countText);
      out << lineField(row.path) << '\t' << lineField(rowWord(count)) << '\t' << lineField(rowWord(row.resultText)) << '\n' << std::flush;
    }
  };
  // A reader that is gone (a closed pipe) ends the command between pages.
  hooks.stopRequested = [&out] { return out.fail(); };
  const auto done = static_cast<std::int64_t>(replaceInRows(rows, params, args.jobs, hooks));
  if (done < static_cast<std::int64_t>(pages.size())) {
    err << "输出已关闭: 已完成 " << done << " 个文件, 其余 " << static_cast<std::int64_t>(pages.size()) - done
        << " 个未处理\n";
    return kExitFailure;
  }
  if (style == OutputStyle::Json)
    out << JsonLine()
               .text("type", U"summary")
               .number("pages", done)
               .number("succeeded", succeeded)
               .number("failed", done - succeeded)
               .number("replacements", replacements)
               .line();
  return succeeded == done ? kExitSuccess : kExitFailure;
}

}  // namespace vantiro::cli
