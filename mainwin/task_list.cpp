#include "mainwin/task_list.h"

#include "common/ui/text_convert.h"
#include "platform/absolute_path.h"
#include "platform/file_service.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPixmap>
#include <QTimer>
#include <QUrl>

namespace vantiro::ui {

// ---------------------------------------------------------------- TaskListView

std::vector<Text> droppedPaths(const QMimeData& data) {
  std::vector<Text> paths;
  for (const QUrl& url : data.urls()) {
    if (!url.isLocalFile()) continue;
    paths.push_back(textPath(nativePathOfUrl(url)));
  }
  return paths;
}

TaskListView::TaskListView(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
}

bool acceptFileDrop(QDropEvent* event) {
  const Qt::DropActions offered = event->possibleActions();
  if (!event->mimeData()->hasUrls() || !(offered & (Qt::CopyAction | Qt::LinkAction))) {
    event->ignore();
    return false;
  }
  // The list only notes the paths: the files stay where they are, so a
  // source that offers a move is never told to delete its originals.
  event->setDropAction(offered & Qt::CopyAction ? Qt::CopyAction : Qt::LinkAction);
  event->accept();
  return true;
}

void TaskListView::dragEnterEvent(QDragEnterEvent* event) { acceptFileDrop(event); }

void TaskListView::dragMoveEvent(QDragMoveEvent* event) { acceptFileDrop(event); }

void TaskListView::dropEvent(QDropEvent* event) {
  if (acceptFileDrop(event)) emit pathsDropped(droppedPaths(*event->mimeData()));
}

// ---------------------------------------------------------------- TaskListPanel

TaskListPanel::TaskListPanel(QWidget* parent) : QStackedWidget(parent) {
  List1 = new TaskListView(this);
  List1->setObjectName(QStringLiteral("List1"));
  List1->setToolTip(QStringLiteral("这是任务栏，您只有加入任务后才可以按“全部压缩”"));
  List1->setMouseTracking(true);

  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setAlignment(Qt::AlignCenter);
  Image1->setPixmap(QPixmap(QStringLiteral(":/vantiro/image1.png")));
  Image1->setMouseTracking(true);
  Image1->setAutoFillBackground(true);
  Image1->setStyleSheet(QStringLiteral("QLabel#Image1 { background: white; border: 1px solid #a0a0a0; }"));
  Image1->setAcceptDrops(true);
  Image1->installEventFilter(this);

  addWidget(List1);
  addWidget(Image1);
  setCurrentWidget(List1);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &TaskListPanel::tick);
  Timer1->start();

  connect(List1, &TaskListView::pathsDropped, this, &TaskListPanel::dropPaths);
  // Entries show as soon as they arrive, however they came.
  connect(List1->model(), &QAbstractItemModel::rowsInserted, this, &TaskListPanel::showList);
}

std::vector<Text> TaskListPanel::entries() const {
  std::vector<Text> result;
  result.reserve(static_cast<std::size_t>(List1->count()));
  for (int i = 0; i < List1->count(); ++i) result.push_back(entry(i));
  return result;
}

void TaskListPanel::clear() { List1->clear(); }

void TaskListPanel::append(const Text& path) {
  // Queued absolute, so a page keeps its name wherever the program runs from.
  const Text queued = absolutePath(path);
  auto* item = new QListWidgetItem(toQString(queued), List1);
  item->setData(Qt::UserRole, toQString(queued));
}

int TaskListPanel::count() const { return List1->count(); }

Text TaskListPanel::entry(int index) const {
  const QListWidgetItem* item = List1->item(index);
  return item ? fromQString(item->data(Qt::UserRole).toString()) : Text();
}

bool TaskListPanel::isSelected(int index) const {
  const QListWidgetItem* item = List1->item(index);
  return item && item->isSelected();
}

void TaskListPanel::removeAt(int index) { delete List1->takeItem(index); }

bool TaskListPanel::addIfAbsent(const Text& path) {
  const Text queued = absolutePath(path);
  for (int i = 0; i < List1->count(); ++i)
    if (entry(i) == queued) return false;
  append(queued);
  return true;
}

void TaskListPanel::removeSelectedEntries() {
  std::vector<int> selected;
  for (int i = 0; i < List1->count(); ++i)
    if (isSelected(i)) selected.push_back(i);
  // From the back, so that the positions still to be removed stay valid.
  for (auto it = selected.rbegin(); it != selected.rend(); ++it) removeAt(*it);
}

Text TaskListPanel::currentEntry() const {
  const QListWidgetItem* item = List1->currentItem();
  return item ? fromQString(item->data(Qt::UserRole).toString()) : Text();
}

void TaskListPanel::showList() { setCurrentWidget(List1); }

bool TaskListPanel::isListShown() const { return currentWidget() == List1; }

void TaskListPanel::dropPaths(const std::vector<Text>& paths) {
  for (const Text& path : paths) {
    std::string native = nativePath(path);
    try {
      if (isDirectory(native)) {
        if (scanDirectory_) scanDirectory_(path);
      } else if (isNormalFile(native)) {
        // Tested against the entries as they are now, so that a file that is
        // also reached through a dropped directory is not listed twice.
        addIfAbsent(path);
      }
    } catch (const std::exception&) {
      // An item the file system cannot tell about is skipped like a missing one.
    }
  }
}

bool TaskListPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched != Image1) return QStackedWidget::eventFilter(watched, event);
  switch (event->type()) {
    // Only a real movement counts: a list hidden under a resting mouse stays hidden.
    case QEvent::MouseMove:
      showList();
      break;
    // The picture invites drops: it takes them as the list does.
    case QEvent::DragEnter:
    case QEvent::DragMove:
      acceptFileDrop(static_cast<QDropEvent*>(event));
      return true;
    case QEvent::Drop:
      if (acceptFileDrop(static_cast<QDropEvent*>(event))) dropPaths(droppedPaths(*static_cast<QDropEvent*>(event)->mimeData()));
      return true;
    default:
      break;
  }
  return QStackedWidget::eventFilter(watched, event);
}

// The picture stands in only for an empty list.
void TaskListPanel::tick() { setCurrentWidget(List1->count() == 0 ? static_cast<QWidget*>(Image1) : List1); }

}  // namespace vantiro::ui
