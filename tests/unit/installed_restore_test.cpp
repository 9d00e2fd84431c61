#include "commands/installed_restore.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"

namespace velmo {
namespace {

using testing::MakeContext;
using testing::MakeDirs;
using testing::ScriptedUi;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteBytes;

using Box = std::tuple<std::wstring, unsigned, std::wstring>;

const std::wstring kFriendly = L"友情提示";
const std::wstring kNotPortable =
    L"当前的Velmo浏览器没有使用本工具制作的绿色版配置文件，无需恢复为安装版。";

Box Missing(const std::wstring& folder) {
  return {L"找不到路径文件中记录的绿色版配置文件夹：\r\n" + folder + L"\r\n无法恢复为安装版。",
          0x40, kFriendly};
}
Box Overlap(const std::wstring& configuration, const std::wstring& profile) {
  return {L"绿色版的配置文件夹：\r\n" + configuration + L"\r\n与系统的Velmo浏览器配置文件夹：\r\n" +
              profile + L"\r\n是同一个文件夹或者互相包含，没有需要复制的配置文件。",
          0x40, kFriendly};
}
Box Question(const std::wstring& configuration, const std::wstring& profile) {
  return {L"将把绿色版的配置文件：\r\n" + configuration + L"\r\n复制到系统的Velmo浏览器配置文件夹：\r\n" +
              profile +
              L"\r\n该文件夹中现有的内容将被替换，路径文件将被删除，Velmo浏览器以后将像安装版一样"
              L"使用该文件夹中的配置文件。绿色版的配置文件夹本身会保留。\r\n是否继续？",
          0x44, kFriendly};
}

// Every refusal before the work: one box (after the question, when it is answered Yes), the path
// file, the portable folder and the profile as they were.
TEST(InstalledRestore, EachRefusalShowsOneBoxAndChangesNothing) {
  TempDir install(L"restore-install");
  TempDir roaming(L"restore-roaming");
  const std::wstring setting = install / L"Setting";
  const std::wstring profile = roaming / L"velmoexplorer";
  std::wstring roamingUpper = roaming.Path();
  CharUpperBuffW(roamingUpper.data(), static_cast<DWORD>(roamingUpper.size()));
  struct Row {
    const char* name;
    std::optional<std::string> pathFile;  // nullopt: none
    std::optional<std::wstring> appData;  // nullopt: unset
    std::vector<int> answers;
    Box box;
    bool usersFolderAtATemporaryName = false;
  };
  const std::wstring appData = roaming.Path();
  const Row rows[] = {
      {"no path file", std::nullopt, appData, {}, {kNotPortable, 0x40, kFriendly}},
      {"empty line 1", "\r\nD:\\cache\r\n", appData, {}, {kNotPortable, 0x40, kFriendly}},
      {"relative line 1", "Config\r\nD:\\cache\r\n", appData, {}, {kNotPortable, 0x40, kFriendly}},
      {"NUL before Setting", std::string("\0Setting\r\n", 10), appData, {},
       {kNotPortable, 0x40, kFriendly}},
      {"missing folder", ToAnsi(install / L"配置\r\n"), appData, {}, Missing(install / L"配置")},
      {"APPDATA unset", "setting\r\n", std::nullopt, {},
       {L"无法确定当前用户的配置文件夹：环境变量APPDATA没有设置。无法恢复为安装版。", 0x10,
        kFriendly}},
      {"APPDATA empty", "Setting\r\n", L"", {},
       {L"无法确定当前用户的配置文件夹：环境变量APPDATA没有设置。无法恢复为安装版。", 0x10,
        kFriendly}},
      {"the profile itself", ToAnsi(roamingUpper + L"\\VELMOEXPLORER\\\r\n"), appData, {},
       Overlap(roamingUpper + L"\\VELMOEXPLORER\\", profile)},
      {"inside the profile", ToAnsi(profile + L"\\Default\r\n"), appData, {},
       Overlap(profile + L"\\Default", profile)},
      {"holding the profile", ToAnsi(roaming.Path() + L"\r\n"), appData, {},
       Overlap(roaming.Path(), profile)},
      {"answered No", std::string("Setting\0x\r\n", 11), appData, {IDNO}, Question(setting, profile)},
      {"no answer", "Setting\r\n", appData, {0}, Question(setting, profile)},
      {"a user's folder named like the old profile's", "Setting\r\n", appData, {IDYES},
       {L"无法恢复为安装版：以下文件或文件夹占用了恢复时要用的名称，但它不是本工具创建的：\r\n" +
            roaming / L"velmoexp~old" +
            L"\r\n为避免删除您的文件，本工具不会改动它。请先将它改名或移到别处，再重新操作。",
        0x10, L"Velmo浏览器绿化工具"},
       true},
  };
  WriteBytes(setting + L"\\Default\\Preferences", "portable");
  WriteBytes(profile + L"\\Default\\Preferences", "installed");
  MakeDirs(profile + L"\\Default\\Sub");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DeleteFileW((install / L"path").c_str());
    if (row.pathFile) WriteBytes(install / L"path", *row.pathFile);
    if (row.usersFolderAtATemporaryName) WriteBytes(roaming / L"velmoexp~old\\mine.txt", "mine");
    const auto installBefore = TreeSnapshot(install.Path());
    const auto roamingBefore = TreeSnapshot(roaming.Path());
    std::map<std::wstring, std::wstring> environment;
    if (row.appData) environment[L"APPDATA"] = *row.appData;
    ScriptedUi ui;
    ui.answers.assign(row.answers.begin(), row.answers.end());
    RestoreInstalledProfile(MakeContext(install.Path(), environment), ui);

    ASSERT_EQ(ui.boxes.size(), row.answers == std::vector<int>{IDYES} ? 2u : 1u);
    EXPECT_EQ(Box(ui.boxes.back().text, ui.boxes.back().style, ui.boxes.back().title), row.box);
    EXPECT_EQ(TreeSnapshot(install.Path()), installBefore);
    EXPECT_EQ(TreeSnapshot(roaming.Path()), roamingBefore);
    EXPECT_EQ(ui.pathFileLinesShown, 0);
  }
}

}  // namespace
}  // namespace velmo
