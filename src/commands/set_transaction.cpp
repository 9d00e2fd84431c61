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

// What the deletion of the profile's cache folders may spend on retries, all three together: their
// failure is ignored, and the command's own budget is left to the steps that matter.
constexpr DWORD kCacheDeletionRetryLimitMs = 1000;

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

// What stood at the target and at the path file before, as the journal records it.
SetResult WithWhatExisted(const Journal& journal, SetResult result) {
  result.oldExisted = journal.oldExisted;
  result.pathFileExisted = journal.commitFileBefore.has_value();
  return result;
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
  result.leftover = report.reach == JournalReach::kHere
                        ? report.failedEntry
                        : SetNames(replacement.installDir).journal;
  result.oldConfigurationBack = result.oldConfiguration.empty() &&
                                (!journal.oldExisted || EntryExists(journal.names.target));
  return WithWhatExisted(journal, std::move(result));
}

// One replacement, one step a method, in the order Run takes them. A step returns nothing to go
// on, or the result the run ends with.
class ReplacementRun {
 public:
  ReplacementRun(Replacement replacement, ReplacementCopier copy, ReplacementCommitter commit,
                 const FolderDeleter& deleter, SetStepObserver observer)
      : replacement_(std::move(replacement)),
        journal_(replacement_.journal),
        names_(journal_.names),
        setNames_(replacement_.installDir),
        copy_(std::move(copy)),
        commit_(std::move(commit)),
        deleter_(deleter),
        observer_(std::move(observer)) {}

  SetResult Run(const ReplacementPreparer& prepare) {
    if (Stop stop = RefuseTakenNames()) return *stop;
    prepare();
    if (Stop stop = JournalIntent()) return *stop;
    if (Stop stop = CopySource()) return *stop;
    if (Stop stop = CheckOldNotInUse()) return *stop;
    if (Stop stop = JournalSwap()) return *stop;
    if (Stop stop = SwapCopyIn()) return *stop;
    if (Stop stop = Commit()) return *stop;
    return RemoveOld();
  }

 private:
  using Stop = std::optional<SetResult>;

  // Nothing is done while the target is an entry that is not replaced, or while an entry that no
  // journal explains stands at one of the transaction's names: it is the user's. Nothing has
  // changed yet, so the result's defaults (all as before) are the truth.
  Stop RefuseTakenNames() {
    journal_.oldExisted = EntryExists(names_.target);
    if (journal_.oldExisted && !Replaceable(names_.target)) {
      return WithWhatExisted(journal_, Result(SetOutcome::kBlocked, names_.target));
    }
    if (const std::optional<std::wstring> taken = FirstTakenName(names_, setNames_)) {
      return Result(SetOutcome::kNameTaken, *taken);
    }
    return std::nullopt;
  }

  // The intent comes first: the journal names every temporary name before any of them exists.
  // When it cannot be written, nothing of the configurations or the path file has changed.
  Stop JournalIntent() {
    journal_.phase = JournalPhase::kCopying;
    try {
      WriteJournal(setNames_.journal, setNames_.draft, journal_, deleter_.Retries());
    } catch (const PlatformError& error) {
      return WithWhatExisted(journal_, Result(SetOutcome::kNotCommitted, setNames_.journal,
                                              error.Describe()));
    }
    observer_(SetStep::kIntentJournaled);
    return std::nullopt;
  }

  // The copy is made under the partial name and renamed once it is complete.
  Stop CopySource() {
    if (const CopyResult copied = copy_(names_.partial); !copied) {
      SetResult failed = Undo(
          copied.cancelled ? SetOutcome::kCopyCancelled : SetOutcome::kCopyFailed,
          replacement_.source);
      failed.notCopied = copied.notCopied;
      return failed;
    }
    observer_(SetStep::kCopied);
    if (!RenameEntry(names_.partial, names_.complete, deleter_.Retries())) {
      return Undo(SetOutcome::kCopyFailed, replacement_.source);
    }
    observer_(SetStep::kCopyComplete);
    return std::nullopt;
  }

  // Checked before anything moves: some systems let a folder be renamed while a file in it is
  // open, and its deletion would then fail halfway.
  Stop CheckOldNotInUse() {
    if (!journal_.oldExisted || !FolderExists(names_.target)) return std::nullopt;
    if (auto inUse = FindEntryInUse(names_.target, deleter_.Retries())) {
      return Undo(SetOutcome::kInUse, *inUse);
    }
    return std::nullopt;
  }

  Stop JournalSwap() {
    journal_.phase = JournalPhase::kSwapping;
    try {
      WriteJournal(setNames_.journal, setNames_.draft, journal_, deleter_.Retries());
    } catch (const PlatformError& error) {
      return Undo(SetOutcome::kNotCommitted, setNames_.journal, error.Describe());
    }
    observer_(SetStep::kJournalWritten);
    return std::nullopt;
  }

