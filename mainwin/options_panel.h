#pragma once
// The compression options of the main window: the frame "选项框" with the
// ten switches and the two directory fields shown while `Check1` is on.
// Every reader takes the values from these controls when it needs them.

#include "common/compression_options.h"
#include "platform/text.h"

#include <QGroupBox>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QWidget;

namespace vantiro::ui {

class OptionsPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit OptionsPanel(QWidget* parent = nullptr);

  // The switches and the directory fields as they stand now (com11 is the
  // menu's and left false here).
  CompressionOptions options() const;

  static constexpr int kSwitchCount = 10;

  QCheckBox* check(int number) const;  // 1 to kSwitchCount
  int checkValue(int number) const;    // 0 or 1
  void setCheckValue(int number, int value);

  // Shows the directory fields and enables Check10 while Check1 is on;
  // otherwise hides and empties the fields and disables Check10.
  void matchDirectoryFieldsToCheck1();

  // The row with the two directory fields and their captions (laid out by the window).
  QWidget* directoryRow() const { return directoryRow_; }

  // Run start: the current texts join the fields' drop-down lists.
  void rememberDirectories();

  QCheckBox* Check1 = nullptr;
  QCheckBox* Check2 = nullptr;
  QCheckBox* Check3 = nullptr;
  QCheckBox* Check4 = nullptr;
  QCheckBox* Check5 = nullptr;
  QCheckBox* Check6 = nullptr;
  QCheckBox* Check7 = nullptr;
  QCheckBox* Check8 = nullptr;
  QCheckBox* Check9 = nullptr;   // the further compression level
  QCheckBox* Check10 = nullptr;  // a mirror gets the pages only
  QComboBox* text1 = nullptr;
  QComboBox* text2 = nullptr;

 signals:
  // A status-bar hint for the main window.
  void hint(const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* directoryRow_ = nullptr;
  QLabel* text1Caption_ = nullptr;
  QLabel* text2Caption_ = nullptr;
};

}  // namespace vantiro::ui
