// Removing folder trees with the file API: read-only and hidden entries too, links unlinked and
// never followed.
#pragma once
#include <optional>
#include <string>

#include "support/lock_retry.h"

namespace velmo {

// Deletes the folder with everything in it: read-only and hidden entries are removed, and a
// failing entry does not stop the others. A junction or symbolic link, as the folder or anywhere
// in it, is removed itself and never followed: what it points to stays. Throws PlatformError for
// the first entry that could not be removed, or when `path` is not an existing folder; what could
// be removed is gone. A removal that another program's brief hold stops is tried again
// (lock_retry), from `retries`.
void DeleteFolder(const std::wstring& path, RetryBudget& retries);

// The first file or folder in the tree (the folder itself included) that cannot be deleted now
// because another program has it open without allowing deletion; nullopt when there is none. An
// entry held open is asked again after each pause of lock_retry, from `retries`.
std::optional<std::wstring> FindEntryInUse(const std::wstring& folder, RetryBudget& retries);

}  // namespace velmo
