#pragma once
// The list manager "主页列表": shows the saved lists and the other program's
// lists found in the program directory, the entries of the chosen one, and
// moves them into the task list; saves the task list into a list, deletes a
// list file, and makes or clears the default list.
//
// Opened by the main window's "控制列表" button and by the "No" answer of its
// "保存列表" question. It lists the list files when it is created and deletes
// itself when closed (Qt::WA_DeleteOnClose): create it with new and hold it in
// a QPointer. Its toolbar actions report no failures: a failed step ends the
// action silently and what was done before stays done.

#include "common/task_list_access.h"

#include <QWidget>

#include <string>
#include <vector>

class QAction;
class QListWidget;
class QToolBar;

namespace vantiro {

class ListManagerWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ListManagerWindow(TaskListAccess& taskList, QWidget* parent = nullptr);
  ~ListManagerWindow() override;

  // The toolbar actions, by their captions.
  void saveList();           // "保存"
  void addToTaskList();      // "添加"
  void overwriteTaskList();  // "覆盖"
  void deleteList();         // "删除"
  void setDefaultList();     // "默认"
  void cancelDefaultList();  // "取消"

 private:
  void buildControls();
  void listTheLists();
  void showEntries(int row);
  std::vector<Text> shownEntries() const;
  int selectedList() const;

  TaskListAccess& taskList_;
  std::vector<std::string> listPaths_;  // one per line of List1

  // Controls; each carries its name as objectName, which is how tests find it.
  QToolBar* Toolbar1 = nullptr;
  QListWidget* List1 = nullptr;
  QListWidget* List2 = nullptr;
};

}  // namespace vantiro
