#include "support/desktop_rights.h"

#include <gtest/gtest.h>

#include "commands/desktop_user.h"
#include "support/scripted_ui.h"

namespace velmo {
namespace {

TEST(DesktopRights, TheToolIsComparedWithTheDesktopShell) {
  const struct {
    const char* name;
    bool sameAccount, toolElevated, shellElevated, linkedToken;
    bool refuse, checkUnelevated, launchThroughShell;
  } rows[] = {
      {"ordinary start under UAC", true, false, false, true, false, false, false},
      {"run as administrator", true, true, false, true, false, true, true},
      {"run as administrator, no linked token", true, true, false, false, false, false, true},
      // Wine: every process, the shell included, reports itself elevated.
      {"UAC off or built-in Administrator", true, true, true, true, false, false, false},
      {"unelevated under an elevated shell", true, false, true, true, false, false, false},
      {"another account, elevated", false, true, false, true, true, false, false},
      {"another account, not elevated", false, false, false, false, true, false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const RightsDecision decision = DecideRights(
        RightsFacts{row.sameAccount, row.toolElevated, row.shellElevated, row.linkedToken});
    EXPECT_EQ(decision.otherAccount, row.refuse);
    EXPECT_EQ(decision.checkWriteUnelevated, row.checkUnelevated);
    EXPECT_EQ(decision.launchThroughShell, row.launchThroughShell);
  }
  // No shell window to compare with (Wine without a desktop): as usual.
  EXPECT_EQ(DecideRights(std::nullopt), RightsDecision{});
}

TEST(DesktopRights, AnotherAccountGetsOneBoxAndTheCommandStops) {
  const struct { const wchar_t *account, *named; } rows[] = {{L"PC\\管理员", L"（PC\\管理员）"}, {L"", L""}};
  for (const auto& row : rows) {
    testing::ScriptedUi ui;
    EXPECT_FALSE(RunsAsDesktopUser(ui, RightsDecision{true, false, false}, row.account));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              std::wstring(L"本工具正在以另一个用户账户") + row.named +
                  L"运行，而不是当前桌面的用户。这样复制和记录的将是那个账户的配置文件和文件夹，"
                  L"当前用户的Velmo浏览器无法使用，所以这次没有做任何改动。\r\n"
                  L"请由当前桌面的用户直接运行本工具（不要在系统提示中输入其他账户的密码）。");
    EXPECT_EQ(ui.boxes[0].style, 0x40u);
    EXPECT_EQ(ui.boxes[0].title, L"Velmo浏览器绿化工具");
  }
  testing::ScriptedUi ui;
  EXPECT_TRUE(RunsAsDesktopUser(ui, RightsDecision{false, true, true}, L"PC\\user"));
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace velmo
