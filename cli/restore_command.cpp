#include "backup/backup_store.h"
#include "cli/commands.h"
#include "platform/file_service.h"

#include <ostream>

namespace vantiro::cli {
namespace {

class StatusLines final : public RestoreObserver {
 public:
  explicit StatusLines(std::ostream& out) : out_(out) {}
  void showStatus(const Text& status) override { out_ << toUtf8(status) << '\n' << std::flush; }

 private:
  std::ostream& out_;
};

}  // namespace

CLI::App* addRestoreCommand(CLI::App& app, RestoreArguments& args) {
  CLI::App* cmd = app.add_subcommand("restore",
                                     "Write saved pages back, in the order `backups` lists them; when several "
                                     "entries name one page, the one restored last wins.");
  cmd->add_flag("--newest-first", args.newestFirst, "Number and restore the entries newest first");
  CLI::Option* all = cmd->add_flag("--all", args.all, "Restore every entry");
  CLI::Option* rows = cmd->add_option("N", args.rows, "Entry numbers as `backups` lists them (from 1)");
  all->excludes(rows);
  rows->excludes(all);
  return cmd;
}

int runRestore(const RestoreArguments& args, std::ostream& out, std::ostream& err) {
  if (!args.all && args.rows.empty()) {
    err << "请给出 --all 或备份的编号\n";
    return kExitUsage;
  }
  std::vector<BackupEntry> entries;
  try {
    entries = ReadBackupIndex(args.newestFirst);
  } catch (const FileError& e) {
    err << "无法读取备份索引: " << e.what() << '\n';
    return kExitFailure;
  }
  std::vector<bool> chosen(entries.size(), args.all);
  for (long long n : args.rows) {
    if (n < 1 || static_cast<unsigned long long>(n) > entries.size()) {
      err << "没有第 " << n << " 条备份（共 " << entries.size() << " 条）\n";
      return kExitUsage;
    }
    chosen[static_cast<std::size_t>(n - 1)] = true;
  }
  StatusLines observer(out);
  bool allRestored = true;
  for (std::size_t k = 0; k < entries.size(); ++k)
    if (chosen[k] && !re(entries[k], observer)) allRestored = false;
  return allRestored ? kExitSuccess : kExitFailure;
}

}  // namespace vantiro::cli
