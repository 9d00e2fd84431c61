// Removing folder trees: through the system's file-system automation object, as the browser's
// users know it from scripts, or with the file API where that object is not available (it can be
// disabled by policy). Both remove read-only and hidden entries too.
#pragma once
#include <optional>
#include <string>

#include "support/com.h"
#include "support/lock_retry.h"
#include "support/ole_api.h"

namespace velmo {

inline constexpr wchar_t kFileSystemObjectProgId[] = L"Scripting.FileSystemObject";

class FolderDeleter {
 public:
  // Creates the automation object named `progId`; when it cannot be created (or COM itself cannot
  // be loaded), the deleter works with the file API instead. Never throws. The retries' pauses
  // are spent through `wait` (the window's, for a command).
  explicit FolderDeleter(const wchar_t* progId = kFileSystemObjectProgId);
  explicit FolderDeleter(RetryWait wait, const wchar_t* progId = kFileSystemObjectProgId);
  FolderDeleter(const FolderDeleter&) = delete;
  FolderDeleter& operator=(const FolderDeleter&) = delete;

  bool UsesAutomationObject() const { return static_cast<bool>(fileSystem_); }

  // Deletes the folder with everything in it (DeleteFolder with force). A junction or symbolic
  // link, as the folder or anywhere in it, is removed itself and never followed: what it points
  // to stays. Throws PlatformError when the folder does not exist or could not be removed
  // completely; what could be removed is gone. A removal that another program's brief hold
  // stops is tried again (lock_retry), from this deleter's budget.
  void DeleteFolder(const std::wstring& path) const;
  // The same, its retries drawn from `retries` instead.
  void DeleteFolder(const std::wstring& path, RetryBudget& retries) const;

  // The retries of the command this deleter serves, shared by all its removals.
  RetryBudget& Retries() const { return retries_; }

 private:
  // Declared in the order they are made; they end in reverse: the object, the apartment, COM.
  std::optional<OleApi> ole_;
  std::optional<ComApartment> apartment_;
  ComPtr<IDispatch> fileSystem_;
  DISPID deleteFolder_ = DISPID_UNKNOWN;
  mutable RetryBudget retries_;
  void DeleteFolderOnce(const std::wstring& path) const;
};

// The file API's removal of a folder tree, with the same effect as DeleteFolder with force:
// read-only and hidden entries are removed, linked folders are unlinked without touching what
// they point to, and a failing entry does not stop the others. Throws PlatformError for the first
// entry that could not be removed, or when `path` is not an existing folder.
void DeleteFolderTree(const std::wstring& path);

// The first file or folder in the tree (the folder itself included) that cannot be deleted now
// because another program has it open without allowing deletion; nullopt when there is none. An
// entry held open is asked again after each pause of lock_retry, from `retries`.
std::optional<std::wstring> FindEntryInUse(const std::wstring& folder, RetryBudget& retries);

}  // namespace velmo
