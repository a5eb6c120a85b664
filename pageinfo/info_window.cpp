#include "pageinfo/info_window.h"

#include "common/ui/flat_toolbar.h"
#include "common/ui/message_box.h"
#include "common/ui/window_placement.h"
#include "common/ui/text_convert.h"
#include "pageinfo/page_info.h"
#include "platform/file_service.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QStyle>
#include <QTextStream>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <exception>

namespace vantiro::ui {
namespace {

QLabel* makeLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

// The desktop's default editor for plain text, for the "编辑器" button: the
// Exec line of its desktop entry, and whether it runs in a terminal.
struct TextEditorEntry {
  QString exec;  // empty when the desktop names none
  bool inTerminal = false;
};

TextEditorEntry plainTextEditor() {
  QProcess query;
  query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
  if (!query.waitForFinished(3000)) {
    query.kill();
    query.waitForFinished(1000);
    return {};
  }
  const QString id = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
  if (id.isEmpty()) return {};
  const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
  QFile file(entry);
  if (entry.isEmpty() || !file.open(QIODevice::ReadOnly)) return {};
  QTextStream in(&file);
  TextEditorEntry editor;
  bool inMainGroup = false;
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inMainGroup = line == QLatin1String("[Desktop Entry]");
    } else if (inMainGroup && line.startsWith(QLatin1String("Exec="))) {
      editor.exec = line.mid(5);
    } else if (inMainGroup && line.startsWith(QLatin1String("Terminal="))) {
      editor.inTerminal = line.mid(9).trimmed() == QLatin1String("true");
    }
  }
  return editor;
}

class InfoWindow : public QWidget {
 public:
  InfoWindow() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("InfoWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("查看文件"));
    buildControls();
  }

  void fill(const Text& path) {
    pathLabel_->setText(toQString(path));
    shownPath_ = path;
    try {
      const PageInfo info = analysePage(nativePath(path));
      sizeLabel_->setText(toQString(info.sizeText));
      typeLabel_->setText(toQString(info.typeText));
      titleLabel_->setText(toQString(info.title));
      languageLabel_->setText(toQString(info.language));
      // The icon follows the type both ways, so that a page viewed after a
      // file of unknown type does not keep that file's icon.
      iconLabel_->setPixmap((info.isHtml ? pageIcon_ : unknownIcon_).pixmap(48, 48));
      iconLabel_->setProperty("unknownType", !info.isHtml);
    } catch (const std::exception& e) {
      sizeLabel_->clear();
      typeLabel_->clear();
      MessageBox::information(this, QStringLiteral("无法读取文件：") + QString::fromUtf8(e.what()));
    }
  }

 private:
  void buildControls() {
    Toolbar1_ = new QToolBar(this);
    Toolbar1_->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    addTool(QStringLiteral("编辑器"), QStringLiteral("accessories-text-editor"),
            QStringLiteral("用桌面默认的文本编辑器编辑这个文件"), &InfoWindow::openInTextEditor);
    addTool(QStringLiteral("浏览器"), QStringLiteral("web-browser"), QStringLiteral("用桌面默认的浏览器打开这个文件"),
            &InfoWindow::openInBrowser);
    addTool(QStringLiteral("文件夹"), QStringLiteral("folder-open"), QStringLiteral("在文件管理器中打开这个文件所在的文件夹"),
            &InfoWindow::openContainingFolder);
    addTool(QStringLiteral("关闭"), QStringLiteral("window-close"), QString(), &InfoWindow::closeWindow);
    ApplyFlatToolbarStyle(Toolbar1_);

    pageIcon_ = QIcon::fromTheme(QStringLiteral("text-html"), style()->standardIcon(QStyle::SP_FileIcon));
    unknownIcon_ = QIcon::fromTheme(QStringLiteral("unknown"), style()->standardIcon(QStyle::SP_MessageBoxQuestion));
    iconLabel_ = makeLabel("Image1", QString(), this);
    iconLabel_->setPixmap(pageIcon_.pixmap(48, 48));
    iconLabel_->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    iconLabel_->setFixedWidth(64);

    pathLabel_ = makeLabel("pathLabel", QString(), this);
    pathLabel_->setWordWrap(true);
    pathLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    sizeLabel_ = makeLabel("sizeLabel", QString(), this);
    typeLabel_ = makeLabel("typeLabel", QString(), this);
    titleLabel_ = makeLabel("titleLabel", QStringLiteral("未知"), this);
    titleLabel_->setWordWrap(true);
    titleLabel_->setTextFormat(Qt::PlainText);
    languageLabel_ = makeLabel("languageLabel", QStringLiteral("未知"), this);
    languageLabel_->setTextFormat(Qt::PlainText);
    pathLabel_->setTextFormat(Qt::PlainText);

    auto* facts = new QGridLayout;
    facts->addWidget(pathLabel_, 0, 0, 1, 2);
    facts->addWidget(makeLabel("sizeCaption", QStringLiteral("文件大小:"), this), 1, 0);
    facts->addWidget(sizeLabel_, 1, 1);
    facts->addWidget(makeLabel("typeCaption", QStringLiteral("类型："), this), 2, 0);
    facts->addWidget(typeLabel_, 2, 1);
    facts->addWidget(makeLabel("titleCaption", QStringLiteral("标题："), this), 3, 0);
    facts->addWidget(titleLabel_, 3, 1);
    facts->addWidget(makeLabel("languageCaption", QStringLiteral("语言："), this), 4, 0);
    facts->addWidget(languageLabel_, 4, 1);
    facts->setColumnStretch(1, 1);
    facts->setRowStretch(5, 1);
    facts->setVerticalSpacing(8);
    facts->setHorizontalSpacing(12);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(10, 10, 10, 10);
    body->addWidget(iconLabel_);
    body->addLayout(facts, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Toolbar1_);
    layout->addLayout(body, 1);
    placeWindow(this, QSize(460, 230));
  }

