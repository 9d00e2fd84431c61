#include "commands/profile_relocation.h"

#include <windows.h>

#include <optional>
#include <string>

#include "commands/command_steps.h"
#include "commands/desktop_user.h"
#include "commands/set_recovery.h"
#include "commands/set_transaction.h"
#include "commands/write_protection.h"
#include "model/browser_layout.h"
#include "model/path_file.h"
#include "support/file_queries.h"
#include "support/folder_deletion.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

constexpr wchar_t kOverwriteQuestion[] =
    L"检测到当前目录下已经存放有Velmo浏览器配置文件，是否需要用系统现有的Velmo浏览器配置文件"
    L"覆盖当前绿色版的配置文件？";
constexpr wchar_t kSuccessText[] = L"成功设置，重启Velmo浏览器后生效。";

// Failures of the copy and of the swap, each followed by what was checked afterwards.
constexpr wchar_t kCopyFailedPrefix[] = L"复制Velmo浏览器配置文件失败：";
constexpr wchar_t kCopyFailedSuffix[] =
    L"\r\n配置文件没有全部复制成功，可能有文件正在被其他程序使用、磁盘空间不足，或者目标路径过长。"
    L"请检查后再试。\r\n";
constexpr wchar_t kCopyCancelledText[] = L"已取消复制Velmo浏览器配置文件。\r\n";
constexpr wchar_t kInUsePrefix[] = L"无法覆盖当前绿色版的配置文件，以下文件正在被其他程序使用：\r\n";
constexpr wchar_t kInUseSuffix[] =
    L"\r\n请关闭Velmo浏览器及其他正在使用该文件的程序后再试。\r\n";
constexpr wchar_t kBlockedPrefix[] = L"无法在以下位置存放配置文件：\r\n";
constexpr wchar_t kBlockedSuffix[] = L"\r\n该位置已被占用且无法替换。\r\n";
constexpr wchar_t kAllAsBefore[] = L"绿色版原有的配置文件和路径文件保持原样。";
constexpr wchar_t kConfigurationAsBefore[] = L"绿色版原有的配置文件保持原样。";
constexpr wchar_t kConfigurationElsewhere[] = L"原有的配置文件未能放回原处，现在保存在：\r\n";
constexpr wchar_t kPathFileAsBefore[] = L"路径文件保持原样。";
constexpr wchar_t kPathFileUnsure[] = L"无法确认路径文件是否保持原样：\r\n";
// The new configuration is in place; only the old one could not be removed completely.
constexpr wchar_t kOldLeftBehindPrefix[] = L"\r\n旧的配置文件未能完全删除，残留在：\r\n";
// The next start finishes the removal (the tool recognises the name).
constexpr wchar_t kOldLeftBehindSuffix[] =
    L"\r\n请关闭正在使用它的程序，重新打开本工具时会自动删除它。";
// Too little room for the copy on the installation folder's volume.
constexpr wchar_t kNoRoomLead[] = L"安装目录所在的磁盘空间不足，无法设置。";

void ShowSuccess(Ui& ui) { Notify(ui, kSuccessText); }

// Where the old configuration and the path file are after a failed Set, as checked on disk.
std::wstring StateAfterFailure(const Context& context, const SetResult& result) {
  if (result.oldConfigurationBack && result.pathFileUnchanged) return kAllAsBefore;
  std::wstring text = result.oldConfigurationBack
                          ? std::wstring(kConfigurationAsBefore)
                          : kConfigurationElsewhere + result.oldConfiguration + L"\r\n";
  if (result.pathFileUnchanged) return text + kPathFileAsBefore;
  return text + kPathFileUnsure + browser::PathFileForWriting(context.installDir);
}

