// Renaming and removing a file or a folder tree as one entry, waiting out another program's brief
// hold on it from the retries of the command (lock_retry). Each throws PlatformError naming the
// entry, with the Win32 code of the last try, when it cannot.
#pragma once
#include <string>

#include "support/lock_retry.h"

namespace velmo {

// Renames a file or a folder beside itself; never replaces anything.
void RenameEntry(const std::wstring& from, const std::wstring& to, RetryBudget& retries);

// Deletes the file at `path`.
void RemoveFile(const std::wstring& path, RetryBudget& retries);

// Removes a file (read-only too) or a folder tree (links are removed, never followed); nothing
// to do when nothing is there.
void RemoveFileOrFolder(const std::wstring& path, RetryBudget& retries);

}  // namespace velmo
