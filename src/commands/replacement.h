// A folder replaced by a copy as a small transaction whose progress can always be read off the
// disk: Set (the profile into Setting, committed by writing the path file) and the restore of the
// installed browser (the portable configuration into the user's profile folder, committed by
// deleting the path file). Its journal names the temporary names before any is created, the copy
// is made under a short sibling name, renamed when it is complete, swapped in by renames, and the
// path file is changed last (the commit point). Only then is the old folder deleted, and the
// journal last. Every temporary name is no longer than the folder's own, so whatever fits below
// the folder fits below each of them. A third kind of replacement is one more description
// (Replacement) and its journal names (replacement_journal); the steps stay these.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/replacement_journal.h"
#include "support/lock_retry.h"

namespace velmo {

// The moments between the transaction's steps, in order. A step that a run does not need (there
// is no old Setting to move aside, say) is not reported.
enum class ReplacementStep {
  kCachesDeleted,      // Set: the profile's cache folders are gone
  kIntentJournaled,    // Set~jnl names the temporary names; none of them exists yet
  kCopied,             // the source is copied to the partial name (Set~tmp)
  kCopyComplete,       // the copy is verified and renamed to the complete name (Set~new)
  kJournalWritten,     // Set~jnl says that the swap begins
  kOldMovedAside,      // the target (Setting) is renamed to the aside name (Set~old)
  kNewInPlace,         // the complete copy is renamed to the target
  kPathFileWritten,    // the path file names the new Setting (a restore: it is deleted): committed
  kOldMarked,          // the aside name is renamed to the doomed name (Set~del)
  kOldDeleted,         // the doomed entry is gone
  kJournalRemoved,     // Set~jnl is gone: nothing of the replacement's is left
};

// Told about each step once it is done. The tool passes one that does nothing.
using ReplacementObserver = std::function<void(ReplacementStep)>;

enum class ReplacementOutcome {
  kDone,               // the copy is the target and the path file commits it
  kOldLeftBehind,      // done, but the old entry could not be removed: it is at `path`
  kBlocked,            // a hidden or system file stands at `path` (the target): nothing done
  kNameTaken,          // an entry the tool did not make stands at `path`, one of its names:
                       // nothing done
  kCopyFailed,         // the source could not be copied completely
  kCopyCancelled,      // the user cancelled the copy
  kInUse,              // `path` names an entry of the old target another program holds
  kNotMovedAside,      // the old entry at `path` could not be renamed: see `code` and `holder`
  kNotPlaced,          // the copy could not be renamed to `path` (the target)
  kNotCommitted,       // the journal or the path file could not be changed: see `error`
};

struct ReplacementResult {
  ReplacementOutcome outcome = ReplacementOutcome::kDone;
  std::wstring path;
  std::wstring error;  // the platform's report of a failed write
  std::uint32_t code = 0;  // kNotMovedAside: the rename's Win32 code
  std::wstring holder;     // kNotMovedAside: an entry of it another program holds, if one was found
  // After a failure, as checked on disk once it was undone: whatever was at the target before is
  // there again (or there was nothing), and the path file holds the bytes it held before.
  bool oldConfigurationBack = true;
  bool pathFileUnchanged = true;
  // After a failure that could not put the old configuration back: where it is now.
  std::wstring oldConfiguration;
  // What stood there before the command: an old entry at the target, a path file.
  bool oldExisted = true;
  bool pathFileExisted = true;
  // After a failed copy: the entry of the source the copy lacks, when the check found one.
  std::wstring notCopied;
  // After a failure: what undoing it could not tidy (an entry held by another program, or the
  // journal when it could not be followed); empty when nothing of the tool's is left. The next
  // start of the tool tidies it.
  std::wstring leftover;
};

// What is replaced, by a copy of what, and how the path file commits it.
struct Replacement {
  std::wstring installDir;
  std::wstring appData;  // where a restore's names lie (the recovery checks them against it)
  std::wstring source;   // the folder copied, named when the copy fails
  // Deleted before the copy, each drawing its retries from a small budget of its own (their
  // failure is ignored): Set's profile caches.
  std::vector<std::wstring> deletedFirst;
  // Left out of the copy (paths relative to `source`, which is never changed): the restore's.
  std::vector<std::wstring> leftOut;
  // What the path file holds once committed; nullopt: it is deleted (the restore).
  std::optional<std::vector<std::wstring>> pathFileLines;
  Journal journal;  // kind, names, the path file's bytes before (nullopt: there was none) and a
                    // restore's profile identity; the rest is filled in as the transaction goes
};

// Runs the transaction, its renames and deletions waiting out a brief hold from `retries`. On a
// failure before the commit it undoes what it did (the path file was never touched) and reports
// where things are, as checked on disk.
ReplacementResult RunReplacement(Replacement replacement, RetryBudget& retries,
                                 ReplacementObserver observer);

}  // namespace velmo
