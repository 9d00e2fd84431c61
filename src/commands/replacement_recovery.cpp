#include "commands/replacement_recovery.h"

#include <windows.h>

#include <string_view>

#include "commands/preflight.h"
#include "commands/replacement_journal.h"
#include "model/browser_layout.h"
#include "support/entry_moves.h"
#include "support/file_queries.h"
#include "support/folder_lock.h"
#include "support/lock_retry.h"
#include "support/number_text.h"
#include "support/path_text.h"
#include "support/platform_error.h"
#include "support/search_process.h"

namespace velmo {
namespace {

// A configuration kept beside the one in use gets a name the user sees and understands, no
// longer than "Setting" (so that everything in it stays reachable).
constexpr wchar_t kKeptAsideName[] = L"\\旧配置";
constexpr unsigned kMaxKeptAsideNumber = 9999;

// How the boxes name the command that was interrupted, or that cannot begin.
struct CommandWords {
  const wchar_t* interrupted;  // "检测到上次<…>时没有完成"
  const wchar_t* leftBy;       // "上次<…>留下的"
  const wchar_t* cannotBegin;  // the first words of a refusal
};
constexpr CommandWords kSetWords = {L"设置Velmo浏览器配置文件", L"设置", L"无法开始设置："};
constexpr CommandWords kRestoreWords = {L"恢复为安装版", L"恢复为安装版", L"无法恢复为安装版："};

const CommandWords& WordsFor(ReplacementKind command) {
  return command == ReplacementKind::kSet ? kSetWords : kRestoreWords;
}

constexpr wchar_t kInterruptedStart[] = L"检测到上次";
constexpr wchar_t kInterruptedEnd[] = L"时没有完成";
constexpr wchar_t kLastTime[] = L"上次";
constexpr wchar_t kKeptAsideStart[] = L"除了正在使用的配置文件：\r\n";
constexpr wchar_t kKeptAsideMiddle[] =
    L"\r\n还留有另一份配置文件。为避免丢失数据，工具没有删除它，它现在保存在：\r\n";
constexpr wchar_t kKeptAsideEnd[] = L"\r\n确认不再需要后，可以手动删除它。";
constexpr wchar_t kBrowserRunningEnd[] =
    L"，需要整理留下的文件夹。Velmo浏览器正在运行中，这次没有做任何改动；请关闭Velmo浏览器后"
    L"重新打开本工具，工具会自动整理。";
constexpr wchar_t kHeldAtStartMiddle[] =
    L"，但以下文件或文件夹正在被其他程序使用，暂时无法整理：\r\n";
constexpr wchar_t kHeldAtStartEnd[] = L"\r\n请关闭正在使用它的程序后重新打开本工具，工具会自动整理。";
constexpr wchar_t kHeldAtSetMiddle[] = L"留下的以下文件或文件夹无法整理：\r\n";
constexpr wchar_t kHeldAtSetEnd[] = L"\r\n请关闭正在使用它的程序后再试。";
constexpr wchar_t kOtherProfileMiddle[] =
    L"另一个Windows用户（或另一个用户配置文件夹）有一次恢复为安装版没有完成，正在等待整理。"
    L"它要恢复的配置文件夹是：\r\n";
constexpr wchar_t kOtherProfileEnd[] =
    L"\r\n只有在该用户的账户下打开本工具才能整理它。为避免丢失数据，本工具这次没有做任何改动；"
    L"请先让该用户打开一次本工具，再重新操作。";
constexpr wchar_t kProfileUnknownMiddle[] =
    L"有一次恢复为安装版没有完成，正在等待整理。它要恢复的配置文件夹是：\r\n";
constexpr wchar_t kProfileUnknownEnd[] =
    L"\r\n但无法读取当前用户的配置文件夹所在的文件夹（环境变量APPDATA）的信息，无法确认这次恢复"
    L"是否属于当前用户。为避免丢失数据，本工具这次没有做任何改动；请确认该文件夹可以访问后再重新"
    L"操作。";
constexpr wchar_t kNotTheToolsMiddle[] = L"安装目录中的进度记录：\r\n";
constexpr wchar_t kNotTheToolsAfterPath[] = L"\r\n记录了一次没有完成的";
constexpr wchar_t kNotTheToolsEnd[] =
    L"，但其中的名称不是本工具使用的名称，工具无法按它整理。为避免丢失数据，本工具这次没有做任何"
    L"改动；请确认它记录的文件和文件夹不再需要后删除这个文件，再重新操作。";
constexpr wchar_t kTidyOperationStart[] = L"整理上次";
constexpr wchar_t kTidyOperationEnd[] = L"留下的文件";
constexpr wchar_t kReadOperation[] = L"读取路径文件";

// "检测到上次设置Velmo浏览器配置文件时没有完成" and the like.
std::wstring InterruptedText(ReplacementKind interrupted) {
  return kInterruptedStart + std::wstring(WordsFor(interrupted).interrupted) + kInterruptedEnd;
}

std::wstring UnusedKeptAsideName(const std::wstring& folder) {
  for (unsigned number = 1; number <= kMaxKeptAsideNumber; ++number) {
    std::wstring candidate = folder + kKeptAsideName;
    if (number > 1) candidate += DecimalText(number);
    if (!EntryExists(candidate)) return candidate;
  }
  return {};
}

// Carries out what a whole journal says is left to do, on the names it gives. Each step that
// cannot be done ends the work with the entry named in the report; the journal then stays.
class JournalFollower {
 public:
  JournalFollower(const Journal& journal, RetryBudget& retries, SettleReport& report)
      : journal_(journal), names_(journal.names), retries_(retries), report_(report) {}

