#include "backup/restore_window.h"

#include "backup/restore_selection.h"
#include "common/settings_store.h"
#include "common/ui/message_box.h"
#include "common/ui/screen_pacer.h"
#include "common/ui/text_convert.h"
#include "common/ui/window_keys.h"
#include "common/ui/window_placement.h"
#include "platform/file_service.h"
#include "platform/program_directory.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <optional>

namespace vantiro::ui {
namespace {

constexpr char32_t kCheckKey[] = U"form6.check1.value";

QPointer<RestoreWindow>& theWindow() {
  static QPointer<RestoreWindow> window;
  return window;
}

// The stored switch is a number; anything else reads as 0.
int storedCheckValue() {
  Text value;
  try {
    value = ReadSetting(kCheckKey).value_or(Text());
  } catch (const std::exception&) {
    return 0;
  }
  // Read as a number from its start, as the program always did ("1", " 1").
  const Text trimmed = trimSpaces(value);
  std::size_t i = 0;
  if (i < trimmed.size() && (trimmed[i] == U'-' || trimmed[i] == U'+')) ++i;
  int lastDigit = 0;
  for (; i < trimmed.size() && trimmed[i] >= U'0' && trimmed[i] <= U'9'; ++i) lastDigit = static_cast<int>(trimmed[i] - U'0');
  return lastDigit % 2;
}

// The status bar takes every status; the pacer repaints it when a frame is due.
class StatusBarObserver final : public RestoreObserver {
 public:
  StatusBarObserver(QStatusBar* bar, ScreenPacer& pacer) : bar_(bar), pacer_(pacer) {}
  void showStatus(const Text& status) override {
    bar_->showMessage(toQString(status));
    pacer_.step();
  }

 private:
  QStatusBar* bar_;
  ScreenPacer& pacer_;
};

}  // namespace

RestoreWindow* RestoreWindow::open(QWidget* parent) {
  QPointer<RestoreWindow>& window = theWindow();
  if (!window) window = new RestoreWindow(parent);
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

RestoreWindow::RestoreWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("Form6"));  // the window's control name, as tests find it
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("还原压缩"));

  ListView1 = new QTreeWidget(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->setColumnCount(3);
  ListView1->setHeaderLabels({QStringLiteral("文件地址"), QStringLiteral("文件大小"), QStringLiteral("压缩日期")});
  ListView1->setRootIsDecorated(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setAllColumnsShowFocus(true);
  ListView1->setTextElideMode(Qt::ElideMiddle);
  ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListView1->setColumnWidth(0, 330);
  ListView1->setColumnWidth(1, 90);

  Check1 = new QCheckBox(QStringLiteral("备份按从新到旧的"), this);
  Check1->setObjectName(QStringLiteral("Check1"));
  Command1 = new QPushButton(QStringLiteral("还原备份"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command2 = new QPushButton(QStringLiteral("全部还原"), this);
  Command2->setObjectName(QStringLiteral("Command2"));
  Command2->setToolTip(QStringLiteral("把每个页面还原成它第一次被改动之前的样子：每个页面只还原它最早的一份备份"));
  Command3 = new QPushButton(QStringLiteral("关闭"), this);
  Command3->setObjectName(QStringLiteral("Command3"));
  Command4 = new QPushButton(QStringLiteral("清空备份"), this);
  Command4->setObjectName(QStringLiteral("Command4"));
  Command4->setToolTip(QStringLiteral("删除全部备份，之后将无法还原（会先询问）"));
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setFormat(QStringLiteral("%v/%m"));
  ProgressBar1->setRange(0, 1);
  ProgressBar1->setValue(0);
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));

  auto* controls = new QHBoxLayout;
  controls->addWidget(Check1);
  controls->addWidget(ProgressBar1, 1);
  controls->addWidget(Command4);
  controls->addWidget(Command1);
  controls->addWidget(Command2);
  controls->addWidget(Command3);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 0);
  layout->addWidget(ListView1, 1);
  layout->addLayout(controls);
  layout->addWidget(StatusBar1);
  ui::placeWindow(this, QSize(640, 400));

  connect(Command1, &QPushButton::clicked, this, [this] { restoreRows(true); });
  connect(Command2, &QPushButton::clicked, this, [this] { restoreRows(false); });
  connect(Command3, &QPushButton::clicked, this, &QWidget::close);
  connect(Command4, &QPushButton::clicked, this, [this] { clearStore(); });
  closeOnEscape(this);

  load();
}

