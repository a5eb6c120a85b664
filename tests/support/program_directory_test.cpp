#include "tests/support/program_directory_test.h"

#include "platform/system.h"

namespace vantiro::test {

void ProgramDirectoryTest::SetUp() {
  setProgramDirectory(home.path());
  setPauseScale(0);
}

void ProgramDirectoryTest::TearDown() { setProgramDirectory(""); }

}  // namespace vantiro::test
