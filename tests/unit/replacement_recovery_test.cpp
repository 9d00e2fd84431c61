#include "commands/replacement_recovery.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <optional>
#include <string>

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
using testing::TreeSnapshot;
using testing::WithDir;
using testing::WriteBytes;

using Tree = std::map<std::wstring, std::string>;

// Journals as Set writes them (bare names), the path file "P1" after, "P0" before.
const std::string kNames = "Setting\r\nSet~tmp\r\nSet~new\r\nSet~old\r\nSet~del\r\npath\r\n";
// An earlier build's journal names every entry in full, below the folder it was written in.
std::string FullNamesJournal(const std::string& folder) {
  std::string names;
  for (const char* name : {"Setting", "Set~tmp", "Set~new", "Set~old", "Set~del", "path"}) {
    names += folder + "\\" + name + "\r\n";
  }
  return "VelmoPortableJournal\r\nSet\r\nswapping\r\n1\r\n" + names + "2\r\nP12\r\nP0End\r\n";
}
// A restore's for the profile folder in <dir>\bob, swapped, the path file "P0" before.
const std::string kRestoreJournal =
    "VelmoPortableJournal\r\nRestore\r\nswapping\r\n1\r\n<dir>\\bob\\velmoexplorer\r\n"
    "<dir>\\bob\\velmoexp~tmp\r\n<dir>\\bob\\velmoexp~new\r\n<dir>\\bob\\velmoexp~old\r\n"
    "<dir>\\bob\\velmoexp~del\r\npath\r\n-\r\n2\r\nP0End\r\n";
// The same, written with the identity of its APPDATA folder: one that no folder here has.
const std::string kRestoreJournalElsewhere =
    "VelmoPortableJournal2" + kRestoreJournal.substr(20, kRestoreJournal.size() - 25) +
    "Identity 1 2 3\r\nEnd\r\n";
const std::wstring kOtherProfileRefusal =
    L"无法开始设置：另一个Windows用户（或另一个用户配置文件夹）有一次恢复为安装版没有完成，正在等待"
    L"整理。它要恢复的配置文件夹是：\r\n<dir>\\bob\\velmoexplorer\r\n只有在该用户的账户下打开本工具"
    L"才能整理它。为避免丢失数据，本工具这次没有做任何改动；请先让该用户打开一次本工具，再重新操作。";
const std::string kJournalOldP1 =
    "VelmoPortableJournal2\r\nSet\r\nswapping\r\n1\r\n" + kNames + "2\r\nP12\r\nP0End\r\n";
const std::string kJournalFirstP1 =
    "VelmoPortableJournal2\r\nSet\r\nswapping\r\n0\r\n" + kNames + "2\r\nP1-\r\nEnd\r\n";
const std::string kJournalCopying =
    "VelmoPortableJournal2\r\nSet\r\ncopying\r\n1\r\n" + kNames + "2\r\nP12\r\nP0End\r\n";

void Build(const std::wstring& root, const Tree& tree) {
  for (const auto& [name, bytes] : WithDir(tree, root)) {
    if (name.ends_with(L"\\")) {
      MakeDirs(root + L"\\" + name);
    } else {
      WriteBytes(root + L"\\" + name, bytes);
    }
  }
}

std::wstring Replace(std::wstring text, const std::wstring& placeholder,
                     const std::wstring& value) {
  for (std::size_t at = text.find(placeholder); at != std::wstring::npos;
       at = text.find(placeholder, at + value.size())) {
    text.replace(at, placeholder.size(), value);
  }
  return text;
}

struct Case {
  const char* what;
  Tree before;
  Tree after;
  std::wstring box;  // "<dir>" stands for the installation folder; empty: no box
  // By another program, without sharing: the journal waits for the next start.
  bool pathFileHeld = false;
  // The journal waits for another user's start or a user's decision: the box Set then shows.
  std::wstring refusal = {};
  const wchar_t* appData = L"";  // this user's APPDATA below the folder; empty: none
};

