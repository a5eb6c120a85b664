#include "backup/backup_store.h"
#include "cli/cli_language.h"
#include "cli/commands.h"
#include "cli/output_format.h"
#include "compress/compression_run.h"
#include "platform/file_service.h"

#include <optional>
#include <ostream>

namespace vantiro::cli {

CLI::App* addBackupsCommand(CLI::App& app, BackupsArguments& args) {
  CLI::App* cmd = app.add_subcommand("backups",
                                     say("列出备份索引，每条一行：编号、路径、长度、时间（以制表符分隔；路径中的反斜杠、"
                                         "制表符和换行写作 \\\\、\\t、\\n、\\r）。",
                                         "List the backup index, one numbered line per entry: number, path, length, "
                                         "time (tab-separated; backslash, tab and line breaks in a path written "
                                         "\\\\, \\t, \\n, \\r)."));
  cmd->add_flag("--newest-first", args.newestFirst, say("最新的在前", "Newest entry first"));
  CLI::Option* json = cmd->add_flag("--json", args.json,
                                    say("每行输出一个 JSON 对象：每条备份一个（type、number、path、length、time），"
                                        "然后是总计（type、entries）",
                                        "Print one JSON object per line: one per entry (type, number, path, length, "
                                        "time), then the summary (type, entries)"));
  CLI::Option* clear = cmd->add_flag("--clear", args.clear, say("删除全部备份：之后什么也不能还原", "Delete every entry: nothing can be restored afterwards"));
  CLI::Option* drop = cmd->add_option("--drop-before", args.dropBefore,
                                      say("删除 DATE（YYYY-MM-DD）之前的备份并释放空间",
                                          "Delete the entries made before DATE (YYYY-MM-DD) and give their space back"));
  drop->type_name("DATE");
  clear->excludes(drop, json);
  drop->excludes(clear, json);
  return cmd;
}

namespace {

int changeStore(const BackupsArguments& args, std::ostream& out, std::ostream& err) {
  try {
    if (args.clear) {
      const std::size_t entries = ReadBackupIndex(false).size();
      ClearBackupStore();
      out << say("已删除全部 ", "Deleted all ") << entries << say(" 条备份\n", " entries\n");
      return kExitSuccess;
    }
    const std::optional<CalendarDay> day = leadingDay(fromUtf8(args.dropBefore));
    if (!day || args.dropBefore.size() > 10) {
      err << say("日期应写作 YYYY-MM-DD: ", "Write the date as YYYY-MM-DD: ") << args.dropBefore << '\n';
      return kExitUsage;
    }
    const DroppedEntries dropped = DropBackupEntriesBefore(*day);
    out << say("已删除 ", "Deleted ") << dropped.dropped << say(" 条备份，保留 ", " entries, kept ") << dropped.kept
        << say(" 条\n", "\n");
    return kExitSuccess;
  } catch (const FileError& e) {
    err << say("无法改动备份: ", "Cannot change the backups: ") << e.what() << '\n';
    return kExitFailure;
  }
}

}  // namespace

int runBackups(const BackupsArguments& args, std::ostream& out, std::ostream& err) {
  if (changesStore(args)) return changeStore(args, out, err);
  std::vector<BackupEntry> entries;
  try {
    entries = ReadBackupIndex(args.newestFirst);
  } catch (const FileError& e) {
    err << say("无法读取备份索引: ", "Cannot read the backup index: ") << e.what() << '\n';
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
