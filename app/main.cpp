// Vantiro: starts the main window. The program takes no command-line arguments.

#include "common/ui/message_box.h"
#include "mainwin/main_window.h"
#include "platform/code_page.h"
#include "platform/memory.h"
#include "platform/program_directory.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <optional>
#include <string>

int main(int argc, char** argv) {
  vantiro::keepFreedMemoryForReuse();
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
  return QApplication::exec();
}
