// Starting a compression run from the task list: the selected entries or all
// of them fill a fresh run window, which then runs.

#include "backup/backup_store.h"
#include "common/ui/message_box.h"
#include "common/ui/text_convert.h"
#include "compress/compression_run.h"
#include "compress/run_window.h"
#include "mainwin/main_window.h"
#include "mainwin/options_panel.h"
#include "mainwin/task_list.h"
#include "platform/program_directory.h"

namespace vantiro::ui {

RunWindow* MainWindow::runWindow() const { return runWindow_; }

void MainWindow::compressSelectedEntries() { startRun(true); }

void MainWindow::compressAllEntries() { startRun(false); }

void MainWindow::startRun(bool selectedOnly) {
  // Nothing to compress: said in a box rather than with an empty run window.
  bool anyEntry = false;
  for (int i = 0; i < taskList_->count() && !anyEntry; ++i) anyEntry = !selectedOnly || taskList_->isSelected(i);
  if (!anyEntry) {
    MessageBox::information(this, selectedOnly ? QStringLiteral("任务列表中没有选中的文件：先在右边的列表中选择要压缩的文件")
                                               : QStringLiteral("任务列表是空的：先在左边选择网页，按“添加”加入列表"));
    return;
  }
  // 1. Every start replaces the run window by a fresh one; loading it shows it.
  delete runWindow_.data();
  const CompressionOptions now = options();
  runWindow_ = new RunWindow(now.runWindowOnTop, [this] { return options(); });
  RunWindow* run = runWindow_;

  // 2. One row per entry, in task-list order.
  for (int i = 0; i < taskList_->count(); ++i) {
    if (selectedOnly && !taskList_->isSelected(i)) continue;
    RunRow row = makeRunRow(taskList_->entry(i), now);
    run->addRow(row.source, row.destination, row.size, row.date);
  }
  // 3. The directory fields remember what was used (duplicates included).
  if (now.mirror) options_->rememberDirectories();
  // One program at a time writes the backup store; the lock is held until the run ends.
  const ProgramDirectoryLock held = lockProgramDirectory(false);
  if (!held.lock) {
    MessageBox::information(this, QString::fromUtf8(held.refusal.c_str()));
    return;
  }
  // 5. Without the append switch the backup store starts afresh.
  if (!now.appendToBackup) {
    try {
      ClearBackupStore();
    } catch (const std::exception& e) {
      // Pages must not be changed when their old contents could mix with a
      // store that was meant to be gone: report and do not start.
      MessageBox::information(this, QString::fromUtf8(e.what()));
      return;
    }
  }
  // 6.-8.
  run->show();
  run->raise();
  if (now.emptyListAtStart) taskList_->clear();
  run->compressQueuedRows();
  // 9. A mirror is the whole site: the other files of the site root follow its
  // pages, unless Check10 asks for the pages only.
  if (!now.mirror || now.mirrorPagesOnly) return;
  if (const std::optional<Text> failure = run->copyOtherFiles(now)) MessageBox::information(this, toQString(*failure));
}

}  // namespace vantiro::ui
