#include "commands/launch_commands.h"

#include <windows.h>
// Needs the types of windows.h.
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "support/platform_error.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

using testing::MakeContext;
using testing::MakeDirs;
using testing::ScriptedUi;
using testing::TempDir;
using testing::WriteBytes;

std::set<DWORD> FileManagerProcesses() {
  std::set<DWORD> ids;
  UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (lstrcmpiW(entry.szExeFile, L"explorer.exe") == 0) ids.insert(entry.th32ProcessID);
  }
  return ids;
}

void ExpectOnlyNotPortableBox(const ScriptedUi& ui, const std::string& situation) {
  ASSERT_EQ(ui.boxes.size(), 1u) << situation;
  EXPECT_EQ(ui.boxes[0].text, L"检测到未成功绿化。") << situation;
  EXPECT_EQ(ui.boxes[0].title, L"友情提示") << situation;
  EXPECT_EQ(ui.boxes[0].style, 0x40u) << situation;
}

TEST(ViewCacheFiles, MissingPathFileOrCacheFolderGivesTheOneNoticeAndStartsNothing) {
  TempDir dir(L"view cache");
  const std::wstring install = dir / L"inst";
  const std::wstring deleted = dir / L"gone";
  const std::wstring aFile = dir / L"file.txt";
  MakeDirs(install);
  WriteBytes(aFile, "x");
  const Context context = MakeContext(install, {});
  const std::set<DWORD> before = FileManagerProcesses();

  struct Case {
    std::string situation;
    std::optional<std::string> pathFileBytes;  // nullopt: no path file at all
  };
  const Case cases[] = {
      {"no path file", std::nullopt},
      {"empty path file", ""},
      {"one line only", ToAnsi(dir / L"ca che") + "\r\n"},
      {"line 2 names a deleted folder", "Setting\r\n" + ToAnsi(deleted) + "\r\n"},
      {"line 2 names a file", "Setting\r\n" + ToAnsi(aFile) + "\r\n"},
      {"line 2 in line 1's place", ToAnsi(dir.Path()) + "\r\n\r\n"},
  };
  for (const Case& c : cases) {
    testing::RemoveTree(install + L"\\path");
    if (c.pathFileBytes) WriteBytes(install + L"\\path", *c.pathFileBytes);
    ScriptedUi ui;
    ViewCacheFiles(context, ui);
    ExpectOnlyNotPortableBox(ui, c.situation);
  }
  // A folder where the path file should be is no path file either.
  testing::RemoveTree(install + L"\\path");
  MakeDirs(install + L"\\Path");
  ScriptedUi ui;
  ViewCacheFiles(context, ui);
  ExpectOnlyNotPortableBox(ui, "a folder named Path");

  // The file manager is started synchronously, so a wrongly started one would be listed now.
  EXPECT_EQ(FileManagerProcesses(), before);
}

