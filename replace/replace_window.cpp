#include "replace/replace_window.h"

#include "common/settings_store.h"
#include "common/ui/message_box.h"
#include "common/ui/window_placement.h"
#include "common/ui/screen_pacer.h"
#include "common/ui/window_keys.h"
#include "common/ui/text_convert.h"
#include "platform/program_directory.h"
#include "platform/system.h"
#include "replace/replace_run.h"
#include "replace/search_replace.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <exception>

namespace vantiro {
namespace {

using ui::fromQString;
using ui::toQString;

// "form5.check3.Value", "form5.Option8.Value": the key of a control of this
// window, "Value" with a capital V.
Text settingKey(TextView control, std::size_t number) {
  return U"form5." + Text(control) + toText(static_cast<long long>(number)) + U".Value";
}

// A stored check box value is its number modulo 2: odd means checked. Only the
// leading whole number counts ("1", " 3", "1abc"); anything else is 0.
bool storedCheckValue(TextView value) {
  std::size_t i = 0;
  while (i < value.size() && value[i] == U' ') ++i;
  if (i < value.size() && (value[i] == U'-' || value[i] == U'+')) ++i;
  char32_t last = U'0';
  for (; i < value.size() && value[i] >= U'0' && value[i] <= U'9'; ++i) last = value[i];
  return (last - U'0') % 2 != 0;
}

template <typename W>
W* named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

}  // namespace

ReplaceWindow::ReplaceWindow(TaskListAccess& taskList, std::function<CompressionOptions()> options, QWidget* parent)
    : QWidget(parent, Qt::Window), options_(std::move(options)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("Form5"));  // the window's control name, as tests find it
  setWindowTitle(QStringLiteral("查找替换"));
  buildControls();
  ui::closeOnEscape(this);
  loadSettings();
  fillRows(taskList);
}

ReplaceWindow::~ReplaceWindow() = default;

