#include "common/path_directories.h"

#include "platform/file_service.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace vantiro {
namespace {

TEST(CreatePathDirectories, CreatesEachMissingPrefixButNotTheFile) {
  test::TempDir dir;
  CreatePathDirectories(textPath(dir / "out/news/a.htm"));
  EXPECT_TRUE(isDirectory(dir / "out/news"));
  EXPECT_FALSE(pathExists(dir / "out/news/a.htm"));
  CreatePathDirectories(textPath(dir / "out/news/a.htm"));  // all there: nothing to do
  CreatePathDirectories(textPath(dir / "out/last/"));
  EXPECT_TRUE(isDirectory(dir / "out/last"));
  CreatePathDirectories(U"no-separator.htm");
  EXPECT_FALSE(pathExists("no-separator.htm"));
}

TEST(CreatePathDirectories, FileStandingInTheWayIsReported) {
  test::TempDir dir;
  test::writeBytes(dir / "out", "x");
  EXPECT_THROW(CreatePathDirectories(textPath(dir / "out/a.htm")), FileError);
}

}  // namespace
}  // namespace vantiro
