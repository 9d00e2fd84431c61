// The running-program check against real processes: the substitute browser started from paths
// chosen to catch case, partial-name and code-page mistakes.
#include "support/search_process.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "running_browser.h"
#include "support/temp_dir.h"

namespace velmo::e2e {
namespace {

using velmo::testing::MakeDirs;
using velmo::testing::TempDir;

// A token no other process's path holds.
std::wstring Unique(const std::wstring& stem) {
  return stem + std::to_wstring(GetCurrentProcessId()) + L"x" + std::to_wstring(GetTickCount64());
}

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

TEST(SearchProcess, FindsTheBrowserByItsFullPathWhateverTheCase) {
  TempDir dir(L"search");
  const std::wstring folder = dir / Unique(L"BIN");
  MakeDirs(folder);
  const std::wstring tail = folder.substr(dir.Path().size() + 1) + L"\\VELMOEXPLORER.EXE";
  RunningBrowser browser(folder + L"\\VELMOEXPLORER.EXE");

  EXPECT_TRUE(IsProcessRunning(L"velmoexplorer.exe"));
  EXPECT_TRUE(IsProcessRunning(Lower(tail)));
  EXPECT_TRUE(IsProcessRunning(L"\\VelmoExplorer.exe"));

  browser.Stop();
  EXPECT_FALSE(IsProcessRunning(Lower(tail)));
}

TEST(SearchProcess, NameOnlyHasToOccurInThePath) {
  TempDir dir(L"search");
  const std::wstring folder = dir / (Unique(L"old") + L"velmoexplorer.exe.d");
  MakeDirs(folder);
  RunningBrowser browser(folder + L"\\browser.exe");
  EXPECT_TRUE(IsProcessRunning(folder.substr(dir.Path().size() + 1)));
  EXPECT_TRUE(IsProcessRunning(L"velmoexplorer.exe.d\\browser"));
}

TEST(SearchProcess, PathsAreReadWideAndWhole) {
  // A character the ANSI code page lacks, and a folder name that takes more than 260 bytes in
  // that code page while staying within the usual path length in characters.
  TempDir dir(L"search");
  const std::wstring folder = dir / (Unique(L"\u0e01") + L"\\" + std::wstring(100, L'浏'));
  MakeDirs(folder);
  const std::wstring exe = folder + L"\\velmoexplorer.exe";
  ASSERT_LT(exe.size(), static_cast<std::size_t>(MAX_PATH));
  RunningBrowser browser(exe);
  EXPECT_TRUE(IsProcessRunning(exe));
}

TEST(SearchProcess, NothingMatchesAnAbsentOrEmptyName) {
  EXPECT_FALSE(IsProcessRunning(Unique(L"no-such-program-") + L".exe"));
  EXPECT_FALSE(IsProcessRunning(L""));
  // The test program itself is a process like any other.
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring ownName = std::wstring(self, length).substr(
      std::wstring(self, length).find_last_of(L'\\') + 1);
  CharUpperBuffW(self, length);
  EXPECT_TRUE(IsProcessRunning(std::wstring(self, length)));
  EXPECT_TRUE(IsProcessRunning(ownName));
}

}  // namespace
}  // namespace velmo::e2e
