#include "mainwin/file_browser.h"

#include "common/ui/message_box.h"
#include "common/ui/text_convert.h"
#include "platform/file_service.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <fstream>
#include <set>

namespace vantiro::ui {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 1;
constexpr int kDepthRole = Qt::UserRole + 2;

// The directory list shows its levels indented by the view, so that item
// texts are the bare names: type-to-find and screen readers see just those.
class IndentingDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(option, index), 0);
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->rect.adjust(indent(*option, index), 0, 0, 0);
  }

 private:
  static int indent(const QStyleOptionViewItem& option, const QModelIndex& index) {
    return index.data(kDepthRole).toInt() * option.fontMetrics.horizontalAdvance(QStringLiteral("  "));
  }
};

// /proc/mounts writes blanks and a few other bytes of mount points as "\ooo".
std::string unescapeMountPoint(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    auto digit = [&](std::size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '7'; };
    if (s[i] == '\\' && digit(i + 1) && digit(i + 2) && digit(i + 3)) {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool isPseudoFileSystem(const std::string& type, const std::string& mountPoint) {
  static const std::set<std::string> pseudo = {
      "proc",     "sysfs",      "devtmpfs", "devpts",    "cgroup",  "cgroup2", "securityfs", "pstore",
      "bpf",      "debugfs",    "tracefs",  "mqueue",    "hugetlbfs", "configfs", "fusectl", "autofs",
      "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs",   "ramfs",   "selinuxfs", "fuse.gvfsd-fuse", "fuse.portal"};
  if (pseudo.count(type)) return true;
  for (const char* system : {"/proc", "/sys", "/dev"}) {
    std::string prefix = system;
    if (mountPoint == prefix || mountPoint.rfind(prefix + "/", 0) == 0) return true;
  }
  // /run holds the system's own tmpfs mounts; removable media appear under /run/media.
  if ((mountPoint == "/run" || mountPoint.rfind("/run/", 0) == 0) && mountPoint.rfind("/run/media/", 0) != 0) return true;
  return false;
}

Text withSlash(Text dir) {
  if (dir.empty() || dir.back() != U'/') dir += U'/';
  return dir;
}

// "/a/b/" and "/a/b" name the same directory; the list shows it without the
// trailing "/" (the root stays "/").
Text withoutSlash(Text dir) {
  while (dir.size() > 1 && dir.back() == U'/') dir.pop_back();
  return dir;
}

}  // namespace

std::vector<std::string> mountedDrives() {
  std::vector<std::string> drives;
  std::ifstream mounts("/proc/self/mounts");
  std::string device, mountPoint, type, rest;
  while (mounts >> device >> mountPoint >> type) {
    std::getline(mounts, rest);
    std::string point = unescapeMountPoint(mountPoint);
    if (isPseudoFileSystem(type, point)) continue;
    if (std::find(drives.begin(), drives.end(), point) == drives.end()) drives.push_back(point);
  }
  std::sort(drives.begin(), drives.end());
  drives.erase(std::remove(drives.begin(), drives.end(), std::string("/")), drives.end());
  drives.insert(drives.begin(), "/");
  return drives;
}

std::string driveOf(const std::string& directory, const std::vector<std::string>& drives) {
  std::string best = "/";
  std::string dir = directory.empty() || directory.back() != '/' ? directory + "/" : directory;
  for (const auto& drive : drives) {
    std::string prefix = drive.back() == '/' ? drive : drive + "/";
    if (dir.rfind(prefix, 0) == 0 && drive.size() > best.size()) best = drive;
  }
  return best;
}

bool matchesFileFilter(const std::string& name, const std::string& pattern) {
  if (pattern == "*.*") return true;
  return matchesPattern(name, pattern);
}

// ---------------------------------------------------------------- DirectoryList

DirectoryList::DirectoryList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setItemDelegate(new IndentingDelegate(this));
  connect(this, &QListWidget::itemActivated, this, &DirectoryList::openItem);
}

