// Restoring the installed browser as a transaction on Set's steps and journal (RunReplacement):
// the portable configuration is copied, without its cache folders, beside the user's profile
// folder, swapped in by renames, and the path file is deleted last (the commit point). Only then
// is the old profile deleted. The portable configuration folder is only ever read.
#pragma once
#include <string>

#include "commands/set_transaction.h"
#include "commands/transaction_journal.h"
#include "support/folder_deletion.h"

namespace velmo {

// The profile folder (%APPDATA%\velmoexplorer) and the names beside it that belong to a restore:
// velmoexp~tmp (a copy being made), velmoexp~new (a complete copy, not yet in place),
// velmoexp~old (the old profile, moved aside until the commit) and velmoexp~del (the old profile
// after the commit, to be deleted). Each is no longer than "velmoexplorer", so whatever fits below
// the profile folder fits below each of them.
ReplacementNames RestoreNames(const std::wstring& profile);

struct RestorePlan {
  std::wstring installDir;
  std::wstring appData;
  std::wstring configuration;  // the portable configuration folder the path file names
};

// Runs the transaction. `pathFileBefore` is the path file's content now. On a failure before the
// commit it undoes what it did (the path file is never touched before the commit) and reports
// where things are, as Set does.
SetResult RunRestoreTransaction(const RestorePlan& plan, const std::string& pathFileBefore,
                                const FolderDeleter& deleter, SetStepObserver observer);

}  // namespace velmo
