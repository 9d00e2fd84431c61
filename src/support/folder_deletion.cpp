#include "support/folder_deletion.h"

#include <windows.h>

#include <utility>

#include "support/file_queries.h"
#include "support/platform_error.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

constexpr wchar_t kDeleteOperation[] = L"删除文件夹";

// Remembers the first failure of a removal that goes on past failures.
class FirstFailure {
 public:
  void Note(const std::wstring& path) {
    if (!failed_) {
      failed_ = true;
      code_ = GetLastError();
      path_ = path;
    }
  }
  void ThrowIfAny() const {
    if (failed_) ThrowError(kDeleteOperation, path_, code_);
  }

 private:
  bool failed_ = false;
  DWORD code_ = 0;
  std::wstring path_;
};

void RemoveContents(const std::wstring& folder, FirstFailure& failure);

// Removes a file, or a folder with everything in it, read-only ones too.
void RemoveEntry(const DirectoryEntry& entry, FirstFailure& failure) {
  if (entry.IsReadOnly()) {
    SetFileAttributesW(entry.path.c_str(), entry.attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (entry.IsFolder()) {
    // A linked folder is removed as a link; what it points to is not ours to delete.
    if (!entry.IsLink()) RemoveContents(entry.path, failure);
    if (!RemoveDirectoryW(entry.path.c_str())) failure.Note(entry.path);
  } else if (!DeleteFileW(entry.path.c_str())) {
    failure.Note(entry.path);
  }
}

void RemoveContents(const std::wstring& folder, FirstFailure& failure) {
  const ListingEnd end = ForEachEntry(folder, [&](const DirectoryEntry& entry) {
    RemoveEntry(entry, failure);
    return true;
  });
  if (end == ListingEnd::kFailed) failure.Note(folder);
}

// One try at removing the folder `path` with everything in it.
void DeleteFolderTree(const std::wstring& path) {
  if (!FolderExists(path)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    ThrowLastError(kDeleteOperation, path);
  }
  FirstFailure failure;
  RemoveEntry(DirectoryEntry{path, path, GetFileAttributesW(path.c_str()), 0}, failure);
  failure.ThrowIfAny();
}

bool OpenableForDeletion(const std::wstring& path, RetryBudget& retries) {
  const std::uint32_t error = retries.Run([&]() -> std::uint32_t {
    const UniqueFileHandle entry(CreateFileW(
        path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (entry) return 0;
    const DWORD failure = GetLastError();
    // Only a program's hold counts (and is waited for): a refusal for other reasons is left to
    // the deletion itself.
    return failure == ERROR_SHARING_VIOLATION || failure == ERROR_LOCK_VIOLATION ? failure : 0;
  });
  return error == 0;
}

}  // namespace

std::optional<std::wstring> FindEntryInUse(const std::wstring& folder, RetryBudget& retries) {
  std::optional<std::wstring> inUse;
  ForEachEntry(folder, [&](const DirectoryEntry& entry) {
    if (entry.IsFolder() && !entry.IsLink()) {
      inUse = FindEntryInUse(entry.path, retries);
    } else if (!OpenableForDeletion(entry.path, retries)) {
      inUse = entry.path;
    }
    return !inUse;
  });
  if (!inUse && !OpenableForDeletion(folder, retries)) inUse = folder;
  return inUse;
}

void DeleteFolder(const std::wstring& path, RetryBudget& retries) {
  // Each try removes what it can; the failure of the last one is passed on.
  std::optional<PlatformError> failure;
  retries.Run([&]() -> std::uint32_t {
    failure.reset();
    try {
      DeleteFolderTree(path);
      return 0;
    } catch (const PlatformError& error) {
      failure.emplace(error);
      return error.Code();
    }
  });
  if (failure) throw *failure;
}

}  // namespace velmo
