#include "support/folder_lock.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

using testing::TempDir;

// Another holder of the lock: a thread that takes it, says so, and lets go when told.
struct Holder {
  std::wstring folder;
  const wchar_t* work;
  UniqueHandle taken{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  UniqueHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  bool held = false;

  static DWORD WINAPI Run(void* self) {
    auto& holder = *static_cast<Holder*>(self);
    {
      const std::optional<FolderLock> lock = FolderLock::TryTake(holder.folder, holder.work);
      holder.held = lock.has_value();
      SetEvent(holder.taken.Get());
      WaitForSingleObject(holder.release.Get(), INFINITE);
    }
    return 0;
  }
};

TEST(FolderLock, OneHolderPerFolderWhateverItsSpellingAndFreeOnceItLetsGo) {
  TempDir folder(L"velmo-lock");
  TempDir other(L"velmo-lock-other");
  std::wstring upper = folder.Path();
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  wchar_t shortName[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameW(folder.Path().c_str(), shortName, MAX_PATH), 0u);
  Holder holder{folder.Path(), L"Set"};
  UniqueHandle thread(CreateThread(nullptr, 0, &Holder::Run, &holder, 0, nullptr));
  ASSERT_TRUE(thread);
  WaitForSingleObject(holder.taken.Get(), INFINITE);
  EXPECT_TRUE(holder.held);

  struct Case {
    std::wstring folder;
    bool free;
  };
  for (const Case& row : {Case{folder.Path(), false}, Case{upper, false},
                          Case{folder.Path() + L"\\", false}, Case{shortName, false},
                          Case{other.Path(), true}}) {
    SCOPED_TRACE(ToUtf8(row.folder));
    EXPECT_EQ(FolderLock::TryTake(row.folder).has_value(), row.free);
    // What the holder took it for, under any spelling; nothing for another work or folder.
    EXPECT_EQ(FolderLock::HeldFor(row.folder, L"Set"), !row.free);
    EXPECT_FALSE(FolderLock::HeldFor(row.folder, L"Restore"));
  }

  SetEvent(holder.release.Get());
  WaitForSingleObject(thread.Get(), INFINITE);
  EXPECT_FALSE(FolderLock::HeldFor(folder.Path(), L"Set"));
  EXPECT_TRUE(FolderLock::TryTake(folder.Path()).has_value());
}

}  // namespace
}  // namespace velmo
