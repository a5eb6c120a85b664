#pragma once
// The task list on the right of the main window: the pages the next
// compression run works on. While it is empty a timer hides it and a picture
// stands in its place; moving the mouse over the picture brings it back, and
// the list shows again as soon as it holds an entry.

#include "common/task_list_access.h"
#include "platform/text.h"

#include <QListWidget>
#include <QStackedWidget>

#include <functional>
#include <vector>

class QLabel;
class QDropEvent;
class QMimeData;
class QTimer;

namespace vantiro::ui {

// The local files and directories of a dropped URI list, in the order given,
// as paths of the program's text (other addresses are left out).
std::vector<Text> droppedPaths(const QMimeData& data);

// Answers a drag or drop of files: accepted as a copy (a link when the source
// offers no copy), never as a move; anything else is refused. True when accepted.
bool acceptFileDrop(QDropEvent* event);

// List1 itself: a list of full paths that accepts dropped files and directories.
class TaskListView : public QListWidget {
  Q_OBJECT

 public:
  explicit TaskListView(QWidget* parent = nullptr);

 signals:
  // Local paths of a drop of files or directories, in the order given.
  void pathsDropped(const std::vector<vantiro::Text>& paths);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};

class TaskListPanel : public QStackedWidget, public TaskListAccess {
  Q_OBJECT

 public:
  explicit TaskListPanel(QWidget* parent = nullptr);

  // TaskListAccess: what the list manager and the search-and-replace window use.
  std::vector<Text> entries() const override;
  void clear() override;
  void append(const Text& path) override;

  int count() const;
  Text entry(int index) const;
  bool isSelected(int index) const;
  void removeAt(int index);
  // Appends unless an entry equals the path exactly (with case). Entries
  // are kept absolute (absolutePath), whichever way they come in.
  bool addIfAbsent(const Text& path);

  // Removes the selected entries; the others keep their order.
  void removeSelectedEntries();
  // The current entry's text, empty when there is none.
  Text currentEntry() const;

  void showList();
  bool isListShown() const;

  // What a dropped directory does: the main window scans it into the list.
  void setDirectoryScanner(std::function<void(const Text&)> scan) { scanDirectory_ = std::move(scan); }
  // A drop of local paths (`List1` calls it; tests may too).
  void dropPaths(const std::vector<Text>& paths);

  TaskListView* List1 = nullptr;
  QLabel* Image1 = nullptr;
  QTimer* Timer1 = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void tick();
  std::function<void(const Text&)> scanDirectory_;
};

}  // namespace vantiro::ui
