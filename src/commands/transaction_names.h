// The names the tool's transactions create beside the folder they replace (Set's beside Setting,
// the restore's beside the user's profile folder): the transactions create them, the recovery
// after an interruption acts on them, and both start from here.
#pragma once
#include <optional>
#include <string>

#include "commands/transaction_journal.h"

namespace velmo {

// The names beside the Setting folder that belong to the Set command.
struct SetNames {
  explicit SetNames(const std::wstring& installDir);

  std::wstring setting;   // <dir>\Setting
  std::wstring partial;   // <dir>\Set~tmp: a copy being made
  std::wstring complete;  // <dir>\Set~new: a complete, verified copy, not yet in place
  std::wstring aside;     // <dir>\Set~old: the old Setting, moved aside until the commit
  std::wstring doomed;    // <dir>\Set~del: the old Setting after the commit, to be deleted
  std::wstring journal;   // <dir>\Set~jnl: the Set's journal (see transaction_journal.h)
  std::wstring draft;     // <dir>\Set~jnw: the journal being written, before it is renamed

  // Setting and the four folder names, as the journal names them.
  ReplacementNames Replacement() const;
};

// The first of a transaction's temporary names, and of the journal's (Set~jnl, Set~jnw), that
// something stands at, or nullopt. The folder the transaction replaces is not one of them.
std::optional<std::wstring> FirstTakenName(const ReplacementNames& names,
                                           const SetNames& journalNames);

// The profile folder (%APPDATA%\velmoexplorer) and the names beside it that belong to a restore:
// velmoexp~tmp (a copy being made), velmoexp~new (a complete copy, not yet in place),
// velmoexp~old (the old profile, moved aside until the commit) and velmoexp~del (the old profile
// after the commit, to be deleted). Each is no longer than "velmoexplorer", so whatever fits below
// the profile folder fits below each of them.
ReplacementNames RestoreNames(const std::wstring& profile);

}  // namespace velmo
