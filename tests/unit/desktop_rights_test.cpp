#include "support/desktop_rights.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <wtsapi32.h>

#include "commands/preflight.h"
#include "support/scripted_ui.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

using A = AccountComparison;
using D = DesktopAccount;
using R = StartRoute;

TEST(DesktopRights, TheShellTellsTheAccountAndTheSessionOnlyWhereItCannot) {
  const struct {
    const char* name; A shell, session; D expected;
    bool denied = false; std::optional<bool> toolElevated = true;
  } rows[] = {
      {"shell opened, same user", A::kSame, A::kOther, D::kDesktopUser},
      {"shell opened, another user (or denied)", A::kOther, A::kSame, D::kOtherAccount},
      {"no shell window, session user same (Wine)", A::kUnknown, A::kSame, D::kDesktopUser},
      {"no shell window, session user other", A::kUnknown, A::kOther, D::kOtherAccount},
      {"neither can tell", A::kUnknown, A::kUnknown, D::kUnknown},
      {"shell denied to an elevated tool", A::kOther, A::kSame, D::kOtherAccount, true},
      {"elevated shell denied to an unelevated tool: the session tells", A::kOther, A::kSame,
       D::kDesktopUser, true, false},
      {"shell denied to a tool of unknown elevation: the session tells", A::kOther, A::kSame,
       D::kDesktopUser, true, std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const RightsDecision decision =
        DecideRights({{row.shell, false, row.denied}, row.session, row.toolElevated, true});
    EXPECT_EQ(decision.account, row.expected);
    // Only the desktop's user gets a way to start the browser.
    EXPECT_EQ(decision.launchRoutes.empty(), row.expected != D::kDesktopUser);
  }
}

TEST(DesktopRights, AnElevatedToolStartsTheBrowserUnelevatedOrNotAtAll) {
  const struct {
    const char* name; std::optional<bool> toolElevated, linkedToken;
    std::optional<bool> shellElevated;
    std::vector<R> routes; bool checkUnelevated;
  } rows[] = {
      {"ordinary start", false, false, false, {R::kDirect}, false},
      {"ordinary start, no shell", false, true, std::nullopt, {R::kDirect}, false},
      {"run as administrator", true, true, false, {R::kDesktopShell, R::kNormalUserToken}, true},
      {"run as administrator, no shell window", true, true, std::nullopt, {R::kNormalUserToken}, true},
      {"elevated shell too (UAC off; Wine's shell)", true, true, true, {R::kDirect}, false},
      {"built-in Administrator, no shell window", true, false, std::nullopt, {R::kDirect}, false},
      {"elevated without linked token over an unelevated shell", true, false, false,
       {R::kDesktopShell, R::kNormalUserToken}, false},
      {"elevated, linked token unknown, no shell", true, std::nullopt, std::nullopt,
       {R::kNormalUserToken}, true},
      {"tool unknown, shell unelevated", std::nullopt, false, false,
       {R::kDesktopShell, R::kNormalUserToken}, true},
      {"tool unknown, shell elevated", std::nullopt, false, true, {R::kNormalUserToken}, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const RightsDecision decision = DecideRights(
        {{A::kSame, row.shellElevated}, A::kUnknown, row.toolElevated, row.linkedToken});
    EXPECT_EQ(decision.launchRoutes, row.routes);
    EXPECT_EQ(decision.checkWriteUnelevated, row.checkUnelevated);
  }
}

TEST(DesktopRights, TheReadersCompareWithTheProcessAndTheSessionTheyAreGiven) {
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), 32768));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  ASSERT_TRUE(CreateProcessW(self.c_str(), nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                             nullptr, nullptr, &startup, &child));
  const UniqueHandle process(child.hProcess);
  const UniqueHandle thread(child.hThread);
  const ShellFacts facts = CompareWithProcess(child.dwProcessId);
  TerminateProcess(process.Get(), 0);
  EXPECT_EQ(facts.account, A::kSame) << "a child of the same user";
  EXPECT_TRUE(facts.elevated.has_value());
  EXPECT_EQ(CompareWithSessionUser(WTS_CURRENT_SESSION), A::kSame);
}

// Under C:\ProgramData, a container-only grant lets Users add entries; files get read and execute.
TEST(DesktopRights, TheBrowserNeedsToAddEntriesToFoldersAndToWriteAndDeleteFiles) {
  HANDLE own = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &own));
  const UniqueHandle ownToken(own);
  HANDLE identification = nullptr;
  ASSERT_TRUE(DuplicateToken(own, SecurityIdentification, &identification));
  const UniqueHandle token(identification);
  const struct { const wchar_t* dacl; DWORD access; bool granted; } rows[] = {
      {L"(A;;0x116;;;WD)", kBrowserFolderAccess, true},      // add file and folder, write EA/attributes
      {L"(A;;0x1200a9;;;WD)", kBrowserFolderAccess, false},  // read and execute
      {L"(A;;0x116;;;WD)", kBrowserFileAccess, false},       // the folder's grant on a file
      {L"(A;;0x1200a9;;;WD)", kBrowserFileAccess, false},
      {L"(A;;0x1301bf;;;WD)", kBrowserFileAccess, true},     // modify
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        (std::wstring(L"O:SYG:SYD:P") + row.dacl).c_str(), SDDL_REVISION_1, &descriptor, nullptr));
    const UniqueLocalMemory owned(descriptor);
    EXPECT_EQ(TokenIsGranted(token.Get(), descriptor, row.access), row.granted);
  }
}

TEST(DesktopRights, AnotherOrAnUnknownAccountGetsOneBoxAndTheCommandStops) {
  const std::wstring other = L"运行，而不是当前桌面的用户。这样复制和记录的将是那个账户的配置文件和文件夹，"
                             L"当前用户的Velmo浏览器无法使用，所以这次没有做任何改动。";
  const std::wstring unknown = L"是否就是当前桌面的用户：既找不到可以询问的桌面程序，也读不出当前会话的用户。"
                               L"为避免改动其他账户的配置文件和文件夹，这次没有做任何改动。";
  const struct { D account; const wchar_t* name; std::wstring text; } rows[] = {
      {D::kOtherAccount, L"PC\\管理员", L"本工具正在以另一个用户账户（PC\\管理员）" + other},
      {D::kOtherAccount, L"", L"本工具正在以另一个用户账户" + other},
      {D::kUnknown, L"PC\\u", L"无法确定本工具运行所用的用户账户（PC\\u）" + unknown},
  };
  for (const auto& row : rows) {
    testing::ScriptedUi ui;
    EXPECT_FALSE(RunsAsDesktopUser(ui, RightsDecision{row.account, false, {}}, [&] { return row.name; }));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, row.text + L"\r\n请由当前桌面的用户直接运行本工具（不要在系统提示中输入其他账户的密码）。");
    EXPECT_EQ(ui.boxes[0].style, 0x40u);
    EXPECT_EQ(ui.boxes[0].title, L"Velmo浏览器绿化工具");
  }
  testing::ScriptedUi ui;
  EXPECT_TRUE(RunsAsDesktopUser(ui, RightsDecision{D::kDesktopUser, false, {}},
                                [] { return std::wstring(L"PC\\u"); }));
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace velmo
