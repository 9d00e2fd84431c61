#include "commands/installed_restore.h"

#include "commands/preflight.h"
#include "commands/replacement_journal.h"
#include "commands/replacement_recovery.h"
#include "commands/replacement_report.h"
#include "model/browser_layout.h"
#include "model/path_file.h"
#include "support/file_queries.h"
#include "support/folder_nesting.h"
#include "support/path_text.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

constexpr wchar_t kIdentityOperation[] = L"确认用户配置文件夹所在的文件夹";
constexpr wchar_t kNotPortableText[] =
    L"当前的Velmo浏览器没有使用本工具制作的绿色版配置文件，无需恢复为安装版。";
constexpr wchar_t kConfigurationMissingStart[] = L"找不到路径文件中记录的绿色版配置文件夹：\r\n";
constexpr wchar_t kConfigurationMissingEnd[] = L"\r\n无法恢复为安装版。";
constexpr wchar_t kNoAppDataText[] =
    L"无法确定当前用户的配置文件夹：环境变量APPDATA没有设置。无法恢复为安装版。";
constexpr wchar_t kOverlapStart[] = L"绿色版的配置文件夹：\r\n";
constexpr wchar_t kOverlapMiddle[] = L"\r\n与系统的Velmo浏览器配置文件夹：\r\n";
constexpr wchar_t kOverlapEnd[] = L"\r\n是同一个文件夹或者互相包含，没有需要复制的配置文件。";
constexpr wchar_t kNestingUnknownStart[] = L"无法恢复为安装版：无法确认绿色版的配置文件夹：\r\n";
constexpr wchar_t kNestingUnknownEnd[] =
    L"\r\n是否是同一个文件夹或者互相包含（无法读取其中某个文件夹的信息）。为避免删除您的文件，"
    L"这次没有做任何改动。";
constexpr wchar_t kQuestionStart[] = L"将把绿色版的配置文件：\r\n";
constexpr wchar_t kQuestionMiddle[] = L"\r\n复制到系统的Velmo浏览器配置文件夹：\r\n";
constexpr wchar_t kQuestionEnd[] =
    L"\r\n该文件夹中现有的内容将被替换，路径文件将被删除，Velmo浏览器以后将像安装版一样使用该文件夹"
    L"中的配置文件。绿色版的配置文件夹本身会保留。\r\n是否继续？";
constexpr wchar_t kSuccessStart[] = L"成功恢复为安装版。Velmo浏览器下次启动时将使用：\r\n";
constexpr wchar_t kSuccessMiddle[] = L"\r\n绿色版的配置文件仍保存在：\r\n";
constexpr wchar_t kSuccessEnd[] = L"\r\n确认不再需要后，可以手动删除它。";

// What the check of the copy says when it does not fit.
constexpr CopyFitWords kCopyFitWords = {
    .noRoomLead = L"用户配置文件夹所在的磁盘空间不足，无法恢复为安装版。",
    .tooLongLead = L"用户配置文件夹中的路径太长，无法恢复为安装版。",
    // The profile folder's place is fixed, and the browser finds its files only under their own
    // names: what helps is a cache folder deleted (the browser makes it again), nothing else.
    .tooLongAdvice = L"系统的Velmo浏览器配置文件夹的位置是固定的，无法改短。如果这个文件在绿色版"
                     L"配置文件夹的某个缓存文件夹中（文件夹名称中通常带有Cache），可以关闭Velmo浏览器，"
                     L"删除那个缓存文件夹后再试，Velmo浏览器会重新生成它；否则本工具无法复制这个文件，"
                     L"也就无法恢复为安装版。",
};
constexpr wchar_t kProfileIsFileStart[] =
    L"无法恢复为安装版：系统的Velmo浏览器配置文件夹的位置上是一个文件，而不是文件夹：\r\n";
constexpr wchar_t kNameTakenStart[] =
    L"无法恢复为安装版：以下文件或文件夹占用了恢复时要用的名称，但它不是本工具创建的：\r\n";
constexpr wchar_t kNameTakenEnd[] =
    L"\r\n为避免删除您的文件，本工具不会改动它。请先将它改名或移到别处，再重新操作。";