void ReplaceWindow::buildControls() {
  Label1 = named(new QLabel(QStringLiteral("查找文字："), this), "Label1");
  Text1 = named(new QLineEdit(this), "Text1");
  Label2 = named(new QLabel(QStringLiteral("替换成："), this), "Label2");
  Text2 = named(new QLineEdit(this), "Text2");
  Label1->setBuddy(Text1);
  Label2->setBuddy(Text2);
  Command1 = named(new QPushButton(QStringLiteral("开始查找"), this), "Command1");
  Command2 = named(new QPushButton(QStringLiteral("停止"), this), "Command2");

  Frame1 = named(new QGroupBox(QStringLiteral("替换模式"), this), "Frame1");
  Option1 = named(new QRadioButton(QStringLiteral("替换文本"), Frame1), "Option1");
  Option2 = named(new QRadioButton(QStringLiteral("替换命令"), Frame1), "Option2");
  Option3 = named(new QRadioButton(QStringLiteral("全文替换"), Frame1), "Option3");
  Option4 = named(new QRadioButton(QStringLiteral("替换脚本"), Frame1), "Option4");
  Option8 = named(new QRadioButton(QStringLiteral("特定替换"), Frame1), "Option8");
  Combo1 = named(new QComboBox(Frame1), "Combo1");
  for (const AttributeEntry& entry : attributeEntries()) Combo1->addItem(toQString(entry.entry));
  Combo1->setCurrentIndex(-1);  // nothing chosen until the user clicks an entry
  auto* modes = new QGridLayout(Frame1);
  modes->addWidget(Option1, 0, 0);
  modes->addWidget(Option2, 0, 1);
  modes->addWidget(Option3, 1, 0);
  modes->addWidget(Option4, 1, 1);
  modes->addWidget(Option8, 2, 0);
  modes->addWidget(Combo1, 2, 1);

  Frame2 = named(new QGroupBox(QStringLiteral("脚本"), this), "Frame2");
  Option5 = named(new QRadioButton(QStringLiteral("Java"), Frame2), "Option5");
  Option6 = named(new QRadioButton(QStringLiteral("VBs"), Frame2), "Option6");
  Option7 = named(new QRadioButton(QStringLiteral("All"), Frame2), "Option7");
  auto* languages = new QVBoxLayout(Frame2);
  languages->addWidget(Option5);
  languages->addWidget(Option6);
  languages->addWidget(Option7);
  // The script languages and the fixed replacement only mean something in
  // their own modes; the mode buttons enable them.
  Frame2->setEnabled(false);

  Check1 = named(new QCheckBox(QStringLiteral("全字匹配"), this), "Check1");
  Check2 = named(new QCheckBox(QStringLiteral("区分大小写"), this), "Check2");
  Check3 = named(new QCheckBox(QStringLiteral("让窗体永远在上"), this), "Check3");
  Check4 = named(new QCheckBox(QStringLiteral("对替换文件进行备份"), this), "Check4");
  Check5 = named(new QCheckBox(QStringLiteral("固定代替"), this), "Check5");
  Check5->setEnabled(false);
  // Every page a search-and-replace changes is saved to the backup store first,
  // so that it can be put back: the box shows that and cannot be cleared.
  Check4->setEnabled(false);
  Check4->setToolTip(QStringLiteral("每个被替换的文件都先备份，以便还原；这一项不能关闭"));

  ListView1 = named(new QTreeWidget(this), "ListView1");
  ListView1->setColumnCount(3);
  ListView1->setHeaderLabels({QStringLiteral("压缩文件地址"), QStringLiteral("替换数目"), QStringLiteral("替换结果")});
  ListView1->setRootIsDecorated(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView1->header()->resizeSection(0, 360);
  ListView1->header()->resizeSection(1, 80);

  StatusBar1 = named(new QStatusBar(this), "StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
  ProgressBar1->setFormat(QStringLiteral("%v/%m"));
  ProgressBar1->setRange(0, 1);
  ProgressBar1->setValue(0);
  StatusBar1->addPermanentWidget(ProgressBar1);

  auto* fields = new QGridLayout;
  fields->addWidget(Label1, 0, 0);
  fields->addWidget(Text1, 0, 1);
  fields->addWidget(Command1, 0, 2);
  fields->addWidget(Label2, 1, 0);
  fields->addWidget(Text2, 1, 1);
  fields->addWidget(Command2, 1, 2);

  auto* checks = new QGridLayout;
  checks->addWidget(Check1, 0, 0);
  checks->addWidget(Check2, 0, 1);
  checks->addWidget(Check5, 0, 2);
  checks->addWidget(Check3, 1, 0);
  checks->addWidget(Check4, 1, 1, 1, 2);

  auto* frames = new QHBoxLayout;
  frames->addWidget(Frame1, 3);
  frames->addWidget(Frame2, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(frames);
  layout->addLayout(checks);
  layout->addWidget(ListView1, 1);
  layout->addWidget(StatusBar1);
  ui::placeWindow(this, QSize(640, 480));

  connect(Command1, &QPushButton::clicked, this, &ReplaceWindow::startReplace);
  connect(Command2, &QPushButton::clicked, this, &QWidget::close);
  // Selecting an option runs its click action also when the settings select
  // it at opening, as the window always did.
  for (QRadioButton* option : {Option1, Option2, Option3, Option4, Option8}) {
    connect(option, &QRadioButton::toggled, this, [this, option](bool checked) {
      if (checked) applyModeClick(option);
    });
  }
  connect(Combo1, &QComboBox::activated, this, &ReplaceWindow::chooseAttribute);
  connect(Check3, &QCheckBox::toggled, this, &ReplaceWindow::setAlwaysOnTop);
}

void ReplaceWindow::applyModeClick(QRadioButton* option) {
  if (option == Option4) {
    Frame2->setEnabled(Option4->isEnabled());
    Check5->setEnabled(false);
  } else if (option == Option8) {
    Check5->setEnabled(true);
  } else {
    Frame2->setEnabled(false);
    Check5->setEnabled(false);
  }
}

void ReplaceWindow::chooseAttribute(int index) {
  const auto entries = attributeEntries();
  if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) return;
  const AttributeEntry& entry = entries[static_cast<std::size_t>(index)];
  target_ = AttributeTarget{entry.kind, Text(entry.tagName)};
}

void ReplaceWindow::setAlwaysOnTop(bool on) {
  alwaysOnTop_ = on;
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
  // Changing a window flag re-creates a shown window; put it back where it was.
  const bool wasVisible = isVisible();
  const QRect where = geometry();
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  if (wasVisible) {
    setGeometry(where);
    show();
  }
}

std::array<QCheckBox*, 5> ReplaceWindow::checkBoxes() const { return {Check1, Check2, Check3, Check4, Check5}; }

std::array<QRadioButton*, 8> ReplaceWindow::optionButtons() const {
  return {Option1, Option2, Option3, Option4, Option5, Option6, Option7, Option8};
}

void ReplaceWindow::loadSettings() {
  try {
    Text1->setText(toQString(ReadSetting(U"form5.text1.text").value_or(Text())));
    Text2->setText(toQString(ReadSetting(U"form5.text2.text").value_or(Text())));
    const auto checks = checkBoxes();
    for (std::size_t i = 0; i < checks.size(); ++i) {
      checks[i]->setChecked(storedCheckValue(ReadSetting(settingKey(U"check", i + 1)).value_or(Text())));
    }
    Check4->setChecked(true);  // backups are always made, whatever was stored
    const auto options = optionButtons();
    for (std::size_t i = 0; i < options.size(); ++i) {
      if (ReadSetting(settingKey(U"Option", i + 1)) == U"ture") options[i]->setChecked(true);
    }
    // A window opened for the first time offers the first mode rather than none.
    if (!Option1->isChecked() && !Option2->isChecked() && !Option3->isChecked() && !Option4->isChecked() &&
        !Option8->isChecked())
      Option1->setChecked(true);
  } catch (const std::exception& e) {
    ui::MessageBox::information(this, QString::fromUtf8(e.what()));
  }
}

void ReplaceWindow::saveSettings() {
  try {
    WriteSetting(U"form5.text1.text", fromQString(Text1->text()));
    WriteSetting(U"form5.text2.text", fromQString(Text2->text()));
    const auto checks = checkBoxes();
    for (std::size_t i = 0; i < checks.size(); ++i) {
      WriteSetting(settingKey(U"check", i + 1), checks[i]->isChecked() ? U"1" : U"0");
    }
    WriteSetting(U"form5.combo1.text", fromQString(Combo1->currentText()));
    const auto options = optionButtons();
    for (std::size_t i = 0; i < options.size(); ++i) {
      // The stored word for a selected option is spelled "ture".
      WriteSetting(settingKey(U"Option", i + 1), options[i]->isChecked() ? U"ture" : U"false");
    }
  } catch (const std::exception& e) {
    ui::MessageBox::information(this, QString::fromUtf8(e.what()));
  }
}

void ReplaceWindow::fillRows(TaskListAccess& taskList) {
  const std::vector<Text> entries = taskList.entries();
  if (entries.empty()) {
    ui::MessageBox::information(this, QStringLiteral("请选择好文件，谢谢"));
    return;
  }
  rows_.reserve(entries.size());
  const QIcon icon = style()->standardIcon(QStyle::SP_FileIcon);
  for (const Text& path : entries) {
    rows_.push_back(ReplaceRow{path});
    auto* item = new QTreeWidgetItem(ListView1);
    item->setIcon(0, icon);
    showRow(rows_.size() - 1);
  }
}

void ReplaceWindow::showRow(std::size_t index) {
  QTreeWidgetItem* item = ListView1->topLevelItem(static_cast<int>(index));
  if (!item) return;
  const ReplaceRow& row = rows_[index];
  item->setText(0, toQString(row.path));
  item->setText(1, toQString(row.countText));
  item->setText(2, toQString(row.resultText));
}

std::optional<SearchParameters> ReplaceWindow::parameters() const {
  SearchParameters params;
  params.findText = fromQString(Text1->text());
  params.replacement = fromQString(Text2->text());
  params.wholeWord = Check1->isChecked();
  params.caseSensitive = Check2->isChecked();
  params.fixedReplacement = Check5->isChecked();
  params.target = target_;
  if (Option8->isChecked()) {
    params.mode = ReplaceMode::Specific;
  } else if (Option1->isChecked()) {
    params.mode = ReplaceMode::Text;
  } else if (Option2->isChecked()) {
    params.mode = ReplaceMode::Tags;
  } else if (Option3->isChecked()) {
    params.mode = ReplaceMode::Page;
  } else if (Option4->isChecked()) {
    params.mode = ReplaceMode::Scripts;
  } else {
    return std::nullopt;
  }
  return params;
}

void ReplaceWindow::startReplace() {
  const std::optional<SearchParameters> params = parameters();
  if (!params) {
    ui::MessageBox::information(this, QStringLiteral("请先在“替换模式”中选择一种模式，再开始查找"));
    return;
  }
  if (!rows_.empty()) {
    SearchParameters check;
    check.findText = fromQString(Text1->text());
    if (const auto refusal = refuseParameters(check)) {
      ui::MessageBox::information(this, toQString(*refusal));
      return;
    }
  }
  // One program at a time writes the program directory; the lock is held until the last page is done.
  const ProgramDirectoryLock held = lockProgramDirectory(false);
  if (!held.lock) {
    ui::MessageBox::information(this, QString::fromUtf8(held.refusal.c_str()));
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ui::ScreenPacer pacer(this);
  std::vector<Text> pages;
  for (const ReplaceRow& row : rows_) pages.push_back(row.path);
  removeReplaceLeftovers(pages, options_ ? options_() : CompressionOptions{});
  ProgressBar1->setRange(0, std::max<int>(static_cast<int>(rows_.size()), 1));
  ProgressBar1->setValue(0);
  ReplaceRunHooks hooks;
  hooks.options = [this] { return options_ ? options_() : CompressionOptions{}; };
  hooks.rowBegins = [&](std::size_t i) {
    StatusBar1->showMessage(toQString(statusText(rows_[i].path)));
    pacer.step();
    pauseMilliseconds(1);
  };
  hooks.rowFinished = [&](std::size_t i) {
    showRow(i);
    ListView1->scrollToItem(ListView1->topLevelItem(static_cast<int>(i)));
    ProgressBar1->setValue(static_cast<int>(i + 1));
    pacer.step();
  };
  hooks.stopRequested = [] { return false; };
  replaceInRows(rows_, *params, processorCores(), hooks);
  StatusBar1->clearMessage();
  QApplication::restoreOverrideCursor();
}

void ReplaceWindow::closeEvent(QCloseEvent* event) {
  saveSettings();
  QWidget::closeEvent(event);
}

}  // namespace vantiro
