#include "compress/run_window.h"

#include "common/ui/message_box.h"
#include "common/ui/screen_pacer.h"
#include "common/ui/text_convert.h"
#include "common/ui/window_keys.h"
#include "common/ui/window_placement.h"
#include "compress/failure_reasons.h"
#include "compress/mirror_copy.h"
#include "pageinfo/info_window.h"
#include "platform/system.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <utility>

namespace vantiro::ui {
namespace {

constexpr int kPathColumns = 2;
constexpr int kResultColumn = 4;
constexpr int kReasonColumn = 7;
// The reason column shows the start of a long reason (the whole one is the
// row's tooltip) and leaves the paths this share of the list's width.
constexpr int kReasonShareDivisor = 4;
// Texts the result columns take during the run, so that their width is right
// before the first row is done.
const char* const kWidestResults[] = {"压缩成功", "压缩失败", "文件不在", "9999999999", "-100.00%"};

QProgressBar* makeBar(const char* name, QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setObjectName(QString::fromLatin1(name));
  bar->setRange(0, 100);
  bar->setValue(0);
  bar->setTextVisible(false);
  return bar;
}

QLabel* makeLabel(const char* name, const QString& caption, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

QPushButton* makeButton(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

// A bar never gets an empty range (that would make it a busy indicator) and
// never a value outside its range.
void setBar(QProgressBar* bar, int minimum, int maximum, int value) {
  if (maximum <= minimum) maximum = minimum + 1;
  bar->setRange(minimum, maximum);
  bar->setValue(value < minimum ? minimum : (value > maximum ? maximum : value));
}

// Shows a column's text from its start, whatever the list's elide mode.
class StartFirstDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = Qt::ElideRight;
  }
};

// ProgressBar5 follows the tags of the page being compressed.
class BarProgress final : public ProgressIndicator {
 public:
  explicit BarProgress(QProgressBar* bar) : bar_(bar) {}
  void setRange(int minimum, int maximum) override { setBar(bar_, minimum, maximum, minimum); }
  void setValue(int value) override { setBar(bar_, bar_->minimum(), bar_->maximum(), value); }

 private:
  QProgressBar* bar_;
};

// The Check3 question after a page failed, as a Yes/No box.
class BoxQuestion final : public RestoreQuestion {
 public:
  BoxQuestion(QWidget* parent, ScreenPacer& pacer) : parent_(parent), pacer_(pacer) {}
  bool askRestoreAfterError(const Text& message) override {
    return pacer_.whileReleased([&] { return MessageBox::question(parent_, toQString(message)); });
  }

 private:
  QWidget* parent_;
  ScreenPacer& pacer_;
};

}  // namespace

// What the run reports lands in the window's controls at once; the screen
// follows at the pacer's frame rate, while user input waits until the run ends.
class RunWindowObserver final : public RunObserver {
 public:
  RunWindowObserver(RunWindow& window, ScreenPacer& pacer)
      : window_(window), pacer_(pacer), progress_(window.ProgressBar5), question_(&window, pacer) {}

  CompressionOptions options() override { return window_.options_ ? window_.options_() : CompressionOptions{}; }
  void notice(const Text& message) override {
    pacer_.whileReleased([&] { MessageBox::information(&window_, toQString(message)); });
  }
  void setStatus(const Text& status) override {
    window_.StatusBar1->showMessage(toQString(status));
    pacer_.step();
  }
  void setBar(RunBar bar, int maximum, int value) override {
    QProgressBar* target = bar == RunBar::Overall       ? window_.ProgressBar1
                           : bar == RunBar::PageSaving ? window_.ProgressBar4
                                                       : window_.ProgressBar6;
    ui::setBar(target, 0, maximum, value);
  }
  void rowFinished(std::size_t index, const RunRow& row) override {
    QTreeWidgetItem* item = window_.ListView1->topLevelItem(static_cast<int>(index));
    if (!item) return;
    item->setText(4, toQString(row.result));
    item->setText(5, toQString(row.newSize));
    item->setText(6, toQString(row.ratio));
    const QString reason = toQString(failureReason(row));
    item->setText(kReasonColumn, reason);
    for (int c = 0; c < item->columnCount(); ++c) item->setToolTip(c, reason);
    if (row.result == kResultSucceeded) {
      window_.bytesBefore_ += sizeColumnValue(row.size);
      window_.bytesAfter_ += sizeColumnValue(row.newSize);
    }
    window_.showSaving();
    // The row worked on next stays in view.
    QTreeWidgetItem* next = window_.ListView1->topLevelItem(static_cast<int>(index) + 1);
    window_.ListView1->scrollToItem(next ? next : item);
    pacer_.step();
  }
  ProgressIndicator& pageProgress() override { return progress_; }
  RestoreQuestion& restoreQuestion() override { return question_; }

 private:
  RunWindow& window_;
  ScreenPacer& pacer_;
  BarProgress progress_;
  BoxQuestion question_;
};

RunWindow::RunWindow(bool alwaysOnTop, std::function<CompressionOptions()> options, QWidget* parent)
    : QWidget(parent, Qt::Window), options_(std::move(options)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("进程框"));
  buildControls();
  trimSystemMenu();
  setAlwaysOnTop(alwaysOnTop);
  show();
  keepScreenCurrent();
}

