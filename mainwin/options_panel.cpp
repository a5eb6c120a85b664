#include "mainwin/options_panel.h"

#include "common/ui/text_convert.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include <array>

namespace vantiro::ui {
namespace {

struct SwitchText {
  const char* caption;
  const char* hint;
};

// Check1 to Check10, in order.
const std::array<SwitchText, OptionsPanel::kSwitchCount> kSwitches = {{
    {"主页压缩到别的目录", "把主页压缩到别的目录之下！目录添在最上面！（建议不使用）"},
    {"压缩脚本", "这个是选择是否压缩您的脚本，如果发现有压缩后什么效果没了，就别使用这个功能！"},
    {"压缩错误时提示", "当压缩时出现错误时，会弹出对话框以方便您的处理！（压缩大量文章建议不使用）"},
    {"不进行HTML文件检验", "对每个文件进行检验是否为标准html文件！如果您压缩的都为 *.Htm文件，建议不选择"},
    {"自动清空", "这个是选择每当您压缩过后，就自动将左边的列表变为空，可以减少清空的麻烦！"},
    {"对多文本的逻辑压缩", "如果您的主页中有很多的文本，建议使用这个功能！"},
    {"生成便于人工阅读的", "这是将文件压缩成方便阅读的形式！不过会大大减低压缩率！（建议不使用）"},
    {"备份是以追加方式", "为了您主页的绝对安全，强烈建议您选择这个选项！"},
    {"深度压缩", "再省去浏览器自己能补上的标记、注释、引号和默认属性，以及样式表中多余的空白和注释，显示效果不变"},
    {"压缩目录只放网页", "主页压缩到别的目录时，只把压缩的网页放进压缩目录，不复制样式表、脚本、图片等其他文件"},
}};

const char* const kText1Hint = "这是主页您主页的位置，以便于本软件进行安全压缩";
const char* const kText2Hint = "这是本软件的压缩目录，文件压缩后要放如哪儿！";

QComboBox* directoryField(const char* name, QWidget* parent) {
  auto* field = new QComboBox(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setEditable(true);
  field->setInsertPolicy(QComboBox::NoInsert);
  field->setMinimumWidth(200);
  field->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  return field;
}

}  // namespace

OptionsPanel::OptionsPanel(QWidget* parent) : QGroupBox(QStringLiteral("选项框"), parent) {
  setObjectName(QStringLiteral("Frame1"));
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(8, 6, 8, 6);
  grid->setHorizontalSpacing(16);
  grid->setVerticalSpacing(4);
  QCheckBox** boxes[kSwitchCount] = {&Check1, &Check2, &Check3, &Check4, &Check5,
                                     &Check6, &Check7, &Check8, &Check9, &Check10};
  for (int i = 0; i < kSwitchCount; ++i) {
    auto* box = new QCheckBox(QString::fromUtf8(kSwitches[static_cast<std::size_t>(i)].caption), this);
    box->setObjectName(QStringLiteral("Check") + QString::number(i + 1));
    box->setMouseTracking(true);
    box->installEventFilter(this);
    *boxes[i] = box;
    grid->addWidget(box, i % 4, i / 4);
  }

  directoryRow_ = new QWidget;
  auto* row = new QHBoxLayout(directoryRow_);
  row->setContentsMargins(0, 0, 0, 0);
  text1Caption_ = new QLabel(QStringLiteral("主页目录："), directoryRow_);
  text1 = directoryField("text1", directoryRow_);
  text1->setToolTip(QString::fromUtf8(kText1Hint));
  text2Caption_ = new QLabel(QStringLiteral("压缩目录："), directoryRow_);
  text2 = directoryField("text2", directoryRow_);
  text2->setToolTip(QString::fromUtf8(kText2Hint));
  row->addWidget(text1Caption_);
  row->addWidget(text1, 1);
  row->addSpacing(12);
  row->addWidget(text2Caption_);
  row->addWidget(text2, 1);

  connect(Check1, &QCheckBox::clicked, this, [this] { matchDirectoryFieldsToCheck1(); });
  // text1 shows its hint when an item is chosen from its list; text2 on every change of its text.
  connect(text1, &QComboBox::activated, this, [this] { emit hint(QString::fromUtf8(kText1Hint)); });
  connect(text2, &QComboBox::editTextChanged, this, [this] { emit hint(QString::fromUtf8(kText2Hint)); });
  matchDirectoryFieldsToCheck1();
}

CompressionOptions OptionsPanel::options() const {
  CompressionOptions o;
  o.mirror = Check1->isChecked();
  o.compressScripts = Check2->isChecked();
  o.offerRestoreAfterError = Check3->isChecked();
  o.requireHtml = Check4->isChecked();
  o.emptyListAtStart = Check5->isChecked();
  o.preformatParagraphs = Check6->isChecked();
  o.breakLinesAfterTags = Check7->isChecked();
  o.appendToBackup = Check8->isChecked();
  o.level = Check9->isChecked() ? CompressionLevel::Further : CompressionLevel::Standard;
  o.mirrorPagesOnly = Check10->isChecked();
  o.sourceDirectory = fromQString(text1->currentText());
  o.destinationDirectory = fromQString(text2->currentText());
  return o;
}

QCheckBox* OptionsPanel::check(int number) const {
  QCheckBox* const boxes[kSwitchCount] = {Check1, Check2, Check3, Check4, Check5,
                                          Check6, Check7, Check8, Check9, Check10};
  return number >= 1 && number <= kSwitchCount ? boxes[number - 1] : nullptr;
}

int OptionsPanel::checkValue(int number) const { return check(number)->isChecked() ? 1 : 0; }

void OptionsPanel::setCheckValue(int number, int value) { check(number)->setChecked(value != 0); }

void OptionsPanel::matchDirectoryFieldsToCheck1() {
  bool on = Check1->isChecked();
  if (!on) {
    text1->setEditText(QString());
    text2->setEditText(QString());
  }
  for (QWidget* w : {static_cast<QWidget*>(text1Caption_), static_cast<QWidget*>(text1),
                     static_cast<QWidget*>(text2Caption_), static_cast<QWidget*>(text2)})
    w->setVisible(on);
  // Only a mirror can leave out the site's other files.
  Check10->setEnabled(on);
}

void OptionsPanel::rememberDirectories() {
  // An equal item already in the list is not looked for: two starts add it twice.
  text1->addItem(text1->currentText());
  text2->addItem(text2->currentText());
}

bool OptionsPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
    for (int i = 1; i <= kSwitchCount; ++i)
      if (watched == check(i)) emit hint(QString::fromUtf8(kSwitches[static_cast<std::size_t>(i - 1)].hint));
  }
  return QGroupBox::eventFilter(watched, event);
}

}  // namespace vantiro::ui
