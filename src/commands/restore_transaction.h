// Restoring the installed browser as a transaction whose progress can always be read off the
// disk, built like Set's: the journal names what the restore will create before anything is
// created, the portable configuration is copied beside the user's profile folder, swapped in by
// renames, and the path file is deleted last (the commit point). Only then is the old profile
// deleted. The portable configuration folder is only ever read.
#pragma once
#include <string>

#include "support/callable_ref.h"
#include "support/folder_deletion.h"

namespace velmo {

// The names beside the user's profile folder that belong to a restore. Each is no longer than
// "velmoexplorer", so whatever fits below the profile folder fits below each of them.
struct RestoreNames {
  explicit RestoreNames(const std::wstring& profile);

  std::wstring profile;  // %APPDATA%\velmoexplorer
  std::wstring copy;     // %APPDATA%\velmoexp~new: the portable configuration, not yet in place
  std::wstring aside;    // %APPDATA%\velmoexp~old: the old profile, until it is deleted
};

// The moments between the transaction's steps, in order. A step that a run does not need (there
// is no old profile to move aside, say) is not reported.
enum class RestoreStep {
  kJournalWritten,   // the journal names the restore's paths
  kCopied,           // the portable configuration is copied to velmoexp~new
  kOldMovedAside,    // the profile is renamed to velmoexp~old
  kCopyInPlace,      // velmoexp~new is renamed to the profile
  kPathFileDeleted,  // the path file is gone: committed
  kOldDeleted,       // velmoexp~old is gone
  kJournalRemoved,   // the journal is gone
};

// Told about each step once it is done. The tool passes one that does nothing.
using RestoreStepObserver = CallableRef<void(RestoreStep)>;

struct RestorePlan {
  std::wstring installDir;
  std::wstring configuration;  // the portable configuration folder the path file names
  std::wstring profile;        // %APPDATA%\velmoexplorer
};

enum class RestoreOutcome {
  kDone,           // the copy is the profile and the path file is gone
  kOldLeftBehind,  // done, but the old profile could not be removed: it is at `path`
  kCopyFailed,     // the portable configuration could not be copied completely
  kInUse,          // `path` names an entry of the old profile another program holds
  kNotPlaced,      // the copy could not be renamed to `path` (the profile folder)
  kNotCommitted,   // the journal could not be written or the path file deleted: see `error`
};

struct RestoreResult {
  RestoreOutcome outcome = RestoreOutcome::kDone;
  std::wstring path;
  std::wstring error;  // the platform's report of the failure
  // After a failure, as checked on disk once it was undone: the old profile (or none) is at its
  // place again, and the path file is still there.
  bool profileBack = true;
  bool pathFileKept = true;
  // After a failure that could not put the old profile back: where it is now.
  std::wstring oldProfile;
};

// Runs the transaction. On a failure before the commit it undoes what it did (the portable
// configuration and the path file are never touched before the commit) and reports where things
// are.
RestoreResult RunRestoreTransaction(const RestorePlan& plan, const FolderDeleter& deleter,
                                    RestoreStepObserver observer);

}  // namespace velmo
