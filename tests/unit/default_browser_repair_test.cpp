#include "commands/default_browser_repair.h"

#include <gtest/gtest.h>
#include <windows.h>

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
  const auto exists = [](const std::wstring& f) { return f == L"C:\\Kept\\velmoexplorer.exe"; };
  for (const auto& [command, asked] : cases) {
    const auto named = MissingVelmoDefaultBrowser(command, L"E:\\Portable\\Velmo", exists);
    EXPECT_EQ(named.value_or(L""), asked) << command;
  }
  EXPECT_EQ(MissingVelmoDefaultBrowser(L"F:\\velmoexplorer.exe", L"F:\\", exists), std::nullopt);
  // Nothing registered: nothing to ask. The user's choice of browser counts; no command is cut.
  EXPECT_EQ(ProtocolOpenCommand(L"velmo-unregistered-protocol"), std::nullopt);
  EXPECT_EQ(static_cast<unsigned>(kProtocolQueryFlags), 0x1000u | 0x20u);
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
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, nullptr, REG_SZ, saved.c_str(), size);
}

}  // namespace
}  // namespace velmo
