#include "commands/preflight.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "commands/cache_redirection.h"
#include "commands/profile_relocation.h"
#include "support/scripted_ui.h"
#include "support/expected_texts.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"

namespace velmo {
namespace {

using testing::MakeContext;
using testing::ScriptedUi;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteBytes;

constexpr const wchar_t* kAdvice = testing::kWriteProtectionAdvice;
constexpr wchar_t kTool[] = L"Velmo浏览器绿化工具";

TEST(WriteProtection, AccessDeniedIsRecognisedAsWin32CodeAndAsHresult) {
  EXPECT_TRUE(IsAccessDenied(PlatformError(L"op", L"p", 5)));
  EXPECT_TRUE(IsAccessDenied(PlatformError(L"op", L"p", 0x80070005u, true)));
  EXPECT_FALSE(IsAccessDenied(PlatformError(L"op", L"p", 5, true)));
  EXPECT_FALSE(IsAccessDenied(PlatformError(L"op", L"p", 3)));
  EXPECT_FALSE(IsAccessDenied(PlatformError(L"op", L"p", 32)));
  EXPECT_FALSE(IsAccessDenied(PlatformError(L"op", L"p", 0x80070003u, true)));
  EXPECT_TRUE(IsAccessDenied(PlatformError(L"op", L"p", 19)));
  EXPECT_TRUE(IsAccessDenied(PlatformError(L"op", L"p", 0x80070013u, true)));
}

// Under Wine, Linux's /sys refuses new entries even to root ("access denied"): a folder that is
// write-protected for real. Empty where there is no such folder.
std::wstring WriteProtectedFolder() {
  const std::wstring folder = L"Z:\\sys";
  const std::wstring probe = folder + L"\\velmo-write-test";
  if (CreateDirectoryW(probe.c_str(), nullptr)) {
    RemoveDirectoryW(probe.c_str());
    return {};
  }
  return GetLastError() == ERROR_ACCESS_DENIED ? folder : std::wstring();
}

TEST(WriteProtection, OnlyAWriteProtectedFolderCounts) {
  const TempDir writable(L"velmo-writable");
  EXPECT_FALSE(InstallFolderIsWriteProtected(writable.Path(), CurrentRights()));
  EXPECT_FALSE(InstallFolderIsWriteProtected(writable / L"missing", CurrentRights()));
  EXPECT_EQ(TreeSnapshot(writable.Path()), (std::map<std::wstring, std::string>{}));
  const std::wstring protectedFolder = WriteProtectedFolder();
  if (protectedFolder.empty()) GTEST_SKIP() << "no write-protected folder (Z:\\sys under Wine)";
  EXPECT_TRUE(InstallFolderIsWriteProtected(protectedFolder, CurrentRights()));
}

TEST(WriteProtection, AccessDeniedInAWriteProtectedFolderGetsTheAdviceInOneOkBox) {
  const std::wstring protectedFolder = WriteProtectedFolder();
  if (protectedFolder.empty()) GTEST_SKIP() << "no write-protected folder (Z:\\sys under Wine)";
  const TempDir writable(L"velmo-writable");
  const PlatformError denied(L"写入路径文件", L"C:\\Program Files\\Velmo\\path", 5);
  const PlatformError stickProtected(L"创建配置文件夹", L"E:\\Velmo\\Setting", 19);
  const PlatformError notFound(L"写入路径文件", L"C:\\v\\path", 3);
  const struct {
    const char* name;
    const PlatformError& error;
    std::wstring folder;
    std::wstring text;
  } cases[] = {
      {"access denied", denied, protectedFolder, denied.Describe() + kAdvice},
      {"write-protected stick", stickProtected, protectedFolder,
       stickProtected.Describe() + kAdvice},
      // A file held open or a folder named like the path file: the folder itself is writable.
      {"access denied in a writable folder", denied, writable.Path(), denied.Describe()},
      {"another failure", notFound, protectedFolder, notFound.Describe()},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    ScriptedUi ui;
    ReportInstallFolderWriteFailure(ui, row.error, row.folder, CurrentRights());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, row.text);
    EXPECT_EQ(ui.boxes[0].style, 0x10u);  // OK, error icon
    EXPECT_EQ(ui.boxes[0].title, kTool);
  }
}

// Set and Move folder in an installation folder that refuses new entries: before anything is
// deleted, the path file's write is reported with the advice, and everything stays as it was.
TEST(WriteProtection, CommandsInAWriteProtectedFolderAdviseBeforeChangingAnything) {
  const std::wstring protectedFolder = WriteProtectedFolder();
  if (protectedFolder.empty()) GTEST_SKIP() << "no write-protected folder (Z:\\sys under Wine)";
  const TempDir roaming(L"velmo-roaming");
  const TempDir temp(L"velmo-temp");
  WriteBytes(roaming / L"velmoexplorer\\Default\\Preferences", "{}");
  WriteBytes(roaming / L"velmoexplorer\\Webkit\\Cache\\data_1", "cache 1");
  WriteBytes(roaming / L"velmoexplorer\\VelmoVideoCache\\clip.tmp", "video");
  const Context context =
      MakeContext(protectedFolder, {{L"APPDATA", roaming.Path()}, {L"TEMP", temp.Path()}});
  const auto profileBefore = TreeSnapshot(roaming.Path());
  const std::wstring start = L"写入路径文件失败。\r\n路径：Z:\\sys\\path\r\n原因：";
  const struct {
    const char* name;
    AfterCommand (*command)(const Context&, Ui&);
  } cases[] = {{"Set", [](const Context& c, Ui& ui) { return RelocateProfile(c, ui); }},
               {"Move folder", &MoveCacheFolder}};
  for (const auto& row : cases) {
    SCOPED_TRACE(row.name);
    ScriptedUi ui;
    ui.cacheFolderText = temp.Path();
    EXPECT_EQ(row.command(context, ui), AfterCommand::kStayOpen);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_TRUE(ui.boxes[0].text.starts_with(start)) << ToUtf8(ui.boxes[0].text);
    EXPECT_TRUE(ui.boxes[0].text.ends_with(kAdvice)) << ToUtf8(ui.boxes[0].text);
    EXPECT_EQ(ui.boxes[0].style, 0x10u);
    EXPECT_EQ(ui.boxes[0].title, kTool);
    EXPECT_EQ(TreeSnapshot(roaming.Path()), profileBefore);
  }
}

TEST(WriteProtection, FolderCheckLeavesNothingBehindAndNamesTheFolderOnFailure) {
  const TempDir install(L"velmo-probe");
  const std::wstring setting = install / L"Setting";
  // A probe folder an earlier run left behind is no obstacle, and stays as it was.
  const std::wstring stale =
      setting + L".velmo-probe-" + std::to_wstring(GetCurrentProcessId()) + L"-1";
  ASSERT_TRUE(CreateDirectoryW(stale.c_str(), nullptr));
  const auto before = TreeSnapshot(install.Path());

  EXPECT_NO_THROW(CheckFolderCanBeCreated(setting));
  EXPECT_EQ(TreeSnapshot(install.Path()), before);

  const std::wstring missing = install / L"missing\\Setting";
  try {
    CheckFolderCanBeCreated(missing);
    ADD_FAILURE() << "no error for a folder whose parent is missing";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.Path(), missing);
    EXPECT_EQ(error.Code(), static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));
  }
}

}  // namespace
}  // namespace velmo
