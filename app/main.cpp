// Vantiro: starts the main window, queueing the pages and directories named
// on the command line (a file manager's "open with").

#include "common/ui/message_box.h"
#include "mainwin/main_window.h"
#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/memory.h"
#include "platform/program_directory.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "用法: vantiro [页面或目录...]\n"
    "打开 Vantiro 的主窗口；给出的页面和目录（及其子目录中的网页）加入任务列表。\n"
    "  -h, --help     显示这段说明\n"
    "  -v, --version  显示版本\n"
    "不用窗口压缩页面请用 vantiro-cli（vantiro-cli --help）。\n";

// --help and --version are answered before the window system starts, so that
// they work without a display. Returns the exit status when answered.
std::optional<int> answerWithoutWindows(int argc, char** argv) {
  for (int k = 1; k < argc; ++k) {
    if (std::strcmp(argv[k], "--") == 0) break;
    if (std::strcmp(argv[k], "--help") == 0 || std::strcmp(argv[k], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[k], "--version") == 0 || std::strcmp(argv[k], "-v") == 0) {
      std::puts("vantiro " VANTIRO_VERSION);
      return 0;
    }
  }
  return std::nullopt;
}

// The pages and directories to queue: every argument Qt did not take, after
// a "--" also those that begin with "-".
std::vector<vantiro::Text> pathArguments(const QStringList& arguments) {
  std::vector<vantiro::Text> paths;
  bool optionsEnded = false;
  for (qsizetype k = 1; k < arguments.size(); ++k) {
    const QString& argument = arguments[k];
    if (!optionsEnded && argument == QLatin1String("--")) {
      optionsEnded = true;
    } else if (optionsEnded || !argument.startsWith(QLatin1Char('-'))) {
      paths.push_back(vantiro::textPath(QFile::encodeName(argument).toStdString()));
    }
  }
  return paths;
}

}  // namespace

int main(int argc, char** argv) {
  vantiro::keepFreedMemoryForReuse();
  if (const std::optional<int> answered = answerWithoutWindows(argc, argv)) return *answered;
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("vantiro"));
  QApplication::setApplicationName(QStringLiteral("vantiro"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/vantiro/vantiro.png")));

  // Every text the user sees is Simplified Chinese, Qt's own included.
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
  QTranslator qtTexts;
  if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTexts);

  // Nothing is read or written with a code page that would mix encodings.
  if (const std::optional<std::string> refusal = vantiro::configuredCodePageRefusal()) {
    vantiro::ui::MessageBox::information(nullptr, QString::fromStdString(*refusal));
    return 2;
  }
  // Settings, lists and backups all live in the program directory: one that
  // cannot be used is reported once, before the program touches anything.
  if (const auto problem = vantiro::prepareProgramDirectory()) {
    vantiro::ui::MessageBox::information(nullptr, QString::fromStdString(*problem));
    return 2;
  }

  vantiro::ui::MainWindow window;
  window.startUp();
  if (const std::vector<vantiro::Text> paths = pathArguments(QApplication::arguments()); !paths.empty())
    window.queuePaths(paths);
  return QApplication::exec();
}
