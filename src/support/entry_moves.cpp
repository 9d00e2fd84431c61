#include "support/entry_moves.h"

#include <windows.h>

#include "support/file_queries.h"
#include "support/lock_retry.h"
#include "support/platform_error.h"

namespace velmo {

std::uint32_t TryRenameEntry(const std::wstring& from, const std::wstring& to,
                             RetryBudget& retries) {
  return retries.Run(
      [&] { return Outcome(MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)); });
}

bool RenameEntry(const std::wstring& from, const std::wstring& to, RetryBudget& retries) {
  return TryRenameEntry(from, to, retries) == 0;
}

std::uint32_t RemoveFile(const std::wstring& path, RetryBudget& retries) {
  return retries.Run([&] { return Outcome(DeleteFileW(path.c_str())); });
}

bool RemoveFileOrFolder(const std::wstring& path, const FolderDeleter& deleter) {
  if (!EntryExists(path)) return true;
  if (FolderExists(path)) return SkipIfFails([&] { deleter.DeleteFolder(path); });
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return RemoveFile(path, deleter.Retries()) == 0;
}

}  // namespace velmo
