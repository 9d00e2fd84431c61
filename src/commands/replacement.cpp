#include "commands/replacement.h"

#include <windows.h>

#include <utility>

#include "commands/replacement_recovery.h"
#include "model/browser_layout.h"
#include "model/path_file.h"
#include "support/entry_moves.h"
#include "support/file_queries.h"
#include "support/folder_copy.h"
#include "support/folder_deletion.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

// What the deletions before the copy (Set's profile caches) may spend on retries, all together:
// their failure is ignored, and the command's own budget is left to the steps that matter.
constexpr DWORD kDeletedFirstRetryLimitMs = 1000;

ReplacementResult Result(ReplacementOutcome outcome, std::wstring path = {},
                         std::wstring error = {}) {
  ReplacementResult result;
  result.outcome = outcome;
  result.path = std::move(path);
  result.error = std::move(error);
  return result;
}

// What may stand at the Setting path and be replaced: a folder, or a plain file (a hidden or
// system file is never the user's old configuration, and is left alone).
bool Replaceable(const std::wstring& path) { return FolderExists(path) || IsPlainFile(path); }

// What stood at the target and at the path file before, as the journal records it.
ReplacementResult WithWhatExisted(const Journal& journal, ReplacementResult result) {
  result.oldExisted = journal.oldExisted;
  result.pathFileExisted = journal.commitFileBefore.has_value();
  return result;
}

// After a failure: checks where the old configuration and the path file are. `report` tells
// what undoing the transaction could not put back.
ReplacementResult Checked(const Replacement& replacement, const SettleReport& report,
                          ReplacementResult result) {
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
                        : JournalFiles(replacement.installDir).journal;
  result.oldConfigurationBack = result.oldConfiguration.empty() &&
                                (!journal.oldExisted || EntryExists(journal.names.target));
  return WithWhatExisted(journal, std::move(result));
}

// One replacement, one step a method, in the order Run takes them. A step returns nothing to go
// on, or the result the run ends with.
class ReplacementRun {
 public:
  ReplacementRun(Replacement replacement, RetryBudget& retries, ReplacementObserver observer)
      : replacement_(std::move(replacement)),
        journal_(replacement_.journal),
        names_(journal_.names),
        files_(replacement_.installDir),
        retries_(retries),
        observer_(std::move(observer)) {
    journal_.commitFile = browser::PathFileForWriting(replacement_.installDir);
    journal_.commitFileAfter = replacement_.pathFileLines
                                   ? std::optional(PathFileBytes(*replacement_.pathFileLines))
                                   : std::nullopt;
  }
  // It refers to its own description.
  ReplacementRun(const ReplacementRun&) = delete;
  ReplacementRun& operator=(const ReplacementRun&) = delete;

  ReplacementResult Run() {
    if (Stop stop = RefuseTakenNames()) return *stop;
    DeleteFirst();
    if (Stop stop = JournalIntent()) return *stop;
    if (Stop stop = CopySource()) return *stop;
    if (Stop stop = CheckOldNotInUse()) return *stop;
    if (Stop stop = JournalSwap()) return *stop;
    if (Stop stop = SwapCopyIn()) return *stop;
    if (Stop stop = Commit()) return *stop;
    return RemoveOld();
  }

 private:
  using Stop = std::optional<ReplacementResult>;

  // Nothing is done while the target is an entry that is not replaced, or while an entry that no
  // journal explains stands at one of the transaction's names: it is the user's. Nothing has
  // changed yet, so the result's defaults (all as before) are the truth.
  Stop RefuseTakenNames() {
    journal_.oldExisted = EntryExists(names_.target);
    if (journal_.oldExisted && !Replaceable(names_.target)) {
      return WithWhatExisted(journal_, Result(ReplacementOutcome::kBlocked, names_.target));
    }
    if (const std::optional<std::wstring> taken = FirstTakenName(names_, files_)) {
      return Result(ReplacementOutcome::kNameTaken, *taken);
    }
    return std::nullopt;
  }

  // Set's profile caches: a missing or busy one stays, without a message, and only their own
  // retries wait.
  void DeleteFirst() {
    if (replacement_.deletedFirst.empty()) return;
    RetryBudget own = retries_.Apart(kDeletedFirstRetryLimitMs);
    for (const std::wstring& folder : replacement_.deletedFirst) {
      SkipIfFails([&] { DeleteFolder(folder, own); });
    }
    observer_(ReplacementStep::kCachesDeleted);
  }

  // The intent comes first: the journal names every temporary name before any of them exists.
  // When it cannot be written, nothing of the configurations or the path file has changed.
  Stop JournalIntent() {
    journal_.phase = JournalPhase::kCopying;
    try {
      WriteJournal(files_, journal_, retries_);
    } catch (const PlatformError& error) {
      return WithWhatExisted(journal_, Result(ReplacementOutcome::kNotCommitted, files_.journal,
                                              error.Describe()));
    }
    observer_(ReplacementStep::kIntentJournaled);
    return std::nullopt;
  }