  void addTool(const QString& caption, const QString& iconName, const QString& tip, void (InfoWindow::*action)()) {
    QAction* a = Toolbar1_->addAction(QIcon::fromTheme(iconName), caption);
    a->setToolTip(tip.isEmpty() ? caption : tip);
    connect(a, &QAction::triggered, this, action);
  }

  // The path the buttons act on is the one shown, as a native file name.
  QString shownFile() const { return QFile::decodeName(QByteArray::fromStdString(nativePath(shownPath_))); }

  void reportNotStarted(const QString& what, const QString& advice) {
    MessageBox::information(this, QStringLiteral("无法启动") + what + QStringLiteral("。") + advice);
  }

  // Programs are started without a shell: the path is always an argument of its own.
  void openInTextEditor() {
    const TextEditorEntry editor = plainTextEditor();
    QStringList command = QProcess::splitCommand(editor.exec);
    const QString advice = QStringLiteral("请安装一个文本编辑器，或用 xdg-mime default 设置纯文本（text/plain）的默认程序。");
    if (command.isEmpty()) {
      reportNotStarted(QStringLiteral("编辑器：桌面没有设置纯文本的默认程序"), advice);
      return;
    }
    const QString program = command.takeFirst();
    QStringList arguments = desktopExecArguments(command, shownFile());
    // An editor that runs in a terminal gets one; started bare it would have none to show in.
    if (editor.inTerminal) {
      arguments.prepend(program);
      arguments.prepend(QStringLiteral("-e"));
      if (!QProcess::startDetached(QStringLiteral("x-terminal-emulator"), arguments))
        reportNotStarted(QStringLiteral("编辑器 ") + program + QStringLiteral("：它要在终端中运行，但找不到终端程序 x-terminal-emulator"),
                         QStringLiteral("请安装一个终端程序，或设置一个图形界面的文本编辑器。"));
      return;
    }
    if (!QProcess::startDetached(program, arguments)) reportNotStarted(QStringLiteral("编辑器 ") + program, advice);
  }

  void openInBrowser() {
    if (!QDesktopServices::openUrl(fileUrl(nativePath(shownPath_))))
      reportNotStarted(QStringLiteral("浏览器"), QStringLiteral("请安装一个浏览器，或设置网页（text/html）的默认程序。"));
  }

  void openContainingFolder() {
    const std::string native = nativePath(shownPath_);
    if (!QDesktopServices::openUrl(fileUrl(native.substr(0, native.rfind('/') + 1))))
      reportNotStarted(QStringLiteral("文件管理器"), QStringLiteral("请安装一个文件管理器，或设置文件夹（inode/directory）的默认程序。"));
  }

  void closeWindow() { close(); }

  QToolBar* Toolbar1_ = nullptr;
  QLabel* iconLabel_ = nullptr;
  QLabel* pathLabel_ = nullptr;
  QLabel* sizeLabel_ = nullptr;
  QLabel* typeLabel_ = nullptr;
  QLabel* titleLabel_ = nullptr;
  QLabel* languageLabel_ = nullptr;
  Text shownPath_;
  QIcon pageIcon_;
  QIcon unknownIcon_;
};

QPointer<InfoWindow>& theWindow() {
  static QPointer<InfoWindow> window;
  return window;
}

}  // namespace

QStringList desktopExecArguments(const QStringList& arguments, const QString& file) {
  QStringList result;
  bool placed = false;
  for (const QString& argument : arguments) {
    if (argument == QLatin1String("%f") || argument == QLatin1String("%F") || argument == QLatin1String("%u") ||
        argument == QLatin1String("%U")) {
      result << file;
      placed = true;
      continue;
    }
    // Other field codes (%i, %c, %k and the deprecated ones) stand for nothing here.
    if (argument.size() == 2 && argument.startsWith(QLatin1Char('%')) && argument != QLatin1String("%%")) continue;
    QString plain = argument;
    plain.replace(QLatin1String("%%"), QLatin1String("%"));
    result << plain;
  }
  if (!placed) result << file;
  return result;
}

void showInfoWindow(const Text& path) {
  QPointer<InfoWindow>& window = theWindow();
  if (!window) window = new InfoWindow;
  window->show();
  window->raise();
  window->fill(path);
}

QWidget* infoWindow() { return theWindow().data(); }

}  // namespace vantiro::ui