void DirectoryList::setPath(const Text& directory) {
  Text dir = withoutSlash(directory);
  auto entries = files().listDirectory(nativePath(withSlash(dir)));

  clear();
  const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);

  // The way down from the root, one entry per level.
  std::vector<Text> levels{U"/"};
  for (std::size_t pos = 1; pos < dir.size();) {
    std::size_t slash = dir.find(U'/', pos);
    if (slash == npos) slash = dir.size();
    levels.push_back(dir.substr(0, slash));
    pos = slash + 1;
  }
  int depth = 0;
  QListWidgetItem* current = nullptr;
  for (const Text& level : levels) {
    Text name = level == U"/" ? level : level.substr(level.rfind(U'/') + 1);
    auto* item = new QListWidgetItem(openIcon, toQString(name), this);
    item->setData(kPathRole, toQString(level));
    item->setData(kDepthRole, depth);
    current = item;
    ++depth;
  }
  for (const auto& entry : entries) {
    if (entry.kind != EntryKind::Directory || entry.hidden) continue;
    Text name = textPath(entry.name);
    auto* item = new QListWidgetItem(closedIcon, toQString(name), this);
    item->setData(kPathRole, toQString(withSlash(dir) + name));
    item->setData(kDepthRole, depth);
  }
  setCurrentItem(current);
  path_ = dir;
  emit pathChanged();
}

Text DirectoryList::highlightedPath() const {
  const QListWidgetItem* item = currentItem();
  return item ? fromQString(item->data(kPathRole).toString()) : path_;
}

void DirectoryList::refresh() { setPath(path_); }

void DirectoryList::openItem(QListWidgetItem* item) {
  if (!item) return;
  try {
    setPath(fromQString(item->data(kPathRole).toString()));
  } catch (const std::exception& e) {
    MessageBox::information(this, QString::fromUtf8(e.what()));
  }
}

// ---------------------------------------------------------------- FileList

FileList::FileList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::DragOnly);
}

QStringList FileList::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

QMimeData* FileList::mimeData(const QList<QListWidgetItem*>& items) const {
  QList<QUrl> urls;
  for (const QListWidgetItem* item : items) {
    std::string native = nativePath(withSlash(directory_)) + item->data(kNameRole).toByteArray().toStdString();
    urls.push_back(fileUrl(native));
  }
  auto* data = new QMimeData;
  data->setUrls(urls);
  return data;
}

// ---------------------------------------------------------------- FileBrowser

FileBrowser::FileBrowser(QWidget* parent) : QWidget(parent) {
  Drive1 = new QComboBox(this);
  Drive1->setObjectName(QStringLiteral("Drive1"));
  Dir1 = new DirectoryList(this);
  Dir1->setObjectName(QStringLiteral("Dir1"));
  File1 = new FileList(this);
  File1->setObjectName(QStringLiteral("File1"));
  File1->setToolTip(QStringLiteral("文件菜单，支持拖放，和双击文件！"));
  Combo1 = new QComboBox(this);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->setToolTip(QStringLiteral("文件的类型选择"));
  Combo1->addItem(QStringLiteral("*.htm,*.html"));
  Combo1->addItem(QStringLiteral("*.*"));

  drives_ = mountedDrives();
  for (const auto& drive : drives_) Drive1->addItem(QFile::decodeName(QByteArray::fromStdString(drive)));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  layout->addWidget(Drive1);
  layout->addWidget(Dir1, 3);
  layout->addWidget(Combo1);
  layout->addWidget(File1, 4);

  connect(Drive1, &QComboBox::activated, this, &FileBrowser::changeDrive);
  connect(Combo1, &QComboBox::activated, this, &FileBrowser::chooseFilter);
  connect(Dir1, &DirectoryList::pathChanged, this, [this] {
    showDriveOf(Dir1->path());
    refreshFiles();
  });
  connect(File1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    if (item) emit fileDoubleClicked(filePath(item));
  });
}

Text FileBrowser::currentDirectory() const { return Dir1->path(); }

void FileBrowser::setCurrentDirectory(const Text& directory) { Dir1->setPath(directory); }

Text FileBrowser::highlightedDirectory() const { return Dir1->highlightedPath(); }

void FileBrowser::chooseFilter(int index) {
  if (Combo1->currentIndex() != index) Combo1->setCurrentIndex(index);
  pattern_ = index == 1 ? "*.*" : "*.htm";
  refreshFiles();
}

