// Start-up, Set and Move folder of the real tool when the installation folder or the chosen cache
// folder has an awkward path: spaces, a comma, Chinese that code page 936 holds, characters it
// lacks, more than 260 characters, a drive's root. Each run must either do exactly its job or end
// with its clear message; none may crash, hang, or hand the browser a path it would misread
// (the path file is ANSI: what it holds must decode to exactly the folder meant).
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "model/path_file.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "window/main_window_layout.h"

namespace velmo::e2e {
namespace {

using testing::MakeDirs;
using testing::ReadBytes;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteBytes;

constexpr wchar_t kSetSuccess[] = L"成功设置，重启Velmo浏览器后生效。";
constexpr wchar_t kMovedPrefix[] = L"成功将Webkit缓存文件夹移动到：";
constexpr wchar_t kMovedSuffix[] = L"\r\n重启浏览器后生效";
constexpr wchar_t kQuestionStart[] = L"检测到当前绿色版存放的路径：“";
constexpr wchar_t kVersionLine[] = L"当前目录下的Velmo浏览器版本号是：1.2.3.4";

// Folder names, each the one awkward thing of its case.
constexpr wchar_t kWithSpaces[] = L"Velmo portable  two spaces";
constexpr wchar_t kWithComma[] = L"velmo,portable";
constexpr wchar_t kChinese936[] = L"绿色版 浏览器，目录";
constexpr wchar_t kOutside936[] = L"velmo-\u0151\u0e01-\u20a9";  // o double acute, Thai ko kai, won

// <dir>\Setting, as the path file names it (a drive's root "V:\" gives "V:\\Setting").
std::wstring SettingOf(const std::wstring& installDir) { return installDir + L"\\Setting"; }

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// A folder below `parent`, nested in short levels, whose path is `length` characters long (or
// at most 11 more when `parent` is too short for that to come out exactly).
std::wstring DeepFolder(const std::wstring& parent, std::size_t length) {
  std::wstring path = parent;
  for (int level = 0; path.size() < length; ++level) {
    path += L"\\deep-" + std::to_wstring(100000 + level).substr(1);
  }
  return path;
}

// The deepest installation folder a program can still be started from: the platform refuses
// to start one whose path has 260 characters or more. Its Setting folder's files lie beyond
// the old limit of 260.
std::wstring NearLimitInstallation(const std::wstring& parent) {
  return DeepFolder(parent, MAX_PATH - 1 - 20 - 11);  // room for "\velmo_portable.exe"
}

// The profile the Set command relocates: ordinary files, a Chinese file name, and the three
// cache folders it removes before copying.
struct Profile {
  explicit Profile(const std::wstring& appData) : folder(appData + L"\\velmoexplorer") {
    WriteBytes(folder + L"\\Default\\Preferences", "{\"homepage\":\"about:blank\"}");
    WriteBytes(folder + L"\\Default\\书签.json", "[]");
    WriteBytes(folder + L"\\Local Storage\\leveldb\\000003.log", std::string(3000, 'x'));
    for (const wchar_t* cache : {L"Webkit\\Cache", L"Webkit\\Cache2", L"VelmoVideoCache"}) {
      WriteBytes(folder + L"\\" + cache + L"\\entry", "cached");
    }
  }
  // What Set must leave in the Setting folder: the profile without its cache folders.
  std::map<std::wstring, std::string> ExpectedCopy() const {
    std::map<std::wstring, std::string> tree = TreeSnapshot(folder);
    std::erase_if(tree, [](const auto& entry) {
      return StartsWith(entry.first, L"Webkit\\Cache") ||
             StartsWith(entry.first, L"VelmoVideoCache");
    });
    return tree;
  }
  std::wstring folder;
};

// One temporary world per test: APPDATA, TEMP and a place for installation folders.
class HostilePaths : public ::testing::Test {
 protected:
  std::wstring AppData() const { return root_ / L"appdata"; }
  std::wstring Temp() const { return root_ / L"temp"; }
  std::wstring DefaultCache() const { return Temp() + L"\\WebkitCache"; }
  EnvironmentChanges Environment() const { return {{L"APPDATA", AppData()}, {L"TEMP", Temp()}}; }

  // An installation in `installDir` (created), ready to start.
  std::wstring Install(const std::wstring& installDir) {
    MakeDirs(installDir);
    EXPECT_NE(GetFileAttributesW(installDir.c_str()), INVALID_FILE_ATTRIBUTES) << "set-up";
    return SetUpInstallation(installDir);
  }
  std::optional<std::string> PathFileOf(const std::wstring& installDir) const {
    return ReadBytes(installDir + L"\\path");
  }

