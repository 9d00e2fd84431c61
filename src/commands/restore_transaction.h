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
