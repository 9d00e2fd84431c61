#include "commands/profile_relocation.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "commands/replacement_journal.h"
#include "model/path_file.h"
#include "support/file_queries.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

using testing::MakeContext;
using testing::MakeDirs;
using testing::ReadBytes;
using testing::RecordedBox;
using testing::ScriptedUi;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteBytes;

// The command's own texts, written out here so that a slip in the code shows.
const std::wstring kFriendly = L"友情提示";
const std::wstring kRunning = L"检测到Velmo浏览器正在运行中，请关闭Velmo浏览器再继续操作。";
const std::wstring kOverwrite =
    L"检测到当前目录下已经存放有Velmo浏览器配置文件，是否需要用系统现有的Velmo浏览器配置文件覆盖"
    L"当前绿色版的配置文件？";
const std::wstring kSuccess = L"成功设置，重启Velmo浏览器后生效。";

std::wstring DoubleByteQuestion(const std::wstring& setting) {
  return L"检测到当前绿色版存放的路径：\u201c" + setting +
         L"\u201d\u3002存在中文字符，请将绿色版复制到非中文的路径再开始制作。\r\n"
         L"是否需要停止当前绿色版的制作？如果选择\u201c是\u201d则停止制作，如果选择\u201c否\u201d"
         L"则强制在当前目录下制作绿色版，这样制作的绿色版将无法使用部分浏览器插件";
}

// A box as (text, style, title), so that gtest can compare and print the sequence.
using Box = std::tuple<std::wstring, unsigned, std::wstring>;

std::vector<Box> Shown(const ScriptedUi& ui) {
  std::vector<Box> shown;
  for (const RecordedBox& box : ui.boxes) shown.emplace_back(box.text, box.style, box.title);
  return shown;
}

const Box kSuccessBox{kSuccess, 0x40, kFriendly};
const Box kOverwriteBox{kOverwrite, 0x44, kFriendly};

// An installation folder (its name chosen by the test), a roaming folder with the browser's
// profile, and a temporary folder, all fresh for each test.
class ProfileRelocation : public ::testing::Test {
 protected:
  void Use(const std::wstring& installHint) {
    install_ = std::make_unique<TempDir>(installHint);
    context_ = MakeContext(install_->Path(), {{L"APPDATA", roaming_.Path()},
                                              {L"TEMP", temp_.Path()}});
  }
  void SetUp() override { Use(L"install"); }

  std::wstring Install() const { return install_->Path(); }
  std::wstring Setting() const { return Install() + L"\\Setting"; }
  std::wstring PathFile() const { return Install() + L"\\path"; }
  std::wstring Profile() const { return roaming_ / L"velmoexplorer"; }
  std::wstring Cache() const { return temp_ / L"WebkitCache"; }

