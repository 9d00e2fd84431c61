#include "commands/desktop_user.h"

namespace velmo {
namespace {

constexpr wchar_t kOtherAccountStart[] = L"本工具正在以另一个用户账户";
constexpr wchar_t kOtherAccountEnd[] =
    L"运行，而不是当前桌面的用户。这样复制和记录的将是那个账户的配置文件和文件夹，"
    L"当前用户的Velmo浏览器无法使用，所以这次没有做任何改动。\r\n"
    L"请由当前桌面的用户直接运行本工具（不要在系统提示中输入其他账户的密码）。";
constexpr wchar_t kUnknownAccountStart[] = L"无法确定本工具运行所用的用户账户";
constexpr wchar_t kUnknownAccountEnd[] =
    L"是否就是当前桌面的用户：既找不到可以询问的桌面程序，也读不出当前会话的用户。"
    L"为避免改动其他账户的配置文件和文件夹，这次没有做任何改动。\r\n"
    L"请由当前桌面的用户直接运行本工具（不要在系统提示中输入其他账户的密码）。";

}  // namespace

bool RunsAsDesktopUser(Ui& ui) { return RunsAsDesktopUser(ui, CurrentRights(), ProcessAccountName()); }

bool RunsAsDesktopUser(Ui& ui, const RightsDecision& rights, const std::wstring& account) {
  if (rights.account == DesktopAccount::kDesktopUser) return true;
  const std::wstring named = account.empty() ? std::wstring() : L"（" + account + L"）";
  if (rights.account == DesktopAccount::kOtherAccount) {
    ui.Inform(kOtherAccountStart + named + kOtherAccountEnd, BoxTitle::kTool);
  } else {
    ui.Inform(kUnknownAccountStart + named + kUnknownAccountEnd, BoxTitle::kTool);
  }
  return false;
}

}  // namespace velmo
