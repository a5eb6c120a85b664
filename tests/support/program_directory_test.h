#pragma once
// A test of code that writes the program directory: `home` is a fresh
// temporary program directory and the program's pauses take no time; after
// the test the program directory is found by the usual rule again.

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace vantiro::test {

class ProgramDirectoryTest : public ::testing::Test {
 public:
  TempDir home;

 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace vantiro::test
