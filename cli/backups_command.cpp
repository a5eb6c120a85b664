#include "backup/backup_store.h"
#include "cli/commands.h"
#include "platform/file_service.h"

#include <ostream>

namespace vantiro::cli {

CLI::App* addBackupsCommand(CLI::App& app, BackupsArguments& args) {
  CLI::App* cmd = app.add_subcommand(
      "backups", "List the backup index, one numbered line per entry: number, path, length, time (tab-separated).");
  cmd->add_flag("--newest-first", args.newestFirst, "Newest entry first");
  return cmd;
}

int runBackups(const BackupsArguments& args, std::ostream& out, std::ostream& err) {
  std::vector<BackupEntry> entries;
  try {
    entries = ReadBackupIndex(args.newestFirst);
  } catch (const FileError& e) {
    err << "无法读取备份索引: " << e.what() << '\n';
    return kExitFailure;
  }
  std::size_t number = 0;
  for (const BackupEntry& e : entries)
    out << ++number << '\t' << toUtf8(e.path) << '\t' << toUtf8(e.length) << '\t' << toUtf8(e.time) << '\n';
  return kExitSuccess;
}

}  // namespace vantiro::cli
