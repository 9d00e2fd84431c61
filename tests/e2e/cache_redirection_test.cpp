// Browse and Move folder through the real window: the folder browser driven like a user would,
// the boxes read off the screen, the path file's bytes read off the disk.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "folder_browser.h"
#include "gui_driver.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "window/main_window_layout.h"

namespace velmo::e2e {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

constexpr char kOldPathFile[] = "C:\\old\\Setting\r\nC:\\old\\cache\r\n";
constexpr wchar_t kNotFoundPrefix[] = L"目标文件夹不存在，请重新输入正确路径";
constexpr wchar_t kFriendly[] = L"友情提示";
constexpr wchar_t kTool[] = L"Velmo浏览器绿化工具";

BOOL CALLBACK NoteIcon(HWND child, LPARAM param) {
  DWORD_PTR icon = 0;
  if (IsWindowVisible(child) &&
      SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon) && icon != 0) {
    *reinterpret_cast<bool*>(param) = true;
    return FALSE;
  }
  return TRUE;
}

// Whether a message box shows an icon. The icon static's id differs between Windows and Wine, so
// every child of the box is asked. Which icon it is cannot be told from another process under
// Wine (icon handles are per process there); the command tests check the exact styles.
bool ShowsIcon(HWND box) {
  bool shown = false;
  EnumChildWindows(box, &NoteIcon, reinterpret_cast<LPARAM>(&shown));
  return shown;
}

std::wstring SuccessText(const std::wstring& folder) {
  return L"成功将Webkit缓存文件夹移动到：" + folder + L"\r\n重启浏览器后生效";
}

// A browser installation with the tool beside it, a separate place for cache folders, and the
// running tool with its own APPDATA and TEMP.
class CacheRedirection : public ::testing::Test {
 protected:
  explicit CacheRedirection(const std::wstring& installHint = L"velmo-e2e-install")
      : install_(installHint), elsewhere_(L"velmo-e2e-cache"), environment_(L"velmo-e2e-env") {}

  void Start() {
    const std::wstring exe = SetUpInstallation(install_.Path());
    testing::MakeDirs(environment_ / L"AppData");
    testing::MakeDirs(environment_ / L"Temp");
    tool_.emplace(exe,
                  EnvironmentChanges{{L"APPDATA", environment_ / L"AppData"},
                                     {L"TEMP", environment_ / L"Temp"}});
    ASSERT_NE(tool_->WaitForMainWindow(), nullptr);
  }

  // Clicks a button and answers the box that follows with OK; returns that box.
  BoxInfo ClickAndReadBox(int button) {
    tool_->Click(button);
    return NextBox();
  }
  BoxInfo NextBox(int answer = IDOK) {
    std::optional<BoxInfo> box = tool_->WaitForBox();
    if (!box) {
      ADD_FAILURE() << "no message box appeared";
      return {};
    }
    box->hasIcon = ShowsIcon(box->window);
    tool_->Answer(*box, answer);
    return *box;
  }
  // Moves to the folder typed into the cache folder box and returns the box that answers.
  BoxInfo MoveTo(const std::wstring& cacheFolderText) {
    tool_->SetControlText(kCacheFolderEdit, cacheFolderText);
    return ClickAndReadBox(kMoveFolderButton);
  }
  // True when no further box turns up in a short while (the tool is idle again).
  bool NoFurtherBox() { return !tool_->WaitForBox(1000).has_value(); }

  // Creates `picked`, starts the tool, clicks Browse and picks that folder in the dialog.
  bool PickInFolderBrowser(const std::wstring& picked) {
    testing::MakeDirs(picked);
    Start();
    tool_->Click(kBrowseButton);
    std::optional<FolderBrowser> browser = FolderBrowser::WaitFor(tool_->Pid());
    return browser && browser->Choose(picked) && browser->WaitClosed();
  }

  std::wstring PathFile() const { return install_ / L"path"; }
  std::string AbsoluteForm(const std::wstring& cache) const {
    const std::string setting = ToAnsi(install_ / L"Setting");
    return setting + "\r\n" + ToAnsi(cache) + "\r\n" + setting + "\\Cookies\r\n";
  }

  TempDir install_;
  TempDir elsewhere_;
  TempDir environment_;
  std::optional<ToolProcess> tool_;
};

void ExpectFriendlyNotice(const BoxInfo& box, const std::wstring& text) {
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.title, kFriendly);
  EXPECT_TRUE(box.hasIcon);
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
}

// ---------------------------------------------------------------------------------------------
// Browse

