// A portable folder made with Set and then carried to another place, started there: the real
// window asks once whether the browser should use the configuration found here, and rewrites the
// path file on Yes only; then whether the browser here replaces the default browser left behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "running_browser.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "window/main_window_layout.h"

namespace velmo::e2e {
namespace {

using testing::MakeDirs;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

constexpr wchar_t kFriendly[] = L"友情提示";

std::wstring Question(const std::wstring& recorded, const std::wstring& here) {
  return L"检测到绿色版文件夹已被移动或复制到新的位置。\r\n路径文件中记录的配置文件夹已不存在：\r\n" +
         recorded + L"\r\n当前目录下的配置文件夹：\r\n" + here +
         L"\r\n是否让Velmo浏览器改用当前目录下的配置文件？";
}

std::wstring PanelLines(const std::wstring& line1, const std::wstring& line2) {
  return L"配置存放路径：" + line1 + L"\r\n缓存存放路径：" + line2;
}

constexpr wchar_t kHttpOpenKey[] = L"Software\\Classes\\http\\shell\\open\\command";
// Sets the http open command where Wine's shell reads it (the machine's classes).
void SetHttpOpenCommand(const wchar_t* command) {
  const DWORD size = static_cast<DWORD>((wcslen(command) + 1) * sizeof(wchar_t));
  EXPECT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kHttpOpenKey, nullptr, REG_SZ, command, size), 0);
}

class MovedInstallation : public ::testing::Test {
 protected:
  std::wstring Original() const { return root_ / L"portable"; }
  std::wstring Carried() const { return root_ / L"carried elsewhere"; }
  std::wstring Temp() const { return root_ / L"Temp"; }
  std::wstring Cache() const { return Temp() + L"\\WebkitCache"; }
  EnvironmentChanges Environment() const {
    return {{L"APPDATA", root_ / L"Roaming"}, {L"TEMP", Temp()}, {L"VELMO_OLD", Original()}};
  }
  // The bytes Set writes in `dir` (absolute form, default cache folder).
  std::string SetWrites(const std::wstring& dir) const {
    return ToAnsi(dir + L"\\Setting\r\n" + Cache() + L"\r\n" + dir + L"\\Setting\\Cookies\r\n");
  }

  // Starts the tool copied into `dir`, with this test's APPDATA and TEMP, once its window is up.
  ToolProcess& StartIn(const std::wstring& dir) {
    tool_.reset();
    tool_.emplace(dir + L"\\velmo_portable.exe", Environment());
    EXPECT_NE(tool_->WaitForMainWindow(), nullptr);
    return *tool_;
  }
  BoxInfo NextBox(ToolProcess& tool) {
    const std::optional<BoxInfo> box = tool.WaitForBox();
    if (!box) ADD_FAILURE() << "no message box appeared";
    return box.value_or(BoxInfo{});
  }
  void ExpectNoFurtherBox(ToolProcess& tool) {
    EXPECT_FALSE(tool.WaitForBox(800).has_value()) << "an unexpected box";
  }
  void ExpectQuestion(const BoxInfo& box, std::wstring text = {}) {
    if (text.empty()) text = Question(Original() + L"\\Setting", Carried() + L"\\Setting");
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.title, kFriendly);
    EXPECT_EQ(box.iconStyle, static_cast<unsigned>(MB_ICONINFORMATION));
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_TRUE(box.ownedByTool);  // asked from the shown window, not before it
  }

  TempDir root_{L"velmo-e2e-moved"};
  std::optional<ToolProcess> tool_;
};

