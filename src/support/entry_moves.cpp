#include "support/entry_moves.h"

#include <windows.h>

#include "support/file_queries.h"
#include "support/lock_retry.h"
#include "support/platform_error.h"

namespace velmo {

bool RenameEntry(const std::wstring& from, const std::wstring& to) {
  return RetryWhileLocked([&] {
           return Outcome(MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH));
         }) == 0;
}

bool RemoveFileOrFolder(const std::wstring& path, const FolderDeleter& deleter) {
  if (!EntryExists(path)) return true;
  if (FolderExists(path)) return SkipIfFails([&] { deleter.DeleteFolder(path); });
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return deleter.Retries().Run([&] { return Outcome(DeleteFileW(path.c_str())); }) == 0;
}

}  // namespace velmo
