#include "cli/commands.h"
#include "pageinfo/page_info.h"
#include "platform/file_service.h"

#include <ostream>

namespace vantiro::cli {

CLI::App* addInfoCommand(CLI::App& app, InfoArguments& args) {
  CLI::App* cmd = app.add_subcommand(
      "info", "Show what the page information viewer shows: path, size, type, title and language of a page.");
  cmd->add_option("PATH", args.path, "The page")->required();
  return cmd;
}

int runInfo(const InfoArguments& args, std::ostream& out, std::ostream& err) {
  PageInfo info;
  try {
    info = analysePage(args.path);
  } catch (const FileError& e) {
    err << "无法查看文件: " << e.what() << '\n';
    return kExitFailure;
  }
  out << toUtf8(info.path) << '\n'
      << "文件大小:" << toUtf8(info.sizeText) << '\n'
      << "类型：" << toUtf8(info.typeText) << '\n'
      << "标题：" << toUtf8(info.title) << '\n'
      << "语言：" << toUtf8(info.language) << '\n';
  return kExitSuccess;
}

}  // namespace vantiro::cli
