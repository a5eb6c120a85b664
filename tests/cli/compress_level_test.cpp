// compress --level: which rules a run applies.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/run_cli.h"

namespace vantiro {
namespace {

using test::runCli;

TEST(CompressLevel, TwoLeavesOutWhatHtmlInfersAndOneKeepsIt) {
  const std::string page = "<html><body><ul>\n<li class='a'>x</li>\n<li>y</li>\n</ul><!-- note --></body></html>";
  EXPECT_EQ(runCli({"compress", "-"}, page).out, "<html><body><ul><li class='a'>x</li><li>y</li></ul><!-- note --></body></html>");
  EXPECT_EQ(runCli({"compress", "--level", "2", "-"}, page).out, "<html><ul><li class=a>x<li>y</ul>");
  EXPECT_EQ(runCli({"compress", "--level", "1", "-"}, page).out, runCli({"compress", "-"}, page).out);
  for (const char* level : {"0", "3", "two"}) EXPECT_EQ(runCli({"compress", "--level", level, "-"}, page).status, 2);
}

}  // namespace
}  // namespace vantiro
