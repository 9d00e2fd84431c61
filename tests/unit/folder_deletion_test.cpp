#include "support/folder_deletion.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "support/file_queries.h"
#include "support/folder_link.h"
#include "support/platform_error.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

using testing::FolderLink;
using testing::MakeDirs;
using testing::MakeFolderLink;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

void MakeStubbornTree(const std::wstring& root) {
  WriteBytes(root + L"\\Cache\\data_0", "0");
  WriteBytes(root + L"\\Cache\\index", "i");
  WriteBytes(root + L"\\只读\\文件.txt", "r");
  WriteBytes(root + L"\\hidden.bin", "h");
  MakeDirs(root + L"\\empty\\deeper");
  SetFileAttributesW((root + L"\\只读\\文件.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW((root + L"\\hidden.bin").c_str(),
                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW((root + L"\\只读").c_str(), FILE_ATTRIBUTE_READONLY);
}

class FolderDeletion : public ::testing::Test {
 protected:
  RetryBudget retries_;
};

TEST_F(FolderDeletion, RemovesReadOnlyAndHiddenEntriesAndLeavesSiblings) {
  TempDir dir(L"删除");
  MakeStubbornTree(dir / L"victim");
  WriteBytes(dir / L"victim2\\keep.txt", "keep");

  DeleteFolder(dir / L"victim", retries_);

  EXPECT_FALSE(FolderExists(dir / L"victim"));
  EXPECT_FALSE(FileExists(dir / L"victim"));
  EXPECT_EQ(ReadBytes(dir / L"victim2\\keep.txt"), "keep");
}

TEST_F(FolderDeletion, MissingFolderOrPlainFileIsAnError) {
  TempDir dir(L"删除");
  EXPECT_THROW(DeleteFolder(dir / L"missing", retries_), PlatformError);
  // A plain file is never deleted as a folder.
  WriteBytes(dir / L"file", "f");
  EXPECT_THROW(DeleteFolder(dir / L"file", retries_), PlatformError);
  EXPECT_EQ(ReadBytes(dir / L"file"), "f");
}

TEST_F(FolderDeletion, FileHeldOpenKeepsTheFolderAndIsAnError) {
  TempDir dir(L"删除");
  WriteBytes(dir / L"victim\\free.txt", "free");
  WriteBytes(dir / L"victim\\sub\\held.txt", "held");
  {
    const UniqueFileHandle held(CreateFileW((dir / L"victim\\sub\\held.txt").c_str(),
                                            GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_THROW(DeleteFolder(dir / L"victim", retries_), PlatformError);
    EXPECT_TRUE(FileExists(dir / L"victim\\sub\\held.txt"));
  }
  // Once the file is free the folder goes.
  DeleteFolder(dir / L"victim", retries_);
  EXPECT_FALSE(FolderExists(dir / L"victim"));
}

TEST_F(FolderDeletion, LinksAreRemovedNeverFollowed) {
  // The folder itself a link, a link inside it, one deeper down: what they point to stays.
  for (const wchar_t* link : {L"victim", L"victim\\Cache", L"victim\\a\\b\\link"}) {
    SCOPED_TRACE(ToUtf8(link));
    TempDir dir(L"links");
    WriteBytes(dir / L"target\\keep.txt", "keep");
    const bool linkIsTheFolder = std::wstring(link) == L"victim";
    if (!linkIsTheFolder) {
      WriteBytes(dir / L"victim\\own.txt", "own");
      MakeDirs((dir / link).substr(0, (dir / link).find_last_of(L'\\')));
    }
    const FolderLink kind = MakeFolderLink(dir / link, dir / L"target");
    if (kind == FolderLink::kNone) GTEST_SKIP() << "no link to a folder can be made here";

    const bool removed = SkipIfFails([&] { DeleteFolder(dir / L"victim", retries_); });

    EXPECT_EQ(ReadBytes(dir / L"target\\keep.txt"), "keep");
    if (!linkIsTheFolder) {
      EXPECT_FALSE(FileExists(dir / L"victim\\own.txt"));
    }
    if (kind == FolderLink::kJunction) {
      EXPECT_TRUE(removed);
      EXPECT_EQ(GetFileAttributesW((dir / L"victim").c_str()), INVALID_FILE_ATTRIBUTES);
    } else {
      // Wine cannot remove a host's symbolic link at all: the removal stops there and says so.
      EXPECT_FALSE(removed);
    }
  }
}

TEST(FindEntryInUse, NamesTheHeldFileAndNothingElse) {
  TempDir dir(L"占用");
  MakeStubbornTree(dir / L"Setting");
  RetryBudget retries;
  EXPECT_EQ(FindEntryInUse(dir / L"Setting", retries), std::nullopt);  // read-only is not "in use"

  const std::wstring heldPath = dir / L"Setting\\Cache\\index";
  {
    // Held for reading only, but without allowing deletion: still blocks the removal.
    const UniqueFileHandle held(CreateFileW(heldPath.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(FindEntryInUse(dir / L"Setting", retries), heldPath);
  }
  {
    // A program that allows deletion does not block it.
    const UniqueFileHandle shared(CreateFileW(
        heldPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(shared);
    EXPECT_EQ(FindEntryInUse(dir / L"Setting", retries), std::nullopt);
  }
  // The checks leave everything in place.
  EXPECT_EQ(ReadBytes(heldPath), "i");
  SetFileAttributesW((dir / L"Setting\\只读").c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW((dir / L"Setting\\只读\\文件.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace velmo
