#include "support/directory_listing.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace velmo {
namespace {

using testing::TempDir;
using testing::WriteBytes;

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

}  // namespace
}  // namespace velmo