TEST(ViewCacheFiles, UnreadablePathFileIsReportedAsAnErrorWithoutANotice) {
  TempDir dir(L"view cache");
  const std::wstring install = dir / L"inst";
  WriteBytes(install + L"\\path", "Setting\r\n" + ToAnsi(dir.Path()) + "\r\n");
  const UniqueFileHandle held(CreateFileW((install + L"\\path").c_str(), GENERIC_READ, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);
  ScriptedUi ui;
  EXPECT_THROW(ViewCacheFiles(MakeContext(install, {}), ui), PlatformError);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(ViewCacheFiles, TheFileManagerStartsOnlyForTheDesktopUserAndByARouteTheRightsAllow) {
  TempDir dir(L"view cache");
  const std::wstring install = dir / L"inst";
  WriteBytes(install + L"\\path", "Setting\r\n" + ToAnsi(dir.Path()) + "\r\n");
  const std::set<DWORD> before = FileManagerProcesses();
  const struct { RightsDecision rights; std::wstring boxStart; } rows[] = {
      {{DesktopAccount::kOtherAccount, false, {StartRoute::kDirect}}, L"本工具正在以另一个用户账户"},
      {{DesktopAccount::kDesktopUser, true, {}},
       L"本工具正在以管理员身份运行，但无法以当前用户的普通权限打开资源管理器。以管理员身份运行的"
       L"资源管理器会让从中打开的程序获得过高的权限，所以没有打开缓存文件夹。\r\n"
       L"请从桌面打开缓存文件夹：\r\n" + dir.Path()},
  };
  for (const auto& row : rows) {
    ScriptedUi ui;
    ViewCacheFiles(MakeContext(install, {}, row.rights), ui);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(ui.boxes[0].text.starts_with(row.boxStart)) << ToUtf8(ui.boxes[0].text);
    EXPECT_EQ(ui.boxes[0].title, L"Velmo浏览器绿化工具");
  }
  EXPECT_EQ(FileManagerProcesses(), before);
}

TEST(BrowserLaunch, MissingBrowserIsAnErrorNamingItAndNoSuccessIsClaimed) {
  TempDir dir(L"launch");
  const std::wstring install = dir / L"sp ace";
  MakeDirs(install);
  const Context context = MakeContext(install, {});
  const std::wstring browser = install + L"\\velmoexplorer.exe";

  for (const bool setDefault : {false, true}) {
    ScriptedUi ui;
    try {
      if (setDefault) {
        SetAsDefaultBrowser(context, ui);
      } else {
        LaunchBrowser(context, ui);
      }
      ADD_FAILURE() << "a missing browser was started";
    } catch (const PlatformError& error) {
      EXPECT_EQ(error.Operation(), L"启动Velmo浏览器");
      EXPECT_EQ(error.Path(), browser);
      EXPECT_EQ(error.Code(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
      EXPECT_NE(error.Describe().find(browser), std::wstring::npos);
    }
    EXPECT_TRUE(ui.boxes.empty()) << "set as default: " << setDefault;
  }
}

TEST(BrowserLaunch, SetAsDefaultStartsTheBrowserOnlyByARouteTheRightsAllow) {
  TempDir dir(L"launch");
  std::wstring substitute(32768, L'\0');
  substitute.resize(GetModuleFileNameW(nullptr, substitute.data(), 32768));
  substitute = substitute.substr(0, substitute.find_last_of(L'\\')) + L"\\velmoexplorer.exe";
  ASSERT_TRUE(CopyFileW(substitute.c_str(), (dir / L"velmoexplorer.exe").c_str(), FALSE));
  // No unelevated route (the launch's box is the end-to-end scenario's); then the direct start,
  // last, since the log it leaves would count for a row after it.
  const struct { RightsDecision rights; std::wstring box; bool started; } rows[] = {
      {{DesktopAccount::kDesktopUser, true, {}},
       L"本工具正在以管理员身份运行，但无法以当前用户的普通权限启动Velmo浏览器。以管理员身份运行的"
       L"浏览器会让打开的网页获得过高的权限，所以没有把它设置为默认浏览器。\r\n请不要以管理员身份"
       L"运行本工具，再点击“将绿化版Velmo浏览器设置为默认浏览器”。", false},
      {{DesktopAccount::kDesktopUser, false, {StartRoute::kDirect}}, L"成功设置Velmo浏览器为默认浏览器", true},
  };
  for (const auto& row : rows) {
    ScriptedUi ui;
    SetAsDefaultBrowser(MakeContext(dir.Path(), {}, row.rights), ui);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, row.box);
    EXPECT_EQ(ui.boxes[0].style, 0x40u);
    // The browser records its start and ends by itself; let it finish before the folder goes.
    for (int i = 0; row.started && i < 750 && !testing::ReadBytes(dir / L"velmoexplorer.log"); ++i) Sleep(20);
    EXPECT_EQ(testing::ReadBytes(dir / L"velmoexplorer.log").has_value(), row.started);
  }
}

}  // namespace
}  // namespace velmo
