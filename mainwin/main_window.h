#pragma once
// The main window "Vantirov3.00": file browser, task list, compression options,
// menus, and the buttons that hand work to the other windows. It lives for the
// whole run of the program; closing it saves the settings and ends the program.
//
// The window is composed of parts, each its own class: FileBrowser (left),
// TaskListPanel (right), OptionsPanel (the switches and directory fields) and
// MainMenus (menu bar, right-click menus and the small tools behind them).
// Start-up and shut-down live in main_settings.cpp, the run start in run_start.cpp.

#include "common/compression_options.h"
#include "platform/text.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;
class QStatusBar;

namespace vantiro {
class ReplaceWindow;
class ListManagerWindow;
}  // namespace vantiro

namespace vantiro::ui {

class FileBrowser;
class RunWindow;
class MainMenus;
class OptionsPanel;
class TaskListPanel;
class TipWindow;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // Start-up, in its fixed order: tip switch, directory, filter, default
  // list, show, backup size, window frame, settings, directory fields, stored
  // directory, tip window, backup-size question. A failure shows its text and
  // skips the remaining steps; the window stays usable.
  void startUp();
  // Shut-down: writes the menu keys, the options and the directory to the
  // settings store. Called when the window is closed, which then ends the program.
  void saveSettings();

  // The options as the controls show them now, the run window's keep-on-top
  // check mark included. Every reader calls this when it needs a value.
  CompressionOptions options() const;

  // The status bar's one text field.
  void showStatus(const QString& text);
  QString statusText() const;

  // Task list operations of the buttons and menus.
  void addSelectedFiles();
  void addAllFiles();
  void addDoubleClicked(const Text& path);
  void removeSelectedEntries();
  void emptyTaskList();
  void queueHighlightedDirectory();
  // Queues the pages of `root`'s tree that the list lacks; returns how many.
  std::size_t queueDirectoryTree(const Text& root);
  // Queues pages and directory trees named on the command line (made
  // absolute); says in the status bar how many pages were added.
  void queuePaths(const std::vector<Text>& paths);
  void viewFileListFile();
  void viewTaskListEntry();
  void saveList();
  void loadDefaultList();
  void setSourceFromHighlighted();
  void setDestinationFromHighlighted();

  // Run start: a fresh run window for the selected entries or for all of them.
  void compressSelectedEntries();
  void compressAllEntries();

  // The other windows, each at most once.
  void showListManager();
  void showRestoreWindow();
  void showReplaceWindow();
  void showTipWindow();
  RunWindow* runWindow() const;

  FileBrowser* browser() const { return browser_; }
  TaskListPanel* taskList() const { return taskList_; }
  OptionsPanel* optionsPanel() const { return options_; }
  MainMenus* menus() const { return menus_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void trimSystemMenu();
  void startRun(bool selectedOnly);

  FileBrowser* browser_ = nullptr;
  TaskListPanel* taskList_ = nullptr;
  OptionsPanel* options_ = nullptr;
  MainMenus* menus_ = nullptr;

  QPointer<RunWindow> runWindow_;
  QPointer<ReplaceWindow> replaceWindow_;
  QPointer<ListManagerWindow> listManager_;
  QPointer<TipWindow> tipWindow_;

  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command3 = nullptr;
  QPushButton* Command4 = nullptr;
  QPushButton* Command5 = nullptr;
  QPushButton* Command6 = nullptr;
  QPushButton* Command7 = nullptr;
  QPushButton* Command8 = nullptr;
  QPushButton* Command9 = nullptr;
  QPushButton* Command10 = nullptr;
  QPushButton* Command11 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label4 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* statusField_ = nullptr;
};

// The text of the uptime message for `milliseconds` since boot:
// "您好，系统已经启动了" and " h小时", " m分", " s秒" for the non-zero parts.
Text uptimeMessage(std::int64_t milliseconds);

}  // namespace vantiro::ui
