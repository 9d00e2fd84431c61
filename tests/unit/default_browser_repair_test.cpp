#include "commands/default_browser_repair.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/platform_error.h"
#include "support/scripted_ui.h"
#include "support/shell_association.h"
#include "support/temp_dir.h"

namespace velmo {
namespace {

TEST(DefaultBrowserRepair, AsksOnlyAboutAMissingVelmoBrowserOnADrivePathOtherThanThisOne) {
  // The command as the shell gives it (variables expanded), and the program the question names
  // ("": nothing is asked). E:\Portable\Velmo is this folder; only C:\Kept's browser exists.
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"\"D:\\Old 100%\\velmoexplorer.exe\" -- \"%1\"", L"D:\\Old 100%\\velmoexplorer.exe"},
      {L"D:\\Old Velmo\\velmoexplorer.exe %1", L"D:\\Old Velmo\\velmoexplorer.exe"},
      {L"  d:/a.exe.d/VelmoExplorer.EXE", L"d:/a.exe.d/VelmoExplorer.EXE"},
      {L"%OLD%\\velmoexplorer.exe %1", L""},
      {L"D:\\tools\\open.exe D:\\old\\velmoexplorer.exe %1", L""},
      {L"\"D:\\old\\velmoexplorer.exe %1", L""},
      {L"\"\\\\server\\share\\velmoexplorer.exe\" %1", L""},
      {L"D:\\OLDVEL~1\\VELMOE~1.EXE %1", L""},
      {L"\"C:\\Program Files\\Other\\browser.exe\" -- \"%1\"", L""},
      {L"\"C:\\Kept\\velmoexplorer.exe\" %1", L""},
      {L"\"e:\\portable\\VELMO\\Velmoexplorer.exe\" -- \"%1\"", L""},
  };
  const auto missing = [](const std::wstring& f) { return f != L"C:\\Kept\\velmoexplorer.exe"; };
  for (const auto& [command, asked] : cases) {
    const auto named = MissingVelmoDefaultBrowser(command, L"E:\\Portable\\Velmo", missing);
    EXPECT_EQ(named.value_or(L""), asked) << command;
  }
  EXPECT_EQ(MissingVelmoDefaultBrowser(L"F:\\velmoexplorer.exe", L"F:\\", missing), std::nullopt);
  // Nothing registered: nothing to ask. The user's choice of browser counts; no command is cut.
  EXPECT_EQ(ProtocolOpenCommand(L"velmo-unregistered-protocol"), std::nullopt);
  EXPECT_EQ(static_cast<unsigned>(kProtocolQueryFlags), 0x1000u | 0x20u);
}

TEST(DefaultBrowserRepair, OnlyAPresentLocalDriveCanSayTheBrowserIsGone) {
  const struct { const char* name; unsigned driveType; bool rootPresent; unsigned long fileError; bool missing; } rows[] = {
      {"fixed disk, file gone", DRIVE_FIXED, true, ERROR_FILE_NOT_FOUND, true},
      {"USB stick, folder gone", DRIVE_REMOVABLE, true, ERROR_PATH_NOT_FOUND, true},
      {"fixed disk, file there", DRIVE_FIXED, true, ERROR_SUCCESS, false},
      {"fixed disk, file unreadable", DRIVE_FIXED, true, ERROR_ACCESS_DENIED, false},
      {"card reader without a card", DRIVE_REMOVABLE, false, ERROR_PATH_NOT_FOUND, false},
      {"unplugged stick", DRIVE_NO_ROOT_DIR, false, ERROR_PATH_NOT_FOUND, false},
      {"network drive", DRIVE_REMOTE, true, ERROR_FILE_NOT_FOUND, false},
      {"CD", DRIVE_CDROM, true, ERROR_FILE_NOT_FOUND, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FileIsMissing(row.driveType, row.rootPresent, row.fileError), row.missing) << row.name;
  }
  // A drive letter that names no drive at all.
  EXPECT_FALSE(ProgramFileIsMissing(L"Q:\\nothing\\velmoexplorer.exe"));
}

TEST(DefaultBrowserRepair, EachWindowsVersionNamesTheDefaultBrowserItsOwnWay) {
  using Text = std::optional<std::wstring>;
  const Text none;
  constexpr AssociationRule k8 = AssociationRule::kProtocolQuery, k7 = AssociationRule::kCurrentDefault;
  const struct { const char* name; AssociationRule rule; Text protocolCommand, currentDefault, progIdCommand, expected; } rows[] = {
      {"8+: the user's choice", k8, L"C:\\b.exe %1", L"VelmoURL", L"x", L"C:\\b.exe %1"},
      {"8+: no open command (packaged browser): cannot tell", k8, none, L"VelmoURL", L"D:\\v.exe", none},
      {"7: the current default's ProgId", k7, L"x", L"VelmoURL", L"D:\\v.exe %1", L"D:\\v.exe %1"},
      {"7: a machine default's command line", k7, L"x", L"D:\\v.exe %1", none, L"D:\\v.exe %1"},
      {"7: no current default: cannot tell", k7, L"x", none, L"x", none},
  };
  for (const auto& row : rows) {
    std::wstring askedProgId;
    const AssociationQueries queries{[&] { return row.protocolCommand; }, [&] { return row.currentDefault; },
                                     [&](const std::wstring& id) { return askedProgId = id, row.progIdCommand; }};
    EXPECT_EQ(ChooseProtocolCommand(row.rule, queries), row.expected) << row.name;
    if (row.rule == AssociationRule::kCurrentDefault && row.currentDefault) {
      EXPECT_EQ(askedProgId, *row.currentDefault) << row.name;
    }
  }
}

// Only Yes starts the browser; No, or a question whose box went with its window, starts nothing.
TEST(DefaultBrowserRepair, OnlyYesToTheQuestionStartsTheBrowser) {
  const wchar_t* key = L"Software\\Classes\\http\\shell\\open\\command";
  std::wstring saved(1024, L'\0');
  DWORD size = 2048;
  RegGetValueW(HKEY_LOCAL_MACHINE, key, nullptr, RRF_RT_REG_SZ, nullptr, saved.data(), &size);
  testing::TempDir dir(L"repair");  // its browser is missing too: starting it throws
  const std::wstring old = L"\"" + dir / L"old\\velmoexplorer.exe\" %1";
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, nullptr, REG_SZ, old.c_str(), 2 * (old.size() + 1));
  for (const Answer answer : {Answer::kNone, Answer::kNo, Answer::kYes}) {
    testing::ScriptedUi ui;
    ui.answers = {answer};
    const auto offer = [&] { OfferDefaultBrowserRepair(testing::MakeContext(dir.Path(), {}), ui); };
    if (answer == Answer::kYes) { EXPECT_THROW(offer(), PlatformError); } else { offer(); }
    EXPECT_EQ(ui.boxes.size(), 1u);
  }
  testing::ScriptedUi other;  // another account is not asked
  OfferDefaultBrowserRepair(testing::MakeContext(
                                dir.Path(), {},
                                RightsDecision{DesktopAccount::kOtherAccount, false, {}}),
                            other);
  EXPECT_TRUE(other.boxes.empty());
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, nullptr, REG_SZ, saved.c_str(), size);
}

}  // namespace
}  // namespace velmo
