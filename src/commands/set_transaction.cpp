#include "commands/set_transaction.h"

#include <windows.h>

#include <utility>

#include "commands/set_recovery.h"
#include "model/browser_layout.h"
#include "support/entry_moves.h"
#include "support/file_queries.h"
#include "support/folder_copy.h"
#include "support/lock_retry.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

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

// The first of a transaction's temporary names, and of the journal's, that something stands at.
std::optional<std::wstring> FirstTakenName(const ReplacementNames& names,
                                           const SetNames& journalNames) {
  for (const std::wstring* name : {&names.partial, &names.complete, &names.aside, &names.doomed,
                                   &journalNames.journal, &journalNames.draft}) {
    if (EntryExists(*name)) return *name;
  }
  return std::nullopt;
}

// After a failure: checks where the old configuration and the path file are. `report` tells
// what undoing the transaction could not put back.
SetResult Checked(const Replacement& replacement, const TidyReport& report, SetResult result) {
  const Journal& journal = replacement.journal;
  std::optional<std::string> pathFileNow;
  result.pathFileUnchanged =
      SkipIfFails([&] { pathFileNow = ReadPathFileBytes(replacement.installDir); }) &&
      pathFileNow == journal.commitFileBefore;
  if (!report.keptAside.empty()) {
    result.oldConfiguration = report.keptAside.front();
  } else if (EntryExists(journal.names.aside)) {
    result.oldConfiguration = journal.names.aside;
  }
  result.oldConfigurationBack = result.oldConfiguration.empty() &&
                                (!journal.oldExisted || EntryExists(journal.names.target));
  return result;
}

}  // namespace

SetPlan MakeSetPlan(const Context& context, PathFileForm form, const std::wstring& cacheLine) {
  const std::wstring appData = context.Env(L"APPDATA");
  return {context.installDir, browser::ProfileFolder(appData),
          browser::ProfileCacheFolders(appData),
          PathFileLinesFor(context.installDir, form, cacheLine)};
}

SetResult RunSetTransaction(const SetPlan& plan, const std::optional<std::string>& pathFileBefore,
                            const FolderDeleter& deleter, SetStepObserver observer) {
  Replacement replacement;
  replacement.installDir = plan.installDir;
  replacement.source = plan.profile;
  replacement.journal.kind = TransactionKind::kSet;
  replacement.journal.names = SetNames(plan.installDir).Replacement();
  replacement.journal.commitFile = browser::PathFileForWriting(plan.installDir);
  replacement.journal.commitFileAfter = PathFileBytes(plan.pathFileLines);
  replacement.journal.commitFileBefore = pathFileBefore;
  return RunReplacement(
      std::move(replacement),
      [&] {
        // A missing or busy cache folder stays, without a message.
        for (const std::wstring& cache : plan.profileCaches) {
          SkipIfFails([&] { deleter.DeleteFolder(cache); });
        }
        observer(SetStep::kCachesDeleted);
      },
      [&](const std::wstring& destination) {
        return CopyFolder(plan.profile, destination, true, true);
      },
      [&] { WritePathFile(plan.installDir, plan.pathFileLines); }, deleter, observer);
}

SetResult RunReplacement(Replacement replacement, ReplacementPreparer prepare,
                         ReplacementCopier copy, ReplacementCommitter commit,
                         const FolderDeleter& deleter, SetStepObserver observer) {
  const SetNames setNames(replacement.installDir);
  Journal& journal = replacement.journal;
  const ReplacementNames& names = journal.names;
  journal.oldExisted = EntryExists(names.target);
  if (journal.oldExisted && !Replaceable(names.target)) {
    return Checked(replacement, {}, Result(SetOutcome::kBlocked, names.target));
  }
  // An entry at one of the transaction's names that no journal explains is the user's: never
  // replaced.
  if (const std::optional<std::wstring> taken = FirstTakenName(names, setNames)) {
    return Checked(replacement, {}, Result(SetOutcome::kNameTaken, *taken));
  }
  prepare();

  // The intent comes first: the journal names every temporary name before any of them exists.
  journal.phase = JournalPhase::kCopying;
  try {
    WriteJournal(setNames.journal, setNames.draft, journal);
  } catch (const PlatformError& error) {
    return Checked(replacement, {},
                   Result(SetOutcome::kNotCommitted, setNames.journal, error.Describe()));
  }
  observer(SetStep::kIntentJournaled);

  // A failure undoes what was done, exactly as the next start would after an interruption.
  const auto fail = [&](SetOutcome outcome, const std::wstring& path, std::wstring error = {}) {
    return Checked(replacement,
                   TidyInterruptedSet(replacement.installDir, replacement.appData, deleter),
                   Result(outcome, path, std::move(error)));
  };

  if (const CopyResult copied = copy(names.partial); !copied) {
    return fail(copied.cancelled ? SetOutcome::kCopyCancelled : SetOutcome::kCopyFailed,
                replacement.source);
  }
  observer(SetStep::kCopied);
  if (!RenameEntry(names.partial, names.complete)) {
    return fail(SetOutcome::kCopyFailed, replacement.source);
  }
  observer(SetStep::kCopyComplete);

  // Checked before anything moves: some systems let a folder be renamed while a file in it is
  // open, and its deletion would then fail halfway.
  if (journal.oldExisted && FolderExists(names.target)) {
    if (auto inUse = FindEntryInUse(names.target)) return fail(SetOutcome::kInUse, *inUse);
  }
  journal.phase = JournalPhase::kSwapping;
  try {
    WriteJournal(setNames.journal, setNames.draft, journal);
  } catch (const PlatformError& error) {
    return fail(SetOutcome::kNotCommitted, setNames.journal, error.Describe());
  }
  observer(SetStep::kJournalWritten);

  if (journal.oldExisted) {
    if (!RenameEntry(names.target, names.aside)) return fail(SetOutcome::kInUse, names.target);
    observer(SetStep::kOldMovedAside);
  }
  if (!RenameEntry(names.complete, names.target)) {
    return fail(SetOutcome::kNotPlaced, names.target);
  }
  observer(SetStep::kNewInPlace);

  try {
    commit();
  } catch (const PlatformError& error) {
    // A path file that already holds the bytes after (a second Set, or a path file already gone)
    // commits the transaction all the same, as the next start would also find.
    std::optional<std::string> now;
    if (!SkipIfFails([&] { now = ReadPathFileBytes(replacement.installDir); }) ||
        now != journal.commitFileAfter) {
      return fail(SetOutcome::kNotCommitted, journal.commitFile, error.Describe());
    }
  }
  observer(SetStep::kPathFileWritten);

  // Committed. The old entry is now garbage, marked as such by its name; the journal stays until
  // it is gone, so that the next start knows it may go.
  if (journal.oldExisted) {
    if (!RenameEntry(names.aside, names.doomed)) {
      return Result(SetOutcome::kOldLeftBehind, names.aside);
    }
    observer(SetStep::kOldMarked);
    if (!RemoveFileOrFolder(names.doomed, deleter)) {
      return Result(SetOutcome::kOldLeftBehind, names.doomed);
    }
    observer(SetStep::kOldDeleted);
  }
  RetryWhileLocked([&] { return Outcome(DeleteFileW(setNames.journal.c_str())); });
  observer(SetStep::kJournalRemoved);
  return Result(SetOutcome::kDone);
}

}  // namespace velmo
