#include "cli/cli_app.h"

#include "cli/commands.h"
#include "cli/replace_command.h"
#include "platform/code_page.h"
#include "platform/program_directory.h"
#include "platform/system.h"

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

bool isCommand(CLI::App& app, const std::string& word) {
  return !app.get_subcommands([&](CLI::App* command) { return command->check_name(word); }).empty();
}

// Runs `command` while this program holds the program directory, so that no
// other run, restore or search-and-replace writes the backup store meanwhile.
template <typename Command>
int holdingProgramDirectory(bool wait, std::ostream& err, Command command) {
  ProgramDirectoryLock held = lockProgramDirectory(false);
  if (!held.lock && wait && held.busy) {
    err << held.refusal << "\n正在等待……\n" << std::flush;
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
                  Terminals terminals) {
  CLI::App app{"Vantiro v3.00: makes HTML pages smaller, keeps byte-exact backups, restores them.", "vantiro-cli"};
  std::string home;
  app.add_option("--home", home, "Program directory (where bak.kbq and bak.dat live); overrides VANTIRO_HOME")
      ->type_name("DIR");
  bool wait = false;
  app.add_flag("--wait", wait,
               "When another run, restore or replace uses the program directory, wait for it to end "
               "(by default the command stops with exit status 2)");
  app.set_version_flag("--version", "vantiro-cli " VANTIRO_VERSION);
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

  if (const auto word = commandWord(argc, argv); word && !isCommand(app, *word)) {
    err << "Unknown command: " << *word << "\nRun with --help for the commands.\n";
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
