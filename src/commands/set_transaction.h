// The Set command's copy-and-swap as a small transaction whose progress can always be read off
// the disk: its journal names the temporary names before any is created, the copy is made under
// a short sibling name, renamed when it is complete, swapped in by renames, and the path file is
// written last (the commit point). Only then is the old Setting deleted, and the journal last.
// Every folder name the transaction uses is no longer than "Setting", so whatever fits under the
// Setting folder fits under each of them.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/transaction_journal.h"
#include "commands/transaction_names.h"
#include "model/context.h"
#include "model/path_file.h"
#include "support/folder_copy.h"
#include "support/folder_deletion.h"

namespace velmo {

// The moments between the transaction's steps, in order. A step that a run does not need (there
// is no old Setting to move aside, say) is not reported.
enum class SetStep {
  kCachesDeleted,      // the profile's cache folders are gone
  kIntentJournaled,    // Set~jnl names the Set's temporary names; none of them exists yet
  kCopied,             // the profile is copied to Set~tmp
  kCopyComplete,       // the copy is verified and renamed to Set~new
  kJournalWritten,     // Set~jnl says that the swap begins
  kOldMovedAside,      // Setting is renamed to Set~old
  kNewInPlace,         // Set~new is renamed to Setting
  kPathFileWritten,    // the path file names the new Setting (a restore: it is deleted): committed
  kOldMarked,          // Set~old is renamed to Set~del
  kOldDeleted,         // Set~del is gone
  kJournalRemoved,     // Set~jnl is gone: nothing of the Set's is left
};

// Told about each step once it is done. The tool passes one that does nothing.
using SetStepObserver = std::function<void(SetStep)>;

struct SetPlan {
  std::wstring installDir;
  std::wstring profile;
  std::array<std::wstring, 3> profileCaches;
  std::vector<std::wstring> pathFileLines;  // what the path file holds after the Set
};

// The plan of a Set for this context, with the path file in `form` and `cacheLine` as its line 2.
SetPlan MakeSetPlan(const Context& context, PathFileForm form, const std::wstring& cacheLine);

enum class SetOutcome {
  kDone,               // the copy is the Setting folder and the path file names it
  kOldLeftBehind,      // done, but the old entry could not be removed: it is at `path`
  kBlocked,            // a hidden or system file stands at `path` (Setting): nothing done
  kNameTaken,          // an entry the tool did not make stands at `path`, one of its names:
                       // nothing done
  kCopyFailed,         // the profile could not be copied completely
  kCopyCancelled,      // the user cancelled the copy
  kInUse,              // `path` names an entry of the old Setting another program holds
  kNotMovedAside,      // the old entry at `path` could not be renamed: see `code` and `holder`
  kNotPlaced,          // the copy could not be renamed to `path` (Setting)
  kNotCommitted,       // the journal or the path file could not be written: see `error`
};

struct SetResult {
  SetOutcome outcome = SetOutcome::kDone;
  std::wstring path;
  std::wstring error;  // the platform's report of a failed write
  std::uint32_t code = 0;  // kNotMovedAside: the rename's Win32 code
  std::wstring holder;     // kNotMovedAside: an entry of it another program holds, if one was found
  // After a failure, as checked on disk once it was undone: whatever was at Setting before is
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

// Runs the transaction: deletes the profile's cache folders (their retries from a small budget of
// their own, never the command's), copies the profile beside the
// Setting folder, swaps the copy in and writes the path file. On a failure before the commit it
// undoes what it did (the old path file was never touched) and reports where things are.
// `pathFileBefore` is the path file's content before the Set (nullopt: there was none).
SetResult RunSetTransaction(const SetPlan& plan, const std::optional<std::string>& pathFileBefore,
                            const FolderDeleter& deleter, SetStepObserver observer);

// A folder replaced by a copy on the steps above, whatever is copied and however the path file
// commits it: Set (the profile into Setting, committed by writing the path file) and the restore
// of the installed browser (the portable configuration into the profile, committed by deleting
// the path file). The journal is kept in the installation folder under Set's journal names.
struct Replacement {
  std::wstring installDir;
  std::wstring appData;  // where a restore's names lie (the recovery checks them against it)
  std::wstring source;   // the folder copied, named when the copy fails
  Journal journal;       // kind, names, commit file with its bytes after and before; the rest is
                         // filled in as the transaction goes
};

// Done before the intent is journaled, once the names are known to be free (Set deletes the
// profile's caches here).
using ReplacementPreparer = std::function<void()>;
// Copies the source to `destination`, a name nothing stands at.
using ReplacementCopier = std::function<CopyResult(const std::wstring& destination)>;
// Makes the path file hold the journal's bytes after (nullopt: no path file). Throws
// PlatformError when it cannot.
using ReplacementCommitter = std::function<void()>;

SetResult RunReplacement(Replacement replacement, ReplacementPreparer prepare,
                         ReplacementCopier copy, ReplacementCommitter commit,
                         const FolderDeleter& deleter, SetStepObserver observer);

}  // namespace velmo
