// Renaming and removing a file or a folder tree as one entry, waiting out another program's brief
// hold on it.
#pragma once
#include <string>

#include "support/folder_deletion.h"

namespace velmo {

// Renames a file or a folder beside itself; never replaces anything. True when it worked.
bool RenameEntry(const std::wstring& from, const std::wstring& to);

// Removes a file or a folder tree (links are removed, never followed). True when it is gone.
bool RemoveFileOrFolder(const std::wstring& path, const FolderDeleter& deleter);

}  // namespace velmo