// Beside the profile folder, which every installation folder's restore shares, the name may be
// held by an unfinished restore started from another installation folder: its journal lies there.
constexpr wchar_t kProfileNameTakenStart[] =
    L"无法恢复为安装版：以下文件或文件夹占用了恢复时要用的名称：\r\n";
constexpr wchar_t kProfileNameTakenEnd[] =
    L"\r\n它可能是从Velmo浏览器的另一个安装目录开始的恢复为安装版没有完成而留下的；如果是这样，"
    L"请在那个安装目录中打开本工具，工具会自动整理它。否则，为避免删除您的文件，本工具不会改动它，"
    L"请先将它改名或移到别处，再重新操作。";

std::wstring NameTakenText(const std::wstring& entry) {
  if (IsRestoreNameBesideProfile(entry)) {
    return kProfileNameTakenStart + entry + kProfileNameTakenEnd;
  }
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
// first NUL, as the panel shows it, and is taken as a box shows it (ShownPath): the shell's copy
// takes no "\\?\" prefix either.
std::optional<std::wstring> PortableConfiguration(const std::wstring& installDir) {
  const std::optional<PathFileLines> lines = ReadPathFileIfPresent(installDir);
  if (!lines) return std::nullopt;
  const std::wstring line1 = ShownLine(lines->line1);
  if (SameName(line1, browser::kSettingFolderName)) return browser::SettingFolder(installDir);
  if (!IsAbsolute(line1)) return std::nullopt;
  return ShownPath(line1);
}

// The restore, one step a method, in the order Run takes them, once the command's session has
// begun (BeginReplacement). A step that stops the command has shown why.
class RestoreCommand {
 public:
  RestoreCommand(const Context& context, Ui& ui, CommandSession& session)
      : context_(context),
        ui_(ui),
        appData_(AppDataFolder(context)),
        profile_(browser::ProfileFolder(appData_)),
        session_(session) {}

  void Run(ReplacementObserver observer) {
    if (SettleInterruptedWork() && FindPortableConfiguration() && CheckProfileFolderKnown() &&
        CheckProfileIsNoFile() && CheckFoldersApart() && ConfirmRestore() &&
        CheckInstallFolderTakesTheRestore() && CheckProfileFolderTakesTheCopy() &&
        CheckCopyFits()) {
      CopyAndSwap(std::move(observer));
    }
  }

 private:
  // What an interrupted Set or restore left behind is settled first, as Set does: the path file
  // and Setting are read only once they are settled.
  bool SettleInterruptedWork() {
    return SettleBeforeReplacement(context_.installDir, appData_, session_, ui_,
                                   ReplacementKind::kRestore);
  }

  bool FindPortableConfiguration() {
    const std::optional<std::wstring> configuration = PortableConfiguration(context_.installDir);
    if (!configuration) {
      ui_.Inform(kNotPortableText);
      return false;
    }
    // The shell's copy takes a drive letter or a share, never a device path ("\\?\Volume{…}",
    // "\\.\"): such a folder is not found either.
    const bool devicePath = configuration->starts_with(L"\\\\?\\") ||
                            configuration->starts_with(L"\\\\.\\");
    if (devicePath || !FolderExists(*configuration)) {
      ui_.Inform(kConfigurationMissingStart + *configuration + kConfigurationMissingEnd);
      return false;
    }
    configuration_ = *configuration;
    return true;
  }

  bool CheckProfileFolderKnown() {
    if (!appData_.empty()) return true;
    ui_.Fail(kNoAppDataText);
    return false;
  }

  // The question speaks of a folder: a file at the profile folder's name is the user's, never
  // replaced.
  bool CheckProfileIsNoFile() {
    if (!EntryExists(profile_) || FolderExists(profile_)) return true;
    ui_.Fail(kProfileIsFileStart + profile_ + kNameTakenEnd, BoxTitle::kTool);
    return false;
  }

  // The restore deletes the old profile: it must not be, nor hold, nor lie in the folder copied
  // from, however either is spelled or reached; when that cannot be told, nothing is done.
  bool CheckFoldersApart() {
    switch (FoldersNested(configuration_, profile_)) {
      case Nesting::kApart:
        return true;
      case Nesting::kNested:
        ui_.Inform(kOverlapStart + configuration_ + kOverlapMiddle + profile_ + kOverlapEnd);
        return false;
      case Nesting::kUnknown:
        break;
    }
    ui_.Fail(kNestingUnknownStart + configuration_ + kOverlapMiddle + profile_ +
             kNestingUnknownEnd);
    return false;
  }

  bool ConfirmRestore() {
    return ui_.Ask(kQuestionStart + configuration_ + kQuestionMiddle + profile_ +
                   kQuestionEnd) == Answer::kYes;
  }

  // The path file is deleted last: that it can be, and that it is still the portable one, is
  // checked before anything changes. The restore writes nothing else there, so the browser's
  // unelevated rights in the installation folder are not its concern.
  bool CheckInstallFolderTakesTheRestore() {
    std::optional<std::string> pathFile;
    try {
      CheckPathFileReplaceable(context_.installDir);
      pathFile = ReadPathFileBytes(context_.installDir);
    } catch (const PlatformError& error) {
      ReportInstallFolderWriteFailure(ui_, error, context_.installDir, session_.rights);
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

  // The configuration without its caches must fit beside the profile folder, whose name is the
  // longest the copy takes.
  bool CheckCopyFits() {
    return CopyFitsOrReport(ui_, kCopyFitWords, configuration_,
                            browser::CacheFoldersBelow(configuration_), profile_);
  }

  void CopyAndSwap(ReplacementObserver observer) {
    // A profile folder whose parent cannot be identified throws: the window shows why.
    const ReplacementResult result = RunReplacement(
        RestoreReplacement(context_.installDir, appData_, configuration_, pathFileBefore_),
        session_.retries, std::move(observer));
    ReportReplacementResult(ui_, context_.installDir, result,
                            kSuccessStart + profile_ + kSuccessMiddle + configuration_ +
                                kSuccessEnd,
                            kRestoreWords, session_.rights);
    // The panel shows the path file as the restore left it: none once it is committed.
    if (result.outcome == ReplacementOutcome::kDone ||
        result.outcome == ReplacementOutcome::kOldLeftBehind || !result.pathFileUnchanged) {
      ui_.ShowPathFileLines();
    }
  }

  const Context& context_;
  Ui& ui_;
  const std::wstring appData_;
  const std::wstring profile_;
  CommandSession& session_;
  std::wstring configuration_;
  std::string pathFileBefore_;
};

}  // namespace

Replacement RestoreReplacement(const std::wstring& installDir, const std::wstring& appData,
                               const std::wstring& configuration, std::string pathFileBefore) {
  Replacement replacement;
  replacement.installDir = installDir;
  replacement.appData = appData;
  replacement.source = configuration;
  // The portable folder must not change: its caches are left out of the copy, not deleted.
  replacement.leftOut = browser::CacheFoldersInConfiguration();
  replacement.journal.kind = ReplacementKind::kRestore;
  replacement.journal.names = RestoreNames(browser::ProfileFolder(appData));
  replacement.journal.commitFileBefore = std::move(pathFileBefore);  // and no path file after
  // Which folder this APPDATA is, so that the journal is followed only for this account. A
  // journal without it would be followed wherever APPDATA is spelled the same (another computer's
  // account of the same name): the restore does not start without it.
  const std::wstring profileParent = ParentFolder(replacement.journal.names.target);
  replacement.journal.profileParent = IdentityOf(profileParent);
  if (!replacement.journal.profileParent) {
    // The query says why the folder cannot be read; one that is there but cannot be opened is
    // refused access.
    const DWORD error = EntryQueryError(profileParent);
    ThrowError(kIdentityOperation, profileParent,
               error != ERROR_SUCCESS ? error : ERROR_ACCESS_DENIED);
  }
  return replacement;
}

void RestoreInstalledProfile(const Context& context, Ui& ui, ReplacementObserver observer) {
  // The desktop's user, no browser running, no other window of the tool at work here; the
  // session's lock is held to the end.
  std::optional<CommandSession> session =
      BeginReplacement(context, ui, ReplacementKind::kRestore);
  if (!session) return;
  RestoreCommand(context, ui, *session).Run(std::move(observer));
}

}  // namespace velmo
