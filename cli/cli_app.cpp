#include "cli/cli_app.h"

#include "cli/commands.h"
#include "cli/replace_command.h"
#include "platform/code_page.h"
#include "platform/system.h"

#include <ostream>

namespace vantiro::cli {

int runVantiroCli(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err,
                  Terminals terminals) {
  CLI::App app{"Vantiro v3.00: makes HTML pages smaller, keeps byte-exact backups, restores them.", "vantiro-cli"};
  std::string home;
  app.add_option("--home", home, "Program directory (where bak.kbq and bak.dat live); overrides VANTIRO_HOME")
      ->type_name("DIR");
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
  // Pauses exist to let a window show each status; a terminal needs none.
  setPauseScale(0);

  if (compress->parsed()) return runCompress(compressArgs, in, out, err, terminals);
  if (backups->parsed()) return runBackups(backupsArgs, out, err);
  if (restore->parsed()) return runRestore(restoreArgs, out, err);
  if (replace->parsed()) return runReplace(replaceArgs, out, err);
  if (info->parsed()) return runInfo(infoArgs, out, err);
  return kExitUsage;
}

}  // namespace vantiro::cli
