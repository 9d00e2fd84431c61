// View cache files, Set as default browser and Launch through the real window, in an
// installation whose path holds spaces and is surrounded by programs that a search for the
// browser or the file manager would find first.
#include <windows.h>
// Needs the types of windows.h.
#include <shellapi.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "window/main_window_layout.h"

namespace velmo::e2e {
namespace {

using velmo::testing::MakeDirs;
using velmo::testing::RemoveTree;
using velmo::testing::TempDir;
using velmo::testing::WriteBytes;

constexpr wchar_t kNotPortable[] = L"检测到未成功绿化。";
constexpr wchar_t kDefaultBrowserSet[] = L"成功设置Velmo浏览器为默认浏览器";
constexpr wchar_t kFriendly[] = L"友情提示";
constexpr wchar_t kBrowserWindowClass[] = L"VelmoSubstituteBrowser";

std::vector<std::wstring> Arguments(const BrowserStart& start) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(start.commandLine.c_str(), &count);
  std::vector<std::wstring> result;
  if (args == nullptr) return result;
  for (int i = 0; i < count; ++i) result.emplace_back(args[i]);
  LocalFree(args);
  return result;
}

// The file manager's windows showing a folder with this name (Wine: ExplorerWClass).
std::vector<HWND> FolderWindows(const std::wstring& title) {
  std::vector<HWND> windows = FindTopLevelWindows(L"ExplorerWClass", title);
  for (HWND window : FindTopLevelWindows(L"CabinetWClass", title)) windows.push_back(window);
  return windows;
}

template <typename Condition>
bool PollUntil(Condition condition) {
  const DWORD start = GetTickCount();
  do {
    if (condition()) return true;
    Sleep(20);
  } while (GetTickCount() - start < kDefaultWaitMs);
  return condition();
}

class LaunchCommands : public ::testing::Test {
 protected:
  // <root>\sp ace\inst holds the tool and the browser. <root>\sp.exe is what an unquoted
  // "<root>\sp ace\inst\velmoexplorer.exe" runs; inst\explorer.exe is what "explorer" finds
  // first. Both are copies of the substitute browser, so they log any start.
  LaunchCommands() : root_(L"velmo-e2e launch"), install_(root_ / L"sp ace\\inst") {}

  // Wine reports every process elevated, with a linked token: the tool starts the browser itself
  // only beside a desktop shell of the same account and elevation, as on such a Windows desktop.
  virtual bool WithDesktopShell() const { return true; }

