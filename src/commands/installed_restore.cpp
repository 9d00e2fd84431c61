#include "commands/installed_restore.h"

#include <optional>
#include <string>
#include <utility>

#include "commands/command_steps.h"
#include "commands/replacement_report.h"
#include "commands/restore_transaction.h"
#include "commands/set_recovery.h"
#include "commands/write_protection.h"
#include "model/browser_layout.h"
#include "model/path_file.h"
#include "support/file_queries.h"
#include "support/folder_deletion.h"
#include "support/path_text.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

constexpr wchar_t kNotPortableText[] =
    L"当前的Velmo浏览器没有使用本工具制作的绿色版配置文件，无需恢复为安装版。";
constexpr wchar_t kConfigurationMissingStart[] = L"找不到路径文件中记录的绿色版配置文件夹：\r\n";
constexpr wchar_t kConfigurationMissingEnd[] = L"\r\n无法恢复为安装版。";
constexpr wchar_t kNoAppDataText[] =
    L"无法确定当前用户的配置文件夹：环境变量APPDATA没有设置。无法恢复为安装版。";
constexpr wchar_t kOverlapStart[] = L"绿色版的配置文件夹：\r\n";
constexpr wchar_t kOverlapMiddle[] = L"\r\n与系统的Velmo浏览器配置文件夹：\r\n";
constexpr wchar_t kOverlapEnd[] = L"\r\n是同一个文件夹或者互相包含，没有需要复制的配置文件。";
constexpr wchar_t kQuestionStart[] = L"将把绿色版的配置文件：\r\n";
constexpr wchar_t kQuestionMiddle[] = L"\r\n复制到系统的Velmo浏览器配置文件夹：\r\n";
constexpr wchar_t kQuestionEnd[] =
    L"\r\n该文件夹中现有的内容将被替换，路径文件将被删除，Velmo浏览器以后将像安装版一样使用该文件夹"
    L"中的配置文件。绿色版的配置文件夹本身会保留。\r\n是否继续？";
constexpr wchar_t kSuccessStart[] = L"成功恢复为安装版。Velmo浏览器下次启动时将使用：\r\n";
constexpr wchar_t kSuccessMiddle[] = L"\r\n绿色版的配置文件仍保存在：\r\n";
constexpr wchar_t kSuccessEnd[] = L"\r\n确认不再需要后，可以手动删除它。";

constexpr wchar_t kNoRoomLead[] = L"用户配置文件夹所在的磁盘空间不足，无法恢复为安装版。";
constexpr wchar_t kNameTakenStart[] =
    L"无法恢复为安装版：以下文件或文件夹占用了恢复时要用的名称，但它不是本工具创建的：\r\n";
constexpr wchar_t kNameTakenEnd[] =
    L"\r\n为避免删除您的文件，本工具不会改动它。请先将它改名或移到别处，再重新操作。";

std::wstring NameTakenText(const std::wstring& entry) {
  return kNameTakenStart + entry + kNameTakenEnd;
}

// What a restore's last box calls the portable configuration and the user's profile.
constexpr ReplacementWords kRestoreWords = {
    .copyFailedStart = L"复制绿色版的配置文件失败：\r\n",
    .copyCancelled = L"已取消复制绿色版的配置文件。\r\n",
    .inUseStart = L"无法替换系统的Velmo浏览器配置文件，以下文件正在被其他程序使用：\r\n",
    .nameTakenText = &NameTakenText,
    .allAsBefore = L"系统原有的配置文件和路径文件保持原样。",
    .oldAsBefore = L"系统原有的配置文件保持原样。",
    .oldElsewhere = L"系统原有的配置文件未能放回原处，现在保存在：\r\n",
    .inInstallFolder = false,
};

// The portable configuration folder the path file names, when it is one this tool writes: an
// absolute path, or the word "Setting" for the Setting folder beside the browser. nullopt when
// there is no path file or its first line names nothing the tool made. The line counts up to its
// first NUL, as the panel shows it.
std::optional<std::wstring> PortableConfiguration(const std::wstring& installDir) {
  const std::optional<PathFileLines> lines = ReadPathFileIfPresent(installDir);
  if (!lines) return std::nullopt;
  const std::wstring line1 = ShownLine(lines->line1);
  if (SameName(line1, browser::kSettingFolderName)) return browser::SettingFolder(installDir);
  if (!IsAbsolute(line1)) return std::nullopt;
  return line1;
}

// Whether the configuration folder is the profile folder (however either is spelled, or through a
// link), or one lies inside the other.
bool Overlap(const std::wstring& configuration, const std::wstring& appData) {
  const std::wstring a(WithoutTrailingSeparators(FullLongPath(configuration)));
  const std::wstring b(WithoutTrailingSeparators(browser::ProfileFolder(FullLongPath(appData))));
  return PartBelow(a, b) || PartBelow(b, a) || SameEntry(configuration, b);
}

