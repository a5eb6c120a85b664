#include "common/mirror_path.h"

#include "platform/file_service.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace vantiro {
namespace {

TEST(MirroredPath, WholeComponentsUnderTheSourceGoToTheSamePlaceUnderTheDestination) {
  test::TempDir dir;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const Text cwd = textPath(std::filesystem::current_path().string());
  struct Case {
    Text path, source, destination;
    std::optional<Text> mirrored;
  };
  const Case cases[] = {
      {U"/abs/site/x.htm", U"/abs/site", U"/abs/out", U"/abs/out/x.htm"},
      {U"/abs/site/a/b.htm", U"/abs/site/", U"/abs/out/", U"/abs/out/a/b.htm"},
      {U"/ABS/Site/x.htm", U"/abs/site", U"/abs/out", U"/abs/out/x.htm"},  // letters in either case
      {U"site/x.htm", U"site", U"out", cwd + U"/out/x.htm"},                // relative: against the current directory
      {U"site/x.htm", cwd + U"/site", cwd + U"/out", cwd + U"/out/x.htm"},  // a relative page under an absolute source
      {U"/abs/site2/x.htm", U"/abs/site", U"/abs/out", std::nullopt},       // not a component of its own
      {U"/abs/site", U"/abs/site/", U"/abs/out", std::nullopt},             // the source itself
      {U"/abs/other/x.htm", U"/abs/site", U"/abs/out", std::nullopt},
      {U"/abs/site/../x.htm", U"/abs/site", U"/abs/out", std::nullopt},     // climbs out of the source
      {U"/x.htm", U"/", U"/out", U"/out/x.htm"},
      {U"/abs/site/x.htm", U"/abs/site", U"/", U"/x.htm"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(mirroredPath(c.path, c.source, c.destination), c.mirrored)
        << toUtf8(c.path) << " " << toUtf8(c.source) << " " << toUtf8(c.destination);
  std::filesystem::current_path(before);
}

}  // namespace
}  // namespace vantiro
