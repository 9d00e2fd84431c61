// The names the tool's transactions create beside the folder they replace (Set's beside Setting,
// the restore's beside the user's profile folder): the transactions create them, the recovery
// after an interruption acts on them, and both start from here.
#pragma once
#include <optional>
#include <string>
#include <string_view>

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

// True when the last name of `entry` is one of the names a restore gives beside the profile folder.
bool IsRestoreNameBesideProfile(std::wstring_view entry);

// Where a journal read from an installation folder can be followed.
enum class JournalReach {
  kHere,          // every name is the tool's for its role, for this folder and this user
  kOtherProfile,  // a restore's, for a profile folder that is not this user's (another Windows
                  // user's or another profile folder, or APPDATA is not set): only a start with
                  // that APPDATA may follow it
  kNotTheTools,   // a name is not the one the tool gives its role: it is not followed anywhere
};

struct ReachedJournal {
  JournalReach reach = JournalReach::kNotTheTools;
  // kHere: the journal with its names in full, in `installDir` and this user's profile folder.
  // Otherwise as recorded (kOtherProfile: `names.target` is the other profile folder).
  Journal journal;
};

// Reads the names of `recorded`, a whole journal that lies in `installDir`. A name in the
// installation folder is accepted only when it is exactly the tool's name for its role (no folder
// in front, no "." or ".."), and stands for that name in `installDir` wherever the folder is now;
// an earlier build's journal, which names them in full below one folder, is read the same way
// (wherever that folder was). A restore's names beside the profile folder are full paths: they
// are followed only when they are the names the tool gives beside the profile folder of
// `appData` (the same folder however it is spelled, but never by way of "." or "..").
ReachedJournal ResolveJournal(const Journal& recorded, const std::wstring& installDir,
                              const std::wstring& appData);

}  // namespace velmo
