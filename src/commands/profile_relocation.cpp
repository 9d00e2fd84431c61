#include "commands/profile_relocation.h"

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commands/preflight.h"
#include "commands/replacement_report.h"
#include "commands/replacement_recovery.h"
#include "commands/replacement.h"
#include "commands/replacement_journal.h"
#include "model/browser_layout.h"
#include "model/path_file.h"
#include "support/file_queries.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

constexpr wchar_t kOverwriteQuestion[] =
    L"检测到当前目录下已经存放有Velmo浏览器配置文件，是否需要用系统现有的Velmo浏览器配置文件"
    L"覆盖当前绿色版的配置文件？";
constexpr wchar_t kSuccessText[] = L"成功设置，重启Velmo浏览器后生效。";

constexpr wchar_t kNotMadeByToolStart[] =
    L"无法开始设置：以下文件或文件夹占用了设置时要用的名称，但它不是本工具创建的：\r\n";
constexpr wchar_t kNotMadeByToolEnd[] =
    L"\r\n为避免删除您的文件，本工具不会改动它。请先将它改名或移到别处，再重新设置。";
std::wstring EntryNotMadeByToolText(const std::wstring& entry) {
  return kNotMadeByToolStart + entry + kNotMadeByToolEnd;
}

// What a Set's last box calls the profile and the Setting folder.
constexpr ReplacementWords kSetWords = {
    .copyFailedStart = L"复制Velmo浏览器配置文件失败：",
    .copyCancelled = L"已取消复制Velmo浏览器配置文件。\r\n",
    .inUseStart = L"无法覆盖当前绿色版的配置文件，以下文件正在被其他程序使用：\r\n",
    .nameTakenText = &EntryNotMadeByToolText,
    .allAsBefore = L"绿色版原有的配置文件和路径文件保持原样。",
    .oldAsBefore = L"绿色版原有的配置文件保持原样。",
    .oldElsewhere = L"原有的配置文件未能放回原处，现在保存在：\r\n",
    .inInstallFolder = true,
};
// What the check of the copy says when it does not fit.
constexpr CopyFitWords kCopyFitWords = {
    .noRoomLead = L"安装目录所在的磁盘空间不足，无法设置。",
    .tooLongLead = L"安装目录的路径太长，无法设置。",
    .tooLongAdvice = L"请把Velmo浏览器的安装目录（连同本工具）移到路径较短的文件夹中，例如D:\\Velmo，"
                     L"再重新设置。",
};

// Set, one step a method, in the order Run takes them, once the command's session has begun
// (BeginReplacement). A step that stops the command has shown why.
class SetCommand {
 public:
  SetCommand(const Context& context, Ui& ui, CommandSession& session)
      : context_(context),
        ui_(ui),
        session_(session),
        appData_(AppDataFolder(context)),
        profile_(browser::ProfileFolder(appData_)),
        setting_(browser::SettingFolder(context.installDir)) {}

  AfterCommand Run(ReplacementObserver observer) {
    if (!SettleInterruptedWork() || !CheckSetNamesFree() || !ChooseCacheLine()) {
      return AfterCommand::kStayOpen;
    }
    // No profile yet: the browser is pointed at the Setting folder beside it.
    if (!FolderExists(profile_)) {
      WritePathFileAndReport(PathFileForm::kRelative);
      return AfterCommand::kStayOpen;
    }
    // The absolute form only where the Setting folder's path reaches the browser unchanged.
    const PathFileChoice choice = ChoosePathFileForm(ui_, setting_);
    if (!choice.form) return choice.after;
    form_ = *choice.form;
    // The path file is written last and the copy is made in a folder beside the Setting folder:
    // that both can be done is checked before anything is deleted.
    if (InstallFolderTakesTheSetOrReport(ui_, context_.installDir, session_.rights,
                                         pathFileBefore_) &&
        ReplaceExistingSetting() && CheckCopyFits()) {
      CopyAndSwap(std::move(observer));
    }
    return AfterCommand::kStayOpen;
  }

