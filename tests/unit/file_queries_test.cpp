#include "support/file_queries.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/platform_error.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"

namespace velmo {
namespace {

using testing::ReadBytes;
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

// "name path folder|file size" for each entry visited, in visiting order; "*" lists everything.
std::vector<std::wstring> Visited(ListingEnd& end, const std::wstring& folder,
                                  const std::wstring& pattern, std::size_t stopAfter = 100) {
  std::vector<std::wstring> seen;
  const auto visit = [&](const DirectoryEntry& entry) {
    seen.push_back(entry.name + L" " + entry.path + (entry.IsFolder() ? L" folder " : L" file ") +
                   std::to_wstring(entry.size));
    return seen.size() < stopAfter;
  };
  end = pattern == L"*" ? ForEachEntry(folder, visit) : ForEachEntryMatching(folder, pattern, visit);
  return seen;
}

TEST(DirectoryListing, VisitsEachEntryButTheDotsAndTellsHowItEnded) {
  TempDir dir(L"listing 目录");
  WriteBytes(dir / L"vpf1A.tmp", "12345");
  CreateDirectoryW((dir / L"子目录").c_str(), nullptr);
  CreateDirectoryW((dir / L"empty").c_str(), nullptr);
  const std::wstring sub = dir / L"子目录";
  WriteBytes(sub + L"\\a.txt", "");

  ListingEnd end{};
  std::vector<std::wstring> all = Visited(end, dir.Path(), L"*");
  std::sort(all.begin(), all.end());
  EXPECT_EQ(end, ListingEnd::kComplete);
  EXPECT_EQ(all, (std::vector<std::wstring>{L"empty " + (dir / L"empty") + L" folder 0",
                                            L"vpf1A.tmp " + (dir / L"vpf1A.tmp") + L" file 5",
                                            L"子目录 " + sub + L" folder 0"}));
  EXPECT_EQ(Visited(end, dir.Path(), L"vpf*.tmp"),
            std::vector<std::wstring>{L"vpf1A.tmp " + (dir / L"vpf1A.tmp") + L" file 5"});
  EXPECT_EQ(end, ListingEnd::kComplete);
  EXPECT_EQ(Visited(end, sub, L"*"), std::vector<std::wstring>{L"a.txt " + sub + L"\\a.txt file 0"});
  EXPECT_EQ(end, ListingEnd::kComplete);

  EXPECT_TRUE(Visited(end, dir / L"empty", L"*").empty());
  EXPECT_EQ(end, ListingEnd::kComplete);
  EXPECT_TRUE(Visited(end, dir.Path(), L"nothing*").empty());
  EXPECT_EQ(end, ListingEnd::kComplete);
  EXPECT_EQ(Visited(end, dir.Path(), L"*", 1).size(), 1u);
  EXPECT_EQ(end, ListingEnd::kStopped);
  EXPECT_TRUE(Visited(end, dir / L"missing", L"*").empty());
  EXPECT_EQ(end, ListingEnd::kFailed);
  EXPECT_EQ(GetLastError(), 3u);  // ERROR_PATH_NOT_FOUND, kept past the end of the search
}

TEST(FileContents, WrittenBytesReplaceTheFileAndReadBackExactly) {
  TempDir dir(L"file contents 内容");
  const std::wstring file = dir / L"data";
  WriteBytes(file, std::string(70000, 'o'));  // longer than any content below: cut to length
  const std::string cases[] = {
      "", "a\r\n", std::string("\0\x1a\xff", 3), std::string(65536, 'x') + "y",
      std::string(3u << 20, 'z'),  // more than one write of 1 MB
  };
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(bytes.size());
    WriteFileBytes(file, bytes, L"写", L"D:\\shown");
    EXPECT_EQ(ReadBytes(file), bytes);
    EXPECT_EQ(ReadFileBytes(file, L"读"), bytes);
  }
}

TEST(FileContents, FailuresCarryTheOperationThePathAndTheReason) {
  TempDir dir;
  WriteBytes(dir / L"held", "x");
  const UniqueFileHandle held = CreateFileForWriting(dir / L"held", L"写入", dir / L"held");
  ASSERT_TRUE(held.Valid());
  // Shared with no one: a second writer is refused while the first has the file (with
  // ERROR_SHARING_VIOLATION: "write over a held file" below).
  EXPECT_THROW(CreateFileForWriting(dir / L"held", L"写入", dir / L"held"), PlatformError);

  struct Case {
    const char* what;
    bool write;
    std::wstring path;
    std::wstring reportedPath;
    std::uint32_t code;  // 0: any code
  };
  const Case cases[] = {
      {"read a missing file", false, dir / L"missing", dir / L"missing", 2},
      {"read a held file", false, dir / L"held", dir / L"held", 32},
      {"write in a missing folder", true, dir / L"no folder\\file", L"D:\\shown", 3},
      {"write over a held file", true, dir / L"held", L"D:\\shown", 32},
      {"write over a folder", true, dir.Path(), L"D:\\shown", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      if (c.write) {
        WriteFileBytes(c.path, "bytes", L"写入", c.reportedPath);
      } else {
        ReadFileBytes(c.path, L"读取");
      }
      ADD_FAILURE() << "no error";
    } catch (const PlatformError& error) {
      EXPECT_EQ(error.Operation(), c.write ? L"写入" : L"读取");
      EXPECT_EQ(error.Path(), c.reportedPath);
      if (c.code != 0) {
        EXPECT_EQ(error.Code(), c.code);
      }
      EXPECT_NE(error.Code(), 0u);
    }
  }
}

// Each file takes whole clusters of the destination (20,000 files of 2 KB need 625 MB on a stick
// of 32 KB clusters, not 39 MB); the caches are left out; the longest paths are found.
TEST(DiskSpace, EachFileTakesWholeClustersOfTheDestination) {
  testing::TempDir dir(L"measure");
  testing::WriteBytes(dir / L"empty", "");
  testing::WriteBytes(dir / L"Default\\Local Storage\\b.txt", "12");
  testing::WriteBytes(dir / L"Default\\longer-name.txt", std::string(5000, 'x'));
  testing::WriteBytes(dir / L"Webkit\\Cache\\the-longest-name-of-all-but-a-cache.bin", "c");
  const struct { unsigned cluster, bytes; } rows[] = {{0, 5002}, {4096, 12288}, {32768, 65536}};
  for (const auto& row : rows) {
    const CopyMeasure measure =
        MeasureCopy(dir.Path(), {dir / L"webkit\\cache", dir / L"x", dir / L"y"}, row.cluster);
    EXPECT_EQ(measure.bytes, row.bytes) << row.cluster;
    EXPECT_EQ(measure.longestFile, L"Default\\Local Storage\\b.txt");
    EXPECT_EQ(measure.longestFolder, L"Default\\Local Storage");
  }
}

}  // namespace
}  // namespace velmo
