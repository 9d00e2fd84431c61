#include "support/folder_lock.h"

#include <windows.h>

#include "support/file_queries.h"
#include "support/number_text.h"

namespace velmo {
namespace {

// Local to the user's session, where the tool's instances run (one run as administrator too).
constexpr wchar_t kLockPrefix[] = L"Local\\VelmoPortableMaker-";

// The lock's name from the folder's identity on its volume rather than from its spelling: a
// short 8.3 name, another letter case or a trailing separator still name the same lock.
std::optional<std::wstring> LockName(const std::wstring& folder) {
  const std::optional<EntryIdentity> identity = IdentityOf(folder);
  if (!identity) return std::nullopt;
  return kLockPrefix + HexText(identity->volume) + L"-" + HexText(identity->indexHigh) + L"-" +
         HexText(identity->indexLow);
}

// The event that says what the lock is held for: the lock's name and the work's.
std::wstring WorkName(const std::wstring& lockName, std::wstring_view work) {
  return lockName + L"-" + std::wstring(work);
}

}  // namespace

std::optional<FolderLock> FolderLock::TryTake(const std::wstring& folder, std::wstring_view work) {
  const std::optional<std::wstring> name = LockName(folder);
  if (!name) return FolderLock(UniqueHandle());
  UniqueHandle mutex(CreateMutexW(nullptr, FALSE, name->c_str()));
  // A lock that exists but may not be opened belongs to a holder with other rights (an
  // administrator instance): it exists only while that holder runs.
  if (!mutex) {
    if (GetLastError() == ERROR_ACCESS_DENIED) return std::nullopt;
    return FolderLock(UniqueHandle());
  }
  switch (WaitForSingleObject(mutex.Get(), 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its holder ended without letting go
      // Named objects live as long as a handle to them is open: the work's event goes with the
      // holder, however it ends.
      return FolderLock(std::move(mutex),
                        UniqueHandle(work.empty() ? nullptr
                                                  : CreateEventW(nullptr, TRUE, FALSE,
                                                                 WorkName(*name, work).c_str())));
    default:
      return std::nullopt;
  }
}

bool FolderLock::HeldFor(const std::wstring& folder, std::wstring_view work) {
  const std::optional<std::wstring> name = LockName(folder);
  if (!name || work.empty()) return false;
  const UniqueHandle event(OpenEventW(SYNCHRONIZE, FALSE, WorkName(*name, work).c_str()));
  // An event that may not be opened exists all the same: its holder has other rights.
  return event || GetLastError() == ERROR_ACCESS_DENIED;
}

FolderLock::~FolderLock() {
  if (mutex_) ReleaseMutex(mutex_.Get());
}

}  // namespace velmo