Text FileBrowser::filePath(const QListWidgetItem* item) const {
  return withSlash(File1->directory_) + textPath(item->data(kNameRole).toByteArray().toStdString());
}

std::vector<Text> FileBrowser::selectedFilePaths() const {
  std::vector<Text> paths;
  for (int i = 0; i < File1->count(); ++i)
    if (File1->item(i)->isSelected()) paths.push_back(filePath(File1->item(i)));
  return paths;
}

std::vector<Text> FileBrowser::allFilePaths() const {
  std::vector<Text> paths;
  for (int i = 0; i < File1->count(); ++i) paths.push_back(filePath(File1->item(i)));
  return paths;
}

Text FileBrowser::currentFilePath() const {
  const QListWidgetItem* item = File1->currentItem();
  return item ? filePath(item) : Text();
}

void FileBrowser::refreshFiles() {
  File1->clear();
  File1->directory_ = Dir1->path();
  if (File1->directory_.empty()) return;
  std::vector<DirEntry> entries;
  try {
    entries = files().listDirectory(nativePath(withSlash(File1->directory_)));
  } catch (const std::exception&) {
    return;  // a directory that vanished shows no files
  }
  for (const auto& entry : entries) {
    if (entry.kind != EntryKind::File || entry.hidden || !matchesFileFilter(entry.name, pattern_)) continue;
    auto* item = new QListWidgetItem(toQString(textPath(entry.name)), File1);
    item->setData(kNameRole, QByteArray::fromStdString(entry.name));
  }
}

void FileBrowser::refreshDirectories() {
  try {
    Dir1->refresh();
  } catch (const std::exception& e) {
    MessageBox::information(this, QString::fromUtf8(e.what()));
  }
}

void FileBrowser::renameCurrentFile() {
  const QListWidgetItem* item = File1->currentItem();
  if (!item) return;
  const std::optional<QString> answer =
      MessageBox::input(this, QStringLiteral("请输入新的文件名（空为不变）："), item->text(), QStringLiteral("文件重命名"));
  const Text name = answer ? trimSpaces(fromQString(*answer)) : Text();
  bool renamed = false;
  if (!name.empty() && name.find(U'/') == npos) {
    try {
      files().renameNoReplace(nativePath(filePath(item)), nativePath(withSlash(File1->directory_) + name));
      renamed = true;
    } catch (const std::exception&) {
    }
  }
  if (!renamed) {
    MessageBox::information(this, QStringLiteral("重命名失败"));
    return;
  }
  refreshFiles();
}

void FileBrowser::deleteCurrentFile() {
  const QListWidgetItem* item = File1->currentItem();
  if (!item) return;
  if (!MessageBox::question(this, QStringLiteral("是否要删除 ") + item->text())) return;
  try {
    files().removeFile(nativePath(filePath(item)));
  } catch (const std::exception&) {
    MessageBox::information(this, QStringLiteral("删除失败！"));
    return;
  }
  refreshFiles();
}

void FileBrowser::changeDrive(int index) {
  if (index < 0 || index >= static_cast<int>(drives_.size())) return;
  const std::string& drive = drives_[static_cast<std::size_t>(index)];
  auto seen = driveDirectories_.find(drive);
  Text target = seen != driveDirectories_.end() ? seen->second : textPath(drive);
  Text before = Dir1->path();
  try {
    Dir1->setPath(target);
  } catch (const std::exception& e) {
    MessageBox::information(this, QString::fromUtf8(e.what()));
    // The directory list goes back to what it showed; the drive list keeps the new drive.
    if (!before.empty()) {
      try {
        Dir1->setPath(before);
      } catch (const std::exception&) {
      }
    }
    driveIndex_ = index;
    Drive1->setCurrentIndex(index);
  }
}

void FileBrowser::showDriveOf(const Text& directory) {
  std::string native = nativePath(directory);
  std::string drive = driveOf(native, drives_);
  driveDirectories_[drive] = directory;
  auto it = std::find(drives_.begin(), drives_.end(), drive);
  if (it == drives_.end()) return;
  int index = static_cast<int>(it - drives_.begin());
  driveIndex_ = index;
  QSignalBlocker block(Drive1);
  Drive1->setCurrentIndex(index);
}

}  // namespace vantiro::ui