void ReportResult(Ui& ui, const Context& context, const SetResult& result) {
  switch (result.outcome) {
    case SetOutcome::kDone:
      ShowSuccess(ui);
      return;
    case SetOutcome::kOldLeftBehind:
      Notify(ui, kSuccessText + (kOldLeftBehindPrefix + result.path + kOldLeftBehindSuffix));
      return;
    case SetOutcome::kCopyFailed:
      ShowFailure(ui, kCopyFailedPrefix + result.path + kCopyFailedSuffix +
                        StateAfterFailure(context, result));
      return;
    case SetOutcome::kCopyCancelled:
      ShowFailure(ui, kCopyCancelledText + StateAfterFailure(context, result));
      return;
    case SetOutcome::kInUse:
      ShowFailure(ui, kInUsePrefix + result.path + kInUseSuffix + StateAfterFailure(context, result));
      return;
    case SetOutcome::kNameTaken:
      ReportEntryNotMadeByTool(ui, result.path);
      return;
    case SetOutcome::kBlocked:
    case SetOutcome::kNotPlaced:
      ShowFailure(ui, kBlockedPrefix + result.path + kBlockedSuffix +
                        StateAfterFailure(context, result));
      return;
    case SetOutcome::kNotCommitted:
      ShowFailure(ui, result.error + L"\r\n" + StateAfterFailure(context, result));
      return;
  }
}

}  // namespace

void RelocateProfile(const Context& context, Ui& ui) {
  RelocateProfile(context, ui, [](SetStep) {});
}

void RelocateProfile(const Context& context, Ui& ui, SetStepObserver observer) {
  const std::wstring profile = browser::ProfileFolder(context.Env(L"APPDATA"));
  const std::wstring setting = browser::SettingFolder(context.installDir);

  const std::optional<FolderLock> lock = BeginConfigurationChange(context, ui);
  if (!lock) return;
  // What an interrupted Set left behind is sorted out first.
  std::optional<FolderDeleter> deleter;
  if (!TidyBeforeSet(context.installDir, context.Env(L"APPDATA"), deleter, ui)) return;
  // Line 2 names the cache folder in a spelling the browser can use, or nothing is done.
  const std::optional<std::wstring> cacheLine =
      CacheFolderLineOrReport(ui, browser::DefaultCacheFolder(context.Env(L"TEMP")));
  if (!cacheLine) return;

  if (!FolderExists(profile)) {
    // No profile yet: point the browser at the Setting folder beside it.
    if (WritePathFileOrReport(ui, context.installDir, PathFileForm::kRelative, *cacheLine)) {
      ShowSuccess(ui);
    }
    return;
  }

  // The absolute form only where the Setting folder's path reaches the browser unchanged.
  const std::optional<PathFileForm> form = ChoosePathFileForm(ui, setting);
  if (!form) return;

  // The path file is written last and the copy is made in a folder beside the Setting folder;
  // that both can be done is checked before anything is deleted.
  std::optional<std::string> pathFileBefore;
  try {
    CheckDesktopUserCanWrite(context.installDir);
    CheckPathFileReplaceable(context.installDir);
    pathFileBefore = ReadPathFileBytes(context.installDir);
    CheckFolderCanBeCreated(setting);
  } catch (const PlatformError& error) {
    ReportInstallFolderWriteFailure(ui, error, context.installDir);
    return;
  }

  if (FolderExists(setting)) {
    // Only Yes replaces it; No keeps it and records it; no answer (the box went with the
    // window) does nothing at all.
    const Answer answer = AskYesNo(ui, kOverwriteQuestion);
    if (answer == Answer::kNo &&
        WritePathFileOrReport(ui, context.installDir, *form, *cacheLine)) {
      ShowSuccess(ui);
    }
    if (answer != Answer::kYes) return;
  }
  const SetPlan plan = MakeSetPlan(context, *form, *cacheLine);
  // Before anything is deleted: the copy (the profile without its caches) must fit on the
  // installation folder's volume.
  if (!RoomForCopyOrReport(ui, kNoRoomLead, plan.profile, plan.profileCaches, plan.installDir)) {
    return;
  }
  if (!deleter) deleter.emplace();
  ReportResult(ui, context, RunSetTransaction(plan, pathFileBefore, *deleter, observer));
}

}  // namespace velmo
