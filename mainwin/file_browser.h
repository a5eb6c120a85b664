#pragma once
// The small file browser on the left of the main window: drive list, directory
// list, type filter and file list.
//
// Drives are the mounted file systems, "/" first. The directory list shows the
// path down to its current directory and the subdirectories below it; its
// highlighted entry (what the directory menu acts on) can differ from the
// current directory until it is opened with a double-click or Enter.

#include "platform/text.h"

#include <QListWidget>
#include <QWidget>

#include <map>
#include <string>
#include <vector>

class QComboBox;

namespace vantiro::ui {

// The mount points of the mounted file systems that hold files a user works
// with, "/" first and the rest sorted; pseudo file systems are left out.
std::vector<std::string> mountedDrives();
// Picks the mount point that contains `directory` (the longest prefix).
std::string driveOf(const std::string& directory, const std::vector<std::string>& drives);

// Directory list in the manner of a classic directory box.
class DirectoryList : public QListWidget {
  Q_OBJECT

 public:
  explicit DirectoryList(QWidget* parent = nullptr);

  // Lists `directory` (without trailing "/" except for the root). Throws
  // FileError when it cannot be listed; the list then keeps what it showed.
  void setPath(const Text& directory);
  const Text& path() const { return path_; }
  // The highlighted entry's directory, or the current directory when nothing
  // is highlighted.
  Text highlightedPath() const;
  // Re-reads the current directory.
  void refresh();

 signals:
  void pathChanged();

 private:
  void openItem(QListWidgetItem* item);
  Text path_;
};

// File list that hands dragged files to other programs as a URI list.
class FileList : public QListWidget {
  Q_OBJECT

 public:
  explicit FileList(QWidget* parent = nullptr);

 protected:
  QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
  QStringList mimeTypes() const override;

 private:
  friend class FileBrowser;
  Text directory_;
};

class FileBrowser : public QWidget {
  Q_OBJECT

 public:
  explicit FileBrowser(QWidget* parent = nullptr);

  // The current directory of `Dir1` (no trailing "/" except for the root).
  Text currentDirectory() const;
  // Opens a directory in `Dir1` and `File1`. Throws FileError when it cannot
  // be listed; nothing changes then.
  void setCurrentDirectory(const Text& directory);
  Text highlightedDirectory() const;

  // "*.htm" (also lists ".html") or "*.*" (every file).
  std::string pattern() const { return pattern_; }
  void chooseFilter(int index);

  // Paths of the file list's files: the directory with "/" ensured, then the name.
  Text filePath(const QListWidgetItem* item) const;
  std::vector<Text> selectedFilePaths() const;
  std::vector<Text> allFilePaths() const;
  // The file list's current file, or an empty text when there is none.
  Text currentFilePath() const;

  void refreshFiles();
  void refreshDirectories();

  // File operations on the current file of the file list (rename never
  // replaces an existing file). Failures are reported in message boxes.
  void renameCurrentFile();
  void deleteCurrentFile();

  QComboBox* Drive1 = nullptr;
  DirectoryList* Dir1 = nullptr;
  FileList* File1 = nullptr;
  QComboBox* Combo1 = nullptr;

 signals:
  // A double-click on a file of the file list.
  void fileDoubleClicked(const vantiro::Text& path);

 private:
  void changeDrive(int index);
  void showDriveOf(const Text& directory);

  std::string pattern_ = "*.htm";
  std::vector<std::string> drives_;
  std::map<std::string, Text> driveDirectories_;  // last directory seen on each drive
  int driveIndex_ = -1;
};

// Wildcard test of the file list: "*.*" lists every file, as users of the
// original expect; other patterns go through the platform's matcher.
bool matchesFileFilter(const std::string& name, const std::string& pattern);

}  // namespace vantiro::ui
