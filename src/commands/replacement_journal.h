// The names a replacement creates beside the folder it replaces (Set's beside Setting, the
// restore's beside the user's profile folder), and its journal: the only authority on which of
// those names the tool created. It is written before any of them is created (and
// again, whole, before the old folder is moved), always to a draft first that is then renamed into
// place, so that the journal on disk is whole or absent. The start-up recovery acts on nothing a
// whole journal does not name; an entry that merely carries one of the names is the user's.
// The names in the installation folder (all of a Set's, the path file) are recorded as bare names,
// relative to the folder that holds the journal, so that a journal still names its entries after
// the folder was moved, renamed or reached under another drive letter; the names beside the
// profile folder stay full paths (ResolveJournal reads them back).
#pragma once
#include <optional>
#include <string>
#include <string_view>

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

// Which replacement wrote the journal: Set (the profile into Setting) or the restore of the
// installed browser (the portable configuration into the profile, in this user's %APPDATA%).
enum class ReplacementKind { kSet, kRestore };

// Setting (<dir>\Setting) and the names beside it that belong to Set: Set~tmp (a copy being made),
// Set~new (a complete, verified copy, not yet in place), Set~old (the old Setting, moved aside
// until the commit) and Set~del (the old Setting after the commit, to be deleted). Each is as long
// as "Setting", so whatever fits below Setting fits below each of them.
ReplacementNames SetNames(const std::wstring& installDir);

// The profile folder (%APPDATA%\velmoexplorer) and the names beside it that belong to a restore:
// velmoexp~tmp, velmoexp~new, velmoexp~old and velmoexp~del, in the roles of Set's. Each is no
// longer than "velmoexplorer".
ReplacementNames RestoreNames(const std::wstring& profile);

// True when the last name of `entry` is one of the names a restore gives beside the profile folder.
bool IsRestoreNameBesideProfile(std::wstring_view entry);

// The journal's files in the installation folder, whichever replacement wrote it: Set~jnl, and
// Set~jnw, the journal being written before it is renamed into place.
struct JournalFiles {
  explicit JournalFiles(const std::wstring& installDir);
  std::wstring journal;
  std::wstring draft;
};

// The first of a replacement's temporary names, and of the journal's files, that something stands
// at, or nullopt. The folder the replacement replaces is not one of them.
std::optional<std::wstring> FirstTakenName(const ReplacementNames& names,
                                           const JournalFiles& files);

// How far the transaction had got when it last wrote its journal.
enum class JournalPhase {
  kCopying,   // only the copy's names (partial, complete) may exist; the target is untouched
  kSwapping,  // the old target may be aside, the copy in its place, the commit file written
};

struct Journal {
  ReplacementKind kind = ReplacementKind::kSet;
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

// Writes `journal` (full paths) to `files.draft`, the names in the installation folder as bare
// names, flushes it and renames it over `files.journal`, so that the journal holds either what it
// held before or this one, whole. Throws PlatformError naming the journal when it cannot; the draft
// is then removed. A brief hold on the journal is waited out from `retries`.
void WriteJournal(const JournalFiles& files, const Journal& journal, RetryBudget& retries);

// What stands at the journal's two files, each read once.
struct JournalFilesRead {
  JournalRead journal;
  JournalRead draft;
  // A file of the tool's (it begins with the journal's signature line) at either name: a
  // replacement was interrupted and left its journal, or the journal's draft, behind.
  bool Interrupted() const;
  // The replacement that was interrupted (Set when no file of the tool's says otherwise).
  ReplacementKind Kind() const;
};
JournalFilesRead ReadJournalFiles(const JournalFiles& files);

// Where a journal read from an installation folder can be followed.
enum class JournalReach {
  kHere,          // every name is the tool's for its role, for this folder and this user
  kOtherProfile,  // a restore's, for a profile folder that is not this user's (another Windows
                  // user's or another profile folder, or APPDATA is not set): only a start with
                  // that APPDATA may follow it
  kProfileUnknown,  // a restore's, but this user's APPDATA cannot be identified: whose it is
                    // cannot be told, and it is not followed
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
