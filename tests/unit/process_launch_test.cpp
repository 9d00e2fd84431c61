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

constexpr DWORD kWaitMs = 15000;
constexpr wchar_t kOperation[] = L"启动测试程序";

std::wstring FolderOf(const std::wstring& file) { return file.substr(0, file.find_last_of(L'\\')); }

std::wstring OwnFolder() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return FolderOf(path);
}

// Copies the substitute browser: a program that is not the file manager.
void PlaceSubstituteBrowser(const std::wstring& to) {
  MakeDirs(FolderOf(to));
  ASSERT_TRUE(CopyFileW((OwnFolder() + L"\\velmoexplorer.exe").c_str(), to.c_str(), FALSE))
      << "the substitute browser must be built beside the test program";
}

std::vector<std::wstring> SplitArguments(const std::wstring& commandLine) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(commandLine.c_str(), &count);
  std::vector<std::wstring> result;
  if (args == nullptr) return result;
  for (int i = 0; i < count; ++i) result.emplace_back(args[i]);
  LocalFree(args);
  return result;
}

bool WaitForExit(const UniqueHandle& process) {
  return WaitForSingleObject(process.Get(), kWaitMs) == WAIT_OBJECT_0;
}

std::wstring Upper(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring ImageOf(const UniqueHandle& process) {
  wchar_t path[MAX_PATH * 4] = {};
  DWORD size = MAX_PATH * 4;
  if (!QueryFullProcessImageNameW(process.Get(), 0, path, &size)) return {};
  return std::wstring(path, size);
}

// Changes the current folder for one test and puts the old one back.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::wstring& folder) {
    previous_.resize(GetCurrentDirectoryW(0, nullptr));
    previous_.resize(GetCurrentDirectoryW(static_cast<DWORD>(previous_.size()), previous_.data()));
    SetCurrentDirectoryW(folder.c_str());
  }
  ~CurrentFolder() { SetCurrentDirectoryW(previous_.c_str()); }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::wstring previous_;
};

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

TEST(StartProgram, FailureCarriesTheOperationTheProgramAndTheSystemsReason) {
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
      StartProgram(c.program, {}, WindowState::Normal, kOperation);
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

TEST(FileManager, IsTheWindowsFoldersExplorerEvenWithOneInTheCurrentFolder) {
  wchar_t windows[MAX_PATH] = {};
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring expected = std::wstring(windows) + L"\\explorer.exe";
  EXPECT_EQ(lstrcmpiW(FileManagerPath().c_str(), expected.c_str()), 0) << ToUtf8(FileManagerPath());

  TempDir dir(L"file manager");
  PlaceSubstituteBrowser(dir / L"explorer.exe");
  const std::wstring folder = dir / L"缓存 folder";
  MakeDirs(folder);
  const CurrentFolder current(dir.Path());

  const StartedProcess started = OpenFolderInFileManager(folder, WindowState::Normal, kOperation);

  // Wine reports its built-in file manager under system32, Windows under the Windows folder.
  const std::wstring image = ImageOf(started.process);
  EXPECT_EQ(lstrcmpiW(image.substr(image.find_last_of(L'\\') + 1).c_str(), L"explorer.exe"), 0);
  EXPECT_EQ(Upper(image).find(Upper(dir.Path())), std::wstring::npos) << ToUtf8(image);
  TerminateProcess(started.process.Get(), 0);
  WaitForExit(started.process);

  try {
    OpenFolderInFileManager(dir / L"a\" /root,C:", WindowState::Normal, kOperation);
    ADD_FAILURE() << "a quote in the folder reached the command line";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.Code(), static_cast<std::uint32_t>(ERROR_INVALID_NAME));
  }
}

}  // namespace
}  // namespace velmo
