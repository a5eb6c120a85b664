#pragma once
// The run window "进程框": one compression run with its result rows (each
// failure with its reason), the four progress bars, the bytes saved so far,
// the status bar and the stop / view / close buttons.
//
// The main window constructs a fresh RunWindow for every run (constructing it is
// the window's load: it shows itself and pauses 1000 ms), adds one row per
// page with addRow and calls compressQueuedRows(). Closing the window (停止, 关闭) only hides
// it; its owner deletes it, at the latest when the next run replaces it.

#include "common/compression_options.h"
#include "platform/text.h"
#include "compress/compression_run.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTreeWidget;

namespace vantiro::ui {

class RunWindow : public QWidget {
  Q_OBJECT

 public:
  // `options` reads the main window's switches; it is called afresh for every
  // page so that a change made while the run waits in a message box counts.
  RunWindow(bool alwaysOnTop, std::function<CompressionOptions()> options, QWidget* parent = nullptr);
  ~RunWindow() override;

  // A row as the run start fills it: columns 0 to 3; columns 4 to 6 are the run's.
  void addRow(const Text& source, const Text& destination, const Text& sizeText, const Text& dateText);
  int rowCount() const;
  // The rows with what the run made of them.
  const std::vector<RunRow>& rows() const { return rows_; }

  // The run: compresses every row from top to bottom and fills in its result.
  // Returns when the last row is done; the window keeps the results.
  void compressQueuedRows();
  // After the run, a mirror's other files: those of `sourceDirectory` go into
  // the destination, with the overall bar and the status bar following the
  // copying. Returns the first failure, if any.
  std::optional<Text> copyOtherFiles(const CompressionOptions& options);

  // Keeps the window above ordinary windows without moving or resizing it.
  bool alwaysOnTop() const { return alwaysOnTop_; }
  void setAlwaysOnTop(bool on);

 private:
  friend class RunWindowObserver;

  void buildControls();
  void trimSystemMenu();
  void viewSelectedRows();
  void fitColumns();
  // The bytes the pages compressed so far saved, below the bars.
  void showSaving();

  std::function<CompressionOptions()> options_;
  bool alwaysOnTop_ = false;
  // The rows as texts, parallel to the list's items: paths go to the
  // compressor and the viewer exactly as queued.
  std::vector<RunRow> rows_;
  std::int64_t bytesBefore_ = 0;
  std::int64_t bytesAfter_ = 0;

  QTreeWidget* ListView1 = nullptr;
  QGroupBox* Frame1 = nullptr;
  QGroupBox* Frame2 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command3 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label15 = nullptr;
  QLabel* Label11 = nullptr;
  QLabel* Label21 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QProgressBar* ProgressBar4 = nullptr;
  QProgressBar* ProgressBar6 = nullptr;
  QProgressBar* ProgressBar5 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* savingLabel_ = nullptr;
};

}  // namespace vantiro::ui
