#pragma once
// What the main window tests share: one QApplication on the offscreen
// platform for the whole test program, and a fixture with a temporary program
// directory, instant pauses, per-user settings kept in that directory and a
// clean message box facade.

#include "tests/support/temp_dir.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <memory>


class QWidget;

namespace vantiro::test {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  TempDir home_;

 private:
  // Closes, and fails the test for, any box that waits for an answer the
  // test did not preset, so that a forgotten answer cannot hang the run.
  std::unique_ptr<QTimer> watchdog_;
};

// Runs pending events, deferred deletions included.
void settleWindowEvents();

// The tip window when one is open and visible, otherwise null.
QWidget* visibleTipWindow();

}  // namespace vantiro::test
