#pragma once
// The restore window "za": lists the backup index and writes saved pages back,
// the selected ones or all of them.

#include "backup/backup_store.h"

#include <QWidget>

#include <vector>

class QCheckBox;
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

  // The index as read when the window opened; row k of the list is entry k.
  std::vector<BackupEntry> entries_;

  QTreeWidget* ListView1 = nullptr;
  QCheckBox* Check1 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command3 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
};

}  // namespace vantiro::ui
