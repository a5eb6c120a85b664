#pragma once
// Window tests need one QApplication for the whole test program; linking
// qt_test_app.cpp creates it before the first test runs (offscreen platform).

namespace vantiro::test {

// Processes pending events (deferred deletes included).
void settleEvents();

}  // namespace vantiro::test
