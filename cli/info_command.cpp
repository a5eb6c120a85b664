#include "cli/cli_language.h"
#include "cli/commands.h"
#include "cli/output_format.h"
#include "pageinfo/page_info.h"
#include "platform/file_service.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace vantiro::cli {
namespace {

// The viewer's "2048 byte" as the number of bytes.
std::int64_t sizeInBytes(const PageInfo& info) {
  return std::stoll(toUtf8(TextView(info.sizeText).substr(0, info.sizeText.find(U' '))));
}

}  // namespace

CLI::App* addInfoCommand(CLI::App& app, InfoArguments& args) {
  CLI::App* cmd = app.add_subcommand(
      "info", say("显示网页信息窗口所显示的内容，每页一行：路径、字节数、类型、标题、语言。",
                  "Show what the page information viewer shows of each page: a row of path, size in bytes, type, "
                  "title and language."));
  cmd->add_option("PATH", args.paths, say("网页", "The pages"))->required();
  cmd->add_flag("--json", args.json,
                say("每行输出一个 JSON 对象：每页一个（type、path、size、html、type_text、title、language、reason），"
                    "然后是总计（type、pages、failed）",
                    "Print one JSON object per line: one per page (type, path, size, html, type_text, title, language, "
                    "reason), then the summary (type, pages, failed)"));
  return cmd;
}

int runInfo(const InfoArguments& args, std::ostream& out, std::ostream& err) {
  std::int64_t failed = 0;
  for (const std::string& path : args.paths) {
    PageInfo info;
    std::string reason;
    try {
      info = analysePage(path);
    } catch (const FileError& e) {
      reason = e.what();
      ++failed;
    }
    if (args.json) {
      JsonLine line;
      line.text("type", U"page").text("path", textPath(path));
      if (reason.empty())
        line.number("size", sizeInBytes(info))
            .flag("html", info.isHtml)
            .text("type_text", info.typeText)
            .text("title", info.title)
            .text("language", info.language)
            .nullValue("reason");
      else
        line.nullValue("size").nullValue("html").nullValue("type_text").nullValue("title").nullValue("language")
            .text("reason", fromUtf8(reason));
      out << line.line() << std::flush;
    } else if (reason.empty()) {
      out << lineField(info.path) << '\t' << sizeInBytes(info) << '\t' << lineField(rowWord(info.typeText)) << '\t'
          << lineField(rowWord(info.title)) << '\t' << lineField(rowWord(info.language)) << '\n' << std::flush;
    } else {
      err << say("无法查看文件: ", "Cannot read the file: ") << reason << '\n';
    }
  }
  if (args.json)
    out << JsonLine()
               .text("type", U"summary")
               .number("pages", static_cast<std::int64_t>(args.paths.size()))
               .number("failed", failed)
               .line();
  return failed == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace vantiro::cli