// The restore, one step a method, in the order Run takes them, once the installation folder is
// the command's (BeginConfigurationChange). A step that stops the command has shown why.
class RestoreCommand {
 public:
  RestoreCommand(const Context& context, Ui& ui)
      : context_(context),
        ui_(ui),
        appData_(context.Env(L"APPDATA")),
        profile_(browser::ProfileFolder(appData_)) {}

  void Run(SetStepObserver observer) {
    if (TidyAfterInterruptedSet() && FindPortableConfiguration() && CheckProfileFolderKnown() &&
        CheckFoldersApart() && ConfirmRestore() && CheckInstallFolderTakesTheRestore() &&
        CheckProfileFolderTakesTheCopy() && CheckRoomForCopy()) {
      CopyAndSwap(std::move(observer));
    }
  }

 private:
  // What an interrupted Set left behind is sorted out first, as Set does: the path file and
  // Setting are read only once they are settled.
  bool TidyAfterInterruptedSet() {
    return TidyBeforeSet(context_.installDir, appData_, deleter_, ui_);
  }

  bool FindPortableConfiguration() {
    const std::optional<std::wstring> configuration = PortableConfiguration(context_.installDir);
    if (!configuration) {
      ui_.Inform(kNotPortableText);
      return false;
    }
    if (!FolderExists(*configuration)) {
      ui_.Inform(kConfigurationMissingStart + *configuration + kConfigurationMissingEnd);
      return false;
    }
    plan_ = {context_.installDir, appData_, *configuration};
    return true;
  }

  bool CheckProfileFolderKnown() {
    if (!appData_.empty()) return true;
    ui_.Fail(kNoAppDataText);
    return false;
  }

  bool CheckFoldersApart() {
    if (!Overlap(plan_.configuration, appData_)) return true;
    ui_.Inform(kOverlapStart + plan_.configuration + kOverlapMiddle + profile_ + kOverlapEnd);
    return false;
  }

  bool ConfirmRestore() {
    return ui_.Ask(kQuestionStart + plan_.configuration + kQuestionMiddle + profile_ +
                   kQuestionEnd) == Answer::kYes;
  }

  // The path file is deleted last: that it can be, and that it is still the portable one, is
  // checked before anything changes.
  bool CheckInstallFolderTakesTheRestore() {
    std::optional<std::string> pathFile;
    try {
      CheckDesktopUserCanWrite(context_.installDir);
      CheckPathFileReplaceable(context_.installDir);
      pathFile = ReadPathFileBytes(context_.installDir);
    } catch (const PlatformError& error) {
      ReportInstallFolderWriteFailure(ui_, error, context_.installDir);
      return false;
    }
    if (!pathFile) {
      ui_.Inform(kNotPortableText);
      return false;
    }
    pathFileBefore_ = std::move(*pathFile);
    return true;
  }

  // The copy is made beside the profile folder.
  bool CheckProfileFolderTakesTheCopy() {
    try {
      CheckFolderCanBeCreated(profile_);
      return true;
    } catch (const PlatformError& error) {
      ui_.Fail(error);
      return false;
    }
  }

  // The configuration without its caches must fit on the profile folder's volume.
  bool CheckRoomForCopy() {
    return RoomForCopyOrReport(
        ui_, kNoRoomLead, plan_.configuration,
        browser::CacheFoldersBelow(std::wstring(WithoutTrailingSeparators(plan_.configuration))),
        appData_);
  }

  void CopyAndSwap(SetStepObserver observer) {
    if (!deleter_) deleter_.emplace(ui_.RetryWaiter());
    const SetResult result =
        RunRestoreTransaction(plan_, pathFileBefore_, *deleter_, std::move(observer));
    ReportReplacementResult(ui_, plan_.installDir, result,
                            kSuccessStart + profile_ + kSuccessMiddle + plan_.configuration +
                                kSuccessEnd,
                            kRestoreWords);
    // The panel shows the path file as the restore left it: none once it is committed.
    if (result.outcome == SetOutcome::kDone || result.outcome == SetOutcome::kOldLeftBehind ||
        !result.pathFileUnchanged) {
      ui_.ShowPathFileLines();
    }
  }

  const Context& context_;
  Ui& ui_;
  const std::wstring appData_;
  const std::wstring profile_;
  std::optional<FolderDeleter> deleter_;
  RestorePlan plan_;
  std::string pathFileBefore_;
};

}  // namespace

void RestoreInstalledProfile(const Context& context, Ui& ui) {
  RestoreInstalledProfile(context, ui, [](SetStep) {});
}

void RestoreInstalledProfile(const Context& context, Ui& ui, SetStepObserver observer) {
  // The desktop's user, no browser running, no other window of the tool at work here; the lock
  // is held to the end.
  const std::optional<FolderLock> lock = BeginConfigurationChange(context, ui);
  if (!lock) return;
  RestoreCommand(context, ui).Run(std::move(observer));
}

}  // namespace velmo
