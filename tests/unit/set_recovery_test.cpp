#include "commands/set_recovery.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

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

using Tree = std::map<std::wstring, std::string>;

// A journal as the Set writes it: old entry present, the path file's bytes "P1" after the Set
// and "P0" before it; the second one for a first Set (no old entry, no path file before).
constexpr char kJournalOldP1[] = "VelmoSet2\r\n1\r\n2\r\nP12\r\nP0VelmoSetEnd\r\n";
constexpr char kJournalFirstP1[] = "VelmoSet2\r\n0\r\n2\r\nP1-\r\nVelmoSetEnd\r\n";

void Build(const std::wstring& root, const Tree& tree) {
  for (const auto& [name, bytes] : tree) {
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
};

TEST(SetRecovery, PutsTheFolderBackIntoOneOfTwoStatesAndKeepsEveryConfiguration) {
  const Case cases[] = {
      {"nothing to do, near-miss names stay (full-width digits are no temporary file's)",
       {{L"Setting\\a", "s"}, {L"path", "P"}, {L"vpf12345.tmp", "1"}, {L"vpfzz.tmp", "2"},
        {L"vpf１Ａ.tmp", "6"}, {L"Setting.velmo-x", "3"}, {L"Set~other\\b", "4"},
        {L"Setting.velmo-probe-9-1\\k", "5"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "s"}, {L"path", "P"}, {L"vpf12345.tmp", "1"},
        {L"vpfzz.tmp", "2"}, {L"vpf１Ａ.tmp", "6"}, {L"Setting.velmo-x", "3"}, {L"Set~other\\", ""},
        {L"Set~other\\b", "4"}, {L"Setting.velmo-probe-9-1\\", ""}, {L"Setting.velmo-probe-9-1\\k", "5"}},
       L""},
      {"a partial copy and the path file's temporary files go",
       {{L"Set~tmp\\Default\\Preferences", "p"}, {L"vpf1A2B.tmp", "x"}, {L"VPF9c.TMP", "z"},
        {L"path.velmo-new", "y"},
        {L"Setting.velmo-probe-12-1\\", ""}, {L"Setting\\a", "s"}, {L"path", "P"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "s"}, {L"path", "P"}},
       L""},
      {"the old Setting aside, no Setting: it goes back",
       {{L"Set~old\\a", "old"}, {L"path", "P0"}},
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
       {{L"Setting\\a", "new"}, {L"Set~del\\a", "old"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "new"}},
       L""},
      {"a journal cut short: nothing was moved yet",
       {{L"Set~new\\a", "new"}, {L"Setting\\a", "old"}, {L"Set~jnl", "VelmoSet2\r\n1\r\n2\r\nP12\r\nP0"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "old"}},
       L""},
      {"the journal names an old entry that is not aside: Setting may be it, and stays",
       {{L"Setting\\a", "which?"}, {L"Set~jnl", kJournalOldP1}, {L"path", "P0"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "which?"}, {L"path", "P0"}},
       L""},
      {"copies an earlier version made: the old one goes back, the new one goes",
       {{L"Setting.velmo-new-12-1\\a", "copy"}, {L"Setting.velmo-old-12-1\\a", "old"},
        {L"path", "P"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "old"}, {L"path", "P"}},
       L""},
      {"two configurations and no journal: both stay, the other one under a visible name",
       {{L"Setting\\a", "current"}, {L"Set~old\\a", "other"}, {L"旧配置\\x", "earlier"}},
       {{L"Setting\\", ""}, {L"Setting\\a", "current"}, {L"旧配置\\", ""}, {L"旧配置\\x", "earlier"},
        {L"旧配置2\\", ""}, {L"旧配置2\\a", "other"}},
       L"检测到上次设置Velmo浏览器配置文件时没有完成。\r\n除了正在使用的配置文件：\r\n<dir>\\Setting"
       L"\r\n还留有另一份配置文件。为避免丢失数据，工具没有删除它，它现在保存在：\r\n<dir>\\旧配置2"
       L"\r\n确认不再需要后，可以手动删除它。"},
  };
  for (const Case& item : cases) {
    SCOPED_TRACE(item.what);
    TempDir dir(L"recovery");
    Build(dir.Path(), item.before);
    EXPECT_EQ(HasSetLeftovers(dir.Path()), TreeSnapshot(dir.Path()) != item.after);
    ScriptedUi ui;

    RecoverInterruptedSet(MakeContext(dir.Path(), {}), ui);

    EXPECT_EQ(TreeSnapshot(dir.Path()), item.after);
    if (item.box.empty()) {
      EXPECT_TRUE(ui.boxes.empty()) << ToUtf8(ui.boxes.front().text);
    } else {
      ASSERT_EQ(ui.boxes.size(), 1u);
      EXPECT_EQ(ui.boxes[0].text, Replace(item.box, L"<dir>", dir.Path()));
      EXPECT_EQ(ui.boxes[0].style, 0x40u);
      EXPECT_EQ(ui.boxes[0].title, L"友情提示");
    }
    // Once sorted out, the next start has nothing to do.
    EXPECT_FALSE(HasSetLeftovers(dir.Path()));
  }
}

}  // namespace
}  // namespace velmo
