#include "support/entry_moves.h"

#include <windows.h>

#include "support/file_queries.h"
#include "support/folder_deletion.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

constexpr wchar_t kRenameOperation[] = L"重命名";
constexpr wchar_t kRemoveOperation[] = L"删除";

}  // namespace

void RenameEntry(const std::wstring& from, const std::wstring& to, RetryBudget& retries) {
  const std::uint32_t code = retries.Run(
      [&] { return Outcome(MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)); });
  if (code != 0) ThrowError(kRenameOperation, from, code);
}

void RemoveFile(const std::wstring& path, RetryBudget& retries) {
  const std::uint32_t code = retries.Run([&] { return Outcome(DeleteFileW(path.c_str())); });
  if (code != 0) ThrowError(kRemoveOperation, path, code);
}

void RemoveFileOrFolder(const std::wstring& path, RetryBudget& retries) {
  if (!EntryExists(path)) return;
  if (FolderExists(path)) return DeleteFolder(path, retries);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveFile(path, retries);
}

}  // namespace velmo
