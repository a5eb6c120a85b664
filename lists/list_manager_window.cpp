#include "lists/list_manager_window.h"

#include "common/ui/flat_toolbar.h"
#include "common/ui/text_convert.h"
#include "common/ui/window_keys.h"
#include "common/ui/window_placement.h"
#include "lists/task_list_files.h"
#include "platform/file_service.h"

#include <QAction>
#include <QHBoxLayout>
#include <QListWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace vantiro {
namespace {

using ui::fromQString;
using ui::toQString;

// Runs one toolbar action; a failure ends it without a word, keeping what
// was done before it.
template <typename F>
void silently(F&& action) {
  try {
    action();
  } catch (const std::exception&) {
  }
}

}  // namespace

ListManagerWindow::ListManagerWindow(TaskListAccess& taskList, QWidget* parent)
    : QWidget(parent, Qt::Window), taskList_(taskList) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("ListManager"));
  setWindowTitle(QStringLiteral("主页列表"));
  // Only the title stays: no minimize, maximize or close button; "关闭" on the
  // toolbar closes the window. It may be resized, and opens no larger than the screen.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  buildControls();
  ui::ApplyFlatToolbarStyle(Toolbar1);
  listTheLists();
  ui::placeWindow(this, QSize(720, 400));
}

ListManagerWindow::~ListManagerWindow() = default;

void ListManagerWindow::buildControls() {
  Toolbar1 = new QToolBar(this);
  Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
  Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
  Toolbar1->setMovable(false);

  struct Button {
    const char* objectName;
    QString caption;
    QString toolTip;
    void (ListManagerWindow::*action)();
  };
  const Button buttons[] = {
      {"saveList", QStringLiteral("保存"), QStringLiteral("以当前的列表框保存和覆盖文件"),
       &ListManagerWindow::saveList},
      {"addToTaskList", QStringLiteral("添加"), QStringLiteral("将这个记录添加到压缩列表中"),
       &ListManagerWindow::addToTaskList},
      {"overwriteTaskList", QStringLiteral("覆盖"), QStringLiteral("将本记录覆盖到压缩列表中"),
       &ListManagerWindow::overwriteTaskList},
      {"deleteList", QStringLiteral("删除"), QStringLiteral("删除记录文件"), &ListManagerWindow::deleteList},
      {"closeWindow", QStringLiteral("关闭"), QStringLiteral("关闭窗口"), nullptr},
      {"setDefaultList", QStringLiteral("默认"), QStringLiteral("设置为软件启动后的默认记录"),
       &ListManagerWindow::setDefaultList},
      {"cancelDefaultList", QStringLiteral("取消"), QStringLiteral("取消默认的记录"),
       &ListManagerWindow::cancelDefaultList},
  };
  for (const Button& b : buttons) {
    QAction* action = Toolbar1->addAction(b.caption);
    action->setObjectName(QString::fromLatin1(b.objectName));
    action->setToolTip(b.toolTip);
    if (QWidget* button = Toolbar1->widgetForAction(action)) {
      button->setObjectName(QString::fromLatin1(b.objectName));
      // Toolbars keep their buttons out of the Tab chain; here they are the
      // window's only buttons, so the keyboard must reach them.
      button->setFocusPolicy(Qt::TabFocus);
    }
    if (b.action) {
      connect(action, &QAction::triggered, this, b.action);
    } else {
      connect(action, &QAction::triggered, this, &QWidget::close);
    }
  }

  List1 = new QListWidget(this);
  List1->setObjectName(QStringLiteral("List1"));
  List2 = new QListWidget(this);
  List2->setObjectName(QStringLiteral("List2"));
  List2->setSelectionMode(QAbstractItemView::NoSelection);

  auto* lists = new QHBoxLayout;
  lists->addWidget(List1, 1);
  lists->addWidget(List2, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Toolbar1);
  lists->setContentsMargins(6, 0, 6, 6);
  layout->addLayout(lists, 1);

  connect(List1, &QListWidget::currentRowChanged, this, &ListManagerWindow::showEntries);
  ui::closeOnEscape(this);
}

void ListManagerWindow::listTheLists() {
  List1->clear();
  listPaths_.clear();
  // An unreadable directory leaves both lists empty; the window still opens.
  silently([&] {
    for (const ListFileInfo& list : ListSavedListFiles()) {
      listPaths_.push_back(list.path);
      List1->addItem(toQString(list.shownName));
    }
  });
}

void ListManagerWindow::showEntries(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= listPaths_.size()) return;
  std::vector<Text> entries;
  try {
    entries = ReadListEntries(listPaths_[static_cast<std::size_t>(row)]);
  } catch (const std::exception&) {
    List2->clear();
    return;
  }
  // A list without entries still shows one empty line.
  if (entries.empty()) entries.emplace_back();
  List2->clear();
  for (const Text& entry : entries) List2->addItem(toQString(entry));
}

std::vector<Text> ListManagerWindow::shownEntries() const {
  std::vector<Text> entries;
  entries.reserve(static_cast<std::size_t>(List2->count()));
  for (int i = 0; i < List2->count(); ++i) entries.push_back(fromQString(List2->item(i)->text()));
  return entries;
}

int ListManagerWindow::selectedList() const {
  const int row = List1->currentRow();
  if (row < 0 || static_cast<std::size_t>(row) >= listPaths_.size()) return -1;
  return row;
}

void ListManagerWindow::saveList() {
  const int row = selectedList();
  if (row < 0) return;
  silently([&] {
    WriteSavedList(listPaths_[static_cast<std::size_t>(row)], fromQString(List1->item(row)->text()),
                   taskList_.entries());
  });
}

void ListManagerWindow::addToTaskList() {
  if (List2->count() == 0) return;
  // The presence test looks at the task list as it was before the first line
  // went in, so two equal lines new to it both go in.
  const std::vector<Text> before = taskList_.entries();
  silently([&] {
    for (const Text& line : shownEntries()) {
      if (std::find(before.begin(), before.end(), line) != before.end()) continue;
      if (!isNormalFile(nativePath(line))) continue;
      taskList_.append(line);
    }
  });
}

void ListManagerWindow::overwriteTaskList() {
  if (List2->count() == 0) return;
  const std::vector<Text> entries = shownEntries();
  taskList_.clear();
  for (const Text& line : entries) taskList_.append(line);
}

void ListManagerWindow::deleteList() {
  const int row = selectedList();
  if (row < 0) return;
  silently([&] {
    files().removeFile(listPaths_[static_cast<std::size_t>(row)]);
    listTheLists();
  });
}

void ListManagerWindow::setDefaultList() {
  silently([&] { WriteDefaultList(shownEntries()); });
}

void ListManagerWindow::cancelDefaultList() {
  silently([&] { DeleteDefaultList(); });
}

}  // namespace vantiro