TEST(ReplacementRecovery, PutsTheFolderBackIntoOneOfTwoStatesAndKeepsEveryConfiguration) {
  // The tool's names and earlier builds', a journal of another format, a full write-check folder.
  const Tree users{{L"Setting\\", ""}, {L"Setting\\a", "s"}, {L"path", "P"}, {L"Set~old\\", ""},
                   {L"Set~jnl", "VelmoSet2\r\n"}, {L"Set~old\\a", "mine"}, {L"Set~jnw", "my notes"},
                   {L"Setting.velmo-new-x\\", ""}, {L"Setting.velmo-old-1-1\\", ""},
                   {L"vpf1A2B.tmp", "x"}, {L"path.velmo-new", "y"},
                   {L"Setting.velmo-probe-9-1\\", ""}, {L"Setting.velmo-probe-9-1\\k", "5"}};
  const Case cases[] = {
      {"without a whole journal every name is the user's", users, users, L""},
      {"a folder named like the journal is the user's",
       {{L"Set~jnl\\j", "mine"}, {L"Set~new\\a", "mine"}},
       {{L"Set~jnl\\", ""}, {L"Set~jnl\\j", "mine"}, {L"Set~new\\", ""}, {L"Set~new\\a", "mine"}},
       L""},
      {"still copying: the copies, the tool's draft, an empty write-check folder go; not Setting",
       {{L"Set~tmp\\Default\\Preferences", "p"}, {L"Set~new\\a", "n"}, {L"Setting\\a", "s"},
        {L"Setting.velmo-probe-12-1\\", ""},
        {L"Set~jnl", kJournalCopying}, {L"Set~jnw", "VelmoPortableJournal\r\nSet"}, {L"path", "P0"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "s"}, {L"path", "P0"}},
       L""},
      {"an earlier build's journal (full paths) from another drive letter and folder: read here",
       {{L"Setting\\a", "new"}, {L"Set~old\\a", "old"}, {L"Set~jnl", FullNamesJournal("Q:\\stick")},
        {L"path", "P0"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "old"}, {L"path", "P0"}},
       L""},
      {"an earlier build's journal (full paths) where it was written: followed as before",
       {{L"Setting\\a", "new"}, {L"Set~old\\a", "old"}, {L"Set~jnl", FullNamesJournal("<dir>")},
        {L"path", "P1"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "new"}, {L"path", "P1"}},
       L""},
      {"a restore swapped in this user's APPDATA, not committed: undone",
       {{L"bob\\velmoexplorer\\a", "portable"}, {L"bob\\velmoexp~old\\a", "installed"},
        {L"Set~jnl", kRestoreJournal}, {L"path", "P0"}},
       {{L"bob\\", ""}, {L"bob\\velmoexplorer\\", ""}, {L"bob\\velmoexplorer\\a", "installed"},
        {L"path", "P0"}},
       L"", false, L"", L"bob"},
      {"a restore held up at start: the box names the interrupted restore",
       {{L"bob\\velmoexp~old\\a", "installed"}, {L"Set~jnl", kRestoreJournal}, {L"path", "P0"}},
       {},
       L"检测到上次恢复为安装版时没有完成，但以下文件或文件夹正在被其他程序使用，暂时无法整理：\r\n"
       L"<dir>\\path\r\n请关闭正在使用它的程序后重新打开本工具，工具会自动整理。",
       true, L"", L"bob"},
      {"another user's restore (another APPDATA): left as it is, Set names the folder it waits for",
       {{L"bob\\velmoexplorer\\a", "portable"}, {L"bob\\velmoexp~old\\a", "installed"},
        {L"Set~jnl", kRestoreJournal}, {L"Set~jnw", "VelmoPortableJournal\r\n"}, {L"path", "P0"}},
       {}, L"", false, kOtherProfileRefusal, L"alice"},
      {"a restore of another computer's account of the same name (the same APPDATA text): left",
       {{L"bob\\velmoexp~old\\a", "installed"}, {L"Set~jnl", kRestoreJournalElsewhere}},
       {}, L"", false, kOtherProfileRefusal, L"bob"},
      {"a restore's journal while this user's APPDATA cannot be read: whose it is is not guessed",
       {{L"bob\\velmoexp~old\\a", "installed"}, {L"Set~jnl", kRestoreJournalElsewhere}},
       {}, L"", false,
       L"无法开始设置：有一次恢复为安装版没有完成，正在等待整理。它要恢复的配置文件夹是：\r\n"
       L"<dir>\\bob\\velmoexplorer\r\n但无法读取当前用户的配置文件夹所在的文件夹（环境变量APPDATA）"
       L"的信息，无法确认这次恢复是否属于当前用户。为避免丢失数据，本工具这次没有做任何改动；"
       L"请确认该文件夹可以访问后再重新操作。",
       L"bad<name"},
      {"a restore into a profile at a drive's root, still copying: followed here",
       {{L"Set~jnl", "VelmoPortableJournal\r\nRestore\r\ncopying\r\n0\r\nC:\\velmoexplorer\r\n"
                     "C:\\velmoexp~tmp\r\nC:\\velmoexp~new\r\nC:\\velmoexp~old\r\n"
                     "C:\\velmoexp~del\r\npath\r\n-\r\n2\r\nP0End\r\n"}, {L"path", "P0"}},
       {{L"path", "P0"}}, L"", false, L"", L"C:\\"},
      {"a hand-typed name through \"..\": not followed, nothing touched, Set says why",
       {{L"sub\\", ""}, {L"Set~old\\a", "old"}, {L"Setting\\a", "new"}, {L"path", "P0"},
        {L"Set~jnl", "VelmoPortableJournal\r\nSet\r\nswapping\r\n1\r\nSetting\r\nSet~tmp\r\n"
                     "Set~new\r\nsub\\..\\Set~old\r\nSet~del\r\npath\r\n2\r\nP12\r\nP0End\r\n"}},
       {}, L"", false,
       L"无法开始设置：安装目录中的进度记录：\r\n<dir>\\Set~jnl\r\n记录了一次没有完成的设置，但其中的名称"
       L"不是本工具使用的名称，工具无法按它整理。为避免丢失数据，本工具这次没有做任何改动；请确认它记录的"
       L"文件和文件夹不再需要后删除这个文件，再重新操作。"},
      {"the old Setting aside, no Setting: it goes back",
       {{L"Set~old\\a", "old"}, {L"Set~jnl", kJournalOldP1}, {L"path", "P0"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "old"}, {L"path", "P0"}},
       L""},
      {"the swap did not finish: the old one goes back, the copy goes",
       {{L"Set~new\\a", "new"}, {L"Set~old\\a", "old"}, {L"Set~jnl", kJournalOldP1},
        {L"path", "P0"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "old"}, {L"path", "P0"}},
       L""},
      {"swapped, path file not written: undone",
       {{L"Setting\\a", "new"}, {L"Set~old\\a", "old"}, {L"Set~jnl", kJournalOldP1},
        {L"path", "P0"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "old"}, {L"path", "P0"}},
       L""},
      {"committed: the old one goes",
       {{L"Setting\\a", "new"}, {L"Set~old\\a", "old"}, {L"Set~jnl", kJournalOldP1},
        {L"path", "P1"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "new"}, {L"path", "P1"}},
       L""},
      {"first Set swapped, no path file yet: undone",
       {{L"Setting\\a", "new"}, {L"Set~jnl", kJournalFirstP1}},
       {},
       L""},
      {"first Set committed",
       {{L"Setting\\a", "new"}, {L"Set~jnl", kJournalFirstP1}, {L"path", "P1"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "new"}, {L"path", "P1"}},
       L""},
      {"swapped, then another command rewrote the path file: both configurations stay",
       {{L"Setting\\a", "new"}, {L"Set~old\\a", "old"}, {L"Set~jnl", kJournalOldP1},
        {L"path", "P2"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "new"}, {L"旧配置\\", ""}, {L"旧配置\\a", "old"},
        {L"path", "P2"}},
       L"检测到上次设置Velmo浏览器配置文件时没有完成。\r\n除了正在使用的配置文件：\r\n<dir>\\Setting"
       L"\r\n还留有另一份配置文件。为避免丢失数据，工具没有删除它，它现在保存在：\r\n<dir>\\旧配置"
       L"\r\n确认不再需要后，可以手动删除它。"},
      {"committed and the old one marked for deletion",
       {{L"Setting\\a", "new"}, {L"Set~del\\a", "old"}, {L"Set~jnl", kJournalOldP1}, {L"path", "P2"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "new"}, {L"path", "P2"}},
       L""},
      {"a journal of the tool's cut short: nothing was made yet, the entries are the user's",
       {{L"Set~new\\a", "new"}, {L"Setting\\a", "old"}, {L"Set~jnl", kJournalOldP1.substr(0, 60)}},
       {{L"Set~new\\", ""}, {L"Set~new\\a", "new"}, {L"Setting\\", ""}, {L"Setting\\a", "old"}},
       L""},
      {"the path file cannot be read: the entry named, everything stays for the next start",
       {{L"Setting\\a", "new"}, {L"Set~old\\a", "old"}, {L"Set~jnl", kJournalOldP1}, {L"path", "P0"}},
       {},
       L"检测到上次设置Velmo浏览器配置文件时没有完成，但以下文件或文件夹正在被其他程序使用，暂时无法"
       L"整理：\r\n<dir>\\path\r\n请关闭正在使用它的程序后重新打开本工具，工具会自动整理。",
       true},
      {"a user's file at the journal's name beside a draft of the tool's cut short: it stays",
       {{L"Set~jnl", "my notes"}, {L"Set~jnw", kJournalOldP1.substr(0, 60)}},
       {{L"Set~jnl", "my notes"}},
       L""},
      {"only the journal's draft, killed while it was written first: the draft goes",
       {{L"Setting\\a", "old"}, {L"Set~jnw", kJournalOldP1.substr(0, 60)}},
       {{L"Setting\\", ""}, {L"Setting\\a", "old"}},
       L""},
      {"the journal names an old entry that is not aside: Setting may be it, and stays",
       {{L"Setting\\a", "which?"}, {L"Set~jnl", kJournalOldP1}, {L"path", "P0"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "which?"}, {L"path", "P0"}},
       L""},
      {"copy not in place beside another configuration: the old one gets the next visible name",
       {{L"Setting\\a", "current"}, {L"Set~new\\n", "copy"}, {L"Set~old\\a", "other"},
        {L"旧配置\\x", "earlier"}, {L"Set~jnl", kJournalOldP1}, {L"path", "P0"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "current"}, {L"旧配置\\", ""}, {L"旧配置\\x", "earlier"},
        {L"旧配置2\\", ""}, {L"旧配置2\\a", "other"}, {L"path", "P0"}},
       L"检测到上次设置Velmo浏览器配置文件时没有完成。\r\n除了正在使用的配置文件：\r\n<dir>\\Setting"
       L"\r\n还留有另一份配置文件。为避免丢失数据，工具没有删除它，它现在保存在：\r\n<dir>\\旧配置2"
       L"\r\n确认不再需要后，可以手动删除它。"},
  };
  for (const Case& item : cases) {
    SCOPED_TRACE(item.what);
    TempDir dir(L"recovery");
    Build(dir.Path(), item.before);
    const Tree built = TreeSnapshot(dir.Path());
    const auto signedFile = [&](const wchar_t* name) {
      const auto file = item.before.find(name);
      return file != item.before.end() && file->second.starts_with("VelmoPortableJournal");
    };
    EXPECT_EQ(ReadJournalFiles(JournalFiles(dir.Path())).Interrupted(),
              signedFile(L"Set~jnl") || signedFile(L"Set~jnw"));
    ScriptedUi ui;
    const std::wstring appData = *item.appData && item.appData[1] != L':' ? dir / item.appData
                                                                       : item.appData;
    {
      const UniqueFileHandle held(
          item.pathFileHeld ? CreateFileW((dir / L"path").c_str(), GENERIC_READ, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr)
                            : INVALID_HANDLE_VALUE);
      RecoverInterruptedReplacement(MakeContext(dir.Path(), {{L"APPDATA", appData}}), ui);
    }
    // A journal that waits changes nothing.
    const bool waits = item.pathFileHeld || !item.refusal.empty();
    const Tree after = waits ? built : WithDir(item.after, dir.Path());
    EXPECT_EQ(TreeSnapshot(dir.Path()), after);
    if (item.box.empty()) {
      EXPECT_TRUE(ui.boxes.empty()) << ToUtf8(ui.boxes.front().text);
    } else {
      ASSERT_EQ(ui.boxes.size(), 1u);
      EXPECT_EQ(ui.boxes[0].text, Replace(item.box, L"<dir>", dir.Path()));
      EXPECT_EQ(ui.boxes[0].style, 0x40u);
      EXPECT_EQ(ui.boxes[0].title, L"友情提示");
    }
    // Once sorted out, the next start has nothing to do.
    EXPECT_EQ(ReadJournalFiles(JournalFiles(dir.Path())).Interrupted(), waits);
    if (!item.refusal.empty()) {
      ScriptedUi setUi;
      CommandSession session{*FolderLock::TryTake(dir.Path()), CurrentRights(), RetryBudget()};
      EXPECT_FALSE(
          SettleBeforeReplacement(dir.Path(), appData, session, setUi, ReplacementKind::kSet));
      ASSERT_EQ(setUi.boxes.size(), 1u);
      EXPECT_EQ(setUi.boxes[0].text, Replace(item.refusal, L"<dir>", dir.Path()));
      EXPECT_EQ(setUi.boxes[0].style, 0x10u);
      EXPECT_EQ(TreeSnapshot(dir.Path()), after);
    }
  }
}

}  // namespace
}  // namespace velmo