  bool Follow() {
    // Every step below decides by what stands at the journal's names: one that cannot be asked
    // (a drive gone, access denied) is never taken for one that is not there. Nothing is done,
    // and the journal stays for a start that can ask.
    for (const std::wstring* name : {&names_.target, &names_.partial, &names_.complete,
                                     &names_.aside, &names_.doomed, &journal_.commitFile}) {
      const unsigned long error = EntryQueryError(*name);
      if (error != ERROR_SUCCESS && !IsNotFound(error)) return Failed(*name);
    }
    // Only the copy was under way: the target was never touched.
    if (journal_.phase == JournalPhase::kCopying) {
      return Remove(names_.partial) && Remove(names_.complete);
    }
    // Committed, and the old entry marked for deletion.
    if (EntryExists(names_.doomed)) return Remove(names_.doomed);
    // The copy is not in place: the old configuration goes back, then the copy goes.
    if (EntryExists(names_.complete)) return PutAsideBack() && Remove(names_.complete);
    return SettleCopyInPlace();
  }

 private:
  // The copy was renamed to the target: the commit file, written last, says whether the
  // transaction was committed (its bytes after), not (its bytes before), or neither (another
  // command rewrote it since, and the browser may have used the new configuration).
  bool SettleCopyInPlace() {
    std::optional<std::string> now;
    if (!SkipIfFails([&] {
          if (FileExists(journal_.commitFile)) {
            now = ReadFileBytes(journal_.commitFile, kReadOperation);
          }
        })) {
      return Failed(journal_.commitFile);
    }
    if (now == journal_.commitFileAfter) return RemoveOldAside();
    if (now != journal_.commitFileBefore) return PutAsideBack();
    return UndoSwap();
  }

  // Committed: the old entry aside is garbage.
  bool RemoveOldAside() {
    return !EntryExists(names_.aside) ||
           (Rename(names_.aside, names_.doomed) && Remove(names_.doomed));
  }

  // Not committed: undone. Without the old entry aside, the target might be the old
  // configuration itself, and stays.
  bool UndoSwap() {
    if (journal_.oldExisted && !EntryExists(names_.aside)) return true;
    if (EntryExists(names_.target) && !Rename(names_.target, names_.complete)) return false;
    return PutAsideBack() && Remove(names_.complete);
  }

