#include "support/folder_copy.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/shell_api.h"
#include "support/temp_dir.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

using testing::MakeDirs;
using testing::ReadBytes;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteBytes;

// A profile-like tree: nested folders, an empty folder, a read-only and a hidden file, Chinese
// names and a name the ANSI code page cannot write.
void MakeSampleTree(const std::wstring& root) {
  WriteBytes(root + L"\\Default\\Preferences", "{\"homepage\":\"about:blank\"}");
  WriteBytes(root + L"\\Default\\Extensions\\插件\\manifest.json", "{}");
  WriteBytes(root + L"\\书签.txt", "\xca\xe9\xc7\xa9");
  WriteBytes(root + L"\\readonly.dat", "ro");
  WriteBytes(root + L"\\hidden.dat", "hidden");
  WriteBytes(root + L"\\\u0e01\u0151.txt", "outside the code page");
  MakeDirs(root + L"\\Empty");
  SetFileAttributesW((root + L"\\readonly.dat").c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW((root + L"\\hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
}

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

// A list of paths as the shell takes it, with both of the NULs that end it.
std::wstring ShellListWithEnd(const wchar_t* list) {
  std::size_t length = 0;
  while (list[length] != L'\0' || list[length + 1] != L'\0') ++length;
  return std::wstring(list, length + 2);
}

// What the shell was asked to do.
struct ShellRequest {
  HWND owner;
  UINT function;
  std::wstring from;
  std::wstring to;
  FILEOP_FLAGS flags;
};

TEST(CopyFolder, HandsTheShellOneCopyWithTheFlagsOfItsProgressSetting) {
  struct Case {
    bool showProgress;
    FILEOP_FLAGS flags;
  };
  const Case cases[] = {
      {true, 0x0000},   // the shell's progress window and its own questions
      {false, 0x0204},  // FOF_SILENT | FOF_NOCONFIRMMKDIR
  };
  for (const Case& c : cases) {
    TempDir dir(L"copy");
    WriteBytes(dir / L"profile\\x.txt", "x");
    std::vector<ShellRequest> requests;
    const auto recordAndRun = [&](SHFILEOPSTRUCTW& operation) {
      requests.push_back({operation.hwnd, operation.wFunc, ShellListWithEnd(operation.pFrom),
                          ShellListWithEnd(operation.pTo), operation.fFlags});
      return ShellFileOperation(operation);
    };

    EXPECT_TRUE(CopyFolder(dir / L"profile", dir / L"out", {}, c.showProgress, recordAndRun));

    ASSERT_EQ(requests.size(), 1u) << c.showProgress;
    EXPECT_EQ(requests[0].owner, nullptr);
    EXPECT_EQ(requests[0].function, 0x0002u);  // FO_COPY
    EXPECT_EQ(requests[0].from, dir / L"profile" + std::wstring(2, L'\0'));
    EXPECT_EQ(requests[0].to, dir / L"out" + std::wstring(2, L'\0'));
    EXPECT_EQ(requests[0].flags, c.flags) << c.showProgress;
    EXPECT_EQ(ReadBytes(dir / L"out\\x.txt"), "x");
  }
}

TEST(CopyFolder, AShellThatReportsSuccessWithoutCopyingIsNotBelieved) {
  TempDir dir(L"copy");
  WriteBytes(dir / L"profile\\sub\\x.txt", "x");
  // The shell makes the folders, leaves the file out and says all went well.
  const auto claimSuccess = [&](SHFILEOPSTRUCTW&) {
    MakeDirs(dir / L"out\\sub");
    return 0;
  };
  const CopyResult copy = CopyFolder(dir / L"profile", dir / L"out", {}, false, claimSuccess);
  EXPECT_FALSE(copy);
  EXPECT_EQ(copy.notCopied, dir / L"profile\\sub\\x.txt");  // named in the failure's box
}

// The user's Cancel in the shell's progress window is told apart from a failure: an entry the
// shell skipped after an error also sets fAnyOperationsAborted.
TEST(CopyFolder, TheUsersCancelIsReportedAsSuch) {
  const struct { int result; bool aborted, cancelled; } rows[] = {
      {1223, true, true}, {0x75, false, true}, {0, true, false}, {32, true, false},
      {5, false, false}};
  TempDir dir(L"copy");
  WriteBytes(dir / L"profile\\x.txt", "x");
  for (const auto& row : rows) {
    const CopyResult copy = CopyFolder(dir / L"profile", dir / L"out", {}, true,
                                       [&](SHFILEOPSTRUCTW& operation) {
                                         operation.fAnyOperationsAborted = row.aborted;
                                         return row.result;
                                       });
    EXPECT_TRUE(!copy && copy.cancelled == row.cancelled) << row.result;
  }
}

TEST(CopyFolder, MissingDestinationBecomesACompleteCopy) {
  for (const bool showProgress : {true, false}) {
    TempDir dir(L"copy");
    const std::wstring source = dir / L"源 profile";
    MakeSampleTree(source);
    const auto before = TreeSnapshot(source);
    // Missing parents are made too, and a name outside the code page is reached as given.
    const std::wstring destination = dir / L"out\\\u0e01 设置";

    ASSERT_TRUE(CopyFolder(source, destination, {}, showProgress)) << showProgress;

    EXPECT_EQ(TreeSnapshot(destination), before);
    EXPECT_EQ(TreeSnapshot(source), before);  // the source is left as it was
    EXPECT_TRUE(Attributes(destination + L"\\readonly.dat") & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(Attributes(destination + L"\\hidden.dat") & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(Attributes(dir / L"out\\? 设置"), INVALID_FILE_ATTRIBUTES);
    SetFileAttributesW((source + L"\\readonly.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW((destination + L"\\readonly.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST(CopyFolder, FailuresAreReportedNotHidden) {
  TempDir dir(L"copy");
  // A missing source: nothing is made.
  EXPECT_FALSE(CopyFolder(dir / L"missing", dir / L"out1", {}, true));
  EXPECT_EQ(Attributes(dir / L"out1"), INVALID_FILE_ATTRIBUTES);

  // A file that another handle holds without sharing cannot be read: the copy is incomplete,
  // whether or not the shell says so.
  const std::wstring source = dir / L"profile";
  WriteBytes(source + L"\\free.txt", "free");
  WriteBytes(source + L"\\sub\\held.txt", "held");
  {
    const UniqueFileHandle held(CreateFileW((source + L"\\sub\\held.txt").c_str(), GENERIC_READ,
                                            0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(CopyFolder(source, dir / L"out2", {}, false));
  }
  // With the file free again the same copy succeeds.
  EXPECT_TRUE(CopyFolder(source, dir / L"out3", {}, false));
  EXPECT_EQ(ReadBytes(dir / L"out3\\sub\\held.txt"), "held");
}

// Left out: the entries named (in any letter case), never a name that only resembles one. A
// destination that exists, or a file that cannot be read, fails the copy.
TEST(CopyFolder, CopiesAllButTheExcludedEntriesAndLeavesTheSourceAsItWas) {
  TempDir dir(L"copy");
  const std::wstring source = dir / L"Setting";
  MakeSampleTree(source);
  WriteBytes(source + L"\\Webkit\\Cache3\\kept", "kept");
  auto expected = TreeSnapshot(source);
  WriteBytes(source + L"\\Webkit\\cache\\data_0", "left out");
  WriteBytes(source + L"\\VelmoVideoCache\\clip.tmp", "left out");
  const auto before = TreeSnapshot(source);
  const std::vector<std::wstring> excluded{L"Webkit\\Cache", L"VelmoVideoCache"};

  ASSERT_TRUE(CopyFolder(source, dir / L"copy", excluded, true));
  EXPECT_EQ(TreeSnapshot(dir / L"copy"), expected);
  EXPECT_EQ(TreeSnapshot(source), before);
  EXPECT_TRUE(Attributes(dir / L"copy\\hidden.dat") & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(CopyFolder(source, dir / L"copy", excluded, false));
  const UniqueFileHandle held(CreateFileW((source + L"\\hidden.dat").c_str(), GENERIC_READ, 0,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(CopyFolder(source, dir / L"out", excluded, false));
  SetFileAttributesW((source + L"\\readonly.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW((dir / L"copy\\readonly.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace velmo