RunWindow::~RunWindow() = default;

void RunWindow::buildControls() {
  ListView1 = new QTreeWidget(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->setColumnCount(8);
  ListView1->setHeaderLabels({QStringLiteral("源文件地址"), QStringLiteral("目的文件地址"), QStringLiteral("文件大小"),
                              QStringLiteral("日期"), QStringLiteral("压缩结果"), QStringLiteral("压缩后大小"),
                              QStringLiteral("压缩率"), QStringLiteral("原因")});
  ListView1->setRootIsDecorated(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListView1->setAllColumnsShowFocus(true);
  // Paths lose their beginning, so that the file name stays readable.
  ListView1->setTextElideMode(Qt::ElideLeft);
  ListView1->header()->setStretchLastSection(true);
  // A reason shows its beginning, which says what happened; the whole is the row's tooltip.
  ListView1->setItemDelegateForColumn(kReasonColumn, new StartFirstDelegate(ListView1));

  Frame2 = new QGroupBox(QStringLiteral("[压缩结果栏]"), this);
  Frame2->setObjectName(QStringLiteral("Frame2"));
  Label1 = makeLabel("Label1", QStringLiteral("总体进度"), Frame2);
  Label15 = makeLabel("Label15", QStringLiteral("综合压缩率"), Frame2);
  Label11 = makeLabel("Label11", QStringLiteral("总共压缩率"), Frame2);
  Label21 = makeLabel("Label21", QStringLiteral("压缩进度"), Frame2);
  ProgressBar1 = makeBar("ProgressBar1", Frame2);
  ProgressBar4 = makeBar("ProgressBar4", Frame2);
  ProgressBar6 = makeBar("ProgressBar6", Frame2);
  ProgressBar5 = makeBar("ProgressBar5", Frame2);
  auto* bars = new QGridLayout(Frame2);
  bars->addWidget(Label1, 0, 0);
  bars->addWidget(ProgressBar1, 0, 1);
  bars->addWidget(Label21, 0, 2);
  bars->addWidget(ProgressBar5, 0, 3);
  bars->addWidget(Label15, 1, 0);
  bars->addWidget(ProgressBar4, 1, 1);
  bars->addWidget(Label11, 1, 2);
  bars->addWidget(ProgressBar6, 1, 3);
  savingLabel_ = makeLabel("savingLabel", QString(), Frame2);
  bars->addWidget(savingLabel_, 2, 0, 1, 4);
  bars->setColumnStretch(1, 1);
  bars->setColumnStretch(3, 1);
  bars->setHorizontalSpacing(10);

  Frame1 = new QGroupBox(QStringLiteral("[压缩控制]栏"), this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Command1 = makeButton("Command1", QStringLiteral("停止"), Frame1);
  Command2 = makeButton("Command2", QStringLiteral("查看"), Frame1);
  Command3 = makeButton("Command3", QStringLiteral("关闭"), Frame1);
  auto* buttons = new QVBoxLayout(Frame1);
  buttons->addWidget(Command1);
  buttons->addWidget(Command2);
  buttons->addWidget(Command3);
  buttons->addStretch(1);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);

  auto* lower = new QHBoxLayout;
  lower->addWidget(Frame2, 1);
  lower->addWidget(Frame1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 0);
  layout->addWidget(ListView1, 1);
  layout->addLayout(lower);
  layout->addWidget(StatusBar1);

  connect(Command1, &QPushButton::clicked, this, [this] {
    hide();
    close();
  });
  connect(Command3, &QPushButton::clicked, this, &QWidget::close);
  connect(Command2, &QPushButton::clicked, this, &RunWindow::viewSelectedRows);
  // Esc closes as "停止" does; during a run it waits with every other key.
  closeOnEscape(this);
}

// The window offers no close box: it ends through its own buttons, with the
// results in view until then. It may be resized and maximised to see long
// paths and reasons, and opens no larger than the screen, over the main window.
void RunWindow::trimSystemMenu() {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
  placeWindow(this, QSize(1100, 560));
}

void RunWindow::showSaving() {
  savingLabel_->setText(QStringLiteral("共节省 %1 字节（%2）")
                            .arg(bytesBefore_ - bytesAfter_)
                            .arg(toQString(savingText(bytesBefore_, bytesAfter_))));
}

void RunWindow::setAlwaysOnTop(bool on) {
  alwaysOnTop_ = on;
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
  // Changing a window flag hides a shown window: show it again where it was.
  const bool wasVisible = isVisible();
  const QPoint where = pos();
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  if (wasVisible) {
    move(where);
    show();
  }
}

void RunWindow::addRow(const Text& source, const Text& destination, const Text& sizeText, const Text& dateText) {
  RunRow row;
  row.source = source;
  row.destination = destination;
  row.size = sizeText;
  row.date = dateText;
  rows_.push_back(std::move(row));
  auto* item = new QTreeWidgetItem(ListView1);
  item->setText(0, toQString(source));
  item->setText(1, toQString(destination));
  item->setText(2, toQString(sizeText));
  item->setText(3, toQString(dateText));
  item->setIcon(0, style()->standardIcon(QStyle::SP_FileIcon));
}

int RunWindow::rowCount() const { return ListView1->topLevelItemCount(); }

// Every column but the paths gets the width of its widest text, the reason at
// most a quarter of the list; the two path columns share what is left, each up
// to its own widest path, and the reason column takes any room the paths leave,
// so that no column needs the list to scroll sideways.
void RunWindow::fitColumns() {
  const QFontMetrics metrics = ListView1->fontMetrics();
  const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, ListView1) + 12;
  int wanted[8] = {};
  for (int c = 0; c < ListView1->columnCount(); ++c) {
    ListView1->resizeColumnToContents(c);
    wanted[c] = ListView1->columnWidth(c);
    if (c >= kResultColumn && c < kReasonColumn)
      for (const char* text : kWidestResults)
        wanted[c] = std::max(wanted[c], metrics.horizontalAdvance(QString::fromUtf8(text)) + padding);
  }
  QHeaderView* header = ListView1->header();
  int least[kPathColumns];
  int more[kPathColumns];
  for (int c = 0; c < kPathColumns; ++c) {
    least[c] = std::min(wanted[c], header->sectionSizeHint(c));
    more[c] = wanted[c] - least[c];
  }
  // The vertical scroll bar may not be laid out yet: its room is kept free.
  const int scrollBar = ListView1->verticalScrollBar()->isVisible() ? 0 : style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const int width = ListView1->viewport()->width() - scrollBar;
  int fixedWidth = 0;
  for (int c = kPathColumns; c < kReasonColumn; ++c) {
    ListView1->setColumnWidth(c, wanted[c]);
    fixedWidth += wanted[c];
  }
  // The reason keeps its caption, and up to a quarter of the list where the
  // other columns leave that much.
  const int reasonLeast = std::min(wanted[kReasonColumn], header->sectionSizeHint(kReasonColumn));
  const int reasonRoom = std::max(reasonLeast, width - fixedWidth - least[0] - least[1]);
  wanted[kReasonColumn] = std::clamp(std::min(wanted[kReasonColumn], width / kReasonShareDivisor), reasonLeast, reasonRoom);
  ListView1->setColumnWidth(kReasonColumn, wanted[kReasonColumn]);
  fixedWidth += wanted[kReasonColumn];
  const int room = std::max(0, width - fixedWidth);
  // Each path column keeps at least its caption; the rest of the room goes to
  // what the paths want beyond that, in proportion.
  const int spare = std::max(0, room - least[0] - least[1]);
  const int moreWanted = std::max(1, more[0] + more[1]);
  for (int c = 0; c < kPathColumns; ++c) {
    const int extra = more[0] + more[1] <= spare ? more[c]
                                                 : static_cast<int>(static_cast<long long>(spare) * more[c] / moreWanted);
    ListView1->setColumnWidth(c, least[c] + extra);
  }
}

void RunWindow::viewSelectedRows() {
  const int rows = ListView1->topLevelItemCount();
  for (int i = 0; i < rows; ++i) {
    QTreeWidgetItem* item = ListView1->topLevelItem(i);
    if (item->isSelected() && static_cast<std::size_t>(i) < rows_.size())
      showInfoWindow(rows_[static_cast<std::size_t>(i)].source);
  }
}

void RunWindow::compressQueuedRows() {
  setBar(ProgressBar1, 0, rowCount(), 0);
  fitColumns();
  {
    ScreenPacer pacer(this);
    RunWindowObserver observer(*this, pacer);
    try {
      vantiro::compressQueuedRows(rows_, observer);
    } catch (const std::exception& e) {
      // Rows already done keep their results; the rest stay empty.
      pacer.whileReleased([&] {
        MessageBox::information(this, QStringLiteral("发生错误") + QString::fromUtf8(e.what()) + QStringLiteral("将停止压缩"));
      });
    }
  }
  fitColumns();
}

std::optional<Text> RunWindow::copyOtherFiles(const CompressionOptions& options) {
  ScreenPacer pacer(this);
  StatusBar1->showMessage(QStringLiteral("正在复制网站的其他文件……"));
  // The overall bar counts the files gone through.
  class FilesGoneThrough final : public ProgressIndicator {
   public:
    FilesGoneThrough(QProgressBar* bar, ScreenPacer& pacer) : bar_(bar), pacer_(pacer) {}
    void setRange(int minimum, int maximum) override { setBar(bar_, minimum, maximum, minimum); }
    void setValue(int value) override {
      setBar(bar_, bar_->minimum(), bar_->maximum(), value);
      pacer_.step();
    }

   private:
    QProgressBar* bar_;
    ScreenPacer& pacer_;
  } progress(ProgressBar1, pacer);
  const MirrorCopy copy = copyOtherFilesIntoMirror({options.sourceDirectory}, rows_, options, progress);
  StatusBar1->showMessage(QStringLiteral("复制了 %1 个其他文件").arg(copy.copied));
  if (copy.failures.empty()) return std::nullopt;
  return copy.failures.front();
}

}  // namespace vantiro::ui
