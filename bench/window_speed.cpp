// One long loop of a window, driven as a user would start it, timed from the
// start to the end of the loop.
//
//   vantiro-bench-windows compress|replace|restore DIR [nopause]
//
// compress: every page of DIR queued in the main window's task list, then
//           "全部压缩" (the run window's notice answered at once).
// replace:  every page of DIR in the search-and-replace window, "参考" replaced
//           by "參考" between tags.
// restore:  "全部还原" in the restore window over the backup store as it is.
// The program directory is VANTIRO_HOME. Prints the seconds and the rows worked on.
// "nopause" makes the stated pauses instant: what the window adds to the
// engine's own work, without the sleeps.

#include "backup/restore_window.h"
#include "common/ui/message_box.h"
#include "common/ui/text_convert.h"
#include "compress/run_window.h"
#include "mainwin/main_window.h"
#include "mainwin/task_list.h"
#include "platform/system.h"
#include "replace/replace_window.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <cstdio>
#include <deque>
#include <string>

namespace {

using vantiro::ui::MessageBox;

int usage() {
  std::fprintf(stderr, "usage: vantiro-bench-windows compress|replace|restore DIR [nopause]\n");
  return 2;
}

void queuePages(vantiro::ui::MainWindow& main, const QString& dir) {
  const QDir pages(dir);
  for (const QString& name : pages.entryList(QDir::Files, QDir::Name))
    main.taskList()->append(vantiro::ui::fromQString(pages.absoluteFilePath(name)));
}

// Answers whatever box a run asks, so that nothing waits for a hand.
void answerEveryBox() { MessageBox::setNextAnswers(std::deque<MessageBox::Answer>(100000, MessageBox::Answer::Ok)); }

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3 && !(argc == 4 && std::string(argv[3]) == "nopause")) return usage();
  if (argc == 4) vantiro::setPauseScale(0);
  const std::string what = argv[1];
  const QString dir = QString::fromLocal8Bit(argv[2]);

  vantiro::ui::MainWindow main;
  main.show();
  QApplication::processEvents();
  answerEveryBox();
  QElapsedTimer clock;
  int rows = 0;
  if (what == "compress") {
    queuePages(main, dir);
    clock.start();
    main.compressAllEntries();
    rows = main.runWindow() ? main.runWindow()->rowCount() : 0;
  } else if (what == "replace") {
    queuePages(main, dir);
    auto* window = new vantiro::ReplaceWindow(*main.taskList(), [&main] { return main.options(); });
    window->show();
    window->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("参考"));
    window->findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QStringLiteral("參考"));
    window->findChild<QRadioButton*>(QStringLiteral("Option1"))->setChecked(true);
    QApplication::processEvents();
    clock.start();
    window->startReplace();
    rows = window->findChild<QTreeWidget*>(QStringLiteral("ListView1"))->topLevelItemCount();
  } else if (what == "restore") {
    vantiro::ui::RestoreWindow* window = vantiro::ui::RestoreWindow::open(&main);
    QApplication::processEvents();
    rows = window->findChild<QTreeWidget*>(QStringLiteral("ListView1"))->topLevelItemCount();
    clock.start();
    window->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
  } else {
    return usage();
  }
  std::printf("%.3f rows=%d\n", static_cast<double>(clock.elapsed()) / 1000.0, rows);
  return 0;
}
