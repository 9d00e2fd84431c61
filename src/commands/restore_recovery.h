// The journal of a restore of the installed browser, and what the start-up (or a failed restore)
// does with it: a restore that was interrupted (the tool killed, the machine switched off) is
// finished when the path file is gone and the copy is the profile, and undone otherwise. Only
// the names the journal gives are touched, and only when they lie in this user's profile folder's
// parent (%APPDATA%).
#pragma once
#include <optional>
#include <string>

#include "support/folder_deletion.h"

namespace velmo {

// Written in the installation folder before the restore creates anything: the full paths of the
// profile folder, of the copy made beside it and of the name the old profile is put aside under,
// and whether there was an old profile.
struct RestoreJournal {
  std::wstring profile;
  std::wstring copy;
  std::wstring aside;
  bool oldExisted = false;
};

// Writes the journal whole (through a temporary name) into `installDir`. Throws PlatformError.
void WriteRestoreJournal(const std::wstring& installDir, const RestoreJournal& journal);

// The restore journal in `installDir`; nullopt when there is none, or not a whole one.
std::optional<RestoreJournal> ReadRestoreJournal(const std::wstring& installDir);

void RemoveRestoreJournal(const std::wstring& installDir);

// Finishes or undoes the restore the journal describes, and removes the journal once the profile
// folder is as before the restore or as after it. Nothing is touched when the journal's names are
// not those of the profile folder in `appData` (another user's, or a journal not made by a
// restore). Returns false when the journal stays: its names are not this user's, or an entry
// held by another program kept the work from its end (the next start tries again).
bool TidyInterruptedRestore(const std::wstring& installDir, const std::wstring& appData,
                            const RestoreJournal& journal, const FolderDeleter& deleter);

}  // namespace velmo
