// The Set button through the real window: a browser installation with the tool beside it, a
// roaming profile of its own, the boxes read off the screen and the results read off the disk.
// The finer branches are covered with the scripted window in the command's own tests; these are
// the cases where the real process matters: another program running or holding files, the tool
// ending, the tool staying open after an error.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
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
using testing::RemoveTree;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WithDir;
using testing::WriteBytes;

using Tree = std::map<std::wstring, std::string>;

const std::wstring kRunningText = L"检测到Velmo浏览器正在运行中，请关闭Velmo浏览器再继续操作。";
const std::wstring kOverwriteText =
    L"检测到当前目录下已经存放有Velmo浏览器配置文件，是否需要用系统现有的Velmo浏览器配置文件覆盖"
    L"当前绿色版的配置文件？";
const std::wstring kSuccessText = L"成功设置，重启Velmo浏览器后生效。";
const std::wstring kFriendly = L"友情提示";

std::wstring DoubleByteText(const std::wstring& setting) {
  return L"检测到当前绿色版存放的路径：“" + setting +
         L"”。存在中文字符，请将绿色版复制到非中文的路径再开始制作。\r\n"
         L"是否需要停止当前绿色版的制作？如果选择“是”则停止制作，如果选择“否”则强制在当前目录下"
         L"制作绿色版，这样制作的绿色版将无法使用部分浏览器插件";
}

BOOL CALLBACK NoteIcon(HWND child, LPARAM param) {
  DWORD_PTR icon = 0;
  SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon);
  if (icon == 0) return TRUE;
  *reinterpret_cast<bool*>(param) = true;
  return FALSE;
}

// Whether the box shows an icon. Which one cannot be told from here: under Wine the system
// icons are separate handles in every process. (The styles themselves are checked by the
// command's tests with the scripted window.)
bool ShowsIcon(const BoxInfo& box) {
  bool shown = false;
  EnumChildWindows(box.window, &NoteIcon, reinterpret_cast<LPARAM>(&shown));
  return shown;
}

// A journal of the Set's in `phase`, "<dir>" standing for the installation folder.
std::string Journal(const std::string& phase) {
  return "VelmoPortableJournal\r\nSet\r\n" + phase +
         "\r\n1\r\n<dir>\\Setting\r\n<dir>\\Set~tmp\r\n<dir>\\Set~new\r\n<dir>\\Set~old\r\n"
         "<dir>\\Set~del\r\n<dir>\\path\r\n-\r\n-\r\nEnd\r\n";
}

Tree WithoutCaches(Tree tree) {
  std::erase_if(tree, [](const auto& entry) {
    const std::wstring& name = entry.first;
    return name.starts_with(L"Webkit\\Cache\\") || name.starts_with(L"Webkit\\Cache2\\") ||
           name.starts_with(L"VelmoVideoCache\\");
  });
  return tree;
}

class SetCommand : public ::testing::Test {
 protected:
  // Installs the tool in a fresh folder whose name holds `hint`.
  void Install(const std::wstring& hint = L"velmo-e2e-set") {
    install_.emplace(hint);
    exe_ = SetUpInstallation(install_->Path());
  }
  void SetUp() override {
    Install();
    MakeDirs(Roaming());
    MakeDirs(Temp());
  }

  void Start() {
    tool_.emplace(exe_, EnvironmentChanges{{L"APPDATA", Roaming()}, {L"TEMP", Temp()}});
    ASSERT_NE(tool_->WaitForMainWindow(), nullptr);
  }

  // Clicks Set and returns the first box.
  BoxInfo ClickSet() {
    tool_->Click(kSetButton);
    return NextBox();
  }
  BoxInfo NextBox() {
    const std::optional<BoxInfo> box = tool_->WaitForBox();
    if (!box) {
      ADD_FAILURE() << "no message box appeared";
      return {};
    }
    return *box;
  }
  // Answers `box` and returns the box that follows it.
  BoxInfo Answer(const BoxInfo& box, int button) {
    tool_->Answer(box, button);
    return NextBox();
  }
  void Finish(const BoxInfo& box) {
    tool_->Answer(box, IDOK);
    EXPECT_FALSE(tool_->WaitForBox(800).has_value()) << "an unexpected further box";
  }