  // The old entry goes aside, the complete copy takes its place.
  Stop SwapCopyIn() {
    if (journal_.oldExisted) {
      const std::uint32_t code = TryRenameEntry(names_.target, names_.aside, deleter_.Retries());
      if (code != 0) return NotMovedAside(code);
      observer_(SetStep::kOldMovedAside);
    }
    if (!RenameEntry(names_.complete, names_.target, deleter_.Retries())) {
      return Undo(SetOutcome::kNotPlaced, names_.target);
    }
    observer_(SetStep::kNewInPlace);
    return std::nullopt;
  }

  Stop Commit() {
    try {
      commit_();
    } catch (const PlatformError& error) {
      // A path file that already holds the bytes after (a second Set, or a path file already
      // gone) commits the transaction all the same, as the next start would also find.
      std::optional<std::string> now;
      if (!SkipIfFails([&] { now = ReadPathFileBytes(replacement_.installDir); }) ||
          now != journal_.commitFileAfter) {
        return Undo(SetOutcome::kNotCommitted, journal_.commitFile, error.Describe());
      }
    }
    observer_(SetStep::kPathFileWritten);
    return std::nullopt;
  }

  // Committed. The old entry is now garbage, marked as such by its name; the journal stays until
  // it is gone, so that the next start knows it may go.
  SetResult RemoveOld() {
    if (journal_.oldExisted) {
      if (!RenameEntry(names_.aside, names_.doomed, deleter_.Retries())) {
        return Result(SetOutcome::kOldLeftBehind, names_.aside);
      }
      observer_(SetStep::kOldMarked);
      if (!RemoveFileOrFolder(names_.doomed, deleter_)) {
        return Result(SetOutcome::kOldLeftBehind, names_.doomed);
      }
      observer_(SetStep::kOldDeleted);
    }
    RemoveFile(setNames_.journal, deleter_.Retries());
    observer_(SetStep::kJournalRemoved);
    return Result(SetOutcome::kDone);
  }

  // The old entry stays where it is. Another program's hold shows as a sharing or lock
  // violation, or as "access denied" when a file inside a folder is open; which entry is held is
  // looked up once more, without waiting, so that the report can name it and tell a hold from a
  // refusal.
  SetResult NotMovedAside(std::uint32_t code) {
    SetResult result = Result(SetOutcome::kNotMovedAside, names_.target);
    result.code = code;
    if (IsPassingLockFailure(code)) {
      RetryBudget noWaiting(0);
      result.holder = FindEntryInUse(names_.target, noWaiting).value_or(std::wstring());
    }
    return Undo(std::move(result));
  }

  // A failure undoes what was done, exactly as the next start would after an interruption.
  SetResult Undo(SetOutcome outcome, const std::wstring& path, std::wstring error = {}) {
    return Undo(Result(outcome, path, std::move(error)));
  }
  SetResult Undo(SetResult result) {
    return Checked(replacement_,
                   TidyInterruptedSet(replacement_.installDir, replacement_.appData, deleter_),
                   std::move(result));
  }

  Replacement replacement_;
  Journal& journal_;
  const ReplacementNames& names_;
  const SetNames setNames_;
  ReplacementCopier copy_;
  ReplacementCommitter commit_;
  const FolderDeleter& deleter_;
  SetStepObserver observer_;
};

}  // namespace

SetPlan MakeSetPlan(const Context& context, PathFileForm form, const std::wstring& cacheLine) {
  const std::wstring appData = AppDataFolder(context);
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

  const auto deleteCaches = [&] {
    // A missing or busy cache folder stays, without a message, and only its own retries wait.
    RetryBudget cacheRetries = deleter.Retries().Apart(kCacheDeletionRetryLimitMs);
    for (const std::wstring& cache : plan.profileCaches) {
      SkipIfFails([&] { deleter.DeleteFolder(cache, cacheRetries); });
    }
    observer(SetStep::kCachesDeleted);
  };
  const auto copyProfile = [&](const std::wstring& destination) {
    return CopyFolder(plan.profile, destination, /*excluded=*/{}, /*showProgress=*/true);
  };
  const auto writePathFile = [&] {
    WritePathFile(plan.installDir, plan.pathFileLines, deleter.Retries());
  };
  return RunReplacement(std::move(replacement), deleteCaches, copyProfile, writePathFile, deleter,
                        observer);
}

SetResult RunReplacement(Replacement replacement, ReplacementPreparer prepare,
                         ReplacementCopier copy, ReplacementCommitter commit,
                         const FolderDeleter& deleter, SetStepObserver observer) {
  return ReplacementRun(std::move(replacement), std::move(copy), std::move(commit), deleter,
                        std::move(observer))
      .Run(prepare);
}

}  // namespace velmo
