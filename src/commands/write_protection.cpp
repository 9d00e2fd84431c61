#include "commands/write_protection.h"

#include <windows.h>

#include "model/browser_layout.h"
#include "support/desktop_rights.h"
#include "support/number_text.h"

namespace velmo {
namespace {

constexpr wchar_t kAccessDeniedAdvice[] =
    L"\r\n\r\n当前用户不能在Velmo浏览器的安装目录中写入文件（例如安装在“Program Files”文件夹下，"
    L"或者U盘开启了写保护）。绿色版的配置文件必须存放在当前用户可以写入的文件夹中，"
    L"Velmo浏览器才能保存书签、Cookie和设置。请把Velmo浏览器所在的整个文件夹复制到可以写入的位置"
    L"（例如其他磁盘或U盘），再运行复制过去的本工具。";

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

// Run as administrator by the desktop's user: whether the user's unelevated rights (those the
// browser has) refuse new entries in the installation folder.
bool DesktopUserCannotWriteIn(const std::wstring& installDir) {
  return CurrentRights().checkWriteUnelevated && !LinkedTokenCanWriteIn(installDir);
}

}  // namespace

bool IsAccessDenied(const PlatformError& error) {
  if (error.IsHresult()) {
    return error.Code() == static_cast<std::uint32_t>(E_ACCESSDENIED) ||
           error.Code() == static_cast<std::uint32_t>(HRESULT_FROM_WIN32(ERROR_WRITE_PROTECT));
  }
  return error.Code() == ERROR_ACCESS_DENIED || error.Code() == ERROR_WRITE_PROTECT;
}

bool InstallFolderIsWriteProtected(const std::wstring& installDir) {
  const DWORD error = TryFolderBeside(browser::SettingFolder(installDir));
  if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) return true;
  return DesktopUserCannotWriteIn(installDir);
}

void ReportInstallFolderWriteFailure(Ui& ui, const PlatformError& error,
                                     const std::wstring& installDir) {
  ui.Fail(InstallFolderWriteFailureText(error, installDir), BoxTitle::kTool);
}

std::wstring InstallFolderWriteFailureText(const PlatformError& error,
                                           const std::wstring& installDir) {
  if (!IsAccessDenied(error) || !InstallFolderIsWriteProtected(installDir)) {
    return error.Describe();
  }
  return error.Describe() + kAccessDeniedAdvice;
}

void ShowWriteProtectionAdvice(Ui& ui, const PlatformError& error) {
  ui.Fail(error.Describe() + kAccessDeniedAdvice, BoxTitle::kTool);
}

void CheckDesktopUserCanWrite(const std::wstring& installDir) {
  if (DesktopUserCannotWriteIn(installDir)) {
    ThrowError(kCreateFolderOperation, installDir, ERROR_ACCESS_DENIED);
  }
}

void CheckFolderCanBeCreated(const std::wstring& folder) {
  const DWORD error = TryFolderBeside(folder);
  if (error != ERROR_SUCCESS) ThrowError(kCreateFolderOperation, folder, error);
}

}  // namespace velmo
