#include "commands/set_transaction.h"

#include <windows.h>

#include <utility>

#include "commands/set_recovery.h"
#include "model/browser_layout.h"
#include "support/file_queries.h"
#include "support/folder_copy.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

// Each as long as "Setting": a path that fits below Setting fits below any of them.
constexpr wchar_t kPartialName[] = L"\\Set~tmp";
constexpr wchar_t kCompleteName[] = L"\\Set~new";
constexpr wchar_t kAsideName[] = L"\\Set~old";
constexpr wchar_t kDoomedName[] = L"\\Set~del";
constexpr wchar_t kJournalName[] = L"\\Set~jnl";

constexpr wchar_t kJournalDraftName[] = L"\\Set~jnw";

SetResult Result(SetOutcome outcome, std::wstring path = {}, std::wstring error = {}) {
  SetResult result;
  result.outcome = outcome;
  result.path = std::move(path);
  result.error = std::move(error);
  return result;
}

// What may stand at the Setting path and be replaced: a folder, or a plain file (a hidden or
// system file is never the user's old configuration, and is left alone).
bool Replaceable(const std::wstring& path) { return FolderExists(path) || IsPlainFile(path); }

// After a failure: checks where the old configuration and the path file are. `report` tells
// what undoing the transaction could not put back.
SetResult Checked(const SetPlan& plan, const std::optional<std::string>& pathFileBefore,
                  bool oldExisted, const TidyReport& report, SetResult result) {
  const SetNames names(plan.installDir);
  std::optional<std::string> pathFileNow;
  result.pathFileUnchanged =
      SkipIfFails([&] { pathFileNow = ReadPathFileBytes(plan.installDir); }) &&
      pathFileNow == pathFileBefore;
  if (!report.keptAside.empty()) {
    result.oldConfiguration = report.keptAside.front();
  } else if (EntryExists(names.aside)) {
    result.oldConfiguration = names.aside;
  }
  result.oldConfigurationBack =
      result.oldConfiguration.empty() && (!oldExisted || EntryExists(names.setting));
  return result;
}

}  // namespace

SetNames::SetNames(const std::wstring& installDir)
    : setting(browser::SettingFolder(installDir)),
      partial(installDir + kPartialName),
      complete(installDir + kCompleteName),
      aside(installDir + kAsideName),
      doomed(installDir + kDoomedName),
      journal(installDir + kJournalName),
      draft(installDir + kJournalDraftName) {}

ReplacementNames SetNames::Replacement() const {
  return {setting, partial, complete, aside, doomed};
}

std::optional<std::wstring> FirstTakenSetName(const SetNames& names) {
  for (const std::wstring* name :
       {&names.partial, &names.complete, &names.aside, &names.doomed, &names.journal,
        &names.draft}) {
    if (EntryExists(*name)) return *name;
  }
  return std::nullopt;
}

bool RenameEntry(const std::wstring& from, const std::wstring& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFileOrFolder(const std::wstring& path, const FolderDeleter& deleter) {
  if (!EntryExists(path)) return true;
  if (FolderExists(path)) return SkipIfFails([&] { deleter.DeleteFolder(path); });
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path.c_str()) != 0;
}

SetPlan MakeSetPlan(const Context& context, PathFileForm form, const std::wstring& cacheLine) {
  const std::wstring appData = context.Env(L"APPDATA");
  SetPlan plan{context.installDir, browser::ProfileFolder(appData),
               browser::ProfileCacheFolders(appData),
               PathFileLinesFor(context.installDir, form, cacheLine)};
  // The video cache has always been found through the lower-case name; the lookup ignores case.
  plan.profileCaches[2] = browser::ProfileCacheFolders(context.Env(L"appdata"))[2];
  return plan;
}

