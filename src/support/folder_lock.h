// One instance of the tool at a time over the work that an installation folder holds: a lock
// the system lets go of when its holder ends, however it ends (closed, killed, crashed), so a
// lock that is held always means a holder that still runs. A holder may say what it holds the lock
// for, and another process may ask, for as long as it holds it.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "support/unique_handle.h"

namespace velmo {

class FolderLock {
 public:
  // Takes the lock of `folder` without waiting; nullopt while another process (or another thread)
  // holds it. A lock whose holder ended without letting go is taken. A folder that cannot be
  // opened to tell it apart from others gets no lock and counts as taken: no holder is seen.
  // `work` (a short name, or nothing) is what the lock is held for: HeldFor finds it while the
  // lock is held.
  static std::optional<FolderLock> TryTake(const std::wstring& folder,
                                           std::wstring_view work = {});

  // Whether the holder of `folder`'s lock took it for `work`. False when there is no such holder
  // or it cannot be told.
  static bool HeldFor(const std::wstring& folder, std::wstring_view work);

  FolderLock(FolderLock&& other) noexcept = default;
  FolderLock& operator=(FolderLock&&) = delete;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock();

 private:
  explicit FolderLock(UniqueHandle mutex, UniqueHandle work = UniqueHandle())
      : mutex_(std::move(mutex)), work_(std::move(work)) {}

  UniqueHandle mutex_;
  UniqueHandle work_;  // a named event that exists while the lock is held for a work
};

}  // namespace velmo
