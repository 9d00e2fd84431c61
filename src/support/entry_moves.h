// Renaming and removing a file or a folder tree as one entry, waiting out another program's brief
// hold on it from the retries of the command (lock_retry).
#pragma once
#include <cstdint>
#include <string>

#include "support/folder_deletion.h"
#include "support/lock_retry.h"

namespace velmo {

// Renames a file or a folder beside itself; never replaces anything. Returns 0, or the Win32 code
// of the last try.
std::uint32_t TryRenameEntry(const std::wstring& from, const std::wstring& to,
                             RetryBudget& retries);

// The same: true when it worked.
bool RenameEntry(const std::wstring& from, const std::wstring& to, RetryBudget& retries);

// Deletes the file at `path`. Returns 0, or the Win32 code of the last try.
std::uint32_t RemoveFile(const std::wstring& path, RetryBudget& retries);

// Removes a file or a folder tree (links are removed, never followed). True when it is gone.
bool RemoveFileOrFolder(const std::wstring& path, const FolderDeleter& deleter);

}  // namespace velmo