TEST_F(MovedInstallation, CarriedFolderIsPointedAtItsOwnSettingOnYesOnly) {
  MakeDirs(Original());
  MakeDirs(Temp());
  SetUpInstallation(Original());
  WriteBytes(root_ / L"Roaming\\velmoexplorer\\Default\\Preferences", "{}");
  {  // Made portable with Set where it was; no question there.
    ToolProcess& tool = StartIn(Original());
    tool.Click(kSetButton);
    const BoxInfo done = NextBox(tool);
    EXPECT_EQ(done.text, L"成功设置，重启Velmo浏览器后生效。");
    tool.Answer(done, IDOK);
    ExpectNoFurtherBox(tool);
    EXPECT_EQ(tool.Close(), 0u);
  }
  const std::optional<std::string> made = ReadBytes(Original() + L"\\path");
  ASSERT_EQ(made, SetWrites(Original()));
  ASSERT_TRUE(MoveFileW(Original().c_str(), Carried().c_str()));

  {  // No: nothing changes, and nothing more is asked in this run.
    ToolProcess& tool = StartIn(Carried());
    const BoxInfo question = NextBox(tool);
    ExpectQuestion(question);
    EXPECT_EQ(tool.ControlText(kPathFileLabel), PanelLines(Original() + L"\\Setting", Cache()));
    tool.Answer(question, IDNO);
    ExpectNoFurtherBox(tool);
    EXPECT_EQ(ReadBytes(Carried() + L"\\path"), made);
    EXPECT_EQ(tool.ControlText(kPathFileLabel), PanelLines(Original() + L"\\Setting", Cache()));
    EXPECT_EQ(tool.Close(), 0u);
  }
  {  // The next start asks again; Yes while the browser runs.
    RunningBrowser browser(root_ / L"velmoexplorer.exe");
    ToolProcess& tool = StartIn(Carried());
    const BoxInfo question = NextBox(tool);
    ExpectQuestion(question);
    tool.Answer(question, IDYES);
    const BoxInfo done = NextBox(tool);
    EXPECT_EQ(done.text, L"已将Velmo浏览器的配置文件夹改为：\r\n" + Carried() +
                             L"\\Setting\r\nVelmo浏览器正在运行中，重启Velmo浏览器后生效。");
    EXPECT_EQ(done.title, kFriendly);
    EXPECT_EQ(done.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(ReadBytes(Carried() + L"\\path"), SetWrites(Carried()));
    EXPECT_EQ(tool.ControlText(kPathFileLabel), PanelLines(Carried() + L"\\Setting", Cache()));
    tool.Answer(done, IDOK);
    ExpectNoFurtherBox(tool);
    browser.Stop();

    // Set answered No to its overwrite question writes the very same bytes.
    tool.Click(kSetButton);
    const BoxInfo overwrite = NextBox(tool);
    EXPECT_EQ(overwrite.buttons, (std::vector<int>{IDYES, IDNO}));
    tool.Answer(overwrite, IDNO);
    tool.Answer(NextBox(tool), IDOK);
    EXPECT_EQ(ReadBytes(Carried() + L"\\path"), SetWrites(Carried()));
    EXPECT_EQ(tool.Close(), 0u);
  }
  {  // Repaired: nothing to ask any more.
    ToolProcess& tool = StartIn(Carried());
    ExpectNoFurtherBox(tool);
    EXPECT_EQ(tool.Close(), 0u);
  }
}

TEST_F(MovedInstallation, DefaultBrowserLeftBehindIsReplacedByTheOneHereAfterTheFolderQuestion) {
  MakeDirs(Carried() + L"\\Setting");
  SetUpInstallation(Carried());
  WriteBytes(Carried() + L"\\path", SetWrites(Original()));
  wchar_t saved[1024] = {};  // put back at the end, so that later tests are not asked
  DWORD size = sizeof saved;
  RegGetValueW(HKEY_LOCAL_MACHINE, kHttpOpenKey, nullptr, RRF_RT_REG_SZ, nullptr, saved, &size);
  const std::unique_ptr<wchar_t, decltype(&SetHttpOpenCommand)> restore(saved, SetHttpOpenCommand);
  SetHttpOpenCommand(L"\"%VELMO_OLD%\\velmoexplorer.exe\" -- \"%1\"");
  const DesktopShell shell;  // Yes starts the browser: a desktop like Windows', see LaunchCommands
  ToolProcess& tool = StartIn(Carried());
  const BoxInfo moved = NextBox(tool);
  ExpectQuestion(moved);
  tool.Answer(moved, IDYES);
  tool.Answer(NextBox(tool), IDOK);
  const BoxInfo question = NextBox(tool);
  ExpectQuestion(question, L"检测到系统默认浏览器指向的Velmo浏览器已不存在：\r\n" + Original() +
                               L"\\velmoexplorer.exe\r\n其他程序中的网页链接将无法打开。\r\n"
                               L"是否将当前目录下的Velmo浏览器设置为默认浏览器？");
  tool.Answer(question, IDYES);
  const BoxInfo done = NextBox(tool);
  EXPECT_EQ(done.text, L"成功设置Velmo浏览器为默认浏览器");
  tool.Answer(done, IDOK);
  // The tool does not wait for the browser, which writes its log once it runs.
  std::vector<BrowserStart> starts = ReadBrowserLog(Carried());
  for (DWORD waited = 0; starts.empty() && waited < kDefaultWaitMs; waited += 20) {
    Sleep(20);
    starts = ReadBrowserLog(Carried());
  }
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_NE(starts[0].commandLine.find(Carried() + L"\\velmoexplorer.exe"), std::wstring::npos);
  EXPECT_TRUE(starts[0].commandLine.ends_with(L" -velmodefault"));
  EXPECT_EQ(tool.Close(), 0u);
}

}  // namespace
}  // namespace velmo::e2e
