// The Set command killed at every step of its copy-and-swap (a child process that ends itself
// without any clean-up, as when the tool is killed or the power goes), then the start-up's
// recovery: the installation folder must be exactly as before the click or exactly as after a
// successful Set, with nothing of the tool's left over. The same for a restore, on Set's steps.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>

#include "commands/replacement_recovery.h"
#include "gui_driver.h"
#include "support/file_queries.h"
#include "support/scripted_ui.h"
#include "support/system_library.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"

namespace velmo::e2e {
namespace {

using testing::MakeContext;
using testing::ReadBytes;
using testing::ScriptedUi;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteBytes;

using Tree = std::map<std::wstring, std::string>;

enum Exit : DWORD { kKilled = 99, kFinished = 0 };
enum State { kBefore, kAfter };

struct Outcome {
  Exit exit;
  State state;
};

// The steps as ReplacementStep numbers them. A step a run does not have is never reached, and the
// Set (or restore) runs to its end.
struct Row {
  int step;
  Outcome firstSet;       // no Setting and no path file before
  Outcome overOldSetting; // an old Setting and a path file with other bytes
  Outcome sameBytes;      // an old Setting and a path file with the very bytes the Set writes
  Outcome restoreOverOld; // a restore from Setting over an old profile
  Outcome firstRestore;   // a restore from Setting where there is no profile
};

// Killed with the state before, killed with the state after, or run to its end.
constexpr Outcome kB{kKilled, kBefore}, kA{kKilled, kAfter}, kF{kFinished, kAfter};

constexpr Row kRows[] = {
    {0, kB, kB, kB, kF, kF},
    {1, kB, kB, kB, kB, kB},
    {2, kB, kB, kB, kB, kB},
    {3, kB, kB, kB, kB, kB},
    {4, kB, kB, kB, kB, kB},
    {5, kF, kB, kB, kB, kF},
    // In place with the path file already holding the new bytes: that is the state after a Set.
    {6, kB, kB, kA, kB, kB},
    {7, kA, kA, kA, kA, kA},
    {8, kF, kA, kA, kA, kF},
    {9, kF, kA, kA, kA, kF},
    {10, kA, kA, kA, kA, kA},
};

enum class Start { kFirstSet, kOverOldSetting, kSameBytes, kRestoreOverOld, kFirstRestore };

// `path` under another drive letter: Wine reaches every Unix path as Z:\..., and its other
// letters are links in the prefix's dosdevices folder. nullopt outside Wine or without Z:.
std::optional<std::wstring> UnderAnotherLetter(const std::wstring& path) {
  using UnixName = char*(__cdecl*)(const wchar_t*);  // Wine's kernel32 export
  const auto unixName =
      SystemProcedure<UnixName>(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
  char* name = unixName ? unixName(path.c_str()) : nullptr;
  if (name == nullptr) return std::nullopt;
  std::wstring other = L"Z:" + FromUtf8(name);
  HeapFree(GetProcessHeap(), 0, name);
  std::replace(other.begin(), other.end(), L'/', L'\\');
  if (towupper(other[0]) == towupper(path[0]) || !SameEntry(other, path)) return std::nullopt;
  return other;
}

// A restore from a Setting with caches, over an old profile or none; with `otherLetter` the start
// after it finds the installation folder renamed and under another drive letter.
void RestoreRun(const Row& row, Start start, bool otherLetter = false) {
  const Outcome expected = start == Start::kRestoreOverOld ? row.restoreOverOld : row.firstRestore;
  TempDir root(L"restore-crash");
  const std::wstring install = root / L"install";
  const std::wstring roaming = root / L"appdata";
  WriteBytes(install + L"\\Setting\\Default\\书签.json", "[\"portable\"]");
  WriteBytes(install + L"\\Setting\\Webkit\\Cache\\data_1", "cache");
  WriteBytes(install + L"\\Setting\\VelmoVideoCache\\clip.tmp", "video");
  WriteBytes(install + L"\\path", ToAnsi(install + L"\\Setting\r\nD:\\cache\r\n"));
  testing::MakeDirs(roaming);
  if (start == Start::kRestoreOverOld) WriteBytes(roaming + L"\\velmoexplorer\\old.txt", "old");
  const Tree installBefore = TreeSnapshot(install);
  const Tree roamingBefore = TreeSnapshot(roaming);
  Tree installAfter = installBefore;
  installAfter.erase(L"path");
  const Tree roamingAfter{{L"velmoexplorer\\", ""},
                          {L"velmoexplorer\\Default\\", ""},
                          {L"velmoexplorer\\Default\\书签.json", "[\"portable\"]"},
                          {L"velmoexplorer\\Webkit\\", ""}};

  EXPECT_EQ(RunToEnd(TestProgramFolder() + L"\\velmo_replacement_interrupter.exe",
                     L"\"" + install + L"\" " + std::to_wstring(row.step) + L" restore",
                     {{L"APPDATA", roaming}, {L"TEMP", root / L"temp"}}),
            static_cast<DWORD>(expected.exit));
  // The stick comes back under another letter, its folder renamed: the old names lead nowhere.
  std::optional<std::wstring> reopened = install;
  if (otherLetter) {
    ASSERT_TRUE(MoveFileW(install.c_str(), (root / L"stick").c_str()));
    reopened = UnderAnotherLetter(root / L"stick");
    if (!reopened) GTEST_SKIP() << "no other drive letter for " << ToUtf8(root.Path());
  }
  ScriptedUi ui;
  RecoverInterruptedReplacement(MakeContext(*reopened, {{L"APPDATA", roaming}}), ui);

  EXPECT_TRUE(ui.boxes.empty()) << ToUtf8(ui.boxes.front().text);
  EXPECT_EQ(TreeSnapshot(*reopened), expected.state == kBefore ? installBefore : installAfter);
  EXPECT_EQ(TreeSnapshot(roaming), expected.state == kBefore ? roamingBefore : roamingAfter);
}

TEST(ReplacementInterruption, RecoveryLeavesTheFolderAsBeforeTheClickOrAsAfterTheSet) {
  for (const Row& row : kRows) {
    for (const Start start : {Start::kFirstSet, Start::kOverOldSetting, Start::kSameBytes,
                              Start::kRestoreOverOld, Start::kFirstRestore}) {
      const Outcome expected = start == Start::kFirstSet         ? row.firstSet
                               : start == Start::kOverOldSetting ? row.overOldSetting
                                                                 : row.sameBytes;
      SCOPED_TRACE("step " + std::to_string(row.step) + ", start " +
                   std::to_string(static_cast<int>(start)));
      if (start == Start::kRestoreOverOld || start == Start::kFirstRestore) {
        RestoreRun(row, start);
        continue;
      }
      TempDir root(L"set-crash");
      const std::wstring install = root / L"install";
      const std::wstring profile = root / L"appdata\\velmoexplorer";
      const std::wstring setting = install + L"\\Setting";
      WriteBytes(profile + L"\\Default\\Preferences", "{\"homepage\":\"about:blank\"}");
      WriteBytes(profile + L"\\Default\\书签.json", "[]");
      WriteBytes(profile + L"\\Webkit\\Cache\\data_1", "cache");
      WriteBytes(profile + L"\\VelmoVideoCache\\clip.tmp", "video");
      const std::string written = ToAnsi(setting + L"\r\n" + root / L"temp\\WebkitCache" +
                                         L"\r\n" + setting + L"\\Cookies\r\n");
      testing::MakeDirs(install);
      if (start != Start::kFirstSet) {
        WriteBytes(setting + L"\\Default\\Preferences", "old preferences");
        WriteBytes(setting + L"\\old only.txt", "only in the old configuration");
        WriteBytes(install + L"\\path",
                   start == Start::kSameBytes ? written : "Setting\r\nD:\\old cache\r\n");
      }
      const Tree before = TreeSnapshot(install);
      const Tree after{{L"Setting\\", ""},
                       {L"Setting\\Default\\", ""},
                       {L"Setting\\Default\\Preferences", "{\"homepage\":\"about:blank\"}"},
                       {L"Setting\\Default\\书签.json", "[]"},
                       {L"Setting\\Webkit\\", ""},
                       {L"path", written}};
      const EnvironmentChanges environment{{L"APPDATA", root / L"appdata"},
                                           {L"TEMP", root / L"temp"}};

      EXPECT_EQ(RunToEnd(TestProgramFolder() + L"\\velmo_replacement_interrupter.exe",
                         L"\"" + install + L"\" " + std::to_wstring(row.step), environment),
                static_cast<DWORD>(expected.exit));
      ScriptedUi ui;
      RecoverInterruptedReplacement(MakeContext(install, {}), ui);

      EXPECT_TRUE(ui.boxes.empty()) << ToUtf8(ui.boxes.front().text);
      EXPECT_EQ(TreeSnapshot(install), expected.state == kBefore ? before : after);
      // The profile stays, without its caches once the first step is done.
      EXPECT_EQ(TreeSnapshot(profile),
                (Tree{{L"Default\\", ""},
                      {L"Default\\Preferences", "{\"homepage\":\"about:blank\"}"},
                      {L"Default\\书签.json", "[]"},
                      {L"Webkit\\", ""}}));
    }
  }
}

TEST(ReplacementInterruption, ARestoreKilledBeforeItsCommitIsSettledUnderAnotherLetter) {
  // Killed with the copy in place and the old profile aside, the path file still there: the
  // start from the stick's new place puts everything back as it was, with nothing left over.
  RestoreRun(kRows[6], Start::kRestoreOverOld, /*otherLetter=*/true);
}

}  // namespace
}  // namespace velmo::e2e