  void SetUp() override {
    if (WithDesktopShell()) shell_.emplace();
    MakeDirs(install_);
    const std::wstring tool = SetUpInstallation(install_);
    const std::wstring substitute = TestProgramFolder() + L"\\velmoexplorer.exe";
    ASSERT_TRUE(CopyFileW(substitute.c_str(), (root_ / L"sp.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(substitute.c_str(), (install_ + L"\\explorer.exe").c_str(), FALSE));
    MakeDirs(root_ / L"AppData");
    MakeDirs(root_ / L"Temp");
    tool_.emplace(tool, EnvironmentChanges{{L"APPDATA", root_ / L"AppData"},
                                           {L"TEMP", root_ / L"Temp"}});
    ASSERT_NE(tool_->WaitForMainWindow(), nullptr);
  }

  void TearDown() override {
    CloseTopLevelWindows(kBrowserWindowClass);
    if (tool_) {
      EXPECT_EQ(tool_->Close(), std::optional<DWORD>(0)) << "the tool did not stay open";
    }
    EXPECT_TRUE(ReadBrowserLog(root_.Path()).empty()) << "the planted sp.exe ran";
  }

  std::wstring Browser() const { return install_ + L"\\velmoexplorer.exe"; }
  std::wstring PathFile() const { return install_ + L"\\path"; }

  // Clicks a button and returns the box that follows, answered with OK.
  BoxInfo ClickAndReadBox(int button) {
    tool_->Click(button);
    const std::optional<BoxInfo> box = tool_->WaitForBox();
    if (!box) {
      ADD_FAILURE() << "no message box appeared";
      return {};
    }
    tool_->Answer(*box, IDOK);
    return *box;
  }

  void ExpectNotPortableBox(const BoxInfo& box, const char* situation) {
    EXPECT_EQ(box.text, kNotPortable) << situation;
    EXPECT_EQ(box.title, kFriendly) << situation;
    EXPECT_EQ(box.iconStyle, static_cast<unsigned>(MB_ICONINFORMATION)) << situation;
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK}) << situation;
  }

  // Waits until the browser's log holds `count` starts and returns them.
  std::vector<BrowserStart> BrowserStarts(std::size_t count) {
    PollUntil([&] { return ReadBrowserLog(install_).size() >= count; });
    return ReadBrowserLog(install_);
  }

  std::optional<DesktopShell> shell_;
  TempDir root_;
  std::wstring install_;
  std::optional<ToolProcess> tool_;
};

class LaunchWithoutDesktopShell : public LaunchCommands {
 protected:
  bool WithDesktopShell() const override { return false; }
};

TEST_F(LaunchCommands, ViewCacheFilesGivesTheOneNoticeWhenNoCacheFolderIsRecorded) {
  const std::size_t windowsBefore = FindTopLevelWindows(L"ExplorerWClass").size();
  ExpectNotPortableBox(ClickAndReadBox(kViewCacheButton), "no path file");

  WriteBytes(PathFile(), ToAnsi(root_.Path()) + "\r\n");
  ExpectNotPortableBox(ClickAndReadBox(kViewCacheButton), "a path file of one line");

  const std::wstring deleted = root_ / L"deleted cache";
  MakeDirs(deleted);
  WriteBytes(PathFile(), ToAnsi(install_) + "\\Setting\r\n" + ToAnsi(deleted) + "\r\n");
  RemoveTree(deleted);
  ExpectNotPortableBox(ClickAndReadBox(kViewCacheButton), "line 2 names a deleted folder");

  EXPECT_TRUE(ReadBrowserLog(install_).empty()) << "something was started";
  EXPECT_EQ(FindTopLevelWindows(L"ExplorerWClass").size(), windowsBefore);
}

TEST_F(LaunchCommands, ViewCacheFilesOpensLineTwoInTheSystemsFileManager) {
  const std::wstring folderName = L"Webkit cache 缓存";
  MakeDirs(root_ / folderName);
  WriteBytes(PathFile(), "Setting\r\n" + ToAnsi(root_ / folderName) + "\r\n");

  tool_->Click(kViewCacheButton);

  EXPECT_TRUE(PollUntil([&] { return !FolderWindows(folderName).empty(); }))
      << "no file manager window for the cache folder";
  CloseTopLevelWindows(L"ExplorerWClass", folderName);
  CloseTopLevelWindows(L"CabinetWClass", folderName);
  EXPECT_TRUE(ReadBrowserLog(install_).empty()) << "the explorer.exe beside the tool ran";
  // The click showed no box: the next box is the one of the next click.
  RemoveTree(PathFile());
  ExpectNotPortableBox(ClickAndReadBox(kViewCacheButton), "after the path file was removed");
}

TEST_F(LaunchCommands, LaunchAndSetAsDefaultStartTheBrowserByItsFullPath) {
  tool_->Click(kLaunchButton);
  std::vector<BrowserStart> starts = BrowserStarts(1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(Arguments(starts[0]), std::vector<std::wstring>{Browser()});
  EXPECT_TRUE(starts[0].useShowWindow);
  EXPECT_EQ(starts[0].showWindow, SW_SHOWNORMAL);

  // Launch showed no box: the first box is Set as default's success.
  const BoxInfo box = ClickAndReadBox(kDefaultBrowserButton);
  EXPECT_EQ(box.text, kDefaultBrowserSet);
  EXPECT_EQ(box.title, kFriendly);
  EXPECT_EQ(box.iconStyle, static_cast<unsigned>(MB_ICONINFORMATION));
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  starts = BrowserStarts(2);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(Arguments(starts[1]), (std::vector<std::wstring>{Browser(), L"-velmodefault"}));
  EXPECT_TRUE(starts[1].useShowWindow);
  EXPECT_EQ(starts[1].showWindow, SW_SHOWMINIMIZED);
}

TEST_F(LaunchCommands, ABrowserRemovedAfterStartUpGivesAnErrorAndNoSuccess) {
  ASSERT_TRUE(DeleteFileW(Browser().c_str()));
  const std::wstring expectedStart =
      L"启动Velmo浏览器失败。\r\n路径：" + Browser() + L"\r\n原因：";

  for (const int button : {kLaunchButton, kDefaultBrowserButton}) {
    const BoxInfo box = ClickAndReadBox(button);
    EXPECT_EQ(box.text.substr(0, expectedStart.size()), expectedStart) << ToUtf8(box.text);
    EXPECT_GT(box.text.size(), expectedStart.size()) << "the system's reason is missing";
    EXPECT_EQ(box.title, L"Velmo浏览器绿化工具");
    EXPECT_EQ(box.iconStyle, static_cast<unsigned>(MB_ICONERROR));
  }
  // No success box followed the failed Set as default: the next box is the next click's.
  ExpectNotPortableBox(ClickAndReadBox(kViewCacheButton), "after the failed launches");
}

// Wine only: elevated with a linked token and no shell to start the browser, the tool's last
// route, a normal-user token, cannot start anything under Wine (on Windows it would).
TEST_F(LaunchWithoutDesktopShell, AnElevatedToolWithNoWayToStartTheBrowserUnelevatedAsksTheUser) {
  const BoxInfo box = ClickAndReadBox(kLaunchButton);
  EXPECT_EQ(box.text,
            L"本工具正在以管理员身份运行，但无法以当前用户的普通权限启动Velmo浏览器。以管理员身份"
            L"运行的浏览器会让打开的网页获得过高的权限，所以没有启动它。\r\n"
            L"请从桌面或开始菜单直接启动Velmo浏览器。");
  EXPECT_TRUE(ReadBrowserLog(install_).empty()) << "the browser was started elevated";
}

}  // namespace
}  // namespace velmo::e2e