TEST_F(CacheRedirection, BrowseCancelledEmptiesTheCacheFolderBox) {
  Start();
  tool_->Click(kBrowseButton);
  std::optional<FolderBrowser> browser = FolderBrowser::WaitFor(tool_->Pid());
  ASSERT_TRUE(browser);
  const std::vector<std::wstring> statics = browser->StaticTexts();
  EXPECT_NE(std::find(statics.begin(), statics.end(), L"选择目录:"), statics.end());
  browser->Cancel();
  ASSERT_TRUE(browser->WaitClosed());

  ExpectFriendlyNotice(NextBox(), L"你点击了取消按钮！");
  EXPECT_TRUE(NoFurtherBox());
  EXPECT_EQ(tool_->ControlText(kCacheFolderEdit), L"");
}

TEST_F(CacheRedirection, BrowsePicksFolderIntoTheCacheFolderBox) {
  const std::wstring picked = elsewhere_ / L"Picked Cache";
  ASSERT_TRUE(PickInFolderBrowser(picked));

  ExpectFriendlyNotice(NextBox(), L"你选择的文件夹是：" + picked);
  EXPECT_TRUE(NoFurtherBox());
  EXPECT_EQ(tool_->ControlText(kCacheFolderEdit), picked);

  // And Move folder records what Browse chose.
  ExpectFriendlyNotice(ClickAndReadBox(kMoveFolderButton), SuccessText(picked));
  EXPECT_EQ(ReadBytes(PathFile()), AbsoluteForm(picked));
}

TEST_F(CacheRedirection, BrowseRefusesChineseFolder) {
  const std::wstring picked = elsewhere_ / L"子目录A";
  ASSERT_TRUE(PickInFolderBrowser(picked));

  ExpectFriendlyNotice(NextBox(), L"你选择的文件夹是：" + picked);
  const BoxInfo refusal = NextBox();
  EXPECT_EQ(refusal.text, L"您选择的路径存在中文字符，请选择其它不带有中文字符的路径");
  EXPECT_EQ(refusal.title, L"提示");
  EXPECT_TRUE(refusal.hasIcon);
  EXPECT_EQ(tool_->ControlText(kCacheFolderEdit), L"");
}

// Points the shell object's name at a class nobody registered while it lives, then puts the
// registration back. The machine-wide key is the test prefix's own (Wine reads no per-user
// class registrations for this lookup).
class UnregisteredShellObject {
 public:
  UnregisteredShellObject() {
    DWORD size = sizeof original_;
    saved_ = RegGetValueW(HKEY_LOCAL_MACHINE, kKey, nullptr, RRF_RT_REG_SZ, nullptr, original_,
                          &size) == ERROR_SUCCESS;
    const wchar_t bogus[] = L"{6C1A0E2B-33A4-4F0B-9E55-0D1B3C5A7E91}";
    set_ = saved_ && RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, nullptr, REG_SZ, bogus,
                                     sizeof bogus) == ERROR_SUCCESS;
  }
  ~UnregisteredShellObject() {
    if (set_) {
      RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, nullptr, REG_SZ, original_,
                      static_cast<DWORD>((lstrlenW(original_) + 1) * sizeof(wchar_t)));
    }
  }
  UnregisteredShellObject(const UnregisteredShellObject&) = delete;
  UnregisteredShellObject& operator=(const UnregisteredShellObject&) = delete;
  bool Active() const { return set_; }

 private:
  static constexpr wchar_t kKey[] = L"Software\\Classes\\Shell.Application\\CLSID";
  wchar_t original_[64] = {};
  bool saved_ = false;
  bool set_ = false;
};

TEST_F(CacheRedirection, BrowseWithoutTheShellObjectReportsAndStaysOpen) {
  UnregisteredShellObject unregistered;
  ASSERT_TRUE(unregistered.Active());
  Start();
  const std::wstring before = tool_->ControlText(kCacheFolderEdit);
  const BoxInfo box = ClickAndReadBox(kBrowseButton);
  EXPECT_TRUE(box.hasIcon);
  EXPECT_NE(box.text.find(L"打开文件夹选择对话框"), std::wstring::npos) << ToUtf8(box.text);
  EXPECT_TRUE(NoFurtherBox());
  EXPECT_EQ(tool_->ControlText(kCacheFolderEdit), before);
  EXPECT_FALSE(tool_->WaitForExit(0).has_value());  // still running
}

// ---------------------------------------------------------------------------------------------
// Move folder

