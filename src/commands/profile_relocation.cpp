#include "commands/profile_relocation.h"

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <utility>

#include "commands/command_steps.h"
#include "commands/setting_replacement.h"
#include "commands/write_protection.h"
#include "model/browser_layout.h"
#include "model/path_file.h"
#include "support/file_queries.h"
#include "support/folder_deletion.h"
#include "support/platform_error.h"
#include "support/search_process.h"

namespace velmo {
namespace {

constexpr wchar_t kBrowserRunningText[] =
    L"检测到Velmo浏览器正在运行中，请关闭Velmo浏览器再继续操作。";
constexpr wchar_t kOverwriteQuestion[] =
    L"检测到当前目录下已经存放有Velmo浏览器配置文件，是否需要用系统现有的Velmo浏览器配置文件"
    L"覆盖当前绿色版的配置文件？";
constexpr wchar_t kSuccessText[] = L"成功设置，重启Velmo浏览器后生效。";

// Failures of the copy and of the swap. The Setting folder and the path file are as they were.
constexpr wchar_t kCopyFailedPrefix[] = L"复制Velmo浏览器配置文件失败：";
constexpr wchar_t kCopyFailedSuffix[] =
    L"\r\n配置文件没有全部复制成功，可能有文件正在被其他程序使用、磁盘空间不足，或者目标路径过长。"
    L"绿色版原有的配置文件和路径文件保持原样，请检查后再试。";
constexpr wchar_t kInUsePrefix[] = L"无法覆盖当前绿色版的配置文件，以下文件正在被其他程序使用：\r\n";
constexpr wchar_t kInUseSuffix[] =
    L"\r\n请关闭Velmo浏览器及其他正在使用该文件的程序后再试。"
    L"绿色版原有的配置文件和路径文件保持原样。";
constexpr wchar_t kBlockedPrefix[] = L"无法在以下位置存放配置文件：\r\n";
constexpr wchar_t kBlockedSuffix[] =
    L"\r\n该位置已被占用且无法替换。绿色版原有的配置文件和路径文件保持原样。";
// The new configuration is in place; only the old one could not be removed completely.
constexpr wchar_t kOldLeftBehindPrefix[] = L"\r\n旧的配置文件未能完全删除，残留在：\r\n";
constexpr wchar_t kOldLeftBehindSuffix[] = L"\r\n可以在关闭正在使用它的程序后手动删除。";

struct WorkingPaths {
  std::wstring profile;
  std::wstring defaultCache;
  std::wstring setting;
  std::array<std::wstring, 3> profileCaches;
};

WorkingPaths ComputePaths(const Context& context) {
  const std::wstring appData = context.Env(L"APPDATA");
  WorkingPaths paths{browser::ProfileFolder(appData),
                     browser::DefaultCacheFolder(context.Env(L"TEMP")),
                     browser::SettingFolder(context.installDir),
                     browser::ProfileCacheFolders(appData)};
  // The video cache has always been found through the lower-case name; the lookup ignores case.
  paths.profileCaches[2] = browser::ProfileCacheFolders(context.Env(L"appdata"))[2];
  return paths;
}

// The path file as it was before this click, so that a relocation that fails can put it back.
class PathFileBackup {
 public:
  // Throws PlatformError when a path file exists but cannot be read.
  explicit PathFileBackup(const std::wstring& installDir)
      : installDir_(installDir), bytes_(ReadPathFileBytes(installDir)) {}

  // Best effort: the user is told about the failure that made this necessary either way.
  void Restore() const {
    SkipIfFails([&] { RestorePathFileBytes(installDir_, bytes_); });
  }

 private:
  std::wstring installDir_;
  std::optional<std::string> bytes_;
};

void ShowSuccess(Ui& ui) { Notify(ui, kSuccessText); }

// A failure of the copy or the swap, under the title "友情提示".
void ShowFailure(Ui& ui, const std::wstring& text) {
  ui.MsgBox(text, kMbOk | kMbIconError, kFriendlyTitle);
}

// Deletes the profile's cache folders (a missing or busy one stays, without a message), then
// puts a fresh copy of the profile in place of the Setting folder and reports the outcome.
void CopyProfileToSetting(Ui& ui, const WorkingPaths& paths, const PathFileBackup& backup) {
  const FolderDeleter deleter;
  for (const std::wstring& cache : paths.profileCaches) {
    SkipIfFails([&] { deleter.DeleteFolder(cache); });
  }
  const ReplacementResult result = ReplaceWithCopy(paths.profile, paths.setting, deleter);
  switch (result.status) {
    case ReplacementStatus::kDone:
      ShowSuccess(ui);
      return;
    case ReplacementStatus::kOldLeftBehind:
      Notify(ui, kSuccessText + (kOldLeftBehindPrefix + result.path + kOldLeftBehindSuffix));
      return;
    case ReplacementStatus::kCopyFailed:
      backup.Restore();
      ShowFailure(ui, kCopyFailedPrefix + paths.profile + kCopyFailedSuffix);
      return;
    case ReplacementStatus::kInUse:
      backup.Restore();
      ShowFailure(ui, kInUsePrefix + result.path + kInUseSuffix);
      return;
    case ReplacementStatus::kBlocked:
      backup.Restore();
      ShowFailure(ui, kBlockedPrefix + result.path + kBlockedSuffix);
      return;
  }
}

}  // namespace

void RelocateProfile(const Context& context, Ui& ui) {
  const WorkingPaths paths = ComputePaths(context);

  if (IsProcessRunning(browser::kExecutableName)) {
    Notify(ui, kBrowserRunningText);
    return;
  }

  if (!FolderExists(paths.profile)) {
    // No profile yet: point the browser at the Setting folder beside it.
    if (WritePathFileOrReport(ui, context.installDir, PathFileForm::kRelative,
                              paths.defaultCache)) {
      ShowSuccess(ui);
    }
    return;
  }

  // The absolute form only where the Setting folder's path reaches the browser unchanged.
  const PathFileForm form = ChoosePathFileForm(ui, paths.setting);
  std::optional<PathFileBackup> backup;
  try {
    backup.emplace(context.installDir);
  } catch (const PlatformError& error) {
    ReportError(ui, error);
    return;
  }
  // A path file that cannot be written ends the command before anything is deleted.
  if (!WritePathFileOrReport(ui, context.installDir, form, paths.defaultCache)) return;

  if (FolderExists(paths.setting) && !AskYesNo(ui, kOverwriteQuestion)) {
    ShowSuccess(ui);
    return;
  }
  // Nothing is deleted unless the Setting folder can be made in the installation folder.
  try {
    CheckFolderCanBeCreated(paths.setting);
  } catch (const PlatformError& error) {
    backup->Restore();
    ReportInstallFolderWriteFailure(ui, error, context.installDir);
    return;
  }
  CopyProfileToSetting(ui, paths, *backup);
}

}  // namespace velmo
