#pragma once
// Every message and input box of the program goes through here, so a test can
// preset the answers instead of clicking. Boxes given no title show "Vantiro".

#include <QString>

#include <deque>
#include <optional>

class QWidget;

namespace vantiro::ui {

class MessageBox {
 public:
  enum class Answer { Ok, Yes, No, Cancel };

  static void information(QWidget* parent, const QString& text, const QString& title = QString());
  // Yes/No question; true for Yes.
  static bool question(QWidget* parent, const QString& text, const QString& title = QString());
  // Yes/No/Cancel question; the answer given (Cancel also when the box is closed).
  static Answer questionWithCancel(QWidget* parent, const QString& text, const QString& title = QString());
  // Text input starting from `initial`: the text entered, nothing when cancelled.
  static std::optional<QString> input(QWidget* parent, const QString& prompt, const QString& initial = QString(),
                                      const QString& title = QString());

  // Tests: the next boxes answer these without showing (an input box takes
  // its text from nextInputs). Each box shown is recorded in shownTexts.
  static void setNextAnswers(std::deque<Answer> answers);
  static void setNextInputs(std::deque<QString> inputs);
  static std::deque<QString>& shownTexts();
  static void reset();
};

// Lets Qt repaint between steps of a long loop while user input waits.
void keepScreenCurrent();

}  // namespace vantiro::ui
