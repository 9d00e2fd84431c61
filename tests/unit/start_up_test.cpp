// The start-up's work and the texts the main window opens with, run without a window.
#include "commands/start_up.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

using namespace std::string_literals;
using testing::MakeContext;
using testing::MakeDirs;
using testing::ScriptedUi;
using testing::TempDir;
using testing::WriteBytes;

// The substitute browser built beside the test program: file version 1.2.3.4.
void CopySubstituteBrowser(const std::wstring& installDir) {
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  const std::wstring substitute = self.substr(0, self.find_last_of(L'\\')) + L"\\velmoexplorer.exe";
  ASSERT_TRUE(CopyFileW(substitute.c_str(), (installDir + L"\\velmoexplorer.exe").c_str(), FALSE));
}

TEST(StartUpTexts, WithoutTheBrowserOnlyTheRefusalIsMade) {
  for (const bool folderInItsPlace : {false, true}) {
    TempDir dir(L"start-up");
    if (folderInItsPlace) MakeDirs(dir / L"velmoexplorer.exe");
    WriteBytes(dir / L"path", "C:\\a\r\nD:\\b\r\n");
    WriteBytes(dir / L"Set~tmp\\partial copy.txt", "left by an interrupted Set");
    ScriptedUi ui;

    const StartUpTexts texts =
        RunStartUp(MakeContext(dir.Path(), {{L"TEMP", L"C:\\t"}}), ui);

    ASSERT_TRUE(texts.missingBrowser.has_value()) << folderInItsPlace;
    EXPECT_EQ(texts.missingBrowser->title, L"错问题提示");
    EXPECT_EQ(texts.missingBrowser->text,
              L"请将工具放置在Velmo浏览器程序安装目录下再运行。\r\n点击“确定”关闭工具");
    EXPECT_EQ(texts.cacheFolder + texts.versionLine + texts.pathFileLines, L"");
    EXPECT_FALSE(texts.unreadablePathFile.has_value());
    // Nothing is tidied beside a tool that is not where it belongs.
    EXPECT_TRUE(testing::ReadBytes(dir / L"Set~tmp\\partial copy.txt").has_value());
    EXPECT_TRUE(ui.boxes.empty());
  }
}

TEST(StartUpTexts, PanelShowsTheVersionAndTheFirstTwoLinesEachCutAtItsFirstNul) {
  struct Case {
    const char* what;
    std::optional<std::string> pathFile;  // nullopt: no path file
    std::wstring lines;
  };
  const Case cases[] = {
      {"no path file", std::nullopt, L""},
      {"absolute form", "C:\\a\\Setting\r\nD:\\cache\r\nC:\\a\\Setting\\Cookies\r\n"s,
       L"配置存放路径：C:\\a\\Setting\r\n缓存存放路径：D:\\cache"},
      {"NUL in line 1", "C:\\a\0hidden\r\nD:\\b\r\n"s,
       L"配置存放路径：C:\\a\r\n缓存存放路径：D:\\b"},
      {"NUL in both lines", "\0z\r\nD:\\b\0y\r\n"s, L"配置存放路径：\r\n缓存存放路径：D:\\b"},
  };
  TempDir dir(L"start-up");
  CopySubstituteBrowser(dir.Path());
  for (const Case& c : cases) {
    DeleteFileW((dir / L"path").c_str());
    if (c.pathFile) WriteBytes(dir / L"path", *c.pathFile);

    ScriptedUi ui;
    const StartUpTexts texts = RunStartUp(MakeContext(dir.Path(), {{L"TEMP", L"D:\\临时"}}), ui);

    EXPECT_FALSE(texts.missingBrowser.has_value()) << c.what;
    EXPECT_EQ(texts.cacheFolder, L"D:\\临时\\WebkitCache") << c.what;
    EXPECT_EQ(texts.versionLine, L"当前目录下的Velmo浏览器版本号是：1.2.3.4") << c.what;
    EXPECT_EQ(texts.pathFileLines, c.lines) << c.what;
    EXPECT_FALSE(texts.unreadablePathFile.has_value()) << c.what;
    EXPECT_TRUE(ui.boxes.empty()) << c.what;
  }
}

// The journal of an interrupted Set is the desktop user's: only that user's start follows it.
TEST(StartUpTexts, OnlyTheDesktopUsersStartSortsOutAnInterruptedSet) {
  using D = DesktopAccount;
  const struct { D account; bool journalStays; } rows[] = {
      {D::kDesktopUser, false}, {D::kOtherAccount, true}, {D::kUnknown, true}};
  for (const auto& row : rows) {
    TempDir dir(L"start-up");
    WriteBytes(dir / L"velmoexplorer.exe", "no version information in here");
    WriteBytes(dir / L"Set~new\\n", "copy");
    WriteBytes(dir / L"Set~jnl", "VelmoPortableJournal\r\nSet\r\ncopying\r\n1\r\nSetting\r\nSet~tmp\r\n"
                                 "Set~new\r\nSet~old\r\nSet~del\r\npath\r\n2\r\nP12\r\nP0End\r\n");
    ScriptedUi ui;
    RunStartUp(MakeContext(dir.Path(), {}, RightsDecision{row.account, false, {}}), ui);
    EXPECT_EQ(testing::TreeSnapshot(dir.Path()).size(), row.journalStays ? 4u : 1u);
  }
}

TEST(StartUpTexts, UnreadablePathFileIsReportedAndItsLinesStayEmpty) {
  TempDir dir(L"start-up");
  WriteBytes(dir / L"velmoexplorer.exe", "no version information in here");
  WriteBytes(dir / L"path", "C:\\a\r\nD:\\b\r\n");
  const UniqueFileHandle held(CreateFileW((dir / L"path").c_str(), GENERIC_READ, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);

  ScriptedUi ui;
  const StartUpTexts texts = RunStartUp(MakeContext(dir.Path(), {}), ui);

  ASSERT_TRUE(texts.unreadablePathFile.has_value());
  EXPECT_EQ(texts.unreadablePathFile->title, L"Velmo浏览器绿化工具");
  const std::wstring start = L"读取路径文件失败。\r\n路径：" + (dir / L"Path") + L"\r\n原因：";
  EXPECT_EQ(texts.unreadablePathFile->text.substr(0, start.size()), start);
  EXPECT_EQ(texts.pathFileLines, L"");
  EXPECT_EQ(texts.versionLine, L"当前目录下的Velmo浏览器版本号是：");
  EXPECT_EQ(texts.cacheFolder, L"\\WebkitCache");
  EXPECT_FALSE(texts.missingBrowser.has_value());
}

}  // namespace
}  // namespace velmo
