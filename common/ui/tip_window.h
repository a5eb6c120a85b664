#pragma once
// The tip window "日积月累": one random line of the tips file "rjyl.dat" under
// "您知道吗？", a next button, and the per-user switch that decides whether
// the window opens when the program starts.

#include "common/tips_file.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;

namespace vantiro::ui {

// The start-up switch "Show Tips at Startup" in the per-user QSettings
// (organisation and application "vantiro", group "Options"): read as a
// number, 1 when absent or not a number; written as "1" or "0".
int readTipSwitch();
void writeTipSwitch(const QString& value);

class TipWindow : public QDialog {
  Q_OBJECT

 public:
  // The window's load: with the switch at 0 nothing opens and the result is
  // null. Otherwise the check box is ticked (which writes "1"), the tips are
  // read and a random one is shown; the window is modeless and deletes itself
  // when closed. `random` replaces the clock-seeded source (tests).
  static TipWindow* open(QWidget* parent = nullptr, UniformRandom random = nullptr);

  // `cmdNextTip`: a new random tip (the same may come again).
  void ShowRandomTip();
  QString tipText() const;

 private:
  TipWindow(QWidget* parent, UniformRandom random);
  void DisplayCurrentTip();
  bool eventFilter(QObject* watched, QEvent* event) override;

  TipsOfTheDay tips_;

  QCheckBox* chkLoadTipsAtStartup = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* cmdNextTip = nullptr;
  QPushButton* cmdOK = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* lblTipText = nullptr;
};

}  // namespace vantiro::ui
