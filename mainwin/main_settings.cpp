// Start-up and shut-down of the main window: what it restores from the
// settings store "peizi.dll" and what it writes back there.

#include "common/settings_store.h"
#include "common/ui/message_box.h"
#include "common/ui/text_convert.h"
#include "common/ui/tip_window.h"
#include "lists/task_list_files.h"
#include "mainwin/file_browser.h"
#include "mainwin/main_menus.h"
#include "mainwin/main_window.h"
#include "mainwin/options_panel.h"
#include "mainwin/task_list.h"
#include "platform/file_service.h"
#include "platform/system.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLayout>
#include <QMenu>

#include <cstdint>

namespace vantiro::ui {
namespace {

constexpr std::uint64_t kLargeBackup = 10000000;

// The leading decimal number of a stored text, 0 when it does not begin with one.
long long leadingNumber(const Text& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == U' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == U'-' || text[i] == U'+')) negative = text[i++] == U'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= U'0' && text[i] <= U'9'; ++i) {
    if (value < 100000000) value = value * 10 + (text[i] - U'0');
  }
  return negative ? -value : value;
}

Text readPathSetting(TextView key) { return ReadPathSetting(key).value_or(Text()); }

}  // namespace

void MainWindow::startUp() {
  try {
    // 1. The tip window's start-up switch, used at step 12.
    const int tipSwitch = readTipSwitch();
    // 2.-4. The browser starts in the home folder with the HTML filter (the
    // program directory is hidden and holds no pages); step 11 moves it to
    // the directory last used.
    const std::string programDir = programDirectory();
    browser_->setCurrentDirectory(textPath(QFile::encodeName(QDir::homePath()).toStdString()));
    browser_->chooseFilter(0);
    // 5. The default list.
    if (DefaultListExists())
      for (const Text& path : LoadDefaultList()) taskList_->append(path);
    // 6.-8.
    show();
    std::uint64_t backupSize = 0;
    if (auto info = files().stat(programDir + "bak.dat"); info && info->kind == EntryKind::File)
      backupSize = info->size;
    trimSystemMenu();
    // 9. Options, in the order the settings were always read.
    options_->text1->setEditText(toQString(readPathSetting(U"text1.text")));
    options_->text2->setEditText(toQString(readPathSetting(U"text2.text")));
    // Appending to the backup store (Check8) starts ticked: with it off, the
    // second run would clear the originals the first run saved.
    for (int number : {1, 2, 3, 6, 4, 7, 8, 5, 9, 10}) {
      const std::optional<Text> stored = ReadSetting(U"check" + toText(number));
      const bool on = stored ? leadingNumber(*stored) != 0 : number == 8;
      options_->setCheckValue(number, on ? 1 : 0);
    }
    // 10.
    options_->matchDirectoryFieldsToCheck1();
    // 11. The stored directory, when it still is one.
    Text dir = readPathSetting(U"dir");
    if (!dir.empty() && isDirectory(nativePath(dir))) browser_->setCurrentDirectory(dir);
    // 12.
    if (tipSwitch != 0) showTipWindow();
    // 13. Strictly more than ten million bytes.
    if (backupSize > kLargeBackup && options_->Check8->isChecked()) {
      if (MessageBox::question(this, QStringLiteral("由于你的文件备份已经超过了10M，我建议您选择覆盖的备份：")))
        options_->Check8->setChecked(false);
    }
  } catch (const std::exception& e) {
    MessageBox::information(this, QString::fromUtf8(e.what()));
  }
}

void MainWindow::saveSettings() {
  // "是否保存设置？" cleared: this session's settings are not kept (the next
  // start finds the ones saved before, and the item ticked again).
  if (!menus_->com111->isChecked()) return;
  try {
    const QAction* const items[] = {menus_->com10, menus_->com11, menus_->com111,
                                    menus_->com12, menus_->com2,  menus_->com3->menuAction()};
    const TextView keys[] = {U"com10", U"com11", U"com111", U"com12", U"com2", U"com3"};
    for (int i = 0; i < 6; ++i) WriteSetting(keys[i], items[i]->isEnabled() ? U"ture" : U"no");

    WritePathSetting(U"text1.text", fromQString(options_->text1->currentText()));
    WritePathSetting(U"text2.text", fromQString(options_->text2->currentText()));
    for (int number : {1, 3, 4, 6, 8, 7, 2, 5, 9, 10})
      WriteSetting(U"check" + toText(number), toText(options_->checkValue(number)));
    WritePathSetting(U"dir", browser_->currentDirectory());
  } catch (const std::exception& e) {
    // The program ends in any case; the user learns that the settings were not kept.
    MessageBox::information(this, QString::fromUtf8(e.what()));
  }
}

void MainWindow::trimSystemMenu() {
  // The window loses its maximize button; it keeps minimize, close and a
  // resizable frame, so that it fits a small screen.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
  show();
}

}  // namespace vantiro::ui
