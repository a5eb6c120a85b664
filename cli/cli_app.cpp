#include "cli/cli_app.h"

#include "cli/cli_language.h"
#include "cli/commands.h"
#include "cli/replace_command.h"
#include "platform/code_page.h"
#include "platform/program_directory.h"
#include "platform/system.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace vantiro::cli {
namespace {

// The first argument that is not an option of the program itself: the
// command word, or nothing.
std::optional<std::string> commandWord(int argc, const char* const* argv) {
  for (int k = 1; k < argc; ++k) {
    const std::string_view arg = argv[k];
    if (arg == "--home") {
      ++k;  // its value
    } else if (arg == "--") {
      return k + 1 < argc ? std::optional<std::string>(argv[k + 1]) : std::nullopt;
    } else if (!arg.starts_with('-')) {
      return std::string(arg);
    }
  }
  return std::nullopt;
}

// Help and usage errors in the run's language. The labels are CLI11's; its own
// error texts are English, so in Chinese they follow a Chinese line.
void speakTheLanguage(CLI::App& app) {
  if (language() == Language::Chinese) app.option_defaults()->group("选项");  // before the help flag joins a group
  app.set_help_flag("-h,--help", say("显示这段帮助并退出", "Print this help message and exit"));
  if (language() == Language::English) return;
  const std::shared_ptr<CLI::FormatterBase> formatter = app.get_formatter();
  for (const auto& [key, label] : {std::pair{"Usage", "用法"}, {"OPTIONS", "选项"}, {"SUBCOMMAND", "命令"},
                                   {"SUBCOMMANDS", "命令"}, {"Positionals", "参数"}, {"REQUIRED", "必需"},
                                   {"Excludes", "不能与之同用"}, {"Needs", "需要"}, {"TEXT", "文字"}})
    formatter->label(key, label);
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return std::string("用法有误（") + e.what() + "）\n用 --help 查看用法。\n";
  });
}

bool isCommand(CLI::App& app, const std::string& word) {
  return !app.get_subcommands([&](CLI::App* command) { return command->check_name(word); }).empty();
}

// Runs `command` while this program holds the program directory, so that no
// other run, restore or search-and-replace writes the backup store meanwhile.
template <typename Command>
int holdingProgramDirectory(bool wait, std::ostream& err, Command command) {
  ProgramDirectoryLock held = lockProgramDirectory(false);
  if (!held.lock && wait && held.busy) {
    err << held.refusal << say("\n正在等待……\n", "\nWaiting...\n") << std::flush;
    held = lockProgramDirectory(true);
  }
  if (!held.lock) {
    err << held.refusal << '\n';
    return kExitUsage;
  }
  return command();
}

}  // namespace

int runVantiroCli(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err,
                  Terminals terminals, Language language) {
  useLanguage(language);
  CLI::App app{say("Vantiro v3.00：压缩网页、保留逐字节相同的备份并能还原。",
                   "Vantiro v3.00: makes HTML pages smaller, keeps byte-exact backups, restores them."),
               "vantiro-cli"};
  speakTheLanguage(app);
  std::string home;
  app.add_option("--home", home,
                 say("程序目录（bak.kbq 和 bak.dat 所在之处）；优先于 VANTIRO_HOME",
                     "Program directory (where bak.kbq and bak.dat live); overrides VANTIRO_HOME"))
      ->type_name("DIR");
  bool wait = false;
  app.add_flag("--wait", wait,
               say("别的压缩、还原或替换正在使用程序目录时，等它结束（默认以退出状态 2 停止）",
                   "When another run, restore or replace uses the program directory, wait for it to end "
                   "(by default the command stops with exit status 2)"));
  app.set_version_flag("--version", "vantiro-cli " VANTIRO_VERSION, say("显示版本并退出", "Display program version information and exit"));
  app.require_subcommand(1);

  CompressArguments compressArgs;
  BackupsArguments backupsArgs;
  RestoreArguments restoreArgs;
  CLI::App* compress = addCompressCommand(app, compressArgs);
  CLI::App* backups = addBackupsCommand(app, backupsArgs);
  CLI::App* restore = addRestoreCommand(app, restoreArgs);
  ReplaceArguments replaceArgs;
  CLI::App* replace = addReplaceCommand(app, replaceArgs);
  InfoArguments infoArgs;
  CLI::App* info = addInfoCommand(app, infoArgs);
  // A command's help flag is made before it inherits the option group: it joins the group here.
  for (CLI::App* command : {compress, backups, restore, replace, info}) {
    command->group(say("命令", "Subcommands"));
    command->get_help_ptr()->group(say("选项", "Options"));
  }

  if (const auto word = commandWord(argc, argv); word && !isCommand(app, *word)) {
    err << say("没有这个命令：", "Unknown command: ") << *word << say("\n用 --help 查看命令。\n", "\nRun with --help for the commands.\n");
    return kExitUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int status = app.exit(e, out, err);
    return status == 0 ? kExitSuccess : kExitUsage;
  }

  if (const std::optional<std::string> refusal = configuredCodePageRefusal()) {
    err << *refusal << '\n';
    return kExitUsage;
  }
  if (!home.empty()) setProgramDirectory(home);
  if (const auto problem = prepareProgramDirectory()) {
    err << *problem << '\n';
    return kExitUsage;
  }
  // Pauses exist to let a window show each status; a terminal needs none.
  setPauseScale(0);

  if (compress->parsed()) {
    auto compressPages = [&] { return runCompress(compressArgs, in, out, err, terminals); };
    // A dry run and a pipe write nothing there: they run beside any other program.
    const bool leavesProgramDirectory = compressArgs.dryRun || readsStandardInput(compressArgs);
    return leavesProgramDirectory ? compressPages() : holdingProgramDirectory(wait, err, compressPages);
  }
  if (backups->parsed() && changesStore(backupsArgs))
    return holdingProgramDirectory(wait, err, [&] { return runBackups(backupsArgs, out, err); });
  if (backups->parsed()) return runBackups(backupsArgs, out, err);
  if (restore->parsed()) return holdingProgramDirectory(wait, err, [&] { return runRestore(restoreArgs, out, err); });
  if (replace->parsed() && replaceArgs.dryRun) return runReplace(replaceArgs, out, err);
  if (replace->parsed()) return holdingProgramDirectory(wait, err, [&] { return runReplace(replaceArgs, out, err); });
  if (info->parsed()) return runInfo(infoArgs, out, err);
  return kExitUsage;
}

}  // namespace vantiro::cli