  bool Failed(const std::wstring& entry) {
    report_.failedEntry = entry;
    return false;
  }
  bool Remove(const std::wstring& path) {
    return SkipIfFails([&] { RemoveFileOrFolder(path, retries_); }) || Failed(path);
  }
  bool Rename(const std::wstring& from, const std::wstring& to) {
    return SkipIfFails([&] { RenameEntry(from, to, retries_); }) || Failed(from);
  }
  // The old configuration goes back to the target; beside another one it gets a visible name.
  bool PutAsideBack() {
    if (!EntryExists(names_.aside)) return true;
    if (!EntryExists(names_.target)) return Rename(names_.aside, names_.target);
    const std::wstring visible = UnusedKeptAsideName(std::wstring(ParentPart(names_.target)));
    if (visible.empty() || !Rename(names_.aside, visible)) return Failed(names_.aside);
    report_.keptAside.push_back(visible);
    return true;
  }

  const Journal& journal_;
  const ReplacementNames& names_;
  RetryBudget& retries_;
  SettleReport& report_;
};

// Removes a file of the tool's journal at `name`; the user's entries stay. False, with the entry
// named in the report, when it cannot be read or removed.
bool RemoveToolJournal(const std::wstring& name, JournalFinding finding, RetryBudget& retries,
                       SettleReport& report) {
  if (finding == JournalFinding::kUnreadable ||
      (IsToolJournal(finding) && !SkipIfFails([&] { RemoveFile(name, retries); }))) {
    report.failedEntry = name;
    return false;
  }
  return true;
}

// The write check's folders beside Setting: removed when empty, else they are somebody's data.
void RemoveEmptyWriteCheckFolders(const std::wstring& installDir) {
  const std::wstring stem = browser::kSettingFolderName + std::wstring(kWriteCheckTag);
  ForEachEntryMatching(installDir, stem + L"*", [&](const DirectoryEntry& entry) {
    // The pattern also matches short 8.3 names: only the long name counts. A folder that is
    // not empty is not removed.
    if (entry.IsFolder() && entry.name.starts_with(stem)) {
      RemoveDirectoryW(entry.path.c_str());
    }
    return true;
  });
}

// Names the entry that could not be tidied; `command` is the command that cannot begin, or
// nullopt at start-up. Whether the installation folder refuses writes is decided by the write
// check, not by the error of the step that failed: a folder that holds an open file gives
// "access denied" too.
void ReportTidyFailure(Ui& ui, const std::wstring& installDir, const SettleReport& report,
                       std::optional<ReplacementKind> command, const RightsDecision& rights) {
  const std::wstring& entry = report.failedEntry;
  const CommandWords& interrupted = WordsFor(report.kind);
  if (InstallFolderIsWriteProtected(installDir, rights)) {
    // The check has just been refused with "access denied": that is the cause the box names.
    ShowWriteProtectionAdvice(
        ui, PlatformError(kTidyOperationStart + std::wstring(interrupted.leftBy) +
                              kTidyOperationEnd,
                          entry, ERROR_ACCESS_DENIED));
  } else if (!command) {
    ui.Inform(InterruptedText(report.kind) + kHeldAtStartMiddle + entry + kHeldAtStartEnd);
  } else {
    ui.Fail(WordsFor(*command).cannotBegin + (kLastTime + std::wstring(interrupted.leftBy)) +
            kHeldAtSetMiddle + entry + kHeldAtSetEnd);
  }
}

// Why `command` cannot begin while a journal waits for another start; nothing was changed.
void ReportWaitingJournal(Ui& ui, const std::wstring& installDir, const SettleReport& report,
                          ReplacementKind command) {
  std::wstring text = WordsFor(command).cannotBegin;
  if (report.reach == JournalReach::kOtherProfile) {
    text += kOtherProfileMiddle + report.target + kOtherProfileEnd;
  } else if (report.reach == JournalReach::kProfileUnknown) {
    text += kProfileUnknownMiddle + report.target + kProfileUnknownEnd;
  } else {
    text += kNotTheToolsMiddle + JournalFiles(installDir).journal + kNotTheToolsAfterPath +
            WordsFor(report.kind).leftBy + kNotTheToolsEnd;
  }
  ui.Fail(text, BoxTitle::kTool);
}

// Tells the user about the report's kept configurations, when there are any.
void ShowKeptAside(const SettleReport& report, Ui& ui) {
  if (report.keptAside.empty()) return;
  std::wstring text = InterruptedText(report.kind) + L"。";
  for (const std::wstring& kept : report.keptAside) {
    text += L"\r\n" + (kKeptAsideStart + report.target + kKeptAsideMiddle + kept + kKeptAsideEnd);
  }
  ui.Inform(text);
}

// The command whose interrupted work this start can settle, from what stands at the journal's
// files: a file of the tool's, and a whole journal that can be followed here. nullopt otherwise:
// a journal that waits for another start is left with everything it names, its draft included.
std::optional<ReplacementKind> WorkToSettle(const JournalFilesRead& found,
                                            const std::wstring& installDir,
                                            const std::wstring& appData) {
  if (!found.Interrupted()) return std::nullopt;
  if (found.journal.finding == JournalFinding::kWhole &&
      ResolveJournal(found.journal.journal, installDir, appData).reach != JournalReach::kHere) {
    return std::nullopt;
  }
  return found.Kind();
}

}  // namespace

SettleReport SettleInterruptedReplacement(const std::wstring& installDir,
                                          const std::wstring& appData, RetryBudget& retries) {
  const JournalFiles files(installDir);
  const JournalFilesRead found = ReadJournalFiles(files);
  SettleReport report;
  report.kind = found.Kind();
  if (found.journal.finding == JournalFinding::kWhole) {
    const ReachedJournal reached = ResolveJournal(found.journal.journal, installDir, appData);
    report.reach = reached.reach;
    report.target = reached.journal.names.target;
    // Only a start that can follow it may remove it: it stays, and so does all it names.
    if (reached.reach != JournalReach::kHere) return report;
    if (!JournalFollower(reached.journal, retries, report).Follow()) return report;
  }
  // Followed to its end, or cut short (nothing was created yet): the journal has nothing more to
  // tell. A draft never named anything yet.
  if (!RemoveToolJournal(files.journal, found.journal.finding, retries, report)) return report;
  RemoveToolJournal(files.draft, found.draft.finding, retries, report);
  return report;
}

bool SettleBeforeReplacement(const std::wstring& installDir, const std::wstring& appData,
                             CommandSession& session, Ui& ui, ReplacementKind command) {
  if (!ReadJournalFiles(JournalFiles(installDir)).Interrupted()) return true;
  const SettleReport report = SettleInterruptedReplacement(installDir, appData, session.retries);
  if (report.reach != JournalReach::kHere) {
    ReportWaitingJournal(ui, installDir, report, command);
    return false;
  }
  ShowKeptAside(report, ui);
  if (!report.failedEntry.empty()) {
    ReportTidyFailure(ui, installDir, report, command, session.rights);
    return false;
  }
  return true;
}

void RecoverInterruptedReplacement(const Context& context, Ui& ui) {
  const JournalFilesRead found = ReadJournalFiles(JournalFiles(context.installDir));
  const RightsDecision asked = found.Interrupted() ? context.rights() : RightsDecision{};
  if (found.Interrupted() && asked.account != DesktopAccount::kDesktopUser) return;
  RemoveEmptyWriteCheckFolders(context.installDir);
  const std::wstring appData = AppDataFolder(context);
  const std::optional<ReplacementKind> interrupted =
      WorkToSettle(found, context.installDir, appData);
  if (!interrupted) return;
  // Another instance of the tool in the middle of a replacement uses the same names: nothing was
  // interrupted.
  const std::optional<FolderLock> lock = TakeInstallFolderLock(context.installDir, *interrupted);
  if (!lock) return;
  // The browser may be using the folders: the work is left to a start without it.
  if (IsProcessRunning(browser::kExecutableName)) {
    ui.Inform(InterruptedText(*interrupted) + kBrowserRunningEnd);
    return;
  }
  // Read again now that the lock is held: the journal is this start's to follow.
  RetryBudget retries(kCommandRetryLimitMs, ui.RetryWaiter());
  const SettleReport report = SettleInterruptedReplacement(context.installDir, appData, retries);
  ShowKeptAside(report, ui);
  if (!report.failedEntry.empty()) {
    ReportTidyFailure(ui, context.installDir, report, std::nullopt, asked);
  }
}

}  // namespace velmo
