#include "support/process_launch.h"

#include <windows.h>
// Needs the types of windows.h.
#include <shellapi.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/platform_error.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"

namespace velmo {
namespace {

using testing::MakeDirs;
using testing::TempDir;
using testing::WriteBytes;

constexpr wchar_t kOperation[] = L"启动测试程序";

std::vector<std::wstring> SplitArguments(const std::wstring& commandLine) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(commandLine.c_str(), &count);
  std::vector<std::wstring> result;
  if (args == nullptr) return result;
  for (int i = 0; i < count; ++i) result.emplace_back(args[i]);
  LocalFree(args);
  return result;
}

TEST(CommandLine, EveryArgumentReadsBackUnchanged) {
  const std::wstring program = L"C:\\Program Files\\Velmo 浏览器\\velmoexplorer.exe";
  const std::vector<std::vector<std::wstring>> cases = {
      {},
      {L"-velmodefault"},
      {L""},
      {L"two words", L"tab\there", L"new\nline"},
      {L"say \"hi\"", L"\"", L"a\\\"b", L"a\\\\\"b"},
      {L"ends\\", L"sp ace\\", L"C:\\", L"\\\\server\\share\\", L"back\\\\slashes"},
      {L"中文 路径", L"-x=1,2;3"},
  };
  for (const std::vector<std::wstring>& arguments : cases) {
    std::vector<std::wstring> expected{program};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    const std::wstring commandLine = BuildCommandLine(program, arguments);
    EXPECT_EQ(SplitArguments(commandLine), expected) << ToUtf8(commandLine);
  }
  // Plain switches stay as the browser has always received them.
  EXPECT_EQ(BuildCommandLine(L"D:\\a b\\velmoexplorer.exe", {L"-velmodefault"}),
            L"\"D:\\a b\\velmoexplorer.exe\" -velmodefault");
}

TEST(StartProgramBy, FailureCarriesTheOperationTheProgramAndTheSystemsReason) {
  TempDir dir(L"launch");
  WriteBytes(dir / L"not a program.exe", "plain text");
  struct Case {
    std::wstring program;
    std::optional<DWORD> code;  // nullopt: whatever the system says
  };
  const Case cases[] = {
      {dir / L"missing.exe", ERROR_FILE_NOT_FOUND},
      {dir / L"no folder\\missing.exe", std::nullopt},
      {dir / L"quote\".exe", ERROR_INVALID_NAME},
      {dir / L"not a program.exe", std::nullopt},
  };
  for (const Case& c : cases) {
    try {
      StartProgramBy({StartRoute::kDirect}, c.program, {}, WindowState::Normal, kOperation);
      ADD_FAILURE() << "started " << ToUtf8(c.program);
    } catch (const PlatformError& error) {
      EXPECT_EQ(error.Operation(), kOperation);
      EXPECT_EQ(error.Path(), c.program);
      if (c.code) {
        EXPECT_EQ(error.Code(), *c.code) << ToUtf8(c.program);
      } else {
        EXPECT_NE(error.Code(), 0u) << ToUtf8(c.program);
      }
    }
  }
}

TEST(FileManager, IsTheWindowsFoldersExplorerAndTakesNoQuote) {
  wchar_t windows[MAX_PATH] = {};
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring expected = std::wstring(windows) + L"\\explorer.exe";
  EXPECT_EQ(lstrcmpiW(FileManagerPath().c_str(), expected.c_str()), 0) << ToUtf8(FileManagerPath());

  TempDir dir(L"file manager");
  try {
    OpenFolderInFileManager({StartRoute::kDirect}, dir / L"a\" /root,C:", WindowState::Normal,
                            kOperation);
    ADD_FAILURE() << "a quote in the folder reached the command line";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.Code(), static_cast<std::uint32_t>(ERROR_INVALID_NAME));
  }
}

}  // namespace
}  // namespace velmo