  // A profile with subfolders, a read-only and a hidden file, Chinese names and the three caches.
  void MakeProfile() {
    WriteBytes(Profile() + L"\\Default\\Preferences", "{\"homepage\":\"about:blank\"}");
    WriteBytes(Profile() + L"\\Default\\书签\\收藏夹.json", "[]");
    WriteBytes(Profile() + L"\\Webkit\\Cookies", "cookie jar");
    WriteBytes(Profile() + L"\\Webkit\\Cache\\data_1", "cache 1");
    WriteBytes(Profile() + L"\\Webkit\\Cache2\\entries\\0A", "cache 2");
    WriteBytes(Profile() + L"\\VelmoVideoCache\\clip.tmp", "video");
    WriteBytes(Profile() + L"\\只读.dat", "read-only");
    WriteBytes(Profile() + L"\\hidden.dat", "hidden");
    SetFileAttributesW((Profile() + L"\\只读.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((Profile() + L"\\hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
  }

  std::wstring Dir() const { return install_->Path(); }
  std::wstring Setting() const { return Dir() + L"\\Setting"; }
  std::wstring PathFile() const { return Dir() + L"\\path"; }
  std::wstring Roaming() const { return environment_ / L"AppData\\Roaming"; }
  std::wstring Temp() const { return environment_ / L"Temp"; }
  std::wstring Profile() const { return Roaming() + L"\\velmoexplorer"; }
  std::string Absolute() const {
    return ToAnsi(Setting() + L"\r\n" + Temp() + L"\\WebkitCache\r\n" + Setting() +
                  L"\\Cookies\r\n");
  }
  std::string Relative() const { return ToAnsi(L"Setting\r\n" + Temp() + L"\\WebkitCache\r\n"); }

  // The installation folder's own entries, apart from the tool and the browser.
  std::vector<std::wstring> TopLevelNames() const {
    std::vector<std::wstring> names;
    for (const auto& [name, bytes] : TreeSnapshot(Dir())) {
      const auto slash = name.find(L'\\');
      if (slash != std::wstring::npos && slash + 1 != name.size()) continue;
      if (name == L"velmo_portable.exe" || name == L"velmoexplorer.exe") continue;
      names.push_back(name);
    }
    return names;
  }

  TempDir environment_{L"velmo-e2e-env"};
  std::optional<TempDir> install_;
  std::wstring exe_;
  std::optional<ToolProcess> tool_;
};

// A box of the command's own: the friendly title, an icon, the given text and buttons.
void ExpectBox(const BoxInfo& box, const std::wstring& text, const std::vector<int>& buttons) {
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.title, kFriendly);
  EXPECT_TRUE(ShowsIcon(box));
  EXPECT_EQ(box.buttons, buttons);
}
void ExpectNotice(const BoxInfo& box, const std::wstring& text) { ExpectBox(box, text, {IDOK}); }
void ExpectQuestion(const BoxInfo& box, const std::wstring& text) {
  ExpectBox(box, text, {IDYES, IDNO});
}
void ExpectError(const BoxInfo& box, const std::wstring& mentioned) {
  EXPECT_TRUE(ShowsIcon(box));
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  EXPECT_NE(box.text.find(mentioned), std::wstring::npos) << ToUtf8(box.text);
  EXPECT_EQ(box.text.find(kSuccessText), std::wstring::npos);
}

TEST_F(SetCommand, RunningBrowserOnlyGetsTheNotice) {
  MakeProfile();
  const Tree profileBefore = TreeSnapshot(Profile());
  TempDir elsewhere(L"velmo-e2e-other");
  MakeDirs(elsewhere / L"BIN");
  RunningBrowser browser(elsewhere / L"BIN\\VELMOEXPLORER.EXE");
  Start();

  const BoxInfo box = ClickSet();
  ExpectNotice(box, kRunningText);
  Finish(box);
  EXPECT_TRUE(TopLevelNames().empty());
  EXPECT_EQ(TreeSnapshot(Profile()), profileBefore);

  // The check comes before the profile test: without a profile it is the same.
  RemoveTree(Profile());
  const BoxInfo again = ClickSet();
  ExpectNotice(again, kRunningText);
  Finish(again);
  EXPECT_TRUE(TopLevelNames().empty());
}

TEST_F(SetCommand, CopiesTheProfileAndWritesTheAbsoluteForm) {
  MakeProfile();
  const Tree expected = WithoutCaches(TreeSnapshot(Profile()));
  Start();

  const BoxInfo box = ClickSet();
  ExpectNotice(box, kSuccessText);
  Finish(box);
  EXPECT_EQ(ReadBytes(PathFile()), Absolute());
  EXPECT_EQ(TreeSnapshot(Setting()), expected);
  EXPECT_EQ(TreeSnapshot(Profile()), expected);
  EXPECT_EQ(TopLevelNames(), (std::vector<std::wstring>{L"Setting\\", L"path"}));

  // A second click finds Setting and replaces it on Yes, with the profile as it is now.
  WriteBytes(Setting() + L"\\stale.txt", "stale");
  WriteBytes(Profile() + L"\\Default\\new.txt", "new");
  const BoxInfo question = ClickSet();
  ExpectQuestion(question, kOverwriteText);
  const BoxInfo done = Answer(question, IDYES);
  ExpectNotice(done, kSuccessText);
  Finish(done);
  EXPECT_EQ(TreeSnapshot(Setting()), TreeSnapshot(Profile()));
  EXPECT_EQ(TopLevelNames(), (std::vector<std::wstring>{L"Setting\\", L"path"}));
}

TEST_F(SetCommand, WithoutAProfileWritesTheRelativeFormOnly) {
  Install(L"绿色 浏览器");  // no question about the Chinese path in this case
  Start();
  const BoxInfo box = ClickSet();
  ExpectNotice(box, kSuccessText);
  Finish(box);
  EXPECT_EQ(ReadBytes(PathFile()), Relative());
  EXPECT_EQ(TopLevelNames(), std::vector<std::wstring>{L"path"});
}

TEST_F(SetCommand, ChinesePathAnsweredYesEndsTheTool) {
  Install(L"绿色版");
  MakeProfile();
  const Tree profileBefore = TreeSnapshot(Profile());
  Start();
  const BoxInfo question = ClickSet();
  ExpectQuestion(question, DoubleByteText(Setting()));
  tool_->Answer(question, IDYES);
  EXPECT_TRUE(tool_->WaitForExit().has_value());
  EXPECT_TRUE(TopLevelNames().empty());
  EXPECT_EQ(TreeSnapshot(Profile()), profileBefore);
}

// --- Faults ------------------------------------------------------------------------------------

TEST_F(SetCommand, HeldProfileFileFailsTheCopyAndChangesNothing) {
  MakeProfile();
  WriteBytes(Setting() + L"\\mine.txt", "mine");
  const std::string oldPathFile = "Setting\r\nD:\\cache\r\n";
  WriteBytes(PathFile(), oldPathFile);
  const std::vector<std::wstring> topBefore = TopLevelNames();
  Start();
  {
    FileHolder held(Profile() + L"\\Default\\Preferences");
    const BoxInfo question = ClickSet();
    ExpectQuestion(question, kOverwriteText);
    const BoxInfo error = Answer(question, IDYES);
    ExpectError(error, Profile());
    Finish(error);
  }
  EXPECT_EQ(ReadBytes(PathFile()), oldPathFile);
  EXPECT_EQ(TreeSnapshot(Setting()), (Tree{{L"mine.txt", "mine"}}));
  EXPECT_EQ(TopLevelNames(), topBefore);
}

TEST_F(SetCommand, HeldSettingFileIsReportedAndSettingKept) {
  MakeProfile();
  WriteBytes(Setting() + L"\\Webkit\\Cookies", "old cookies");
  const Tree settingBefore = TreeSnapshot(Setting());
  Start();
  {
    FileHolder held(Setting() + L"\\Webkit\\Cookies");
    const BoxInfo question = ClickSet();
    const BoxInfo error = Answer(question, IDYES);
    ExpectError(error, Setting() + L"\\Webkit\\Cookies");
    Finish(error);
  }
  EXPECT_EQ(TreeSnapshot(Setting()), settingBefore);  // nothing nested, nothing lost
  EXPECT_FALSE(ReadBytes(PathFile()).has_value());
  EXPECT_EQ(TopLevelNames(), std::vector<std::wstring>{L"Setting\\"});
}

// An antivirus scan or the indexer holds a file for a moment: the Set waits for it and succeeds.
TEST_F(SetCommand, ASettingFileHeldForAMomentIsWaitedFor) {
  MakeProfile();
  WriteBytes(Setting() + L"\\Webkit\\Cookies", "old cookies");
  const Tree expected = WithoutCaches(TreeSnapshot(Profile()));
  Start();
  const BoxInfo question = ClickSet();
  std::optional<FileHolder> held(std::in_place, Setting() + L"\\Webkit\\Cookies");
  tool_->Answer(question, IDYES);
  Sleep(500);
  DWORD_PTR ignored = 0;  // meanwhile the window answers the system: it never looks hung
  EXPECT_NE(SendMessageTimeoutW(tool_->WaitForMainWindow(0), WM_NULL, 0, 0, 0, 2500, &ignored), 0);
  Sleep(1000);
  held.reset();
  const BoxInfo done = tool_->WaitForBox().value_or(BoxInfo{});
  ExpectNotice(done, kSuccessText);
  Finish(done);
  EXPECT_EQ(TreeSnapshot(Setting()), expected);
  EXPECT_EQ(TopLevelNames(), (std::vector<std::wstring>{L"Setting\\", L"path"}));
}

TEST_F(SetCommand, FolderNamedPathIsReportedAndTheToolStaysOpen) {
  MakeProfile();
  const Tree profileBefore = TreeSnapshot(Profile());
  MakeDirs(PathFile());
  Start();
  const BoxInfo error = ClickSet();
  ExpectError(error, PathFile());
  Finish(error);
  EXPECT_EQ(TreeSnapshot(Profile()), profileBefore);
  EXPECT_EQ(TopLevelNames(), std::vector<std::wstring>{L"path\\"});
  EXPECT_EQ(tool_->Close(), 0u);
}

TEST_F(SetCommand, ClosingTheWindowDuringAQuestionStopsEverything) {
  // WM_CLOSE to the window (a script, an installer, taskkill without /f) destroys the open
  // question with it: that is no answer, so nothing is written, deleted or copied, and the tool
  // ends without another box.
  struct Case {
    const wchar_t* installHint;
    bool oldSetting;
    int button;       // Set or Move folder
    bool overwrite;   // which question comes: overwrite, or the double-byte one
  };
  for (const Case item : {Case{L"绿色版", false, kSetButton, false},
                          Case{L"绿色版", true, kMoveFolderButton, false},
                          Case{L"velmo-e2e-close", true, kSetButton, true}}) {
    SCOPED_TRACE(ToUtf8(item.installHint) + " " + std::to_string(item.button));
    Install(item.installHint);
    RemoveTree(Profile());
    MakeProfile();
    if (item.oldSetting) {
      WriteBytes(Setting() + L"\\mine.txt", "mine");
      WriteBytes(PathFile(), "Setting\r\nD:\\old cache\r\n");
    }
    const Tree profileBefore = TreeSnapshot(Profile());
    const Tree installBefore = TreeSnapshot(Dir());
    Start();
    if (item.button == kMoveFolderButton) tool_->SetControlText(kCacheFolderEdit, Temp());
    tool_->Click(item.button);
    const BoxInfo question = NextBox();
    ExpectQuestion(question, item.overwrite ? kOverwriteText : DoubleByteText(Setting()));

    EXPECT_EQ(tool_->Close(), 0u);
    EXPECT_EQ(TreeSnapshot(Profile()), profileBefore);
    EXPECT_EQ(TreeSnapshot(Dir()), installBefore);
  }
}

TEST_F(SetCommand, StartUpSortsOutAnInterruptedSetBeforeTheWindowShows) {
  struct Case {
    const char* what;
    Tree leftovers;
    bool browserRunning;
    Tree after;         // the installation folder's entries apart from the tool and the browser
    std::wstring box;   // "<dir>" stands for the installation folder; empty: no box
  };
  const Case cases[] = {
      {"a partial copy goes without a word",
       {{L"Setting\\a", "current"}, {L"Set~tmp\\b", "partial"}, {L"Set~jnl", Journal("copying")}},
       false,
       {{L"Setting\\", ""}, {L"Setting\\a", "current"}},
       L""},
      {"another configuration is kept under a visible name and named once",
       {{L"Setting\\a", "current"}, {L"Set~new\\n", "copy"}, {L"Set~old\\b", "other"},
        {L"Set~jnl", Journal("swapping")}},
       false,
       {{L"Setting\\", ""}, {L"Setting\\a", "current"}, {L"旧配置\\", ""}, {L"旧配置\\b", "other"}},
       L"检测到上次设置Velmo浏览器配置文件时没有完成。\r\n除了正在使用的配置文件：\r\n<dir>\\Setting"
       L"\r\n还留有另一份配置文件。为避免丢失数据，工具没有删除它，它现在保存在：\r\n<dir>\\旧配置"
       L"\r\n确认不再需要后，可以手动删除它。"},
      {"while the browser runs nothing is touched",
       {{L"Set~old\\b", "old"}, {L"Set~jnl", Journal("swapping")}},
       true,
       {{L"Set~jnl", Journal("swapping")}, {L"Set~old\\", ""}, {L"Set~old\\b", "old"}},
       L"检测到上次设置Velmo浏览器配置文件时没有完成，需要整理留下的文件夹。Velmo浏览器正在运行中，"
       L"这次没有做任何改动；请关闭Velmo浏览器后重新打开本工具，工具会自动整理。"},
  };
  for (const Case& item : cases) {
    SCOPED_TRACE(item.what);
    Install();
    for (const auto& [name, bytes] : WithDir(item.leftovers, Dir())) {
      WriteBytes(Dir() + L"\\" + name, bytes);
    }
    std::optional<RunningBrowser> browser;
    TempDir elsewhere(L"velmo-e2e-other");
    if (item.browserRunning) browser.emplace(elsewhere / L"velmoexplorer.exe");
    tool_.emplace(exe_, EnvironmentChanges{{L"APPDATA", Roaming()}, {L"TEMP", Temp()}});

    if (!item.box.empty()) {
      const BoxInfo box = NextBox();
      std::wstring expected = item.box;
      for (std::size_t at; (at = expected.find(L"<dir>")) != std::wstring::npos;) {
        expected.replace(at, 5, Dir());
      }
      ExpectNotice(box, expected);
      EXPECT_FALSE(box.ownedByTool) << "a box of its own on the taskbar";
      EXPECT_EQ(tool_->WaitForMainWindow(0), nullptr) << "the window shows only afterwards";
      tool_->Answer(box, IDOK);
    }
    ASSERT_NE(tool_->WaitForMainWindow(), nullptr);
    EXPECT_FALSE(tool_->WaitForBox(500).has_value()) << "a second box";
    Tree after = TreeSnapshot(Dir());
    std::erase_if(after, [](const auto& entry) { return entry.first.ends_with(L".exe"); });
    EXPECT_EQ(after, WithDir(item.after, Dir()));
    EXPECT_EQ(tool_->Close(), 0u);
    if (browser) browser->Stop();
  }
}

TEST_F(SetCommand, ASetInProgressInAnotherInstanceIsNotTakenForLeftovers) {
  // The tool seems to hang while it copies a large profile, and the user starts it again. The
  // copy beside Setting is the first instance's work: the second one's start-up leaves it alone,
  // and its Set button says why it cannot start. Once the first instance ends, a start tidies.
  MakeProfile();
  WriteBytes(Setting() + L"\\mine.txt", "mine");
  Start();
  const BoxInfo overwrite = ClickSet();  // the first instance's Set is under way
  ExpectQuestion(overwrite, kOverwriteText);
  WriteBytes(Dir() + L"\\Set~jnl", WithDir({{L"", Journal("copying")}}, Dir()).begin()->second);
  WriteBytes(Dir() + L"\\Set~tmp\\Default\\Preferences", "being copied");
  const auto folderNow = [&] {
    Tree tree = TreeSnapshot(Dir());
    std::erase_if(tree, [](const auto& entry) { return entry.first.ends_with(L".exe"); });
    return tree;
  };
  const Tree during = folderNow();

  std::optional<ToolProcess> second;
  second.emplace(exe_, EnvironmentChanges{{L"APPDATA", Roaming()}, {L"TEMP", Temp()}});
  ASSERT_NE(second->WaitForMainWindow(), nullptr);
  EXPECT_FALSE(second->WaitForBox(800).has_value()) << "a box at the second start";
  EXPECT_EQ(folderNow(), during);
  second->Click(kSetButton);
  const std::optional<BoxInfo> busy = second->WaitForBox();
  ASSERT_TRUE(busy.has_value());
  ExpectNotice(*busy, L"本工具的另一个窗口正在设置Velmo浏览器配置文件，请等它完成后再试。");
  second->Answer(*busy, IDOK);
  EXPECT_FALSE(second->WaitForBox(800).has_value()) << "a further box";
  EXPECT_EQ(folderNow(), during);
  EXPECT_EQ(second->Close(), 0u);

  Finish(Answer(overwrite, IDNO));
  EXPECT_EQ(tool_->Close(), 0u);
  second.emplace(exe_, EnvironmentChanges{{L"APPDATA", Roaming()}, {L"TEMP", Temp()}});
  ASSERT_NE(second->WaitForMainWindow(), nullptr);
  EXPECT_EQ(TopLevelNames(), (std::vector<std::wstring>{L"Setting\\", L"path"}));
  EXPECT_EQ(second->Close(), 0u);
}

TEST_F(SetCommand, EntriesTheUserNamedLikeTheToolsAreLeftAlone) {
  // The user's folders named like the tool's: left at start-up, in the way of Set until renamed.
  MakeProfile();
  WriteBytes(Dir() + L"\\Set~old\\mine.txt", "my files");
  WriteBytes(Dir() + L"\\Setting.velmo-new-x\\mine.txt", "more of my files");
  Start();
  const BoxInfo refused = ClickSet();
  ExpectError(refused, Dir() + L"\\Set~old");
  Finish(refused);

  ASSERT_TRUE(MoveFileW((Dir() + L"\\Set~old").c_str(), (Dir() + L"\\我的旧文件").c_str()));
  const BoxInfo first = ClickSet();
  ExpectNotice(first, kSuccessText);
  Finish(first);
  const BoxInfo question = ClickSet();
  ExpectQuestion(question, kOverwriteText);
  const BoxInfo second = Answer(question, IDYES);
  ExpectNotice(second, kSuccessText);
  Finish(second);

  EXPECT_EQ(TopLevelNames(), (std::vector<std::wstring>{L"Setting.velmo-new-x\\", L"Setting\\",
                                                        L"path", L"我的旧文件\\"}));
  EXPECT_EQ(TreeSnapshot(Dir() + L"\\我的旧文件"), (Tree{{L"mine.txt", "my files"}}));
  EXPECT_EQ(TreeSnapshot(Dir() + L"\\Setting.velmo-new-x"), (Tree{{L"mine.txt", "more of my files"}}));
}

// The way back through the window's system menu: the portable configuration (without its
// caches) becomes the profile, the path file goes, the portable folder stays as it was, and a
// later Set finds the kept Setting as on an installation that was never portable.
TEST_F(SetCommand, RestoreFromTheSystemMenuMakesThePortableConfigurationTheProfile) {
  WriteBytes(Profile() + L"\\stale only.txt", "stale, from before the Set");
  WriteBytes(Setting() + L"\\Default\\书签\\收藏夹.json", "[\"since the Set\"]");
  WriteBytes(Setting() + L"\\Webkit\\Cookies", "cookie jar");
  WriteBytes(Setting() + L"\\Webkit\\Cache\\data_1", "cache 1");
  WriteBytes(Setting() + L"\\VelmoVideoCache\\clip.tmp", "video");
  WriteBytes(PathFile(), Absolute());
  WriteBytes(Dir() + L"\\Set~old\\mine.txt", "a user's folder at one of Set's names");
  const Tree portable = TreeSnapshot(Setting());
  Start();

  tool_->SystemCommand(0x0010);
  const BoxInfo question = NextBox();  // its text is the command's unit test's
  EXPECT_EQ(question.buttons, (std::vector<int>{IDYES, IDNO}));
  const BoxInfo done = Answer(question, IDYES);
  ExpectNotice(done, L"成功恢复为安装版。Velmo浏览器下次启动时将使用：\r\n" + Profile() +
                         L"\r\n绿色版的配置文件仍保存在：\r\n" + Setting() +
                         L"\r\n确认不再需要后，可以手动删除它。");
  Finish(done);

  EXPECT_EQ(tool_->ControlText(kPathFileLabel), L"");
  EXPECT_EQ(TreeSnapshot(Profile()), WithoutCaches(portable));
  EXPECT_EQ(TreeSnapshot(Setting()), portable);
  // The restore does not use Set's names: the user's folder there neither stops it nor changes.
  EXPECT_EQ(TopLevelNames(), (std::vector<std::wstring>{L"Setting\\", L"Set~old\\"}));
  EXPECT_EQ(ReadBytes(Dir() + L"\\Set~old\\mine.txt"), "a user's folder at one of Set's names");
  // Nothing of the restore's is left beside the profile.
  EXPECT_EQ(TreeSnapshot(Roaming()).size(), TreeSnapshot(Profile()).size() + 1);

  DeleteFileW((Dir() + L"\\Set~old\\mine.txt").c_str());
  RemoveDirectoryW((Dir() + L"\\Set~old").c_str());

  ExpectQuestion(ClickSet(), kOverwriteText);
  EXPECT_EQ(tool_->Close(), 0u);
}

}  // namespace
}  // namespace velmo::e2e
