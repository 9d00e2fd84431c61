#include "commands/write_protection.h"

#include <windows.h>

#include "commands/command_steps.h"
#include "model/browser_layout.h"
#include "support/number_text.h"

namespace velmo {
namespace {

constexpr wchar_t kAccessDeniedAdvice[] =
    L"\r\n\r\n当前用户没有权限在Velmo浏览器的安装目录中写入文件（例如安装在“Program Files”文件夹下时）。"
    L"可以用管理员身份重新运行本工具后再操作；也可以把Velmo浏览器所在的整个文件夹复制到可以写入的位置"
    L"（例如其他磁盘或U盘），再运行复制过去的本工具。\r\n"
    L"是否现在以管理员身份重新启动本工具？";

constexpr wchar_t kCreateFolderOperation[] = L"创建配置文件夹";
constexpr unsigned kMaxProbeAttempts = 100;

// Creates and removes a folder beside `folder`: ERROR_SUCCESS, or why it could not be created.
DWORD TryFolderBeside(const std::wstring& folder) {
  const std::wstring stem = folder + std::wstring(kWriteCheckTag) + DecimalText(GetCurrentProcessId()) + L"-";
  for (unsigned attempt = 1; attempt <= kMaxProbeAttempts; ++attempt) {
    const std::wstring probe = stem + DecimalText(attempt);
    if (CreateDirectoryW(probe.c_str(), nullptr)) {
      RemoveDirectoryW(probe.c_str());
      return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    // A name left behind by an earlier run proves nothing: try the next one.
    if (error != ERROR_ALREADY_EXISTS) return error;
  }
  return ERROR_ALREADY_EXISTS;
}

}  // namespace

bool IsAccessDenied(const PlatformError& error) {
  if (error.IsHresult()) return error.Code() == static_cast<std::uint32_t>(E_ACCESSDENIED);
  return error.Code() == ERROR_ACCESS_DENIED;
}

bool InstallFolderIsWriteProtected(const std::wstring& installDir) {
  return TryFolderBeside(browser::SettingFolder(installDir)) == ERROR_ACCESS_DENIED;
}

void ReportInstallFolderWriteFailure(Ui& ui, const PlatformError& error,
                                     const std::wstring& installDir) {
  if (!IsAccessDenied(error) || !InstallFolderIsWriteProtected(installDir)) {
    ReportError(ui, error);
    return;
  }
  if (ui.MsgBox(error.Describe() + kAccessDeniedAdvice, kMbYesNo | kMbIconError, kToolTitle) !=
      kIdYes) {
    return;
  }
  bool started = false;
  try {
    started = ui.StartAgainAsAdministrator();
  } catch (const PlatformError& startError) {
    ReportError(ui, startError);
    return;
  }
  // The new instance does the work; this one must not hold the window or the files meanwhile.
  if (started) ui.EndNow();
}

void CheckFolderCanBeCreated(const std::wstring& folder) {
  const DWORD error = TryFolderBeside(folder);
  if (error != ERROR_SUCCESS) ThrowError(kCreateFolderOperation, folder, error);
}

}  // namespace velmo
