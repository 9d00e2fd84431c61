// Start-up of the real tool in a temporary installation folder.
#include <gtest/gtest.h>

#include "gui_driver.h"
#include "support/temp_dir.h"

namespace velmo::e2e {
namespace {

TEST(StartupSmoke, WindowAppears) {
  velmo::testing::TempDir dir(L"e2e");
  ToolProcess tool(SetUpInstallation(dir.Path()), {});
  ASSERT_NE(tool.WaitForMainWindow(), nullptr);
  EXPECT_EQ(tool.Close(), 0u);
}

}  // namespace
}  // namespace velmo::e2e
