#include "common/ui/message_box.h"

#include <QApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLabel>
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
  QMessageBox box(QMessageBox::NoIcon, titleOr(title), text, QMessageBox::Ok, parent);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
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
  QMessageBox box(QMessageBox::Question, titleOr(title), text, QMessageBox::Yes | QMessageBox::No, parent);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
  box.button(QMessageBox::No)->setText(QStringLiteral("否"));
  box.setDefaultButton(QMessageBox::Yes);
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
  QMessageBox box(QMessageBox::Question, titleOr(title), text,
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
  box.button(QMessageBox::No)->setText(QStringLiteral("否"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
  box.setDefaultButton(QMessageBox::Yes);
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
