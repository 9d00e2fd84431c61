// After a replacement (Set, or a restore of the installed browser) that was interrupted (the tool
// killed, the machine switched off): puts the folder it replaces back into one of two states, as
// before the click or as after a successful run, from what the journal names and the path file
// shows. The journal is the only authority: without a whole one, an entry that merely carries one
// of the tool's names is the user's and is left alone. Never deletes a folder that may be the only
// copy of a configuration: a copy of the profile can be made again, the old Setting cannot. A
// journal is removed only once it has been followed; one that cannot be followed here (another
// user's restore, names that are not the tool's) stays with everything it names, and Set and the
// restore say why they wait.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "commands/preflight.h"
#include "commands/replacement_journal.h"
#include "model/context.h"
#include "model/ui.h"
#include "support/lock_retry.h"

namespace velmo {

struct SettleReport {
  // The command that was interrupted (Set when no file of the tool's says otherwise).
  ReplacementKind kind = ReplacementKind::kSet;
  // Not kHere: the whole journal cannot be followed here, and it and everything else were left
  // as they are (kOtherProfile: `target` is the other profile folder).
  JournalReach reach = JournalReach::kHere;
  // Configurations that were at Setting and are kept, beside the one in use, under a visible name.
  std::vector<std::wstring> keptAside;
  // The folder the journal's transaction replaces (Setting, or the user's profile folder).
  std::wstring target;
  // The entry that could not be renamed, removed or read; empty when everything was done. The
  // journal then stays, and the next start (or command) tries again.
  std::wstring failedEntry;
};

// Follows the journal: removes the partial copies, undoes a swap that was not committed, finishes
// one that was, and puts a configuration that was moved aside back at the target; when the
// target holds another configuration it gives the moved-aside one a visible name instead. Then
// removes the journal. Renames or deletes nothing the journal does not name; waits out a brief
// hold from `retries`. The browser must not be running. The journal's names are read where it
// lies now (ResolveJournal); a restore's journal is followed only when it names this user's
// profile folder in `appData`.
SettleReport SettleInterruptedReplacement(const std::wstring& installDir,
                                          const std::wstring& appData, RetryBudget& retries);

// Before `command` (Set or a restore), within its session: the same clean-up, with a box for a
// configuration kept aside. Returns false, after saying why, when the clean-up could not finish
// (the installation folder refuses writes, or a program holds the entry named) or the journal
// waits for another start (another user's restore, names that are not the tool's): then nothing
// was changed.
bool SettleBeforeReplacement(const std::wstring& installDir, const std::wstring& appData,
                             CommandSession& session, Ui& ui, ReplacementKind command);

// Start-up, before the window shows: removes empty write-check folders; otherwise nothing to do
// (and nothing written) unless an interrupted replacement left its journal. A journal is the
// desktop user's: run as another account (or one that cannot be told, as the context's rights say;
// asked only when there is a journal, so that an ordinary start spends no time on it), the tool
// leaves it and every entry it names for that user's next start. The journal of a replacement
// that another instance of the tool is running is its work, not a leftover, and a journal this
// start cannot follow waits without a box. While the browser runs, nothing is touched and the
// user is told.
void RecoverInterruptedReplacement(const Context& context, Ui& ui);

}  // namespace velmo
