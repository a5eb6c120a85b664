#pragma once
// The main window's menu bar, the right-click menus of its three lists, the
// status-bar hints of the lists, the two link labels, and the small tools
// behind the menus (uptime, tips, help, about box, the maker's pages).

#include <QObject>
#include <QString>

class QAction;
class QLabel;
class QMenu;
class QWidget;

namespace vantiro::ui {

class MainWindow;

// The maker's addresses shown and opened by the window.
extern const char* const kHomePage;
extern const char* const kForumPage;
extern const char* const kMailAddress;

// Opens a page, file or mail address with the desktop's default program,
// never through a shell. A failure is reported in a message box.
void openWithDesktop(QWidget* parent, const QString& urlOrPath);

class MainMenus : public QObject {
  Q_OBJECT

 public:
  // Builds the menu bar of `window`, the right-click menus of its lists, and
  // wires the link labels.
  MainMenus(MainWindow& window, QLabel* homeLink, QLabel* mailLink);

  // Menu bar (in order).
  QMenu* com3 = nullptr;
  QAction* com11 = nullptr;
  QAction* com111 = nullptr;
  QAction* com10 = nullptr;
  QAction* com2 = nullptr;
  QMenu* else_ = nullptr;
  QAction* com12 = nullptr;
  QAction* else1 = nullptr;
  QMenu* helpmune = nullptr;
  QAction* help1 = nullptr;
  QAction* help2 = nullptr;
  QAction* help8 = nullptr;
  QAction* help9 = nullptr;

  // Right-click menus, not in the menu bar.
  QMenu* filek = nullptr;
  QAction* filek1 = nullptr;
  QAction* filek2 = nullptr;
  QAction* filek3 = nullptr;
  QAction* rename = nullptr;
  QAction* killfile = nullptr;
  QAction* ccxxx = nullptr;
  QMenu* ysk = nullptr;
  QAction* ysk1 = nullptr;
  QAction* ysk2 = nullptr;
  QAction* ysk4 = nullptr;
  QAction* ysk5 = nullptr;
  QAction* ysk6 = nullptr;
  QMenu* dir1111 = nullptr;
  QAction* mubiao = nullptr;
  QAction* budi = nullptr;
  QAction* allmulu = nullptr;
  QAction* sxml = nullptr;

  // The tools behind the menu items.
  void showUptime();
  void showTips();
  void showHelp();
  void showAbout();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildMenuBar();
  void buildListMenus();

  MainWindow& window_;
  QLabel* homeLink_;
  QLabel* mailLink_;
};

}  // namespace vantiro::ui
