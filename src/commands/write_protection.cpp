#include "commands/write_protection.h"

#include <windows.h>

#include "model/browser_layout.h"
#include "support/desktop_rights.h"
#include "support/number_text.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

constexpr wchar_t kAccessDeniedAdvice[] =
    L"\r\n\r\n当前用户不能在Velmo浏览器的安装目录中写入文件（例如安装在“Program Files”文件夹下，"
    L"或者U盘开启了写保护）。绿色版的配置文件必须存放在当前用户可以写入的文件夹中，"
    L"Velmo浏览器才能保存书签、Cookie和设置。请把Velmo浏览器所在的整个文件夹复制到可以写入的位置"
    L"（例如其他磁盘或U盘），再运行复制过去的本工具。";

constexpr wchar_t kCreateFolderOperation[] = L"创建配置文件夹";
constexpr wchar_t kCheckUnelevatedWriteOperation[] = L"检查当前用户的普通权限能否写入";
constexpr unsigned kMaxProbeAttempts = 100;

// What a folder made beside another and removed again showed.
struct ProbeResult {
  DWORD creationError = ERROR_SUCCESS;  // why the folder could not be created
  bool unelevatedDenied = false;        // made, but the linked token may not create entries in it
};

// Whether the linked token may create entries in `probe`, a folder just made, and change a file
// made in it. The file is deleted when its handle closes, even if the tool ends first, so that
// an interrupted run leaves only an empty folder. Throws PlatformError when the answer cannot be
// had.
bool UnelevatedCanWriteIn(const std::wstring& probe) {
  const std::wstring file = probe + L"\\probe";
  const UniqueFileHandle made(CreateFileW(file.c_str(), READ_CONTROL | DELETE, 0, nullptr,
                                          CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!made) ThrowLastError(kCheckUnelevatedWriteOperation, file);
  return LinkedTokenCanWriteIn(probe, made.Get());
}

// Creates a folder beside `folder` and removes it again. With `askUnelevated`, the linked token
// is asked about the folder just made and a file in it, whose security (owner and inherited
// entries) is what an elevated Set gives everything it creates. Throws PlatformError when the
// token's answer cannot be had.
ProbeResult TryFolderBeside(const std::wstring& folder, bool askUnelevated) {
  const std::wstring stem = folder + std::wstring(kWriteCheckTag) + DecimalText(GetCurrentProcessId()) + L"-";
  for (unsigned attempt = 1; attempt <= kMaxProbeAttempts; ++attempt) {
    const std::wstring probe = stem + DecimalText(attempt);
    if (CreateDirectoryW(probe.c_str(), nullptr)) {
      bool allowed = true;
      try {
        allowed = !askUnelevated || UnelevatedCanWriteIn(probe);
      } catch (...) {
        RemoveDirectoryW(probe.c_str());
        throw;
      }
      RemoveDirectoryW(probe.c_str());
      return {ERROR_SUCCESS, !allowed};
    }
    const DWORD error = GetLastError();
    // A name left behind by an earlier run proves nothing: try the next one.
    if (error != ERROR_ALREADY_EXISTS) return {error};
  }
  return {ERROR_ALREADY_EXISTS};
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
  ProbeResult result;
  // Asked only to choose the box's words: a token that cannot answer leaves the plain error box.
  if (!SkipIfFails([&] {
        result = TryFolderBeside(browser::SettingFolder(installDir),
                                 CurrentRights().checkWriteUnelevated);
      })) {
    return false;
  }
  return result.creationError == ERROR_ACCESS_DENIED ||
         result.creationError == ERROR_WRITE_PROTECT || result.unelevatedDenied;
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
  if (!CurrentRights().checkWriteUnelevated) return;
  // A folder that cannot be made at all is the ordinary check's to report.
  if (TryFolderBeside(browser::SettingFolder(installDir), true).unelevatedDenied) {
    ThrowError(kCreateFolderOperation, installDir, ERROR_ACCESS_DENIED);
  }
}

void CheckFolderCanBeCreated(const std::wstring& folder) {
  const DWORD error = TryFolderBeside(folder, false).creationError;
  if (error != ERROR_SUCCESS) ThrowError(kCreateFolderOperation, folder, error);
}

}  // namespace velmo