  // A profile with settings, a read-only and a hidden file, Chinese names and the three caches.
  void MakeProfile(bool withCaches = true) {
    testing::RemoveTree(Profile());
    WriteBytes(Profile() + L"\\Default\\Preferences", "{\"x\":1}");
    WriteBytes(Profile() + L"\\Default\\书签.json", "[]");
    WriteBytes(Profile() + L"\\Webkit\\Cookies", "cookie");
    WriteBytes(Profile() + L"\\readonly.dat", "ro");
    WriteBytes(Profile() + L"\\hidden.dat", "h");
    SetFileAttributesW((Profile() + L"\\readonly.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((Profile() + L"\\hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN);
    if (withCaches) {
      WriteBytes(Profile() + L"\\Webkit\\Cache\\data_0", "c1");
      WriteBytes(Profile() + L"\\Webkit\\Cache2\\entries\\e", "c2");
      WriteBytes(Profile() + L"\\VelmoVideoCache\\v.tmp", "v");
      SetFileAttributesW((Profile() + L"\\Webkit\\Cache\\data_0").c_str(), FILE_ATTRIBUTE_READONLY);
    }
  }

  // What the profile holds once its caches are gone: what Setting must hold after a copy.
  std::map<std::wstring, std::string> ProfileWithoutCaches() const {
    auto tree = TreeSnapshot(Profile());
    std::erase_if(tree, [](const auto& entry) {
      const std::wstring& name = entry.first;
      return name.starts_with(L"Webkit\\Cache\\") || name.starts_with(L"Webkit\\Cache2\\") ||
             name.starts_with(L"VelmoVideoCache\\");
    });
    return tree;
  }

  std::string Absolute() const {
    return ToAnsi(Setting() + L"\r\n" + Cache() + L"\r\n" + Setting() + L"\\Cookies\r\n");
  }
  std::string Relative() const { return ToAnsi(L"Setting\r\n" + Cache() + L"\r\n"); }

  // Names directly in the installation folder: no temporary copy may be left beside Setting.
  std::map<std::wstring, std::string> TopLevel() const {
    auto tree = TreeSnapshot(Install());
    std::erase_if(tree, [](const auto& entry) {
      const std::wstring& name = entry.first;
      const auto slash = name.find(L'\\');
      return slash != std::wstring::npos && slash + 1 != name.size();
    });
    return tree;
  }

  AfterCommand Run() { return RelocateProfile(context_, ui_); }

  TempDir roaming_{L"roaming"};
  TempDir temp_{L"temp"};
  std::unique_ptr<TempDir> install_;
  Context context_;
  ScriptedUi ui_;
};

TEST_F(ProfileRelocation, CopiesTheProfileWithoutItsCachesAndWritesTheAbsoluteForm) {
  MakeProfile();
  const auto expected = ProfileWithoutCaches();

  Run();

  EXPECT_EQ(Shown(ui_), (std::vector<Box>{kSuccessBox}));
  EXPECT_EQ(ReadBytes(PathFile()), Absolute());
  EXPECT_EQ(TreeSnapshot(Setting()), expected);
  EXPECT_EQ(TreeSnapshot(Profile()), expected);  // the profile stays, only its caches go
  EXPECT_EQ(TopLevel(), (std::map<std::wstring, std::string>{{L"Setting\\", ""},
                                                              {L"path", Absolute()}}));
}

TEST_F(ProfileRelocation, MissingCachesAreNoObstacle) {
  MakeProfile(false);
  Run();
  EXPECT_EQ(Shown(ui_), (std::vector<Box>{kSuccessBox}));
  EXPECT_EQ(TreeSnapshot(Setting()), TreeSnapshot(Profile()));
}

TEST_F(ProfileRelocation, WithoutAProfileOnlyTheRelativeFormIsWritten) {
  Use(L"浏览器 安装");  // a Chinese installation path raises no question here
  Run();
  EXPECT_EQ(Shown(ui_), (std::vector<Box>{kSuccessBox}));
  EXPECT_EQ(ReadBytes(PathFile()), Relative());
  EXPECT_EQ(GetFileAttributesW(Setting().c_str()), INVALID_FILE_ATTRIBUTES);

  // Nor with APPDATA undefined: "\velmoexplorer" on the current drive is not there.
  ScriptedUi second;
  RelocateProfile(MakeContext(Install(), {{L"TEMP", temp_.Path()}}), second);
  EXPECT_EQ(Shown(second), (std::vector<Box>{kSuccessBox}));
  EXPECT_EQ(ReadBytes(PathFile()), Relative());
}

TEST_F(ProfileRelocation, ExistingSettingKeptOnNoButLineTwoIsReset) {
  MakeProfile();
  WriteBytes(Setting() + L"\\mine.txt", "my old settings");
  // Line 2 as the Move folder command left it.
  WriteBytes(PathFile(), ToAnsi(Setting() + L"\r\nD:\\缓存\r\n" + Setting() + L"\\Cookies\r\n"));
  const auto profileBefore = TreeSnapshot(Profile());
  ui_.answers = {Answer::kNo};

  Run();

  EXPECT_EQ(Shown(ui_), (std::vector<Box>{kOverwriteBox, kSuccessBox}));
  EXPECT_EQ(ReadBytes(PathFile()), Absolute());
  EXPECT_EQ(TreeSnapshot(Setting()), (std::map<std::wstring, std::string>{
                                         {L"mine.txt", "my old settings"}}));
  EXPECT_EQ(TreeSnapshot(Profile()), profileBefore);  // the caches were not touched
}

TEST_F(ProfileRelocation, ExistingSettingReplacedOnYes) {
  MakeProfile();
  WriteBytes(Setting() + L"\\mine.txt", "my old settings");
  WriteBytes(Setting() + L"\\sub\\ro.txt", "ro");
  SetFileAttributesW((Setting() + L"\\sub\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  const auto expected = ProfileWithoutCaches();
  ui_.answers = {Answer::kYes};

  Run();

  EXPECT_EQ(Shown(ui_), (std::vector<Box>{kOverwriteBox, kSuccessBox}));
  EXPECT_EQ(TreeSnapshot(Setting()), expected);  // a fresh copy, not nested, nothing old
  EXPECT_EQ(TopLevel(), (std::map<std::wstring, std::string>{{L"Setting\\", ""},
                                                              {L"path", Absolute()}}));
}

TEST_F(ProfileRelocation, PlainFileNamedSettingIsReplacedWithoutAQuestion) {
  MakeProfile();
  WriteBytes(Setting(), "not a folder");
  Run();
  EXPECT_EQ(Shown(ui_), (std::vector<Box>{kSuccessBox}));
  EXPECT_EQ(TreeSnapshot(Setting()), ProfileWithoutCaches());
}

TEST_F(ProfileRelocation, DoubleBytePathStopsOnYes) {
  Use(L"绿色版");
  MakeProfile();
  WriteBytes(PathFile(), "old\r\n");
  const auto profileBefore = TreeSnapshot(Profile());
  ui_.answers = {Answer::kYes};

  EXPECT_EQ(Run(), AfterCommand::kEndTool);

  EXPECT_EQ(Shown(ui_), (std::vector<Box>{{DoubleByteQuestion(Setting()), 0x44, kFriendly}}));
  EXPECT_EQ(ReadBytes(PathFile()), "old\r\n");
  EXPECT_EQ(TreeSnapshot(Profile()), profileBefore);
  EXPECT_EQ(GetFileAttributesW(Setting().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ProfileRelocation, PathTheBrowserCannotTakeGetsTheRelativeFormOnNo) {
  // Chinese characters, and a character the code page lacks (it would arrive as '?').
  for (const std::wstring hint : {L"绿色版", L"port\u0e01able"}) {
    Use(hint);
    MakeProfile();
    ScriptedUi ui;
    ui.answers = {Answer::kNo};
    RelocateProfile(context_, ui);

    EXPECT_EQ(Shown(ui), (std::vector<Box>{{DoubleByteQuestion(Setting()), 0x44, kFriendly},
                                                  kSuccessBox}));
    EXPECT_EQ(ReadBytes(PathFile()), Relative());
    // The copy still goes to the Setting folder by its full path.
    EXPECT_EQ(TreeSnapshot(Setting()), ProfileWithoutCaches());
  }
}

TEST_F(ProfileRelocation, RelativeFormBytesAreGbk) {
  Use(L"浏览器");
  ScriptedUi ui;
  RelocateProfile(MakeContext(Install(), {{L"APPDATA", roaming_.Path()}, {L"TEMP", L"D:\\临时"}}),
                  ui);
  EXPECT_EQ(ReadBytes(PathFile()), "Setting\r\nD:\\\xc1\xd9\xca\xb1\\WebkitCache\r\n");
}

// --- Faults: nothing the user had is lost, and the user is told --------------------------------

TEST_F(ProfileRelocation, CopyThatFailsPutsEverythingBack) {
  MakeProfile();
  WriteBytes(Setting() + L"\\mine.txt", "my old settings");
  const std::string oldPathFile = "Setting\r\nD:\\Cache\r\n";
  WriteBytes(PathFile(), oldPathFile);
  const auto topBefore = TopLevel();
  ui_.answers = {Answer::kYes};
  {
    const UniqueFileHandle held(CreateFileW((Profile() + L"\\Default\\Preferences").c_str(),
                                            GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    Run();
  }
  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(Shown(ui_)[0], kOverwriteBox);
  EXPECT_EQ(ui_.boxes[1].style, 0x10u);
  EXPECT_EQ(ui_.boxes[1].title, kFriendly);
  EXPECT_NE(ui_.boxes[1].text.find(Profile()), std::wstring::npos);
  EXPECT_EQ(ui_.boxes[1].text.find(kSuccess), std::wstring::npos);
  EXPECT_EQ(ReadBytes(PathFile()), oldPathFile);
  EXPECT_EQ(TreeSnapshot(Setting()), (std::map<std::wstring, std::string>{
                                         {L"mine.txt", "my old settings"}}));
  EXPECT_EQ(TopLevel(), topBefore);
}

TEST_F(ProfileRelocation, FailedFirstCopyRemovesThePathFileItWrote) {
  MakeProfile();
  {
    const UniqueFileHandle held(CreateFileW((Profile() + L"\\hidden.dat").c_str(), GENERIC_READ,
                                            0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    Run();
  }
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].style, 0x10u);
  EXPECT_TRUE(ui_.boxes[0].text.ends_with(L"\\hidden.dat\r\n可能它正在被其他程序使用，或者磁盘空间不足。"
                                          L"请检查后再试。\r\n没有留下任何新的文件或文件夹。"));
  EXPECT_TRUE(TopLevel().empty()) << "no path file, no Setting, no partial copy";
}

// Held cache files keep their folders; the retries for them wait a second in all, never the time
// that the renames, the journal and the path file may need.
TEST_F(ProfileRelocation, HeldCachesSpendOnlyTheirOwnRetries) {
  MakeProfile();
  std::vector<UniqueFileHandle> held;
  for (const wchar_t* file :
       {L"Webkit\\Cache\\data_0", L"Webkit\\Cache2\\entries\\e", L"VelmoVideoCache\\v.tmp"}) {
    held.emplace_back(CreateFileW((Profile() + L"\\" + file).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  }
  DWORD waitedMs = 0;  // a held file is waited for
  RetryBudget retries(kCommandRetryLimitMs, [&](DWORD ms) { waitedMs += ms; });
  EXPECT_EQ(RunReplacement(SetReplacement(context_,
                                          PathFileLinesFor(Install(), PathFileForm::kAbsolute,
                                                           Cache()),
                                          std::nullopt),
                           retries, [](ReplacementStep) {}).outcome,
            ReplacementOutcome::kDone);
  EXPECT_TRUE(held.back().Valid() && waitedMs > 0 && waitedMs <= 1000) << waitedMs;
}

TEST_F(ProfileRelocation, SettingInUseIsNamedAndKept) {
  MakeProfile();
  WriteBytes(Setting() + L"\\Default\\Cookies", "old cookies");
  WriteBytes(Setting() + L"\\other.txt", "other");
  const auto settingBefore = TreeSnapshot(Setting());
  ui_.answers = {Answer::kYes};
  {
    const UniqueFileHandle held(CreateFileW((Setting() + L"\\Default\\Cookies").c_str(),
                                            GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    Run();
  }
  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[1].style, 0x10u);
  EXPECT_NE(ui_.boxes[1].text.find(Setting() + L"\\Default\\Cookies"), std::wstring::npos);
  EXPECT_EQ(TreeSnapshot(Setting()), settingBefore);  // not emptied, nothing nested
  EXPECT_FALSE(ReadBytes(PathFile()));               // there was none before
  EXPECT_EQ(TopLevel().size(), 1u);                  // Setting alone
}

TEST_F(ProfileRelocation, OldSettingThatCannotBeRemovedIsNamedAfterTheSwap) {
  MakeProfile();
  WriteBytes(Setting() + L"\\log.txt", "old log");
  ui_.answers = {Answer::kYes};
  std::wstring leftBehind;
  {
    // Open with every sharing allowed: the folder can be moved and the file deleted, but where
    // a deleted file keeps its name until it is closed (Wine, older Windows) the old folder
    // cannot be removed yet.
    const DWORD everyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const UniqueFileHandle open(CreateFileW((Setting() + L"\\log.txt").c_str(), GENERIC_READ,
                                            everyShare, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(open);
    Run();
    for (const auto& [name, bytes] : TopLevel()) {
      if (name != L"Setting\\" && name != L"path" && name != L"Set~jnl") {
        leftBehind = Install() + L"\\" + name;
      }
    }
  }
  ASSERT_EQ(ui_.boxes.size(), 2u);
  if (leftBehind.empty()) {
    EXPECT_EQ(Shown(ui_)[1], kSuccessBox);
  } else {
    leftBehind.pop_back();  // the folder's trailing separator
    EXPECT_EQ(ui_.boxes[1].style, 0x40u);
    EXPECT_TRUE(ui_.boxes[1].text.starts_with(kSuccess + L"\r\n"));
    EXPECT_NE(ui_.boxes[1].text.find(leftBehind), std::wstring::npos);
  }
  // Either way the new configuration is in place.
  EXPECT_EQ(TreeSnapshot(Setting()), ProfileWithoutCaches());
  EXPECT_EQ(ReadBytes(PathFile()), Absolute());
}

TEST_F(ProfileRelocation, UnwritablePathFileStopsBeforeAnythingIsDeleted) {
  MakeProfile();
  MakeDirs(PathFile());  // a folder where the path file must go
  const auto profileBefore = TreeSnapshot(Profile());

  Run();

  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].style, 0x10u);
  EXPECT_NE(ui_.boxes[0].text.find(PathFile()), std::wstring::npos);
  EXPECT_EQ(TreeSnapshot(Profile()), profileBefore);
  EXPECT_EQ(GetFileAttributesW(Setting().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ProfileRelocation, HiddenFileNamedSettingIsLeftAndReported) {
  MakeProfile();
  WriteBytes(Setting(), "hidden");
  SetFileAttributesW(Setting().c_str(), FILE_ATTRIBUTE_HIDDEN);
  Run();
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].style, 0x10u);
  EXPECT_EQ(ReadBytes(Setting()), "hidden");
  EXPECT_FALSE(ReadBytes(PathFile()));
}

TEST_F(ProfileRelocation, OnlyNoGoesOnAfterAQuestion) {
  // A box destroyed with its window gives no answer: that stops like Yes, but without ending the
  // tool, and nothing is written, deleted or copied. A Chinese installation folder is asked the
  // double-byte question, another the overwrite one.
  for (const wchar_t* installHint : {L"绿色版", L"install"}) {
    SCOPED_TRACE(ToUtf8(installHint));
    Use(installHint);
    MakeProfile();
    WriteBytes(Setting() + L"\\mine.txt", "mine");
    WriteBytes(PathFile(), "old\r\n");
    const auto profileBefore = TreeSnapshot(Profile());
    const auto installBefore = TreeSnapshot(Install());
    ScriptedUi ui;
    ui.answers = {Answer::kNone};

    EXPECT_EQ(RelocateProfile(context_, ui), AfterCommand::kStayOpen);

    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].style, 0x44u);
    EXPECT_EQ(TreeSnapshot(Profile()), profileBefore);
    EXPECT_EQ(TreeSnapshot(Install()), installBefore);
  }
}

TEST_F(ProfileRelocation, EveryProfileThatFitsUnderSettingIsCopied) {
  // A file whose path below the Setting folder has 248 or 259 characters is copied; one of 260
  // does not fit there and the Set fails without changing anything.
  for (const std::size_t length : {248u, 259u, 260u}) {
    SCOPED_TRACE(length);
    Use(L"install-with-a-longer-name");  // longer than the profile's path, which must exist
    MakeProfile();
    const std::wstring name(length - (Setting() + L"\\Default\\").size(), L'n');
    WriteBytes(Profile() + L"\\Default\\" + name, "deep");
    WriteBytes(Profile() + L"\\Webkit\\Cache\\" + name, "not copied: no obstacle");
    ASSERT_EQ(ReadBytes(Profile() + L"\\Default\\" + name), "deep");
    ScriptedUi ui;

    RelocateProfile(context_, ui);

    if (length < 260) {
      EXPECT_EQ(Shown(ui), (std::vector<Box>{kSuccessBox}));
      EXPECT_EQ(TreeSnapshot(Setting()), TreeSnapshot(Profile()));
      EXPECT_EQ(ReadBytes(PathFile()), Absolute());
    } else {
      EXPECT_EQ(Shown(ui),
                (std::vector<Box>{
                    {L"安装目录的路径太长，无法设置。\r\n复制后，以下文件的路径将有260个字符，超过了"
                     L"Windows复制时允许的259个字符：\r\n" + Setting() + L"\\Default\\" + name +
                         L"\r\n请把Velmo浏览器的安装目录（连同本工具）移到路径较短的文件夹中，例如"
                         L"D:\\Velmo，再重新设置。这次没有做任何改动。",
                     0x10, L"Velmo浏览器绿化工具"}}));
      EXPECT_TRUE(TopLevel().empty());
      EXPECT_EQ(ReadBytes(Profile() + L"\\VelmoVideoCache\\v.tmp"), "v");
    }
  }
}

TEST_F(ProfileRelocation, FailedRollbackNamesTheFolderThatNowHoldsTheOldConfiguration) {
  MakeProfile();
  WriteBytes(Setting() + L"\\mine.txt", "my old settings");
  WriteBytes(PathFile(), "Setting\r\nD:\\Cache\r\n");
  ui_.answers = {Answer::kYes};

  // Another program creates Setting between the two renames (a browser started meanwhile), so
  // neither the copy nor the old configuration can go there.
  RelocateProfile(context_, ui_, [&](ReplacementStep step) {
    if (step == ReplacementStep::kOldMovedAside) {
      WriteBytes(Setting() + L"\\foreign.txt", "foreign");
    }
  });

  const std::wstring kept = Install() + L"\\旧配置";
  EXPECT_EQ(Shown(ui_),
            (std::vector<Box>{kOverwriteBox,
                              {L"无法在以下位置存放配置文件：\r\n" + Setting() +
                                   L"\r\n该位置已被占用且无法替换。\r\n原有的配置文件未能放回原处，"
                                   L"现在保存在：\r\n" + kept + L"\r\n路径文件保持原样。",
                               0x10, kFriendly}}));
  EXPECT_EQ(TopLevel(), (std::map<std::wstring, std::string>{
                            {L"Setting\\", ""},
                            {L"path", "Setting\r\nD:\\Cache\r\n"},
                            {L"旧配置\\", ""}}));
  EXPECT_EQ(TreeSnapshot(kept), (std::map<std::wstring, std::string>{
                                    {L"mine.txt", "my old settings"}}));
  EXPECT_EQ(TreeSnapshot(Setting()), (std::map<std::wstring, std::string>{
                                         {L"foreign.txt", "foreign"}}));
}

TEST_F(ProfileRelocation, PathFileThatCannotBeWrittenIsNamedAndTheOldSettingComesBack) {
  MakeProfile();
  WriteBytes(Setting() + L"\\mine.txt", "my old settings");
  ui_.answers = {Answer::kYes};

  // The path file's place is taken after the check made before anything was deleted.
  RelocateProfile(context_, ui_, [&](ReplacementStep step) {
    if (step == ReplacementStep::kNewInPlace) MakeDirs(PathFile());
  });

  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(Shown(ui_)[0], kOverwriteBox);
  EXPECT_EQ(ui_.boxes[1].style, 0x10u);
  EXPECT_TRUE(ui_.boxes[1].text.starts_with(L"写入路径文件失败。\r\n路径：" + PathFile() +
                                            L"\r\n原因："))
      << ToUtf8(ui_.boxes[1].text);
  EXPECT_TRUE(ui_.boxes[1].text.ends_with(L"\r\n绿色版原有的配置文件保持原样。"));
  EXPECT_EQ(TopLevel(), (std::map<std::wstring, std::string>{{L"Setting\\", ""},
                                                              {L"path\\", ""}}));
  EXPECT_EQ(TreeSnapshot(Setting()), (std::map<std::wstring, std::string>{
                                         {L"mine.txt", "my old settings"}}));
}

TEST_F(ProfileRelocation, PathFileThatAlreadyNamesTheNewSettingCommitsThoughItCannotBeReplaced) {
  // A second Set: the path file already holds exactly what this Set writes. Another program
  // holds it (no deletion allowed) once the new copy is in place, so it cannot be replaced; with
  // those bytes it names the new Setting all the same: the Set has succeeded, and no box may say
  // that the old configuration was kept. The journal, held for 300 ms before, is written too.
  MakeProfile();
  WriteBytes(Setting() + L"\\mine.txt", "my old settings");
  WriteBytes(PathFile(), Absolute());
  ui_.answers = {Answer::kYes};
  UniqueFileHandle held;
  std::thread release;
  std::optional<JournalPhase> phase;

  RelocateProfile(context_, ui_, [&](ReplacementStep step) {
    const std::wstring journal = Install() + L"\\Set~jnl";
    if (step == ReplacementStep::kCopyComplete) {
      held = UniqueFileHandle(
          CreateFileW(journal.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      EXPECT_TRUE(held);
      release = std::thread([it = std::move(held)]() mutable { Sleep(300), it.Reset(); });
    }
    if (step == ReplacementStep::kJournalWritten) {
      phase = ReadJournal(journal).journal.phase;
      // A first line the earlier build does not take for its own (it would drop the journal).
      EXPECT_TRUE(ReadBytes(journal).value_or("").starts_with("VelmoPortableJournal2\r\nSet\r\n"));
    }
    if (step != ReplacementStep::kNewInPlace) return;
    held = UniqueFileHandle(CreateFileW(PathFile().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
  });
  held.Reset();
  release.join();

  EXPECT_EQ(phase, JournalPhase::kSwapping);
  EXPECT_EQ(Shown(ui_), (std::vector<Box>{kOverwriteBox, kSuccessBox}));
  EXPECT_EQ(TreeSnapshot(Setting()), ProfileWithoutCaches());
  EXPECT_EQ(TopLevel(), (std::map<std::wstring, std::string>{{L"Setting\\", ""},
                                                              {L"path", Absolute()}}));
}

TEST_F(ProfileRelocation, EntriesTheToolDidNotMakeAreNamedAndLeftAlone) {
  struct Case {
    const char* what;
    const wchar_t* name;
    std::optional<std::string> bytes;  // nullopt: a folder
  };
  const Case cases[] = {
      {"a folder named like the journal", L"Set~jnl", std::nullopt},
      {"a file named like the journal that is not one", L"Set~jnl", "my notes"},
  };
  for (const Case& item : cases) {
    SCOPED_TRACE(item.what);
    Use(L"install");
    MakeProfile();
    const std::wstring entry = Install() + L"\\" + item.name;
    WriteBytes(item.bytes ? entry : entry + L"\\mine.txt", item.bytes.value_or("mine"));
    const auto installBefore = TreeSnapshot(Install());
    const auto profileBefore = TreeSnapshot(Profile());
    ScriptedUi ui;
    RelocateProfile(context_, ui);
    EXPECT_EQ(Shown(ui), (std::vector<Box>{
                             {L"无法开始设置：以下文件或文件夹占用了设置时要用的名称，但它不是本工具"
                              L"创建的：\r\n" + entry + L"\r\n为避免删除您的文件，本工具不会改动它。"
                              L"请先将它改名或移到别处，再重新设置。",
                              0x10, L"Velmo浏览器绿化工具"}}));
    EXPECT_EQ(TreeSnapshot(Install()), installBefore);
    EXPECT_EQ(TreeSnapshot(Profile()), profileBefore);
  }
}

TEST_F(ProfileRelocation, LineTwoIsTheCacheFolderInASpellingTheBrowserCanUse) {
  // A Korean user name on a Chinese system: the code page cannot spell the folder. Wine gives
  // every folder a short name, and that one is written.
  const std::wstring korean = temp_ / L"\uAE40\uCCA0\uC218";
  MakeDirs(korean);
  RelocateProfile(MakeContext(Install(), {{L"APPDATA", roaming_.Path()}, {L"TEMP", korean}}), ui_);
  EXPECT_EQ(Shown(ui_), (std::vector<Box>{kSuccessBox}));
  const std::string bytes = ReadBytes(PathFile()).value_or("");
  ASSERT_TRUE(bytes.starts_with("Setting\r\n") && bytes.ends_with("\r\n")) << bytes;
  const std::string line2 = bytes.substr(9, bytes.size() - 11);
  EXPECT_TRUE(SameEntry(FromAnsi(line2), korean + L"\\WebkitCache")) << line2;
  // Where no short name can be had (here the folder cannot even be created): one box, nothing
  // written.
  const std::wstring missing = temp_ / L"\uC5C6\uC74C\\Temp";
  ScriptedUi ui;
  RelocateProfile(MakeContext(Install(), {{L"APPDATA", roaming_.Path()}, {L"TEMP", missing}}), ui);
  EXPECT_EQ(Shown(ui), (std::vector<Box>{{L"无法使用以下缓存文件夹：\r\n" + missing +
                                              L"\\WebkitCache\r\n它所在的文件夹不存在：\r\n" + missing +
                                              L"\r\n而且它的路径中含有其他语言的文字，Velmo浏览器无法使用"
                                              L"这样的缓存文件夹。请将环境变量TEMP指向一个存在的、路径中"
                                              L"不含其他语言文字的文件夹后再试。",
                                          0x10, L"Velmo浏览器绿化工具"}}));
  EXPECT_EQ(ReadBytes(PathFile()), bytes);
}

TEST_F(ProfileRelocation, TooLittleRoomStopsBeforeAnythingIsDeleted) {
  MakeProfile();
  // A sparse file of 10 TB: more than any volume here has free, yet it takes no room itself.
  {
    const UniqueFileHandle huge(CreateFileW((Profile() + L"\\Default\\huge.bin").c_str(),
                                            GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(huge);
    LARGE_INTEGER size;
    size.QuadPart = 10995116277760;
    if (!SetFilePointerEx(huge.Get(), size, nullptr, FILE_BEGIN) || !SetEndOfFile(huge.Get())) {
      GTEST_SKIP() << "the file system takes no sparse file of 10 TB";
    }
  }
  Run();
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].style, 0x10u);
  EXPECT_EQ(ui_.boxes[0].title, L"Velmo浏览器绿化工具");
  EXPECT_TRUE(ui_.boxes[0].text.starts_with(
      L"安装目录所在的磁盘空间不足，无法设置。\r\n需要复制的配置文件：10.0 TB\r\n磁盘可用空间："));
  EXPECT_TRUE(ui_.boxes[0].text.ends_with(L"\r\n请先腾出足够的空间后再试。这次没有做任何改动。"));
  EXPECT_EQ(ReadBytes(Profile() + L"\\VelmoVideoCache\\v.tmp"), "v");  // the caches are still there
}

}  // namespace
}  // namespace velmo
