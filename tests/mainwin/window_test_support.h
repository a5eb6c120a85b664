#pragma once
// What the main window tests share: one QApplication on the offscreen
// platform for the whole test program, and a fixture with a temporary program
// directory, instant pauses, per-user settings kept in that directory and a
// clean message box facade.

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

class QWidget;

namespace vantiro::test {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  TempDir home_;
};

// Runs pending events, deferred deletions included.
void settleWindowEvents();

// The tip window when one is open and visible, otherwise null.
QWidget* visibleTipWindow();

}  // namespace vantiro::test
