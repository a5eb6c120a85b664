#include "backup/restore_window.h"

#include "common/settings_store.h"
#include "common/ui/message_box.h"
#include "common/ui/screen_pacer.h"
#include "common/ui/text_convert.h"
#include "common/ui/window_keys.h"
#include "platform/file_service.h"
#include "platform/program_directory.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

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

// Every status is followed by a pause: it is shown at once.
class StatusBarObserver final : public RestoreObserver {
 public:
  StatusBarObserver(QStatusBar* bar, ScreenPacer& pacer) : bar_(bar), pacer_(pacer) {}
  void showStatus(const Text& status) override {
    bar_->showMessage(toQString(status));
    pacer_.flush();
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
  setWindowTitle(QStringLiteral("za"));

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
  Command3 = new QPushButton(QStringLiteral("关闭"), this);
  Command3->setObjectName(QStringLiteral("Command3"));
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));

  auto* controls = new QHBoxLayout;
  controls->addWidget(Check1);
  controls->addStretch(1);
  controls->addWidget(Command1);
  controls->addWidget(Command2);
  controls->addWidget(Command3);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 0);
  layout->addWidget(ListView1, 1);
  layout->addLayout(controls);
  layout->addWidget(StatusBar1);
  resize(640, 400);

  connect(Command1, &QPushButton::clicked, this, [this] { restoreRows(true); });
  connect(Command2, &QPushButton::clicked, this, [this] { restoreRows(false); });
  connect(Command3, &QPushButton::clicked, this, &QWidget::close);
  closeOnEscape(this);

  load();
}

RestoreWindow::~RestoreWindow() = default;

void RestoreWindow::load() {
  ListView1->clear();
  Check1->setChecked(storedCheckValue() == 1);
  try {
    entries_ = ReadBackupIndex(Check1->isChecked());
  } catch (const std::exception& e) {
    entries_.clear();
    StatusBar1->showMessage(QString::fromUtf8(e.what()));
  }
  const QIcon icon = style()->standardIcon(QStyle::SP_FileIcon);
  for (const BackupEntry& entry : entries_) {
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
  // Read once for all rows; when it cannot be read, each row reads it and fails alone.
  std::optional<BackupIndexChecks> checks;
  try {
    checks = BackupIndexChecks::read();
  } catch (const FileError&) {
  }
  for (std::size_t k = 0; k < entries_.size(); ++k) {
    QTreeWidgetItem* item = ListView1->topLevelItem(static_cast<int>(k));
    if (selectedOnly && !(item && item->isSelected())) continue;
    restoreEntry(entries_[k], observer, checks ? &*checks : nullptr);
  }
  QApplication::restoreOverrideCursor();
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
