#include "mainwin/main_menus.h"

#include "common/ui/message_box.h"
#include "common/ui/text_convert.h"
#include "common/ui/tip_window.h"
#include "common/ui/window_keys.h"
#include "mainwin/file_browser.h"
#include "mainwin/main_window.h"
#include "mainwin/task_list.h"
#include "platform/file_service.h"
#include "platform/system.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDesktopServices>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QUrl>

namespace vantiro::ui {

const char* const kHomePage = "http://www.vantiro.example/";
const char* const kForumPage = "http://www.vantiro.example/bbs/";
const char* const kMailAddress = "vantiro@vantiro.example";

namespace {

const char* const kDirHint = "你可以使用鼠标右键弹出关于目录的菜单！";
const char* const kFileHint = "你可以使用鼠标右键弹出关于文件的菜单！";
const char* const kListHint = "这是任务栏，您只有加入任务后才可以按“全部压缩”";

QAction* item(QMenu* menu, const char* name, const char* caption) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

QMenu* menu(QWidget* parent, const char* name, const char* caption) {
  auto* m = new QMenu(QString::fromUtf8(caption), parent);
  m->setObjectName(QString::fromLatin1(name));
  return m;
}

}  // namespace

Text uptimeMessage(std::int64_t milliseconds) {
  std::int64_t s = milliseconds / 1000;
  std::int64_t sec = s % 60;
  std::int64_t min = ((s - sec) / 60) % 60;
  std::int64_t h = (s - sec - 60 * min) / 3600;
  Text text = U"您好，系统已经启动了";
  auto part = [&text](std::int64_t value, TextView unit) {
    if (value == 0) return;
    text += U' ';
    text += toText(value);
    text += unit;
  };
  part(h, U"小时");
  part(min, U"分");
  part(sec, U"秒");
  return text;
}

void openWithDesktop(QWidget* parent, const QString& urlOrPath) {
  QUrl url = urlOrPath.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(urlOrPath) : QUrl(urlOrPath);
  if (!QDesktopServices::openUrl(url))
    MessageBox::information(parent, QStringLiteral("无法启动程序打开 ") + urlOrPath);
}

MainMenus::MainMenus(MainWindow& window, QLabel* homeLink, QLabel* mailLink)
    : QObject(&window), window_(window), homeLink_(homeLink), mailLink_(mailLink) {
  setObjectName(QStringLiteral("MainMenus"));
  buildMenuBar();
  buildListMenus();
  homeLink_->installEventFilter(this);
  mailLink_->installEventFilter(this);
}

void MainMenus::buildMenuBar() {
  QMenuBar* bar = window_.menuBar();

  com3 = menu(bar, "com3", "系统设置(&c)");
  com11 = item(com3, "com11", "压缩文件框是否一直在最上面");
  com11->setCheckable(true);
  com11->setChecked(false);
  com111 = item(com3, "com111", "是否保存设置？");
  com111->setCheckable(true);
  com111->setChecked(true);
  com10 = com3->addSeparator();
  com10->setObjectName(QStringLiteral("com10"));
  com2 = item(com3, "com2", "查看系统启动了多长时间..");
  bar->addMenu(com3);

  else_ = menu(bar, "else", "其他工具");
  com12 = item(else_, "com12", "查看\"日积月累\"");
  else1 = item(else_, "else1", "整体查找替换");
  bar->addMenu(else_);

  helpmune = menu(bar, "helpmune", "帮助(&h)");
  help1 = item(helpmune, "help1", "\"Vantiro\"本地帮助文件...");
  help2 = item(helpmune, "help2", "关于“Vantiro”...");
  help8 = item(helpmune, "help8", "进入软件论坛");
  help9 = item(helpmune, "help9", "到“Vantiro 网站”");
  bar->addMenu(helpmune);

  connect(com2, &QAction::triggered, this, &MainMenus::showUptime);
  connect(com12, &QAction::triggered, this, &MainMenus::showTips);
  connect(else1, &QAction::triggered, &window_, &MainWindow::showReplaceWindow);
  connect(help1, &QAction::triggered, this, &MainMenus::showHelp);
  connect(help2, &QAction::triggered, this, &MainMenus::showAbout);
  connect(help8, &QAction::triggered, this,
          [this] { openWithDesktop(&window_, QString::fromUtf8(kForumPage)); });
  connect(help9, &QAction::triggered, this, [this] { openWithDesktop(&window_, QString::fromUtf8(kHomePage)); });
}

void MainMenus::buildListMenus() {
  filek = menu(&window_, "filek", "文件框");
  filek1 = item(filek, "filek1", "添加");
  filek2 = item(filek, "filek2", "全部添加");
  filek3 = item(filek, "filek3", "查看文件");
  filek->addSeparator();
  rename = item(filek, "rename", "重命名");
  killfile = item(filek, "killfile", "删除文件");
  ccxxx = item(filek, "ccxxx", "列表刷新");

  ysk = menu(&window_, "ysk", "压缩框");
  ysk1 = item(ysk, "ysk1", "压缩");
  ysk2 = item(ysk, "ysk2", "全部压缩");
  ysk->addSeparator();
  ysk4 = item(ysk, "ysk4", "删除");
  ysk5 = item(ysk, "ysk5", "全部删除");
  ysk6 = item(ysk, "ysk6", "查看文件");

  dir1111 = menu(&window_, "dir1111", "目录框");
  mubiao = item(dir1111, "mubiao", "定为压缩的目标目录");
  budi = item(dir1111, "budi", "定为压缩的目的目录");
  allmulu = item(dir1111, "allmulu", "整个目录");
  dir1111->addSeparator();
  sxml = item(dir1111, "sxml", "刷新目录");

  FileBrowser* browser = window_.browser();
  MainWindow* w = &window_;
  connect(filek1, &QAction::triggered, w, &MainWindow::addSelectedFiles);
  connect(filek2, &QAction::triggered, w, &MainWindow::addAllFiles);
  connect(filek3, &QAction::triggered, w, &MainWindow::viewFileListFile);
  connect(rename, &QAction::triggered, browser, &FileBrowser::renameCurrentFile);
  connect(killfile, &QAction::triggered, browser, &FileBrowser::deleteCurrentFile);
  connect(ccxxx, &QAction::triggered, browser, &FileBrowser::refreshFiles);
  connect(ysk1, &QAction::triggered, w, &MainWindow::compressSelectedEntries);
  connect(ysk2, &QAction::triggered, w, &MainWindow::compressAllEntries);
  connect(ysk4, &QAction::triggered, w, &MainWindow::removeSelectedEntries);
  connect(ysk5, &QAction::triggered, w, &MainWindow::emptyTaskList);
  connect(ysk6, &QAction::triggered, w, &MainWindow::viewTaskListEntry);
  connect(mubiao, &QAction::triggered, w, &MainWindow::setSourceFromHighlighted);
  connect(budi, &QAction::triggered, w, &MainWindow::setDestinationFromHighlighted);
  connect(allmulu, &QAction::triggered, w, &MainWindow::queueHighlightedDirectory);
  connect(sxml, &QAction::triggered, browser, &FileBrowser::refreshDirectories);

  for (QWidget* list : {static_cast<QWidget*>(browser->Dir1), static_cast<QWidget*>(browser->File1),
                        static_cast<QWidget*>(window_.taskList()->List1)}) {
    auto* view = static_cast<QAbstractScrollArea*>(list)->viewport();
    view->setMouseTracking(true);
    view->installEventFilter(this);
    // The list itself has the keyboard focus: its menu key opens the same menu.
    list->installEventFilter(this);
  }
}

bool MainMenus::eventFilter(QObject* watched, QEvent* event) {
  FileBrowser* browser = window_.browser();
  QWidget* dirView = browser->Dir1->viewport();
  QWidget* fileView = browser->File1->viewport();
  QWidget* listView = window_.taskList()->List1->viewport();

  if (isKeyboardMenuRequest(event)) {
    QMenu* popup = watched == browser->Dir1 ? dir1111 : watched == browser->File1 ? filek
                   : watched == window_.taskList()->List1                        ? ysk
                                                                                 : nullptr;
    if (popup) {
      popupAtCurrentItem(popup, static_cast<QAbstractItemView*>(watched));
      return true;
    }
  }
  if (event->type() == QEvent::MouseMove) {
    if (watched == dirView) window_.showStatus(QString::fromUtf8(kDirHint));
    if (watched == fileView) window_.showStatus(QString::fromUtf8(kFileHint));
    if (watched == listView) window_.showStatus(QString::fromUtf8(kListHint));
    // The link turns red under the mouse and stays red.
    if (watched == homeLink_ || watched == mailLink_)
      static_cast<QLabel*>(watched)->setStyleSheet(QStringLiteral("color: #ff0000;"));
  }
  if (event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton) {
      QMenu* popup = watched == dirView ? dir1111 : watched == fileView ? filek : watched == listView ? ysk : nullptr;
      if (popup) {
        popup->popup(mouse->globalPosition().toPoint());
        return true;
      }
    }
    if (mouse->button() == Qt::LeftButton) {
      if (watched == homeLink_) openWithDesktop(&window_, QString::fromUtf8(kHomePage));
      if (watched == mailLink_) openWithDesktop(&window_, QStringLiteral("mailto:") + QString::fromUtf8(kMailAddress));
    }
  }
  return QObject::eventFilter(watched, event);
}

void MainMenus::showUptime() {
  MessageBox::information(&window_, toQString(uptimeMessage(uptimeMilliseconds())));
}

void MainMenus::showTips() {
  writeTipSwitch(QStringLiteral("1"));
  window_.showTipWindow();
}

void MainMenus::showHelp() {
  std::string path = programDirectory() + "help/readme.htm";
  if (!isNormalFile(path)) {
    MessageBox::information(&window_, QStringLiteral("对不起帮助文件不存在你的目录下"));
    return;
  }
  openWithDesktop(&window_, QFile::decodeName(QByteArray::fromStdString(path)));
}

void MainMenus::showAbout() {
  MessageBox::information(&window_,
                          QStringLiteral("Vantiro v3.00\n\n网页压缩工具：在不改变浏览器显示效果的前提下，"
                                         "让网页文件变得更小。\n\n作者：Vantiro 开发组"),
                          QStringLiteral("关于“Vantiro”"));
}

}  // namespace vantiro::ui
