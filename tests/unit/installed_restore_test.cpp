#include "commands/installed_restore.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "commands/replacement_journal.h"
#include "support/file_queries.h"
#include "support/folder_link.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

using testing::MakeContext;
using testing::ScriptedUi;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteBytes;

// Every refusal before the work, and a failed copy: one box (after the question, when it is
// answered Yes), the path file, the portable folder and the profile as they were.
TEST(InstalledRestore, EachRefusalShowsOneBoxAndChangesNothing) {
  TempDir install(L"restore-install");
  TempDir roaming(L"restore-roaming");
  TempDir portable(L"restore-portable");  // not compared: it holds a sparse file of 10 TB
  const std::wstring setting = install / L"Setting";
  const std::wstring profile = roaming / L"velmoexplorer";
  std::wstring upper = profile + L"\\";
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  const std::wstring notPortable =
      L"当前的Velmo浏览器没有使用本工具制作的绿色版配置文件，无需恢复为安装版。";
  const std::wstring noAppData =
      L"无法确定当前用户的配置文件夹：环境变量APPDATA没有设置。无法恢复为安装版。";
  const auto overlap = [&](const std::wstring& configuration) {
    return L"绿色版的配置文件夹：\r\n" + configuration + L"\r\n与系统的Velmo浏览器配置文件夹：\r\n" +
           profile + L"\r\n是同一个文件夹或者互相包含，没有需要复制的配置文件。";
  };
  const std::wstring question =
      L"将把绿色版的配置文件：\r\n" + setting + L"\r\n复制到系统的Velmo浏览器配置文件夹：\r\n" +
      profile +
      L"\r\n该文件夹中现有的内容将被替换，路径文件将被删除，Velmo浏览器以后将像安装版一样使用该"
      L"文件夹中的配置文件。绿色版的配置文件夹本身会保留。\r\n是否继续？";
  const std::wstring tail = L"\r\n为避免删除您的文件，本工具不会改动它。请先将它改名或移到别处，再重新操作。";
  enum Style : unsigned { kNotice = 0x40, kError = 0x10, kQuestion = 0x44, kToolError = 0x110 };
  struct Row {
    const char* name;
    std::optional<std::string> pathFile;  // nullopt: none
    std::optional<std::wstring> appData;  // nullopt: unset
    std::optional<Answer> answer;         // to the question
    std::wstring text;
    Style style;
    bool held = false;  // a file of the portable configuration, by another program, no sharing
  };
  constexpr auto kNotAsked = std::nullopt;
  const Row rows[] = {
      {"no path file", std::nullopt, roaming.Path(), kNotAsked, notPortable, kNotice},
      {"empty line 1", "\r\nD:\\cache\r\n", roaming.Path(), kNotAsked, notPortable, kNotice},
      {"relative line 1", "Config\r\n", roaming.Path(), kNotAsked, notPortable, kNotice},
      {"NUL before Setting", std::string("\0Setting\r\n", 10), roaming.Path(), kNotAsked,
       notPortable, kNotice},
      {"missing folder", ToAnsi(install / L"配置\r\n"), roaming.Path(), kNotAsked,
       L"找不到路径文件中记录的绿色版配置文件夹：\r\n" + install / L"配置" + L"\r\n无法恢复为安装版。",
       kNotice},
      {"a device path", "\\\\?\\GLOBALROOT\\x\r\n", roaming.Path(), kNotAsked,
       L"找不到路径文件中记录的绿色版配置文件夹：\r\n\\\\?\\GLOBALROOT\\x\r\n无法恢复为安装版。", kNotice},
      {"APPDATA unset", "setting\r\n", std::nullopt, kNotAsked, noAppData, kError},
      {"APPDATA empty", "Setting\r\n", L"", kNotAsked, noAppData, kError},
      {"the profile itself", ToAnsi(upper + L"\r\n"), roaming.Path(), kNotAsked,
       overlap(upper.substr(0, upper.size() - 1)), kNotice},
      {"inside the profile, a \\\\?\\ prefix", ToAnsi(L"\\\\?\\" + profile + L"\\Default\r\n"),
       roaming.Path(), kNotAsked, overlap(profile + L"\\Default"), kNotice},
      {"inside the profile, APPDATA ending in a separator", ToAnsi(profile + L"\\Default\r\n"),
       roaming.Path() + L"\\", kNotAsked, overlap(profile + L"\\Default"), kNotice},
      {"inside the profile through a link", ToAnsi(install / L"link\r\n"), roaming.Path(),
       kNotAsked, overlap(install / L"link"), kNotice},
      {"a file at the profile folder's name", "Setting\r\n", roaming / L"file", kNotAsked,
       L"无法恢复为安装版：系统的Velmo浏览器配置文件夹的位置上是一个文件，而不是文件夹：\r\n" +
           roaming / L"file\\velmoexplorer" + tail,
       kToolError},
      {"inside the profile", ToAnsi(profile + L"\\Default\r\n"), roaming.Path(), kNotAsked,
       overlap(profile + L"\\Default"), kNotice},
      {"holding the profile", ToAnsi(roaming.Path() + L"\r\n"), roaming.Path(), kNotAsked,
       overlap(roaming.Path()), kNotice},
      {"answered No", std::string("Setting\0x\r\n", 11), roaming.Path(), Answer::kNo, question,
       kQuestion},
      {"no answer", "Setting\r\n", roaming.Path(), Answer::kNone, question, kQuestion},
      {"the copy fails; caches of 10 TB count for nothing", ToAnsi(portable.Path() + L"\r\n"),
       roaming.Path(), Answer::kYes,
       L"复制绿色版的配置文件失败：\r\n" + portable.Path() +
           L"\r\n以下文件或文件夹没有复制成功：\r\n" + portable / L"Default\\Preferences" +
           L"\r\n可能它正在被其他程序使用，或者磁盘空间不足。请检查后再试。\r\n"
           L"系统原有的配置文件和路径文件保持原样。",
       kError, true},
      {"a user's folder at a restore name", "Setting\r\n", roaming.Path(), Answer::kYes,
       L"无法恢复为安装版：以下文件或文件夹占用了恢复时要用的名称：\r\n" + roaming / L"velmoexp~old" +
           L"\r\n它可能是从Velmo浏览器的另一个安装目录开始的恢复为安装版没有完成而留下的；如果是这样，"
           L"请在那个安装目录中打开本工具，工具会自动整理它。否则，为避免删除您的文件，本工具不会改动它，"
           L"请先将它改名或移到别处，再重新操作。",
       kToolError},
  };
  WriteBytes(setting + L"\\Default\\Preferences", "portable");
  WriteBytes(profile + L"\\Default\\Preferences", "installed");
  WriteBytes(roaming / L"file\\velmoexplorer", "a file");
  ASSERT_NE(testing::MakeFolderLink(install / L"link", profile + L"\\Default"),
            testing::FolderLink::kNone);
  WriteBytes(portable / L"Default\\Preferences", "portable");
  WriteBytes(portable / L"Webkit\\Cache\\huge", "");
  const UniqueFileHandle huge(CreateFileW((portable / L"Webkit\\Cache\\huge").c_str(),
                                          GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(huge && SetFilePointerEx(huge.Get(), {.QuadPart = 10995116277760}, nullptr, 0) &&
              SetEndOfFile(huge.Get()));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DeleteFileW((install / L"path").c_str());
    if (row.pathFile) WriteBytes(install / L"path", *row.pathFile);
    const std::wstring taken = roaming / L"velmoexp~old";
    if (row.text.find(taken) != std::wstring::npos) WriteBytes(taken + L"\\mine.txt", "mine");
    const auto installBefore = TreeSnapshot(install.Path());
    const auto roamingBefore = TreeSnapshot(roaming.Path());
    std::map<std::wstring, std::wstring> environment;
    if (row.appData) environment[L"APPDATA"] = *row.appData;
    ScriptedUi ui;
    if (row.answer) ui.answers.push_back(*row.answer);
    const UniqueFileHandle held(row.held ? CreateFileW((portable / L"Default\\Preferences").c_str(),
                                                       GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                                       nullptr)
                                         : INVALID_HANDLE_VALUE);
    RestoreInstalledProfile(MakeContext(install.Path(), environment), ui);

    ASSERT_EQ(ui.boxes.size(), row.answer == Answer::kYes ? 2u : 1u);
    EXPECT_EQ(ui.boxes.back().text, row.text);
    EXPECT_EQ(ui.boxes.back().style, row.style & 0xFF);
    EXPECT_EQ(ui.boxes.back().title, row.style == kToolError ? L"Velmo浏览器绿化工具" : L"友情提示");
    EXPECT_EQ(TreeSnapshot(install.Path()), installBefore);
    EXPECT_EQ(TreeSnapshot(roaming.Path()), roamingBefore);
    EXPECT_EQ(ui.pathFileLinesShown, 0);
  }
}

// The restore's journal names this user's APPDATA by its identity, so that the same text on
// another computer (a stick carried there) is never taken for it.
TEST(InstalledRestore, JournalRecordsWhichFolderHoldsTheProfile) {
  TempDir install(L"restore-install");
  TempDir roaming(L"restore-roaming");
  WriteBytes(install / L"Setting\\Preferences", "portable");
  WriteBytes(install / L"path", "Setting\r\nC:\\t\r\n");
  ScriptedUi ui;
  ui.answers.push_back(Answer::kYes);
  std::optional<EntryIdentity> recorded;
  RestoreInstalledProfile(MakeContext(install.Path(), {{L"APPDATA", roaming.Path()}}), ui,
                          [&](ReplacementStep step) {
                            if (step != ReplacementStep::kIntentJournaled) return;
                            recorded = ReadJournal(install / L"Set~jnl").journal.profileParent;
                          });
  ASSERT_TRUE(recorded.has_value());
  EXPECT_EQ(recorded, IdentityOf(roaming.Path()));
}

}  // namespace
}  // namespace velmo
