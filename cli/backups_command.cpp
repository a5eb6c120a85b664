#include "backup/backup_store.h"
#include "cli/commands.h"
#include "cli/output_format.h"
#include "compress/compression_run.h"
#include "platform/file_service.h"

#include <ostream>

namespace vantiro::cli {

CLI::App* addBackupsCommand(CLI::App& app, BackupsArguments& args) {
  CLI::App* cmd = app.add_subcommand("backups",
                                     "List the backup index, one numbered line per entry: number, path, length, "
                                     "time (tab-separated; backslash, tab and line breaks in a path written "
                                     "\\\\, \\t, \\n, \\r).");
  cmd->add_flag("--newest-first", args.newestFirst, "Newest entry first");
  cmd->add_flag("--json", args.json,
                "Print one JSON object per line: one per entry (type, number, path, length, time), then the "
                "summary (type, entries)");
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
  std::int64_t number = 0;
  for (const BackupEntry& e : entries) {
    ++number;
    if (args.json)
      out << JsonLine()
                 .text("type", U"entry")
                 .number("number", number)
                 .text("path", e.path)
                 .number("length", sizeColumnValue(e.length))
                 .text("time", e.time)
                 .line();
    else
      out << number << '\t' << lineField(e.path) << '\t' << lineField(e.length) << '\t' << lineField(e.time)
          << '\n';
  }
  if (args.json) out << JsonLine().text("type", U"summary").number("entries", number).line();
  return kExitSuccess;
}

}  // namespace vantiro::cli
