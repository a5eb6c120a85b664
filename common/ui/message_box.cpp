#include "common/ui/message_box.h"

#include <QApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace vantiro::ui {
namespace {

std::deque<MessageBox::Answer>& presetAnswers() {
  static std::deque<MessageBox::Answer> answers;
  return answers;
}

std::deque<QString>& presetInputs() {
  static std::deque<QString> inputs;
  return inputs;
}

QString titleOr(const QString& title) { return title.isEmpty() ? QStringLiteral("Vantiro") : title; }

// A box is as wide as its text needs, and a short text leaves the window
// manager too little room for the title next to its buttons: the text label
// is widened until the whole title fits. What a title bar holds besides the
// title (icon, three buttons, margins) is taken generously, as its font may be
// bolder than the one measured.
void fitTitle(QDialog& box, QWidget* label) {
  const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
  constexpr int kTitleBarDecorations = 160;
  const int needed = metrics.horizontalAdvance(box.windowTitle()) * 5 / 4 + kTitleBarDecorations;
  if (label) label->setMinimumWidth(std::max(label->minimumWidth(), needed));
}

void fitTitle(QMessageBox& box) { fitTitle(box, box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))); }

// The width a box's text is wrapped at: about 36 Chinese characters, or three
// quarters of the screen when that is less.
int wrapWidth(const QWidget& box, const QFontMetrics& metrics) {
  constexpr int kCharactersPerLine = 36;
  int width = metrics.horizontalAdvance(QChar(0x5B57)) * kCharactersPerLine;
  if (const QScreen* screen = box.screen()) width = std::min(width, screen->availableGeometry().width() * 3 / 4);
  return width;
}

// QMessageBox sizes itself when shown by rules of its own that can leave a
// text without spaces (Chinese, a path) cut at the box's edge. A FittedBox
// sizes itself again afterwards from its text: as wide as its longest line up
// to the wrap width, wrapped beyond that, and as high as the wrapped text needs.
class FittedBox final : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    fitToText();
  }

 private:
  void fitToText() {
    auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label) return;
    const QFontMetrics metrics(label->font());
    int longest = 0;
    for (const QString& line : label->text().split(QLatin1Char('\n')))
      longest = std::max(longest, metrics.horizontalAdvance(line));
    label->setWordWrap(true);
    // A piece that cannot be wrapped (a long path) widens the box rather than being cut.
    const int unbreakable = label->minimumSizeHint().width();
    const int labelWidth = std::max({std::min(longest + 2, wrapWidth(*this, metrics)), unbreakable, label->minimumWidth()});
    label->setMinimumWidth(labelWidth);
    layout()->invalidate();
    layout()->activate();
    const int width = layout()->totalMinimumSize().width();
    const int height = layout()->totalHeightForWidth(width);
    setFixedSize(width, std::max(height, layout()->totalMinimumSize().height()));
  }
};

}  // namespace

std::deque<QString>& MessageBox::shownTexts() {
  static std::deque<QString> texts;
  return texts;
}

void MessageBox::setNextAnswers(std::deque<Answer> answers) { presetAnswers() = std::move(answers); }
void MessageBox::setNextInputs(std::deque<QString> inputs) { presetInputs() = std::move(inputs); }

void MessageBox::reset() {
  presetAnswers().clear();
  presetInputs().clear();
  shownTexts().clear();
}

void MessageBox::information(QWidget* parent, const QString& text, const QString& title) {
  shownTexts().push_back(text);
  if (!presetAnswers().empty()) {
    presetAnswers().pop_front();
    return;
  }
  FittedBox box(QMessageBox::NoIcon, titleOr(title), text, QMessageBox::Ok, parent);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
  box.setTextFormat(Qt::PlainText);
  fitTitle(box);
  box.exec();
}

bool MessageBox::question(QWidget* parent, const QString& text, const QString& title) {
  shownTexts().push_back(text);
  if (!presetAnswers().empty()) {
    Answer a = presetAnswers().front();
    presetAnswers().pop_front();
    return a == Answer::Yes || a == Answer::Ok;
  }
  FittedBox box(QMessageBox::Question, titleOr(title), text, QMessageBox::Yes | QMessageBox::No, parent);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
  box.button(QMessageBox::No)->setText(QStringLiteral("否"));
  box.setDefaultButton(QMessageBox::Yes);
  box.setTextFormat(Qt::PlainText);
  fitTitle(box);
  return box.exec() == QMessageBox::Yes;
}

MessageBox::Answer MessageBox::questionWithCancel(QWidget* parent, const QString& text, const QString& title) {
  shownTexts().push_back(text);
  if (!presetAnswers().empty()) {
    Answer a = presetAnswers().front();
    presetAnswers().pop_front();
    return a == Answer::Ok ? Answer::Yes : a;
  }
  FittedBox box(QMessageBox::Question, titleOr(title), text,
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
  box.button(QMessageBox::No)->setText(QStringLiteral("否"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
  box.setDefaultButton(QMessageBox::Yes);
  box.setTextFormat(Qt::PlainText);
  fitTitle(box);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

std::optional<QString> MessageBox::input(QWidget* parent, const QString& prompt, const QString& initial,
                                         const QString& title) {
  shownTexts().push_back(prompt);
  if (!presetInputs().empty()) {
    QString value = presetInputs().front();
    presetInputs().pop_front();
    return value;
  }
  if (!presetAnswers().empty()) {
    Answer a = presetAnswers().front();
    presetAnswers().pop_front();
    if (a == Answer::Ok || a == Answer::Yes) return initial;
    return std::nullopt;
  }
  QInputDialog dialog(parent);
  dialog.setWindowTitle(titleOr(title));
  dialog.setLabelText(prompt);
  dialog.setTextValue(initial);
  dialog.setOkButtonText(QStringLiteral("确定"));
  dialog.setCancelButtonText(QStringLiteral("取消"));
  fitTitle(dialog, &dialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue();
}

void keepScreenCurrent() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

}  // namespace vantiro::ui
