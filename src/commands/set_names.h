// The names beside the Setting folder that belong to the Set command: the transaction creates
// them, the recovery after an interrupted Set acts on them, and both start from here.
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

// The first of the Set's own names (all but Setting) that something stands at, or nullopt.
std::optional<std::wstring> FirstTakenSetName(const SetNames& names);

}  // namespace velmo