  void SetUp() override { MakeDirs(Temp()); }

  TempDir root_{L"e2e-hostile"};
};

// The box the tool shows next; fails the test when none comes.
BoxInfo NextBox(ToolProcess& tool) {
  std::optional<BoxInfo> box = tool.WaitForBox();
  if (!box) throw std::runtime_error("no message box appeared");
  return *box;
}

// ---- Start-up ----------------------------------------------------------------------------

TEST_F(HostilePaths, StartUpShowsItsInformationFromAnyInstallationFolder) {
  for (const std::wstring& installDir :
       {root_ / kWithSpaces, root_ / kWithComma, root_ / kChinese936, root_ / kOutside936,
        NearLimitInstallation(root_.Path())}) {
    SCOPED_TRACE(ToUtf8(installDir));
    const std::wstring exe = Install(installDir);
    // A relative-form path file: the lines shown come back exactly as written.
    RetryBudget retries;
    WritePathFile(installDir,
                  PathFileLinesFor(installDir, PathFileForm::kRelative, L"D:\\cache, with 逗号"),
                  retries);
    ToolProcess tool(exe, Environment());
    ASSERT_NE(tool.WaitForMainWindow(), nullptr);
    EXPECT_EQ(tool.ControlText(kCacheFolderEdit), DefaultCache());
    EXPECT_EQ(tool.ControlText(kVersionLabel), kVersionLine);
    EXPECT_EQ(tool.ControlText(kPathFileLabel),
              L"配置存放路径：Setting\r\n缓存存放路径：D:\\cache, with 逗号");
    EXPECT_EQ(tool.Close(), 0u);
  }
}

// ---- Set -----------------------------------------------------------------------------------

// Answers the boxes of one command (a double-byte question with No, anything else with OK) until
// the last one, closes the tool and returns the texts of the boxes shown.
std::vector<std::wstring> AnswerBoxesThenClose(ToolProcess& tool) {
  std::vector<std::wstring> texts;
  for (;;) {
    const BoxInfo box = NextBox(tool);
    texts.push_back(box.text);
    const bool question = StartsWith(box.text, kQuestionStart);
    tool.Answer(box, question ? IDNO : IDOK);
    if (!question) break;
  }
  if (tool.Close() != 0u) throw std::runtime_error("the tool did not end cleanly");
  return texts;
}

// Runs Set in `installDir`, answering the double-byte question with No when it comes, and
// returns the texts of the boxes shown.
std::vector<std::wstring> RunSet(const std::wstring& exe, const EnvironmentChanges& environment) {
  ToolProcess tool(exe, environment);
  if (tool.WaitForMainWindow() == nullptr) throw std::runtime_error("no window");
  tool.Click(kSetButton);
  return AnswerBoxesThenClose(tool);
}

TEST_F(HostilePaths, SetCarriesAsciiPathsInTheAbsoluteForm) {
  const Profile profile(AppData());
  for (const wchar_t* name : {kWithSpaces, kWithComma}) {
    SCOPED_TRACE(ToUtf8(name));
    const std::wstring installDir = root_ / name;
    const std::vector<std::wstring> boxes = RunSet(Install(installDir), Environment());
    EXPECT_EQ(boxes, std::vector<std::wstring>{kSetSuccess});
    const std::wstring setting = SettingOf(installDir);
    EXPECT_EQ(PathFileOf(installDir),
              ToAnsi(setting + L"\r\n" + DefaultCache() + L"\r\n" + setting + L"\\Cookies\r\n"));
    EXPECT_EQ(TreeSnapshot(setting), profile.ExpectedCopy());
  }
}

TEST_F(HostilePaths, SetAsksAndWritesTheRelativeFormWhenTheBrowserCannotTakeThePath) {
  // Chinese that code page 936 holds, and characters it lacks (they would reach the browser as
  // '?'): both are asked about; on No the path file names the folder relatively, and the copy
  // still lands in the very folder beside the tool.
  const Profile profile(AppData());
  for (const wchar_t* name : {kChinese936, kOutside936}) {
    SCOPED_TRACE(ToUtf8(name));
    const std::wstring installDir = root_ / name;
    const std::vector<std::wstring> boxes = RunSet(Install(installDir), Environment());
    const std::wstring setting = SettingOf(installDir);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(StartsWith(boxes[0], kQuestionStart + setting + L"”。")) << ToUtf8(boxes[0]);
    EXPECT_EQ(boxes[1], kSetSuccess);
    EXPECT_EQ(PathFileOf(installDir), ToAnsi(L"Setting\r\n" + DefaultCache() + L"\r\n"));
    EXPECT_EQ(TreeSnapshot(setting), profile.ExpectedCopy());
  }
}

TEST_F(HostilePaths, SetWhoseCopyCrossesTheOldPathLimitEitherWorksOrSaysWhy) {
  // The copied files' paths pass 260 characters: the copy either succeeds completely, with a
  // path file that names the folder exactly, or the tool says it failed and leaves neither a
  // path file nor a half-copied Setting folder behind.
  const Profile profile(AppData());
  const std::wstring installDir = NearLimitInstallation(root_.Path());
  const std::vector<std::wstring> boxes = RunSet(Install(installDir), Environment());
  const std::wstring setting = SettingOf(installDir);
  ASSERT_EQ(boxes.size(), 1u);
  if (boxes[0] == kSetSuccess) {
    EXPECT_EQ(PathFileOf(installDir),
              ToAnsi(setting + L"\r\n" + DefaultCache() + L"\r\n" + setting + L"\\Cookies\r\n"));
    EXPECT_EQ(TreeSnapshot(setting), profile.ExpectedCopy());
  } else {
    EXPECT_EQ(PathFileOf(installDir), std::nullopt) << ToUtf8(boxes[0]);
    EXPECT_EQ(GetFileAttributesW(setting.c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

// ---- Move folder --------------------------------------------------------------------------

// Types `folder` into the cache folder box, clicks Move folder, answers a double-byte question
// with No, and returns the texts of the boxes shown.
std::vector<std::wstring> RunMove(const std::wstring& exe, const EnvironmentChanges& environment,
                                  const std::wstring& folder) {
  ToolProcess tool(exe, environment);
  if (tool.WaitForMainWindow() == nullptr) throw std::runtime_error("no window");
  tool.SetControlText(kCacheFolderEdit, folder);
  tool.Click(kMoveFolderButton);
  return AnswerBoxesThenClose(tool);
}

TEST_F(HostilePaths, MoveFolderRecordsAwkwardButRepresentableFoldersUnchanged) {
  const std::wstring installDir = root_ / L"install";
  const std::wstring exe = Install(installDir);
  const std::wstring setting = SettingOf(installDir);
  // Existing folders and a missing one (created by the command), with spaces, a comma, Chinese.
  struct Case {
    std::wstring folder;
    bool exists;
  };
  for (const Case& item : {Case{root_ / kWithSpaces, true}, Case{root_ / kWithComma, true},
                           Case{root_ / kChinese936, true},
                           Case{root_ / (std::wstring(kChinese936) + L" 新建"), false}}) {
    const std::wstring& folder = item.folder;
    SCOPED_TRACE(ToUtf8(folder));
    if (item.exists) MakeDirs(folder);
    const std::vector<std::wstring> boxes = RunMove(exe, Environment(), folder);
    EXPECT_EQ(boxes, std::vector<std::wstring>{kMovedPrefix + folder + kMovedSuffix});
    EXPECT_EQ(PathFileOf(installDir),
              ToAnsi(setting + L"\r\n" + folder + L"\r\n" + setting + L"\\Cookies\r\n"));
    EXPECT_EQ(FromAnsi(*PathFileOf(installDir)).find(L'?'), std::wstring::npos);
    EXPECT_NE(GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  }
}

TEST_F(HostilePaths, MoveFolderRefusesAFolderTheBrowserWouldMisread) {
  const std::wstring installDir = root_ / L"install";
  const std::wstring exe = Install(installDir);
  RetryBudget retries;
  WritePathFile(installDir, PathFileLinesFor(installDir, PathFileForm::kRelative, DefaultCache()),
                retries);
  const std::optional<std::string> before = PathFileOf(installDir);
  for (const bool exists : {true, false}) {
    SCOPED_TRACE(exists ? "existing folder" : "missing folder");
    const std::wstring folder = root_ / (std::wstring(kOutside936) + (exists ? L"" : L"-new"));
    if (exists) MakeDirs(folder);
    const std::vector<std::wstring> boxes = RunMove(exe, Environment(), folder);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(folder), std::wstring::npos) << "names the folder: "
                                                         << ToUtf8(boxes[0]);
    EXPECT_FALSE(StartsWith(boxes[0], kMovedPrefix));
    EXPECT_EQ(PathFileOf(installDir), before);
  }
}

TEST_F(HostilePaths, MoveFolderFromAnInstallationTheBrowserCannotNameAsksFirst) {
  const std::wstring cache = root_ / L"cache";
  MakeDirs(cache);
  for (const wchar_t* name : {kChinese936, kOutside936}) {
    SCOPED_TRACE(ToUtf8(name));
    const std::wstring installDir = root_ / name;
    const std::vector<std::wstring> boxes = RunMove(Install(installDir), Environment(), cache);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(StartsWith(boxes[0], kQuestionStart + SettingOf(installDir)));
    EXPECT_EQ(boxes[1], kMovedPrefix + cache + kMovedSuffix);
    EXPECT_EQ(PathFileOf(installDir), ToAnsi(L"Setting\r\n" + cache + L"\r\n"));
  }
}

TEST_F(HostilePaths, MoveFolderPastTheOldPathLimitEitherRecordsItExactlyOrSaysWhy) {
  const std::wstring installDir = root_ / L"install";
  const std::wstring exe = Install(installDir);
  const std::wstring folder = DeepFolder(root_.Path(), 300);
  MakeDirs(folder.substr(0, folder.find_last_of(L'\\')));  // the command creates the last level
  const std::vector<std::wstring> boxes = RunMove(exe, Environment(), folder);
  ASSERT_EQ(boxes.size(), 1u);
  const std::wstring setting = SettingOf(installDir);
  if (StartsWith(boxes[0], kMovedPrefix)) {
    EXPECT_EQ(boxes[0], kMovedPrefix + folder + kMovedSuffix);
    EXPECT_EQ(PathFileOf(installDir),
              ToAnsi(setting + L"\r\n" + folder + L"\r\n" + setting + L"\\Cookies\r\n"));
  } else {
    EXPECT_NE(boxes[0].find(folder), std::wstring::npos) << ToUtf8(boxes[0]);
    EXPECT_EQ(PathFileOf(installDir), std::nullopt);
  }
}

// ---- A drive's root ------------------------------------------------------------------------

// The test command maps drive V: to an empty folder of the build; without it there is no drive
// root the test may fill.
constexpr wchar_t kDriveRoot[] = L"V:\\";

class DriveRoot : public HostilePaths {
 protected:
  void SetUp() override {
    HostilePaths::SetUp();
    const DWORD attributes = GetFileAttributesW(kDriveRoot);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      GTEST_SKIP() << "drive V: is not mapped";
    }
    Clear();
  }
  void TearDown() override { Clear(); }
  void Clear() {
    for (const wchar_t* name : {L"velmo_portable.exe", L"velmoexplorer.exe", L"velmoexplorer.log",
                                L"path", L"Setting"}) {
      testing::RemoveTree(std::wstring(kDriveRoot) + name);
    }
  }
};

TEST_F(DriveRoot, SetAndMoveFolderWorkWithTheDoubledSeparator) {
  // The installation directory is "V:\", so every composed path holds "\\" after the drive;
  // Windows reads such a path as the single-separator one, and so does the browser.
  const Profile profile(AppData());
  const std::wstring exe = Install(kDriveRoot);
  const std::wstring setting = SettingOf(kDriveRoot);
  EXPECT_EQ(setting, L"V:\\\\Setting");

  EXPECT_EQ(RunSet(exe, Environment()), std::vector<std::wstring>{kSetSuccess});
  EXPECT_EQ(PathFileOf(kDriveRoot),
            ToAnsi(setting + L"\r\n" + DefaultCache() + L"\r\n" + setting + L"\\Cookies\r\n"));
  EXPECT_EQ(TreeSnapshot(L"V:\\Setting"), profile.ExpectedCopy());

  const std::wstring cache = root_ / L"cache";
  MakeDirs(cache);
  EXPECT_EQ(RunMove(exe, Environment(), cache),
            std::vector<std::wstring>{kMovedPrefix + cache + kMovedSuffix});
  EXPECT_EQ(PathFileOf(kDriveRoot),
            ToAnsi(setting + L"\r\n" + cache + L"\r\n" + setting + L"\\Cookies\r\n"));
}

}  // namespace
}  // namespace velmo::e2e