SetResult RunSetTransaction(const SetPlan& plan, const std::optional<std::string>& pathFileBefore,
                            const FolderDeleter& deleter, SetStepObserver observer) {
  const SetNames names(plan.installDir);
  const bool oldExisted = EntryExists(names.setting);
  if (oldExisted && !Replaceable(names.setting)) {
    return Checked(plan, pathFileBefore, oldExisted, {},
                   Result(SetOutcome::kBlocked, names.setting));
  }
  // An entry at one of the Set's names that no journal explains is the user's: never replaced.
  if (const std::optional<std::wstring> taken = FirstTakenSetName(names)) {
    return Checked(plan, pathFileBefore, oldExisted, {}, Result(SetOutcome::kNameTaken, *taken));
  }

  // A missing or busy cache folder stays, without a message.
  for (const std::wstring& cache : plan.profileCaches) {
    SkipIfFails([&] { deleter.DeleteFolder(cache); });
  }
  observer(SetStep::kCachesDeleted);

  // The intent comes first: the journal names every temporary name before any of them exists.
  Journal journal;
  journal.kind = TransactionKind::kSet;
  journal.phase = JournalPhase::kCopying;
  journal.names = names.Replacement();
  journal.oldExisted = oldExisted;
  journal.commitFile = browser::PathFileForWriting(plan.installDir);
  journal.commitFileAfter = PathFileBytes(plan.pathFileLines);
  journal.commitFileBefore = pathFileBefore;
  try {
    WriteJournal(names.journal, names.draft, journal);
  } catch (const PlatformError& error) {
    return Checked(plan, pathFileBefore, oldExisted, {},
                   Result(SetOutcome::kNotCommitted, names.journal, error.Describe()));
  }
  observer(SetStep::kIntentJournaled);

  // A failure undoes what was done, exactly as the next start would after an interruption.
  const auto fail = [&](SetOutcome outcome, const std::wstring& path, std::wstring error = {}) {
    return Checked(plan, pathFileBefore, oldExisted,
                   TidyInterruptedSet(plan.installDir, deleter),
                   Result(outcome, path, std::move(error)));
  };

  if (!CopyFolder(plan.profile, names.partial, true, true)) {
    return fail(SetOutcome::kCopyFailed, plan.profile);
  }
  observer(SetStep::kCopied);
  if (!RenameEntry(names.partial, names.complete)) {
    return fail(SetOutcome::kCopyFailed, plan.profile);
  }
  observer(SetStep::kCopyComplete);

  // Checked before anything moves: some systems let a folder be renamed while a file in it is
  // open, and its deletion would then fail halfway.
  if (oldExisted && FolderExists(names.setting)) {
    if (auto inUse = FindEntryInUse(names.setting)) return fail(SetOutcome::kInUse, *inUse);
  }
  journal.phase = JournalPhase::kSwapping;
  try {
    WriteJournal(names.journal, names.draft, journal);
  } catch (const PlatformError& error) {
    return fail(SetOutcome::kNotCommitted, names.journal, error.Describe());
  }
  observer(SetStep::kJournalWritten);

  if (oldExisted) {
    if (!RenameEntry(names.setting, names.aside)) return fail(SetOutcome::kInUse, names.setting);
    observer(SetStep::kOldMovedAside);
  }
  if (!RenameEntry(names.complete, names.setting)) {
    return fail(SetOutcome::kNotPlaced, names.setting);
  }
  observer(SetStep::kNewInPlace);

  try {
    WritePathFile(plan.installDir, plan.pathFileLines);
  } catch (const PlatformError& error) {
    // A path file that already holds these very bytes (a second Set) names the new Setting as
    // it is: the Set is committed all the same, as the next start would also find.
    std::optional<std::string> now;
    if (!SkipIfFails([&] { now = ReadPathFileBytes(plan.installDir); }) ||
        now != journal.commitFileAfter) {
      return fail(SetOutcome::kNotCommitted, journal.commitFile, error.Describe());
    }
  }
  observer(SetStep::kPathFileWritten);

  // Committed. The old entry is now garbage, marked as such by its name; the journal stays until
  // it is gone, so that the next start knows it may go.
  if (oldExisted) {
    if (!RenameEntry(names.aside, names.doomed)) {
      return Result(SetOutcome::kOldLeftBehind, names.aside);
    }
    observer(SetStep::kOldMarked);
    if (!RemoveFileOrFolder(names.doomed, deleter)) {
      return Result(SetOutcome::kOldLeftBehind, names.doomed);
    }
    observer(SetStep::kOldDeleted);
  }
  DeleteFileW(names.journal.c_str());
  observer(SetStep::kJournalRemoved);
  return Result(SetOutcome::kDone);
}

}  // namespace velmo
