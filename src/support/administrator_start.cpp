#include "support/administrator_start.h"

#include "support/com.h"
#include "support/ole_api.h"
#include "support/platform_error.h"
#include "support/shell_api.h"

namespace velmo {
namespace {

constexpr wchar_t kStartOperation[] = L"以管理员身份启动工具";

}  // namespace

bool StartAsAdministrator(const std::wstring& program, const std::wstring& folder, HWND owner) {
  // The shell may hand the start to COM objects (its elevation service among them).
  const OleApi ole;
  const ComApartment apartment(ole);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // Wait until the start is done (the tool ends right after), and report failures to the caller
  // rather than in the shell's own boxes.
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.hwnd = owner;
  info.lpVerb = L"runas";
  info.lpFile = program.c_str();
  info.lpDirectory = folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteInfo(info)) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_CANCELLED) return false;
  ThrowError(kStartOperation, program, error);
}

}  // namespace velmo
