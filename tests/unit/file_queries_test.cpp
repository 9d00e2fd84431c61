#include "support/file_queries.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "support/temp_dir.h"

namespace velmo {
namespace {

using testing::TempDir;
using testing::WriteBytes;

TEST(FileQueries, TellFoldersFromFiles) {
  TempDir dir;
  WriteBytes(dir / L"plain.txt", "x");
  WriteBytes(dir / L"hidden.txt", "x");
  WriteBytes(dir / L"只读.txt", "x");
  SetFileAttributesW((dir / L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  SetFileAttributesW((dir / L"只读.txt").c_str(), FILE_ATTRIBUTE_READONLY);

  EXPECT_TRUE(FolderExists(dir.Path()));
  EXPECT_FALSE(FileExists(dir.Path()));
  EXPECT_TRUE(FolderExists(dir.Path() + L"\\"));
  EXPECT_TRUE(FolderExists(L"C:\\"));
  for (const wchar_t* name : {L"plain.txt", L"hidden.txt", L"只读.txt"}) {
    EXPECT_TRUE(FileExists(dir / name)) << name;
    EXPECT_FALSE(FolderExists(dir / name)) << name;
  }
  SetFileAttributesW((dir / L"只读.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileQueries, MissingEmptyAndMalformedPathsAreNeitherAndLeaveNoError) {
  TempDir dir;
  for (const std::wstring& path :
       {dir / L"missing", std::wstring(), dir / L"*", dir / L"a?b", dir / L"x<y",
        dir / L"missing\\deeper"}) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(FolderExists(path));
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "pending error after query";
  }
}

TEST(ConChinese, CountsDoubleByteCharactersOfCodePage936) {
  EXPECT_FALSE(ConChinese(L""));
  EXPECT_FALSE(ConChinese(L"C:\\Program Files\\Velmo\\Setting"));
  EXPECT_TRUE(ConChinese(L"C:\\浏览器\\Setting"));
  EXPECT_TRUE(ConChinese(L"C:\\a，b"));  // one full-width comma
  // A character GBK lacks becomes a single '?': same length, so not "Chinese" by this count...
  EXPECT_FALSE(ConChinese(L"C:\\\u0e01"));
  // ...but it still cannot reach the browser intact, so the relative form is needed.
  EXPECT_TRUE(NeedsRelativeForm(L"C:\\\u0e01\\Setting"));
  EXPECT_TRUE(NeedsRelativeForm(L"C:\\浏览器\\Setting"));
  EXPECT_FALSE(NeedsRelativeForm(L"C:\\Velmo\\Setting"));
}

}  // namespace
}  // namespace velmo
