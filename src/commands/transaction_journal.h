// The journal of a copy-and-swap transaction: the only authority on which temporary names the
// tool created beside a folder it replaces. It is written before any of them is created (and
// again, whole, before the old folder is moved), always to a draft first that is then renamed into
// place, so that the journal on disk is whole or absent. The start-up recovery acts on nothing a
// whole journal does not name; an entry that merely carries one of the names is the user's.
// The names in the installation folder (all of a Set's, the path file) are recorded as bare names,
// relative to the folder that holds the journal, so that a journal still names its entries after
// the folder was moved, renamed or reached under another drive letter; the names beside the
// profile folder stay full paths (ResolveJournal in transaction_names reads them back).
#pragma once
#include <optional>
#include <string>

#include "support/file_queries.h"
#include "support/lock_retry.h"

namespace velmo {

// The names a transaction creates beside the folder it replaces, as full paths.
struct ReplacementNames {
  std::wstring target;    // the folder being replaced (it may not exist yet)
  std::wstring partial;   // a copy being made
  std::wstring complete;  // a complete, verified copy, not yet in place
  std::wstring aside;     // the old target, moved aside until the commit
  std::wstring doomed;    // the old target after the commit, to be deleted
};

// Which transaction wrote the journal: Set (the profile into Setting) or the restore of the
// installed browser (the portable configuration into the profile, in this user's %APPDATA%).
enum class TransactionKind { kSet, kRestore };

// How far the transaction had got when it last wrote its journal.
enum class JournalPhase {
  kCopying,   // only the copy's names (partial, complete) may exist; the target is untouched
  kSwapping,  // the old target may be aside, the copy in its place, the commit file written
};

struct Journal {
  TransactionKind kind = TransactionKind::kSet;
  JournalPhase phase = JournalPhase::kCopying;
  ReplacementNames names;
  bool oldExisted = false;  // whether something stood at the target before
  // The file whose content commits the transaction, and its bytes after and before it (nullopt:
  // no such file). Recovery tells a committed transaction from one to undo by which it holds.
  std::wstring commitFile;
  std::optional<std::string> commitFileAfter;
  std::optional<std::string> commitFileBefore;
  // A restore's: the identity of the folder that holds the profile folder (this user's APPDATA)
  // when it was written, so that another account's folder of the same name is told apart. An
  // earlier build's journal has none.
  std::optional<EntryIdentity> profileParent;
};

// What stands at a journal's name.
enum class JournalFinding {
  kNone,        // nothing
  kForeign,     // a folder, or a file that does not begin with the journal's signature line
  kCutShort,    // a file of the tool's (it begins with the signature line) that is not whole
  kWhole,       // a whole journal: `journal` holds it
  kUnreadable,  // a file that could not be read: whose it is cannot be told
};

struct JournalRead {
  JournalFinding finding = JournalFinding::kNone;
  Journal journal;
};

// Reads the journal at `name`, its names as recorded (bare names in the installation folder; an
// earlier build's journal has full paths there). A journal cut short still gives its kind when
// the line is there.
JournalRead ReadJournal(const std::wstring& name);

// True when a file of the tool's journal stands at `name` (whole, cut short, or unreadable).
bool IsToolJournal(JournalFinding finding);

// Writes `journal` (full paths) to `draft`, the names in the installation folder as bare names,
// flushes it and renames it over `name`, so that `name` holds either the journal it held before or
// this one, whole. Throws PlatformError naming `name` when it
// cannot; the draft is then removed. A brief hold on `name` is waited out from `retries`.
void WriteJournal(const std::wstring& name, const std::wstring& draft, const Journal& journal,
                  RetryBudget& retries);

}  // namespace velmo