  // The copy is made under the partial name and renamed once it is complete.
  Stop CopySource() {
    const CopyResult copied =
        CopyFolder(replacement_.source, names_.partial, replacement_.leftOut, true);
    if (!copied) {
      ReplacementResult failed = Undo(copied.cancelled ? ReplacementOutcome::kCopyCancelled
                                                       : ReplacementOutcome::kCopyFailed,
                                      replacement_.source);
      failed.notCopied = copied.notCopied;
      return failed;
    }
    observer_(ReplacementStep::kCopied);
    if (!Renamed(names_.partial, names_.complete)) {
      return Undo(ReplacementOutcome::kCopyFailed, replacement_.source);
    }
    observer_(ReplacementStep::kCopyComplete);
    return std::nullopt;
  }

  // Checked before anything moves: some systems let a folder be renamed while a file in it is
  // open, and its deletion would then fail halfway.
  Stop CheckOldNotInUse() {
    if (!journal_.oldExisted || !FolderExists(names_.target)) return std::nullopt;
    if (auto inUse = FindEntryInUse(names_.target, retries_)) {
      return Undo(ReplacementOutcome::kInUse, *inUse);
    }
    return std::nullopt;
  }

  Stop JournalSwap() {
    journal_.phase = JournalPhase::kSwapping;
    try {
      WriteJournal(files_, journal_, retries_);
    } catch (const PlatformError& error) {
      return Undo(ReplacementOutcome::kNotCommitted, files_.journal, error.Describe());
    }
    observer_(ReplacementStep::kJournalWritten);
    return std::nullopt;
  }

  // The old entry goes aside, the complete copy takes its place.
  Stop SwapCopyIn() {
    if (journal_.oldExisted) {
      try {
        RenameEntry(names_.target, names_.aside, retries_);
      } catch (const PlatformError& error) {
        return NotMovedAside(error.Code());
      }
      observer_(ReplacementStep::kOldMovedAside);
    }
    if (!Renamed(names_.complete, names_.target)) {
      return Undo(ReplacementOutcome::kNotPlaced, names_.target);
    }
    observer_(ReplacementStep::kNewInPlace);
    return std::nullopt;
  }

  // The path file holds the bytes after: written, or (the restore) deleted.
  Stop Commit() {
    try {
      if (replacement_.pathFileLines) {
        WritePathFile(replacement_.installDir, *replacement_.pathFileLines, retries_);
      } else {
        DeletePathFile(replacement_.installDir, retries_);
      }
    } catch (const PlatformError& error) {
      // A path file that already holds the bytes after (a second Set, or a path file already
      // gone) commits the transaction all the same, as the next start would also find.
      std::optional<std::string> now;
      if (!SkipIfFails([&] { now = ReadPathFileBytes(replacement_.installDir); }) ||
          now != journal_.commitFileAfter) {
        return Undo(ReplacementOutcome::kNotCommitted, journal_.commitFile, error.Describe());
      }
    }
    observer_(ReplacementStep::kPathFileWritten);
    return std::nullopt;
  }

  // Committed. The old entry is now garbage, marked as such by its name; the journal stays until
  // it is gone, so that the next start knows it may go.
  ReplacementResult RemoveOld() {
    if (journal_.oldExisted) {
      if (!Renamed(names_.aside, names_.doomed)) {
        return Result(ReplacementOutcome::kOldLeftBehind, names_.aside);
      }
      observer_(ReplacementStep::kOldMarked);
      if (!SkipIfFails([&] { RemoveFileOrFolder(names_.doomed, retries_); })) {
        return Result(ReplacementOutcome::kOldLeftBehind, names_.doomed);
      }
      observer_(ReplacementStep::kOldDeleted);
    }
    SkipIfFails([&] { RemoveFile(files_.journal, retries_); });
    observer_(ReplacementStep::kJournalRemoved);
    return Result(ReplacementOutcome::kDone);
  }

  bool Renamed(const std::wstring& from, const std::wstring& to) {
    return SkipIfFails([&] { RenameEntry(from, to, retries_); });
  }

  // The old entry stays where it is. Another program's hold shows as a sharing or lock
  // violation, or as "access denied" when a file inside a folder is open; which entry is held is
  // looked up once more, without waiting, so that the report can name it and tell a hold from a
  // refusal.
  ReplacementResult NotMovedAside(std::uint32_t code) {
    ReplacementResult result = Result(ReplacementOutcome::kNotMovedAside, names_.target);
    result.code = code;
    if (IsPassingLockFailure(code)) {
      RetryBudget noWaiting(0);
      result.holder = FindEntryInUse(names_.target, noWaiting).value_or(std::wstring());
    }
    return Undo(std::move(result));
  }

  // A failure undoes what was done, exactly as the next start would after an interruption.
  ReplacementResult Undo(ReplacementOutcome outcome, const std::wstring& path,
                         std::wstring error = {}) {
    return Undo(Result(outcome, path, std::move(error)));
  }
  ReplacementResult Undo(ReplacementResult result) {
    return Checked(replacement_,
                   SettleInterruptedReplacement(replacement_.installDir, replacement_.appData,
                                                retries_),
                   std::move(result));
  }

  Replacement replacement_;
  Journal& journal_;
  const ReplacementNames& names_;
  const JournalFiles files_;
  RetryBudget& retries_;
  ReplacementObserver observer_;
};

}  // namespace

ReplacementResult RunReplacement(Replacement replacement, RetryBudget& retries,
                                 ReplacementObserver observer) {
  return ReplacementRun(std::move(replacement), retries, std::move(observer)).Run();
}

}  // namespace velmo
