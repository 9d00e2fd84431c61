// One instance of the tool at a time over the work that an installation folder holds: a lock
// the system lets go of when its holder ends, however it ends (closed, killed, crashed), so a
// lock that is held always means a holder that still runs.
#pragma once
#include <optional>
#include <string>
#include <utility>

#include "support/unique_handle.h"

namespace velmo {

class FolderLock {
 public:
  // Takes the lock of `folder` without waiting; nullopt while another process (or another thread)
  // holds it. A lock whose holder ended without letting go is taken. A folder that cannot be
  // opened to tell it apart from others gets no lock and counts as taken: no holder is seen.
  static std::optional<FolderLock> TryTake(const std::wstring& folder);

  FolderLock(FolderLock&& other) noexcept = default;
  FolderLock& operator=(FolderLock&&) = delete;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();

 private:
  explicit FolderLock(UniqueHandle mutex) : mutex_(std::move(mutex)) {}

  UniqueHandle mutex_;
};

}  // namespace velmo
