#include "commands/set_recovery.h"

#include <windows.h>

#include <string_view>

#include "commands/command_steps.h"
#include "commands/transaction_journal.h"
#include "commands/transaction_names.h"
#include "commands/write_protection.h"
#include "model/browser_layout.h"
#include "support/directory_listing.h"
#include "support/entry_moves.h"
#include "support/file_contents.h"
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

constexpr wchar_t kInterruptedText[] = L"检测到上次设置Velmo浏览器配置文件时没有完成。";
constexpr wchar_t kKeptAsideStart[] = L"除了正在使用的配置文件：\r\n";
constexpr wchar_t kKeptAsideMiddle[] =
    L"\r\n还留有另一份配置文件。为避免丢失数据，工具没有删除它，它现在保存在：\r\n";
constexpr wchar_t kKeptAsideEnd[] = L"\r\n确认不再需要后，可以手动删除它。";
constexpr wchar_t kBrowserRunningText[] =
    L"检测到上次设置Velmo浏览器配置文件时没有完成，需要整理留下的文件夹。"
    L"Velmo浏览器正在运行中，这次没有做任何改动；请关闭Velmo浏览器后重新打开本工具，"
    L"工具会自动整理。";
constexpr wchar_t kHeldAtStartStart[] =
    L"检测到上次设置Velmo浏览器配置文件时没有完成，但以下文件或文件夹正在被其他程序使用，"
    L"暂时无法整理：\r\n";
constexpr wchar_t kHeldAtStartEnd[] = L"\r\n请关闭正在使用它的程序后重新打开本工具，工具会自动整理。";
constexpr wchar_t kHeldAtSetStart[] = L"无法开始设置：上次设置留下的以下文件或文件夹无法整理：\r\n";
constexpr wchar_t kHeldAtSetEnd[] = L"\r\n请关闭正在使用它的程序后再试。";
constexpr wchar_t kTidyOperation[] = L"整理上次设置留下的文件";
constexpr wchar_t kReadOperation[] = L"读取路径文件";