TEST_F(CacheRedirection, MoveRecordsExistingAndCreatedFolders) {
  const std::wstring existing = elsewhere_ / L"Existing";
  testing::MakeDirs(existing);
  Start();

  ExpectFriendlyNotice(MoveTo(existing), SuccessText(existing));
  EXPECT_EQ(ReadBytes(PathFile()), AbsoluteForm(existing));

  // Spaces and Chinese characters are recorded as typed, in the ANSI code page.
  const std::wstring created = elsewhere_ / L"新 缓存 folder";
  ExpectFriendlyNotice(MoveTo(created), SuccessText(created));
  EXPECT_TRUE(testing::TreeSnapshot(elsewhere_.Path()).count(L"新 缓存 folder\\"));
  EXPECT_EQ(ReadBytes(PathFile()), AbsoluteForm(created));
  EXPECT_NE(ReadBytes(PathFile())->find("\xd0\xc2 \xbb\xba\xb4\xe6 folder"), std::string::npos);
}

TEST_F(CacheRedirection, MoveToFolderThatCannotBeMadeWritesNothing) {
  WriteBytes(elsewhere_ / L"a file", "x");
  WriteBytes(PathFile(), kOldPathFile);
  Start();
  for (const std::wstring& cacheFolderText : {elsewhere_ / L"missing\\Cache", std::wstring(),
                                   elsewhere_ / L"a file"}) {
    const BoxInfo box = MoveTo(cacheFolderText);
    EXPECT_EQ(box.text, kNotFoundPrefix + cacheFolderText);
    EXPECT_EQ(box.title, kTool);  // given no title, the box shows the tool's
    EXPECT_FALSE(box.hasIcon);
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  }
  EXPECT_FALSE(testing::TreeSnapshot(elsewhere_.Path()).count(L"missing\\"));
  EXPECT_EQ(ReadBytes(PathFile()), kOldPathFile);
}

TEST_F(CacheRedirection, MoveReportsUnwritablePathFileAndUnrepresentableFolder) {
  testing::MakeDirs(PathFile());  // a folder where the path file belongs
  const std::wstring cache = elsewhere_ / L"Cache";
  testing::MakeDirs(cache);
  Start();

  const BoxInfo failure = MoveTo(cache);
  EXPECT_TRUE(failure.hasIcon);
  EXPECT_NE(failure.text.find(PathFile()), std::wstring::npos) << ToUtf8(failure.text);
  EXPECT_TRUE(NoFurtherBox());  // no success box after it

  const std::wstring unrepresentable = elsewhere_ / L"Cache\u0151";
  const BoxInfo refusal = MoveTo(unrepresentable);
  EXPECT_TRUE(refusal.hasIcon);
  EXPECT_NE(refusal.text.find(unrepresentable), std::wstring::npos) << ToUtf8(refusal.text);
  EXPECT_FALSE(testing::TreeSnapshot(elsewhere_.Path()).count(L"Cache\u0151\\"));
  EXPECT_TRUE(tool_->WaitForMainWindow(0) != nullptr);
}

class ChineseInstallation : public CacheRedirection {
 protected:
  ChineseInstallation() : CacheRedirection(L"绿化 工具") {}
};

TEST_F(ChineseInstallation, MoveAnsweredYesEndsTheTool) {
  const std::wstring cache = elsewhere_ / L"Cache";
  testing::MakeDirs(cache);
  WriteBytes(PathFile(), kOldPathFile);
  Start();
  tool_->SetControlText(kCacheFolderEdit, cache);
  tool_->Click(kMoveFolderButton);
  const std::optional<BoxInfo> question = tool_->WaitForBox();
  ASSERT_TRUE(question);
  EXPECT_EQ(question->title, kFriendly);
  EXPECT_EQ(question->buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(question->text.rfind(L"检测到当前绿色版存放的路径：\u201c" +
                                     (install_ / L"Setting") + L"\u201d\u3002",
                                 0),
            0u);
  EXPECT_TRUE(ShowsIcon(question->window));
  PostMessageW(question->window, WM_COMMAND, IDYES, 0);
  EXPECT_TRUE(tool_->WaitForExit().has_value());
  EXPECT_EQ(ReadBytes(PathFile()), kOldPathFile);
}

TEST_F(ChineseInstallation, MoveAnsweredNoWritesTheRelativeForm) {
  const std::wstring cache = elsewhere_ / L"Cache";
  testing::MakeDirs(cache);
  Start();
  tool_->SetControlText(kCacheFolderEdit, cache);
  tool_->Click(kMoveFolderButton);
  NextBox(IDNO);
  ExpectFriendlyNotice(NextBox(), SuccessText(cache));
  EXPECT_EQ(ReadBytes(PathFile()), "Setting\r\n" + ToAnsi(cache) + "\r\n");
}

}  // namespace
}  // namespace velmo::e2e
