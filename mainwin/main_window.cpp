#include "mainwin/main_window.h"

#include "backup/restore_window.h"
#include "common/ui/message_box.h"
#include "common/ui/text_convert.h"
#include "common/ui/tip_window.h"
#include "common/ui/window_placement.h"
#include "compress/run_window.h"
#include "lists/list_manager_window.h"
#include "lists/task_list_files.h"
#include "mainwin/file_browser.h"
#include "mainwin/main_menus.h"
#include "mainwin/options_panel.h"
#include "mainwin/task_list.h"
#include "pageinfo/info_window.h"
#include "platform/absolute_path.h"
#include "platform/file_service.h"
#include "queue/directory_scan.h"
#include "replace/replace_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace vantiro::ui {
namespace {

QPushButton* button(const char* name, const char* caption, QWidget* parent) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

QLabel* linkLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setStyleSheet(QStringLiteral("color: blue;"));
  label->setCursor(Qt::PointingHandCursor);
  label->setMouseTracking(true);
  return label;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Vantirov3.00"));
  setWindowIcon(QIcon(QStringLiteral(":/vantiro/vantiro.png")));
  buildControls();
}

MainWindow::~MainWindow() {
  // The menus watch the lists' events; they go first, so that no event of a
  // list being destroyed reaches them while this window is half gone.
  delete menus_;
  menus_ = nullptr;
  // The program ends with this window: the others go without their closing steps.
  delete runWindow_.data();
  delete replaceWindow_.data();
  delete listManager_.data();
  delete tipWindow_.data();
}

void MainWindow::buildControls() {
  auto* central = new QWidget(this);
  setCentralWidget(central);

  options_ = new OptionsPanel(central);
  browser_ = new FileBrowser(central);
  taskList_ = new TaskListPanel(central);
  taskList_->setDirectoryScanner([this](const Text& dir) { queueDirectoryTree(dir); });

  Command1 = button("Command1", "添加", central);
  Command2 = button("Command2", "全部添加", central);
  Command3 = button("Command3", "删除", central);
  Command4 = button("Command4", "删除全部", central);
  Command5 = button("Command5", "压缩", central);
  Command6 = button("Command6", "全部压缩", central);
  Command7 = button("Command7", "控制列表", central);
  Command8 = button("Command8", "还原压缩", central);
  Command9 = button("Command9", "保存列表", central);
  Command10 = button("Command10", "默认列表", central);
  Command11 = button("Command11", "查找替换", central);

  Label1 = linkLabel("Label1", QString::fromUtf8(kHomePage), central);
  Label4 = linkLabel("Label4", QString::fromUtf8(kMailAddress), central);

  // Left: the browser with its two add buttons; right: the task list with its buttons.
  auto* left = new QVBoxLayout;
  left->addWidget(browser_, 1);
  auto* addRow = new QHBoxLayout;
  addRow->addWidget(Command1);
  addRow->addWidget(Command2);
  left->addLayout(addRow);

  auto* right = new QVBoxLayout;
  right->addWidget(taskList_, 1);
  auto* listButtons = new QGridLayout;
  QPushButton* const rightButtons[] = {Command3, Command4, Command5, Command6, Command9, Command10, Command7, Command8};
  for (int i = 0; i < 8; ++i) listButtons->addWidget(rightButtons[i], i / 4, i % 4);
  right->addLayout(listButtons);

  auto* lists = new QHBoxLayout;
  lists->addLayout(left, 2);
  lists->addLayout(right, 3);

  auto* tools = new QVBoxLayout;
  tools->addWidget(Command11);
  tools->addStretch(1);
  tools->addWidget(Label1);
  tools->addWidget(Label4);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(options_, 1);
  bottom->addLayout(tools);

  auto* layout = new QVBoxLayout(central);
  layout->addWidget(options_->directoryRow());
  layout->addLayout(lists, 1);
  layout->addLayout(bottom);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);
  statusField_ = new QLabel(StatusBar1);
  statusField_->setObjectName(QStringLiteral("StatusBar1Text"));
  StatusBar1->addWidget(statusField_, 1);
  setStatusBar(StatusBar1);

  menus_ = new MainMenus(*this, Label1, Label4);

  connect(Command1, &QPushButton::clicked, this, &MainWindow::addSelectedFiles);
  connect(Command2, &QPushButton::clicked, this, &MainWindow::addAllFiles);
  connect(Command3, &QPushButton::clicked, this, &MainWindow::removeSelectedEntries);
  connect(Command4, &QPushButton::clicked, this, &MainWindow::emptyTaskList);
  connect(Command5, &QPushButton::clicked, this, &MainWindow::compressSelectedEntries);
  connect(Command6, &QPushButton::clicked, this, &MainWindow::compressAllEntries);
  connect(Command7, &QPushButton::clicked, this, &MainWindow::showListManager);
  connect(Command8, &QPushButton::clicked, this, &MainWindow::showRestoreWindow);
  connect(Command9, &QPushButton::clicked, this, &MainWindow::saveList);
  connect(Command10, &QPushButton::clicked, this, &MainWindow::loadDefaultList);
  connect(Command11, &QPushButton::clicked, this, &MainWindow::showReplaceWindow);
  connect(options_, &OptionsPanel::hint, this, &MainWindow::showStatus);
  connect(browser_, &FileBrowser::fileDoubleClicked, this, &MainWindow::addDoubleClicked);

  placeWindow(this, QSize(860, 620));
}

