#include "backup/backup_store.h"
#include "backup/restore_selection.h"
#include "cli/cli_language.h"
#include "cli/commands.h"
#include "cli/output_format.h"
#include "compress/compression_run.h"
#include "platform/file_service.h"

#include <algorithm>
#include <ostream>

namespace vantiro::cli {
namespace {

// Keeps the last status of an entry: for one that failed, it says why.
class LastStatus final : public RestoreObserver {
 public:
  void showStatus(const Text& status) override { last = status; }
  Text last;
};

inline constexpr TextView kRestored = U"已还原";
inline constexpr TextView kNotRestored = U"未还原";

}  // namespace

CLI::App* addRestoreCommand(CLI::App& app, RestoreArguments& args) {
  CLI::App* cmd = app.add_subcommand(
      "restore", say("按 backups 列出的顺序把备份的网页写回。--all 把每页还原到它第一次被改动之前（最早的那条备份）；"
                     "按编号选的备份按所选写回，同一页以最后还原的为准。",
                     "Write saved pages back, in the order `backups` lists them. --all gives every page back as it "
                     "was before its first recorded change (its oldest entry); entries chosen by number are written "
                     "as chosen, the last one restored winning."));
  cmd->add_flag("--newest-first", args.newestFirst, say("最新的在前编号和还原", "Number and restore the entries newest first"));
  CLI::Option* all = cmd->add_flag("--all", args.all, say("把每页还原到它最早的备份，不论顺序", "Restore every page to its oldest entry, whatever the order"));
  CLI::Option* rows = cmd->add_option("N", args.rows, say("backups 列出的备份编号（从 1 起）", "Entry numbers as `backups` lists them (from 1)"));
  all->excludes(rows);
  rows->excludes(all);
  CLI::Option* json = cmd->add_flag("--json", args.json,
                                    say("每行输出一个 JSON 对象：每条备份一个（type、number、path、length、time、"
                                        "restored），然后是总计（type、entries、restored、failed）",
                                        "Print one JSON object per line: one per entry restored or not (type, "
                                        "number, path, length, time, restored), then the summary (type, entries, "
                                        "restored, failed)"));
  cmd->add_flag("--quiet", args.quiet, say("只输出没能还原的备份", "Print only the entries that could not be restored"))->excludes(json);
  return cmd;
}

int runRestore(const RestoreArguments& args, std::ostream& out, std::ostream& err) {
  if (!args.all && args.rows.empty()) {
    err << say("请给出 --all 或备份的编号\n", "Give --all or entry numbers\n");
    return kExitUsage;
  }
  std::vector<BackupEntry> entries;
  BackupIndexChecks checks;
  try {
    entries = ReadBackupIndex(args.newestFirst);
    checks = BackupIndexChecks::read();
  } catch (const FileError& e) {
    err << say("无法读取备份索引: ", "Cannot read the backup index: ") << e.what() << '\n';
    return kExitFailure;
  }
  // Where entry n of the index read oldest first is listed.
  const auto listedAt = [&](std::size_t n) { return args.newestFirst ? entries.size() - 1 - n : n; };
  std::vector<bool> chosen(entries.size(), false);
  if (args.all) {
    std::vector<BackupEntry> oldestFirst(entries);
    if (args.newestFirst) std::reverse(oldestFirst.begin(), oldestFirst.end());
    for (std::size_t n : oldestEntryOfEachPage(oldestFirst)) chosen[listedAt(n)] = true;
  }
  for (long long n : args.rows) {
    if (n < 1 || static_cast<unsigned long long>(n) > entries.size()) {
      err << say("没有第 ", "There is no entry ") << n << say(" 条备份（共 ", " (there are ") << entries.size()
          << say(" 条）\n", ")\n");
      return kExitUsage;
    }
    chosen[static_cast<std::size_t>(n - 1)] = true;
  }
  std::vector<BackupEntry> restoring;
  for (std::size_t k = 0; k < entries.size(); ++k)
    if (chosen[k]) restoring.push_back(entries[k]);
  removeRestoreLeftovers(restoring);
  const OutputStyle style = outputStyle(args.json, args.quiet);
  LastStatus observer;
  std::int64_t restored = 0, failed = 0;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    if (!chosen[k]) continue;
    const bool done = restoreEntry(entries[k], observer, &checks);
    ++(done ? restored : failed);
    // A row as `backups` lists the entry, and what became of it; why it
    // failed goes to standard error.
    if (!done) err << lineField(observer.last) << '\n' << std::flush;
    if (style == OutputStyle::Lines || (style == OutputStyle::Quiet && !done))
      out << (k + 1) << '\t' << lineField(entries[k].path) << '\t' << lineField(entries[k].length) << '\t'
          << lineField(entries[k].time) << '\t' << lineField(rowWord(done ? kRestored : kNotRestored)) << '\n' << std::flush;
    if (style == OutputStyle::Json)
      out << JsonLine()
                 .text("type", U"entry")
                 .number("number", static_cast<std::int64_t>(k + 1))
                 .text("path", entries[k].path)
                 .number("length", sizeColumnValue(entries[k].length))
                 .text("time", entries[k].time)
                 .flag("restored", done)
                 .line()
          << std::flush;
  }
  if (style == OutputStyle::Json)
    out << JsonLine()
               .text("type", U"summary")
               .number("entries", restored + failed)
               .number("restored", restored)
               .number("failed", failed)
               .line();
  return failed == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace vantiro::cli
