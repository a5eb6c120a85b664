#pragma once
// The search-and-replace window "查找替换": replaces a text in every page of
// the task list in one run, one result row per page.
//
// Opened the same way by the main window's "查找替换" button and its
// "整体查找替换" menu item. When it opens it reads its remembered settings and
// takes a snapshot of the task list; later changes of the task list are not
// seen until it is opened again. It writes its settings when it closes and
// then deletes itself (Qt::WA_DeleteOnClose): create it with new and hold it
// in a QPointer.

#include "common/compression_options.h"
#include "common/task_list_access.h"
#include "platform/text.h"
#include "replace/search_replace.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QProgressBar;
class QStatusBar;
class QTreeWidget;

namespace vantiro {

class ReplaceWindow : public QWidget {
  Q_OBJECT

 public:
  // `options` reads the main window's options live; the specific mode asks it
  // for every page (the HTML test switch and the two directory fields).
  ReplaceWindow(TaskListAccess& taskList, std::function<CompressionOptions()> options, QWidget* parent = nullptr);
  ~ReplaceWindow() override;

  // Keeps the window above ordinary windows without moving or resizing it.
  bool alwaysOnTop() const { return alwaysOnTop_; }
  void setAlwaysOnTop(bool on);

  // "开始查找": runs the engine over every row in order. Like every long loop
  // of the program it does not react to the user until it ends, but keeps the
  // screen current.
  void startReplace();

  // The specific mode's target as the last click on `Combo1` set it: kind 0
  // and an empty tag name until an entry has been clicked.
  const AttributeTarget& attributeTarget() const { return target_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  std::array<QCheckBox*, 5> checkBoxes() const;
  std::array<QRadioButton*, 8> optionButtons() const;
  void loadSettings();
  void saveSettings();
  void fillRows(TaskListAccess& taskList);
  void showRow(std::size_t index);
  void applyModeClick(QRadioButton* option);
  void chooseAttribute(int index);
  // What the engine needs from the controls; nothing when no mode is chosen.
  std::optional<SearchParameters> parameters() const;

  std::function<CompressionOptions()> options_;
  std::vector<ReplaceRow> rows_;  // the task list as it was at opening
  AttributeTarget target_;
  bool alwaysOnTop_ = false;

  // Controls; each carries its name as objectName, which is how tests find it.
  QLabel* Label1 = nullptr;
  QLineEdit* Text1 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* Text2 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QGroupBox* Frame1 = nullptr;
  QRadioButton* Option1 = nullptr;
  QRadioButton* Option2 = nullptr;
  QRadioButton* Option3 = nullptr;
  QRadioButton* Option4 = nullptr;
  QRadioButton* Option8 = nullptr;
  QComboBox* Combo1 = nullptr;
  QGroupBox* Frame2 = nullptr;
  QRadioButton* Option5 = nullptr;
  QRadioButton* Option6 = nullptr;
  QRadioButton* Option7 = nullptr;
  QCheckBox* Check1 = nullptr;
  QCheckBox* Check2 = nullptr;
  QCheckBox* Check3 = nullptr;
  QCheckBox* Check4 = nullptr;
  QCheckBox* Check5 = nullptr;
  QTreeWidget* ListView1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;  // pages done, shown as n/N
};

}  // namespace vantiro
