// Putting a fresh copy of the browser's profile in place of the Setting folder without ever
// leaving the user with less than they had: the copy is made beside it and swapped in by renames,
// and the old folder is deleted last.
#pragma once
#include <string>

#include "support/folder_deletion.h"

namespace velmo {

enum class ReplacementStatus {
  kDone,            // the copy is the Setting folder; whatever was there before is gone
  kCopyFailed,      // nothing changed: the copy could not be made
  kInUse,           // nothing changed: `path` names an entry another program holds
  kBlocked,         // nothing changed: something at the Setting path cannot be replaced
  kOldLeftBehind,   // the copy is in place, but the old entry remains at `path`
};

struct ReplacementResult {
  ReplacementStatus status;
  std::wstring path;
};

// Copies `profile` to a new folder beside `setting`, then moves whatever is at `setting` (a
// folder, or a plain file) aside, renames the copy to `setting` and deletes the old entry with
// `deleter`. On every failure but the last step, the partial copy is removed and `setting` is as
// it was.
ReplacementResult ReplaceWithCopy(const std::wstring& profile, const std::wstring& setting,
                                  const FolderDeleter& deleter);

}  // namespace velmo