RestoreWindow::~RestoreWindow() = default;

void RestoreWindow::load() {
  ListView1->clear();
  Check1->setChecked(storedCheckValue() == 1);
  newestFirst_ = Check1->isChecked();
  try {
    entries_ = ReadBackupIndex(false);
  } catch (const std::exception& e) {
    entries_.clear();
    StatusBar1->showMessage(QString::fromUtf8(e.what()));
  }
  const QIcon icon = style()->standardIcon(QStyle::SP_FileIcon);
  for (std::size_t row = 0; row < entries_.size(); ++row) {
    const BackupEntry& entry = entries_[entryOfRow(row)];
    auto* item = new QTreeWidgetItem(ListView1);
    item->setText(0, toQString(entry.path));
    item->setText(1, toQString(entry.length));
    item->setText(2, toQString(entry.time));
    item->setIcon(0, icon);
  }
}

void RestoreWindow::restoreRows(bool selectedOnly) {
  // One program at a time writes the program directory; the lock is held until the last entry is back.
  const ProgramDirectoryLock held = lockProgramDirectory(false);
  if (!held.lock) {
    MessageBox::information(this, QString::fromUtf8(held.refusal.c_str()));
    return;
  }
  StatusBar1->showMessage(QStringLiteral("就绪"));
  QApplication::setOverrideCursor(Qt::BusyCursor);
  ScreenPacer pacer(this);
  StatusBarObserver observer(StatusBar1, pacer);
  // The index as it is now: rows it no longer holds as listed are refused,
  // and the checks are read once for all rows (when they cannot be read,
  // each row reads them and fails alone).
  std::vector<BackupEntry> current;
  std::optional<BackupIndexChecks> checks;
  try {
    current = ReadBackupIndex(false);
    checks = BackupIndexChecks::read();
  } catch (const FileError&) {
  }
  bool changed = false;
  const std::vector<std::size_t> rows = rowsToRestore(selectedOnly);
  std::vector<BackupEntry> restoring;
  for (std::size_t row : rows) restoring.push_back(entries_[row]);
  removeRestoreLeftovers(restoring);
  ProgressBar1->setRange(0, std::max<int>(static_cast<int>(rows.size()), 1));
  ProgressBar1->setValue(0);
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const BackupEntry& entry = entries_[rows[k]];
    if (stillListed(current, rows[k], entry)) {
      restoreEntry(entry, observer, checks ? &*checks : nullptr);
    } else {
      changed = true;
      observer.showStatus(restoreFailedText(entry));
    }
    ProgressBar1->setValue(static_cast<int>(k + 1));
    pacer.step();
  }
  if (changed) {
    load();
    StatusBar1->showMessage(QStringLiteral("备份已被别的压缩或替换改变，未还原列表中已不在备份里的项目；列表已重新读取"));
  }
  QApplication::restoreOverrideCursor();
}

void RestoreWindow::clearStore() {
  if (!MessageBox::question(this, QStringLiteral("确定要删除全部备份吗？删除之后，备份中的页面都将无法还原。"))) return;
  const ProgramDirectoryLock held = lockProgramDirectory(false);
  if (!held.lock) {
    MessageBox::information(this, QString::fromUtf8(held.refusal.c_str()));
    return;
  }
  try {
    ClearBackupStore();
  } catch (const FileError& e) {
    MessageBox::information(this, QString::fromUtf8(e.what()));
  }
  load();
  StatusBar1->showMessage(QStringLiteral("备份已清空"));
}

std::vector<std::size_t> RestoreWindow::rowsToRestore(bool selectedOnly) const {
  std::vector<std::size_t> rows;
  if (!selectedOnly) {
    // Every page as it was before its first recorded change: its oldest entry.
    rows = oldestEntryOfEachPage(entries_);
    if (newestFirst_) std::reverse(rows.begin(), rows.end());
    return rows;
  }
  for (std::size_t row = 0; row < entries_.size(); ++row) {
    const QTreeWidgetItem* item = ListView1->topLevelItem(static_cast<int>(row));
    if (item && item->isSelected()) rows.push_back(entryOfRow(row));
  }
  return rows;
}

void RestoreWindow::closeEvent(QCloseEvent* event) {
  try {
    WriteSetting(kCheckKey, Check1->isChecked() ? Text(U"1") : Text(U"0"));
  } catch (const std::exception& e) {
    MessageBox::information(this, QString::fromUtf8(e.what()));
  }
  event->accept();
}

}  // namespace vantiro::ui