// Whether the journal names the entries its kind of transaction uses here (the same folders
// however they are spelled): a Set's beside this installation folder's Setting, a restore's
// beside this user's profile folder, and this installation folder's path file. A journal carried
// here with a folder copied or moved meanwhile, or written for another user's profile, names
// other entries and is acted on nowhere else.
bool NamesTheseEntries(const Journal& journal, const std::wstring& installDir,
                       const std::wstring& appData) {
  if (journal.kind == TransactionKind::kRestore && appData.empty()) return false;
  const ReplacementNames& named = journal.names;
  const ReplacementNames here = journal.kind == TransactionKind::kSet
                                    ? SetNames(installDir).Replacement()
                                    : RestoreNames(browser::ProfileFolder(appData));
  const std::wstring pathFile = browser::PathFileForWriting(installDir);
  const std::pair<const std::wstring*, const std::wstring*> pairs[] = {
      {&named.target, &here.target}, {&named.partial, &here.partial},
      {&named.complete, &here.complete}, {&named.aside, &here.aside},
      {&named.doomed, &here.doomed}, {&journal.commitFile, &pathFile}};
  for (const auto& [path, expected] : pairs) {
    const std::wstring folder(ParentPart(*path));
    const std::wstring expectedFolder(ParentPart(*expected));
    if (!SameName(LastComponent(*path), LastComponent(*expected)) ||
        !(SameName(folder, expectedFolder) || SameEntry(folder, expectedFolder))) {
      return false;
    }
  }
  return true;
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
  JournalFollower(const Journal& journal, const FolderDeleter& deleter, TidyReport& report)
      : journal_(journal), names_(journal.names), deleter_(deleter), report_(report) {}

  bool Follow() {
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
    return RemoveFileOrFolder(path, deleter_) || Failed(path);
  }
  bool Rename(const std::wstring& from, const std::wstring& to) {
    return RenameEntry(from, to, deleter_.Retries()) || Failed(from);
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
  const FolderDeleter& deleter_;
  TidyReport& report_;
};

// Removes a file of the tool's journal at `name`; the user's entries stay. False, with the entry
// named in the report, when it cannot be read or removed.
bool RemoveToolJournal(const std::wstring& name, JournalFinding finding, RetryBudget& retries,
                       TidyReport& report) {
  if (finding == JournalFinding::kUnreadable ||
      (IsToolJournal(finding) && RemoveFile(name, retries) != 0)) {
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

// Names the entry that could not be tidied. Whether the installation folder refuses writes is
// decided by the write check, not by the error of the step that failed: a folder that holds an
// open file gives "access denied" too.
void ReportTidyFailure(Ui& ui, const std::wstring& installDir, const std::wstring& entry,
                       bool atStart) {
  if (InstallFolderIsWriteProtected(installDir)) {
    // The check has just been refused with "access denied": that is the cause the box names.
    ShowWriteProtectionAdvice(ui, PlatformError(kTidyOperation, entry, ERROR_ACCESS_DENIED));
  } else if (atStart) {
    ui.Inform(kHeldAtStartStart + entry + kHeldAtStartEnd);
  } else {
    ui.Fail(kHeldAtSetStart + entry + kHeldAtSetEnd);
  }
}

// What the user is told about the report's kept configurations; empty when there are none.
std::wstring KeptAsideText(const TidyReport& report) {
  if (report.keptAside.empty()) return {};
  std::wstring text = kInterruptedText;
  for (const std::wstring& kept : report.keptAside) {
    text += L"\r\n" + (kKeptAsideStart + report.target + kKeptAsideMiddle + kept + kKeptAsideEnd);
  }
  return text;
}

void ShowKeptAside(const TidyReport& report, Ui& ui) {
  const std::wstring text = KeptAsideText(report);
  if (!text.empty()) ui.Inform(text);
}

}  // namespace

bool HasSetLeftovers(const std::wstring& installDir) {
  const SetNames names(installDir);
  return IsToolJournal(ReadJournal(names.journal).finding) ||
         IsToolJournal(ReadJournal(names.draft).finding);
}

TidyReport TidyInterruptedSet(const std::wstring& installDir, const std::wstring& appData,
                              const FolderDeleter& deleter) {
  const SetNames names(installDir);
  TidyReport report;
  const JournalRead read = ReadJournal(names.journal);
  report.target = read.journal.names.target;
  const bool followed = read.finding == JournalFinding::kWhole &&
                        NamesTheseEntries(read.journal, installDir, appData);
  if (followed && !JournalFollower(read.journal, deleter, report).Follow()) return report;
  // Followed to its end, cut short (nothing was created yet), or naming other entries (another
  // folder's, another user's): the journal has nothing more to tell. A draft never named
  // anything yet.
  if (!RemoveToolJournal(names.journal, read.finding, deleter.Retries(), report)) return report;
  RemoveToolJournal(names.draft, ReadJournal(names.draft).finding, deleter.Retries(), report);
  return report;
}

bool TidyBeforeSet(const std::wstring& installDir, const std::wstring& appData,
                   std::optional<FolderDeleter>& deleter, Ui& ui) {
  if (HasSetLeftovers(installDir)) {
    if (!deleter) deleter.emplace(ui.RetryWaiter());
    const TidyReport report = TidyInterruptedSet(installDir, appData, *deleter);
    ShowKeptAside(report, ui);
    if (!report.failedEntry.empty()) {
      ReportTidyFailure(ui, installDir, report.failedEntry, false);
      return false;
    }
  }
  return true;
}

void RecoverInterruptedSet(const Context& context, Ui& ui) {
  RemoveEmptyWriteCheckFolders(context.installDir);
  if (!HasSetLeftovers(context.installDir)) return;
  // Another instance of the tool in the middle of a Set uses the same names: nothing was
  // interrupted.
  const std::optional<FolderLock> lock = FolderLock::TryTake(context.installDir);
  if (!lock) return;
  // The browser may be using the folders: the work is left to a start without it.
  if (IsProcessRunning(browser::kExecutableName)) {
    ui.Inform(kBrowserRunningText);
    return;
  }
  const FolderDeleter deleter(ui.RetryWaiter());
  const TidyReport report = TidyInterruptedSet(context.installDir, context.Env(L"APPDATA"), deleter);
  ShowKeptAside(report, ui);
  if (!report.failedEntry.empty()) {
    ReportTidyFailure(ui, context.installDir, report.failedEntry, true);
  }
}

}  // namespace velmo
