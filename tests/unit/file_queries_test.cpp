#include "support/file_queries.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <optional>

#include "support/temp_dir.h"
#include "support/text_codec.h"

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

TEST(FileQueries, EntriesPlainFilesAndSizes) {
  TempDir dir;
  WriteBytes(dir / L"plain.txt", "abc");
  WriteBytes(dir / L"hidden.txt", "x");
  WriteBytes(dir / L"system.txt", "x");
  WriteBytes(dir / L"只读.txt", "");
  CreateDirectoryW((dir / L"folder").c_str(), nullptr);
  SetFileAttributesW((dir / L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW((dir / L"system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
  SetFileAttributesW((dir / L"只读.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  struct Case {
    const wchar_t* name;
    bool exists, plain;
    std::optional<std::uint64_t> size;
  };
  const Case cases[] = {
      {L"plain.txt", true, true, 3},    {L"hidden.txt", true, false, 1},
      {L"system.txt", true, false, 1},  {L"只读.txt", true, true, 0},
      {L"folder", true, false, std::nullopt}, {L"missing", false, false, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToUtf8(c.name));
    EXPECT_EQ(EntryExists(dir / c.name), c.exists);
    EXPECT_EQ(IsPlainFile(dir / c.name), c.plain);
    EXPECT_EQ(FileSize(dir / c.name), c.size);
  }
  for (const wchar_t* name : {L"hidden.txt", L"system.txt", L"只读.txt"}) {
    SetFileAttributesW((dir / name).c_str(), FILE_ATTRIBUTE_NORMAL);
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
