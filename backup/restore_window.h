#pragma once
// The restore window "还原压缩": lists the backup index and writes saved pages back,
// the selected ones or every page as it was before its first recorded change;
// and clears the store when asked.

#include "backup/backup_store.h"

#include <QWidget>

#include <vector>

class QCheckBox;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTreeWidget;

namespace vantiro::ui {

class RestoreWindow : public QWidget {
  Q_OBJECT

 public:
  // Shows the one restore window, creating it (and reading the index) when
  // none is open. The window deletes itself when closed.
  static RestoreWindow* open(QWidget* parent = nullptr);

  ~RestoreWindow() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  explicit RestoreWindow(QWidget* parent);
  void load();
  void restoreRows(bool selectedOnly);
  // Deletes the whole backup store once the user confirms.
  void clearStore();
  // The positions in entries_ of the rows to restore, in the order listed.
  std::vector<std::size_t> rowsToRestore(bool selectedOnly) const;
  std::size_t entryOfRow(std::size_t row) const { return newestFirst_ ? entries_.size() - 1 - row : row; }

  // The index as read when the window opened, oldest entry first, and the
  // order its rows are listed in.
  std::vector<BackupEntry> entries_;
  bool newestFirst_ = false;

  QTreeWidget* ListView1 = nullptr;
  QCheckBox* Check1 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command3 = nullptr;
  QPushButton* Command4 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;  // entries restored, shown as n/N
  QStatusBar* StatusBar1 = nullptr;
};

}  // namespace vantiro::ui
