#include "commands/restore_transaction.h"

#include <windows.h>

#include <optional>
#include <utility>

#include "commands/restore_recovery.h"
#include "commands/set_transaction.h"
#include "model/browser_layout.h"
#include "model/path_file.h"
#include "support/file_queries.h"
#include "support/folder_copy.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

// Each no longer than "velmoexplorer": a path that fits below the profile fits below either.
constexpr wchar_t kCopyName[] = L"velmoexp~new";
constexpr wchar_t kAsideName[] = L"velmoexp~old";
constexpr wchar_t kDeletePathFileOperation[] = L"删除路径文件";

RestoreResult Result(RestoreOutcome outcome, std::wstring path = {}, std::wstring error = {}) {
  RestoreResult result;
  result.outcome = outcome;
  result.path = std::move(path);
  result.error = std::move(error);
  return result;
}

// The folder that holds `path` ("C:\a" for "C:\a\b").
std::wstring Parent(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

// After a failure, once it was undone: where the old profile and the path file are.
RestoreResult Checked(const RestorePlan& plan, const RestoreJournal& journal,
                      RestoreResult result) {
  const RestoreNames names(plan.profile);
  result.pathFileKept = FileExists(browser::PathFileForReading(plan.installDir));
  if (journal.oldExisted && EntryExists(names.aside)) result.oldProfile = names.aside;
  result.profileBack = result.oldProfile.empty() &&
                       (journal.oldExisted ? EntryExists(names.profile)
                                           : !EntryExists(names.profile));
  return result;
}

}  // namespace

RestoreNames::RestoreNames(const std::wstring& profileFolder)
    : profile(profileFolder),
      copy(Parent(profileFolder) + L"\\" + kCopyName),
      aside(Parent(profileFolder) + L"\\" + kAsideName) {}

RestoreResult RunRestoreTransaction(const RestorePlan& plan, const FolderDeleter& deleter,
                                    RestoreStepObserver observer) {
  const RestoreNames names(plan.profile);
  const RestoreJournal journal{plan.profile, names.copy, names.aside,
                               EntryExists(names.profile)};
  // A failure undoes what was done, exactly as the next start would after an interruption.
  const auto fail = [&](RestoreOutcome outcome, const std::wstring& path, std::wstring error = {}) {
    TidyInterruptedRestore(plan.installDir, Parent(plan.profile), journal, deleter);
    return Checked(plan, journal, Result(outcome, path, std::move(error)));
  };

  try {
    WriteRestoreJournal(plan.installDir, journal);
  } catch (const PlatformError& error) {
    // Nothing was created: there is nothing to undo.
    return Checked(plan, journal,
                   Result(RestoreOutcome::kNotCommitted, error.Path(), error.Describe()));
  }
  observer(RestoreStep::kJournalWritten);

  if (!CopyFolderExcept(plan.configuration, names.copy, browser::CacheFoldersInConfiguration(),
                        true)) {
    return fail(RestoreOutcome::kCopyFailed, plan.configuration);
  }
  observer(RestoreStep::kCopied);

  if (journal.oldExisted) {
    // Checked before anything moves: some systems let a folder be renamed while a file in it is
    // open, and its deletion would then fail halfway.
    if (FolderExists(names.profile)) {
      if (auto inUse = FindEntryInUse(names.profile)) return fail(RestoreOutcome::kInUse, *inUse);
    }
    if (!RenameEntry(names.profile, names.aside)) {
      return fail(RestoreOutcome::kInUse, names.profile);
    }
    observer(RestoreStep::kOldMovedAside);
  }
  if (!RenameEntry(names.copy, names.profile)) {
    return fail(RestoreOutcome::kNotPlaced, names.profile);
  }
  observer(RestoreStep::kCopyInPlace);

  // The commit: without the path file the browser uses the profile folder.
  const std::wstring pathFile = browser::PathFileForReading(plan.installDir);
  if (!DeleteFileW(pathFile.c_str())) {
    const DWORD code = GetLastError();
    return fail(RestoreOutcome::kNotCommitted, pathFile,
                PlatformError(kDeletePathFileOperation, pathFile, code).Describe());
  }
  observer(RestoreStep::kPathFileDeleted);

  // Committed. The old profile is garbage now; the journal stays until it is gone, so that the
  // next start knows it may go.
  if (journal.oldExisted) {
    if (!RemoveFileOrFolder(names.aside, deleter)) {
      return Result(RestoreOutcome::kOldLeftBehind, names.aside);
    }
    observer(RestoreStep::kOldDeleted);
  }
  RemoveRestoreJournal(plan.installDir);
  observer(RestoreStep::kJournalRemoved);
  return Result(RestoreOutcome::kDone);
}

}  // namespace velmo