 private:
  bool SettleInterruptedWork() {
    return SettleBeforeReplacement(context_.installDir, appData_, session_, ui_,
                                   ReplacementKind::kSet);
  }

  // An entry at one of Set's names that no journal explains is the user's: Set refuses before
  // anything changes, and never touches it.
  bool CheckSetNamesFree() {
    const std::optional<std::wstring> taken =
        FirstTakenName(SetNames(context_.installDir), JournalFiles(context_.installDir));
    if (taken) ui_.Fail(EntryNotMadeByToolText(*taken), BoxTitle::kTool);
    return !taken;
  }

  // Line 2 names the cache folder in a spelling the browser can use, or nothing is done.
  bool ChooseCacheLine() {
    cacheLine_ = CacheFolderLineOrReport(ui_, browser::DefaultCacheFolder(context_.Env(L"TEMP")));
    return cacheLine_.has_value();
  }

  void WritePathFileAndReport(PathFileForm form) {
    if (WritePathFileOrReport(ui_, session_.rights, context_.installDir, form, *cacheLine_)) {
      ui_.Inform(kSuccessText);
    }
  }

  // A Setting folder already there: only Yes replaces it; No keeps it and records it; no answer
  // (the box went with the window) does nothing at all.
  bool ReplaceExistingSetting() {
    if (!FolderExists(setting_)) return true;
    const Answer answer = ui_.Ask(kOverwriteQuestion);
    if (answer == Answer::kNo) WritePathFileAndReport(form_);
    return answer == Answer::kYes;
  }

  // Before anything is deleted (the caches included): the copy (the profile without its caches)
  // must fit in the Setting folder, whose name is as long as any the copy takes.
  bool CheckCopyFits() {
    return CopyFitsOrReport(ui_, kCopyFitWords, profile_,
                            browser::ProfileCacheFolders(appData_), setting_);
  }

  void CopyAndSwap(ReplacementObserver observer) {
    Replacement replacement = SetReplacement(
        context_, PathFileLinesFor(context_.installDir, form_, *cacheLine_), pathFileBefore_);
    ReportReplacementResult(
        ui_, context_.installDir,
        RunReplacement(std::move(replacement), session_.retries, std::move(observer)),
        kSuccessText, kSetWords, session_.rights);
  }

  const Context& context_;
  Ui& ui_;
  CommandSession& session_;
  const std::wstring appData_;
  const std::wstring profile_;
  const std::wstring setting_;
  std::optional<std::wstring> cacheLine_;
  PathFileForm form_ = PathFileForm::kAbsolute;
  std::optional<std::string> pathFileBefore_;  // nullopt: there was no path file
};

}  // namespace

Replacement SetReplacement(const Context& context, std::vector<std::wstring> pathFileLines,
                           std::optional<std::string> pathFileBefore) {
  const std::wstring appData = AppDataFolder(context);
  const std::array<std::wstring, 3> caches = browser::ProfileCacheFolders(appData);
  Replacement replacement;
  replacement.installDir = context.installDir;
  replacement.appData = appData;
  replacement.source = browser::ProfileFolder(appData);
  replacement.deletedFirst.assign(caches.begin(), caches.end());
  replacement.pathFileLines = std::move(pathFileLines);
  replacement.journal.kind = ReplacementKind::kSet;
  replacement.journal.names = SetNames(context.installDir);
  replacement.journal.commitFileBefore = std::move(pathFileBefore);
  return replacement;
}

AfterCommand RelocateProfile(const Context& context, Ui& ui, ReplacementObserver observer) {
  // The desktop's user, no browser running, no other window of the tool at work here; the
  // session's lock is held to the end.
  std::optional<CommandSession> session = BeginReplacement(context, ui, ReplacementKind::kSet);
  if (!session) return AfterCommand::kStayOpen;
  return SetCommand(context, ui, *session).Run(std::move(observer));
}

}  // namespace velmo