CompressionOptions MainWindow::options() const {
  CompressionOptions o = options_->options();
  o.runWindowOnTop = menus_->com11->isChecked();
  return o;
}

void MainWindow::showStatus(const QString& text) { statusField_->setText(text); }

QString MainWindow::statusText() const { return statusField_->text(); }

// ---------------------------------------------------------------- task list

void MainWindow::addSelectedFiles() {
  taskList_->showList();
  for (const Text& path : browser_->selectedFilePaths()) taskList_->addIfAbsent(path);
}

void MainWindow::addAllFiles() {
  taskList_->showList();
  for (const Text& path : browser_->allFilePaths()) {
    try {
      if (isNormalFile(nativePath(path))) taskList_->addIfAbsent(path);
    } catch (const std::exception&) {
      // A file the platform cannot tell about is skipped like a missing one.
    }
  }
}

void MainWindow::addDoubleClicked(const Text& path) {
  taskList_->showList();
  taskList_->addIfAbsent(path);
}

void MainWindow::removeSelectedEntries() { taskList_->removeSelectedEntries(); }

void MainWindow::emptyTaskList() { taskList_->clear(); }

std::size_t MainWindow::queueDirectoryTree(const Text& root) {
  // The file list's "*.*" lists every file; the walk's matcher is told so with "*".
  const std::string pattern = browser_->pattern();
  const TextView scanPattern = pattern == "*.*" ? TextView(U"*") : kHtmlPattern;
  const std::vector<Text> added = scanNewEntries(root, scanPattern, taskList_->entries());
  for (const Text& path : added) taskList_->append(path);
  return added.size();
}

void MainWindow::queueHighlightedDirectory() {
  Text d = browser_->highlightedDirectory();
  showStatus(QStringLiteral("正在读取目录 ") + toQString(d) + QStringLiteral("中的所有文件........."));
  const std::size_t added = queueDirectoryTree(d);
  showStatus(QStringLiteral("读取目录 ") + toQString(withTrailingSlash(d)) + QStringLiteral(" 完毕，添加了 %1 个文件").arg(added));
}

void MainWindow::queuePaths(const std::vector<Text>& paths) {
  std::size_t added = 0;
  for (const Text& path : paths) {
    const Text absolute = absolutePath(path);
    if (isDirectory(nativePath(absolute))) {
      added += queueDirectoryTree(absolute);
    } else if (isNormalFile(nativePath(absolute)) && taskList_->addIfAbsent(absolute)) {
      ++added;
    }
  }
  taskList_->showList();
  showStatus(QStringLiteral("添加了 %1 个文件").arg(added));
}

void MainWindow::viewFileListFile() {
  Text path = browser_->currentFilePath();
  if (!path.empty()) showInfoWindow(path);
}

void MainWindow::viewTaskListEntry() {
  Text path = taskList_->currentEntry();
  if (!path.empty()) showInfoWindow(path);
}

void MainWindow::setSourceFromHighlighted() { options_->text1->setEditText(toQString(browser_->highlightedDirectory())); }

void MainWindow::setDestinationFromHighlighted() {
  options_->text2->setEditText(toQString(browser_->highlightedDirectory()));
}

void MainWindow::saveList() {
  MessageBox::Answer answer = MessageBox::questionWithCancel(this, QStringLiteral("新的记录吗？按否为旧记录"));
  if (answer == MessageBox::Answer::Cancel) return;
  if (answer == MessageBox::Answer::No) {
    showListManager();
    return;
  }
  const std::optional<QString> name = MessageBox::input(this, QStringLiteral("请输入您的记录名称！"));
  if (!name) return;
  try {
    WriteNewSavedList(fromQString(*name), taskList_->entries());
  } catch (const std::exception&) {
    // A failed write ends the operation without a message.
  }
}

void MainWindow::loadDefaultList() {
  try {
    if (!DefaultListExists()) return;
    std::vector<Text> paths = LoadDefaultList();
    taskList_->clear();
    for (const Text& path : paths) taskList_->append(path);
  } catch (const std::exception& e) {
    MessageBox::information(this, QString::fromUtf8(e.what()));
  }
}

// ---------------------------------------------------------------- other windows

void MainWindow::showListManager() {
  if (!listManager_) listManager_ = new ListManagerWindow(*taskList_);
  listManager_->show();
  listManager_->raise();
  listManager_->activateWindow();
}

void MainWindow::showRestoreWindow() { RestoreWindow::open(); }

void MainWindow::showReplaceWindow() {
  if (!replaceWindow_) replaceWindow_ = new ReplaceWindow(*taskList_, [this] { return options(); });
  replaceWindow_->show();
  replaceWindow_->raise();
  replaceWindow_->activateWindow();
}

void MainWindow::showTipWindow() {
  if (tipWindow_) tipWindow_->close();
  // A transient of the main window: it stays above it, also after a box of
  // the main window has been answered.
  tipWindow_ = TipWindow::open(this);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  saveSettings();
  event->accept();
  // Ends the program at once: the other windows are not asked to close.
  QCoreApplication::exit(0);
}

}  // namespace vantiro::ui
