// Start-up of the real tool, copied with a substitute browser into a temporary installation
// folder and driven through its window: the missing-browser refusal, the information panel, the
// default cache folder, the window's frame, layout, focus and Tab order.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "expected_layout.h"
#include "gui_driver.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "window/main_window.h"

namespace velmo::e2e {
namespace {

using velmo::testing::TempDir;
using namespace std::string_literals;
using velmo::testing::WriteBytes;

constexpr wchar_t kInfoTemp[] = L"C:\\velmo-temp";

// A temporary installation: the tool and a substitute browser in a fresh folder.
struct Installation {
  explicit Installation(BrowserVariant variant = BrowserVariant::Version1234)
      : tool(SetUpInstallation(dir.Path(), variant)) {}
  TempDir dir{L"velmo-startup"};
  std::wstring tool;
};

EnvironmentChanges StandardEnvironment() {
  return {{L"TEMP", std::wstring(kInfoTemp)}, {L"APPDATA", std::wstring(L"C:\\velmo-appdata")}};
}

std::wstring VersionLine(const std::wstring& version) {
  return L"当前目录下的Velmo浏览器版本号是：" + version;
}

std::wstring PathLines(const std::wstring& line1, const std::wstring& line2) {
  return L"配置存放路径：" + line1 + L"\r\n缓存存放路径：" + line2;
}

// --- The browser must lie beside the tool -------------------------------------------------------

void ExpectRefusalAndEnd(ToolProcess& tool) {
  const std::optional<BoxInfo> box = tool.WaitForBox();
  ASSERT_TRUE(box.has_value()) << "no error box";
  EXPECT_EQ(box->title, L"错问题提示");
  EXPECT_EQ(box->text, L"请将工具放置在Velmo浏览器程序安装目录下再运行。\r\n点击“确定”关闭工具");
  EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
  EXPECT_TRUE(box->hasIcon);
  EXPECT_EQ(box->iconStyle, static_cast<unsigned>(MB_ICONERROR));
  // The window is never shown: not while the box is up, and not after it.
  EXPECT_EQ(tool.WaitForMainWindow(0), nullptr);
  tool.Answer(*box, IDOK);
  EXPECT_TRUE(tool.WaitForExit().has_value()) << "the tool did not end after the error box";
  EXPECT_EQ(tool.WaitForMainWindow(0), nullptr);
}

TEST(StartupRefusal, EndsAfterTheErrorBoxWhenNoBrowserIsThere) {
  TempDir dir(L"velmo-nobrowser");
  const std::wstring tool = dir / L"velmo_portable.exe";
  ASSERT_TRUE(CopyFileW(ToolExecutable().c_str(), tool.c_str(), FALSE));
  ToolProcess process(tool, StandardEnvironment());
  ExpectRefusalAndEnd(process);
}

TEST(StartupRefusal, AFolderNamedLikeTheBrowserIsNoBrowser) {
  TempDir dir(L"velmo-folderbrowser");
  const std::wstring tool = dir / L"velmo_portable.exe";
  ASSERT_TRUE(CopyFileW(ToolExecutable().c_str(), tool.c_str(), FALSE));
  ASSERT_TRUE(CreateDirectoryW((dir / L"velmoexplorer.exe").c_str(), nullptr));
  // A version resource in there must not matter either.
  ASSERT_TRUE(CopyFileW((TestProgramFolder() + L"\\velmoexplorer.exe").c_str(),
                        (dir / L"velmoexplorer.exe\\velmoexplorer.exe").c_str(), FALSE));
  ToolProcess process(tool, StandardEnvironment());
  ExpectRefusalAndEnd(process);
}

// --- The information panel and the default cache folder ----------------------------------------

struct PathFileCase {
  const char* name;
  std::optional<std::string> bytes;  // nullopt: no path file
  std::wstring pathFileLabel;
};

void PrintTo(const PathFileCase& c, std::ostream* out) { *out << c.name; }

class StartupPathFile : public ::testing::TestWithParam<PathFileCase> {};

TEST_P(StartupPathFile, PathFileLabelShowsTheFirstTwoLines) {
  const PathFileCase& c = GetParam();
  Installation installation;
  if (c.bytes) WriteBytes(installation.dir / L"path", *c.bytes);
  ToolProcess tool(installation.tool, StandardEnvironment());
  ASSERT_NE(tool.WaitForMainWindow(), nullptr);
  EXPECT_EQ(tool.ControlText(kPathFileLabel), c.pathFileLabel);
  // The rest of the panel does not depend on the path file; the cache folder box ignores its
  // cache line.
  EXPECT_EQ(tool.ControlText(kVersionLabel), VersionLine(L"1.2.3.4"));
  EXPECT_EQ(tool.ControlText(kCacheFolderEdit), std::wstring(kInfoTemp) + L"\\WebkitCache");
  EXPECT_FALSE(tool.WaitForBox(0).has_value());
  EXPECT_EQ(tool.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StartupPathFile,
    ::testing::Values(
        PathFileCase{"NoFile", std::nullopt, L""},
        PathFileCase{"Empty", std::string(), PathLines(L"", L"")},
        PathFileCase{"OneLine", std::string("C:\\one\r\n"), PathLines(L"C:\\one", L"")},
        PathFileCase{"OneLineWithoutEnd", std::string("C:\\one"), PathLines(L"C:\\one", L"")},
        PathFileCase{"TwoLines", std::string("C:\\a\\Setting\r\nD:\\cache\r\n"),
                     PathLines(L"C:\\a\\Setting", L"D:\\cache")},
        PathFileCase{"FiveLines", std::string("L1\r\nL2\r\nL3\r\nL4\r\nL5\r\n"),
                     PathLines(L"L1", L"L2")},
        PathFileCase{"RelativeForm", std::string("Setting\r\nC:\\temp\\WebkitCache\r\n"),
                     PathLines(L"Setting", L"C:\\temp\\WebkitCache")},
        PathFileCase{"LoneCrEndsALine", std::string("L1\rL2\rL3"), PathLines(L"L1", L"L2")},
        PathFileCase{"LoneLfIsText", std::string("A\nB\n"), PathLines(L"A\nB\n", L"")},
        // A NUL byte in a line hides the rest of that line only, never the other line.
        PathFileCase{"NulCutsEachLine", "C:\\a\0hidden\r\nD:\\b\0more\r\n"s,
                     PathLines(L"C:\\a", L"D:\\b")},
        // GBK bytes of C:\浏览器\设置 and D:\缓存
        PathFileCase{"ChineseInTheAnsiCodePage",
                     std::string("C:\\\xe4\xaf\xc0\xc0\xc6\xf7\\\xc9\xe8\xd6\xc3\r\n"
                                 "D:\\\xbb\xba\xb4\xe6\r\n"),
                     PathLines(L"C:\\浏览器\\设置", L"D:\\缓存")}),
    [](const ::testing::TestParamInfo<PathFileCase>& info) { return info.param.name; });

TEST(StartupPathFileOddities, AFolderNamedPathCountsAsNoPathFile) {
  Installation installation;
  ASSERT_TRUE(CreateDirectoryW((installation.dir / L"Path").c_str(), nullptr));
  ToolProcess tool(installation.tool, StandardEnvironment());
  ASSERT_NE(tool.WaitForMainWindow(), nullptr);
  EXPECT_EQ(tool.ControlText(kPathFileLabel), L"");
  EXPECT_FALSE(tool.WaitForBox(0).has_value());
  EXPECT_EQ(tool.Close(), 0u);
}

TEST(StartupPathFileOddities, AnUnreadablePathFileIsReportedAndTheWindowStillOpens) {
  Installation installation;
  const std::wstring pathFile = installation.dir / L"path";
  WriteBytes(pathFile, "C:\\held\r\nD:\\held\r\n");
  std::optional<BoxInfo> box;
  {
    FileHolder holder(pathFile);
    ToolProcess tool(installation.tool, StandardEnvironment());
    box = tool.WaitForBox();
    ASSERT_TRUE(box.has_value()) << "no error box for a path file that cannot be read";
    // The box names the file and says why; it is an error, and the tool goes on.
    const std::wstring readName = installation.dir / L"Path";
    EXPECT_NE(box->text.find(readName), std::wstring::npos) << ToUtf8(box->text);
    EXPECT_GT(box->text.size(), readName.size() + 10) << "no reason given: " << ToUtf8(box->text);
    EXPECT_EQ(box->iconStyle, static_cast<unsigned>(MB_ICONERROR));
    EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
    EXPECT_EQ(tool.WaitForMainWindow(0), nullptr) << "the window showed before the box was answered";
    tool.Answer(*box, IDOK);
    ASSERT_NE(tool.WaitForMainWindow(), nullptr) << "the tool ended instead of opening its window";
    EXPECT_EQ(tool.ControlText(kPathFileLabel), L"");
    EXPECT_EQ(tool.ControlText(kVersionLabel), VersionLine(L"1.2.3.4"));
    EXPECT_EQ(tool.ControlText(kCacheFolderEdit), std::wstring(kInfoTemp) + L"\\WebkitCache");
    EXPECT_EQ(tool.Close(), 0u);
  }
  // Reading never changes the file.
  EXPECT_EQ(velmo::testing::ReadBytes(pathFile), std::string("C:\\held\r\nD:\\held\r\n"));
}

struct VersionCase {
  const char* name;
  BrowserVariant variant;
  std::wstring shown;
};

void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.name; }

class StartupVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(StartupVersion, VersionLabelShowsTheBrowsersFileVersion) {
  Installation installation(GetParam().variant);
  ToolProcess tool(installation.tool, StandardEnvironment());
  ASSERT_NE(tool.WaitForMainWindow(), nullptr);
  EXPECT_EQ(tool.ControlText(kVersionLabel), VersionLine(GetParam().shown));
  EXPECT_FALSE(tool.WaitForBox(0).has_value());
  EXPECT_EQ(tool.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, StartupVersion,
    ::testing::Values(VersionCase{"Plain", BrowserVariant::Version1234, L"1.2.3.4"},
                      VersionCase{"Component65535", BrowserVariant::Version65535, L"1.2.65535.4"},
                      VersionCase{"NoVersionResource", BrowserVariant::NoVersion, L""}),
    [](const ::testing::TestParamInfo<VersionCase>& info) { return info.param.name; });

struct TempCase {
  const char* name;
  std::optional<std::wstring> temp;
  std::wstring cacheFolderText;
};

void PrintTo(const TempCase& c, std::ostream* out) { *out << c.name; }

class StartupCacheFolderBox : public ::testing::TestWithParam<TempCase> {};

TEST_P(StartupCacheFolderBox, StartsWithTheDefaultCacheFolder) {
  Installation installation;
  EnvironmentChanges environment = StandardEnvironment();
  environment[L"TEMP"] = GetParam().temp;
  ToolProcess tool(installation.tool, environment);
  ASSERT_NE(tool.WaitForMainWindow(), nullptr);
  EXPECT_EQ(tool.ControlText(kCacheFolderEdit), GetParam().cacheFolderText);
  EXPECT_EQ(tool.Close(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Temp, StartupCacheFolderBox,
    ::testing::Values(TempCase{"Unset", std::nullopt, L"\\WebkitCache"},
                      TempCase{"Empty", std::wstring(), L"\\WebkitCache"},
                      TempCase{"Chinese", std::wstring(L"D:\\临时 文件"), L"D:\\临时 文件\\WebkitCache"},
                      TempCase{"TrailingSeparatorKept", std::wstring(L"C:\\t\\"),
                               L"C:\\t\\\\WebkitCache"}),
    [](const ::testing::TestParamInfo<TempCase>& info) { return info.param.name; });

// The test command maps V: to an empty folder of the build (see tests/CMakeLists.txt).
TEST(StartupAtDriveRoot, DoubledSeparatorsStillFindTheBrowserAndThePathFile) {
  const std::wstring root = L"V:\\";
  const DWORD attributes = GetFileAttributesW(root.c_str());
  ASSERT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      << "drive V: is not mapped; run the end-to-end tests through ctest (./run test)";
  const std::wstring tool = SetUpInstallation(L"V:");
  WriteBytes(L"V:\\path", "Setting\r\nV:\\cache\r\n");
  {
    ToolProcess process(tool, StandardEnvironment());
    EXPECT_FALSE(process.WaitForBox(1000).has_value()) << "the browser at V:\\ was not found";
    ASSERT_NE(process.WaitForMainWindow(), nullptr);
    EXPECT_EQ(process.ControlText(kVersionLabel), VersionLine(L"1.2.3.4"));
    EXPECT_EQ(process.ControlText(kPathFileLabel), PathLines(L"Setting", L"V:\\cache"));
    EXPECT_EQ(process.Close(), 0u);
  }
  for (const wchar_t* name : {L"V:\\path", L"V:\\velmoexplorer.exe", L"V:\\velmo_portable.exe"}) {
    DeleteFileW(name);
  }
}

// Sets the screen DPI (HKCU\Control Panel\Desktop\LogPixels) for the programs started while it
// lives, and puts the previous setting back at the end.
class ScreenDpiSetting {
 public:
  explicit ScreenDpiSetting(DWORD dpi) {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, &key_, nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    DWORD size = sizeof previous_;
    DWORD type = 0;
    hadValue_ = RegQueryValueExW(key_, kLogPixels, nullptr, &type,
                                 reinterpret_cast<BYTE*>(&previous_), &size) == ERROR_SUCCESS &&
                type == REG_DWORD;
    applied_ = RegSetValueExW(key_, kLogPixels, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                              sizeof dpi) == ERROR_SUCCESS;
  }
  ~ScreenDpiSetting() {
    if (key_ == nullptr) return;
    if (hadValue_) {
      RegSetValueExW(key_, kLogPixels, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous_),
                     sizeof previous_);
    } else {
      RegDeleteValueW(key_, kLogPixels);
    }
    RegCloseKey(key_);
  }
  ScreenDpiSetting(const ScreenDpiSetting&) = delete;
  ScreenDpiSetting& operator=(const ScreenDpiSetting&) = delete;
  bool Applied() const { return applied_; }

 private:
  static constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
  static constexpr wchar_t kLogPixels[] = L"LogPixels";
  HKEY key_ = nullptr;
  DWORD previous_ = 0;
  bool hadValue_ = false;
  bool applied_ = false;
};

// At 336 DPI the window (7095 twips of client area and more) is wider and taller than the
// 1280 x 1024 screen the tests run on: centring gives it a negative left and top.
TEST(StartupLargeWindow, AWindowLargerThanTheScreenKeepsItsCentreAtTheScreensCentre) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  ASSERT_LT(screenWidth, 1400);
  ASSERT_LT(screenHeight, 1100);
  Installation installation;
  ScreenDpiSetting dpi(336);
  ASSERT_TRUE(dpi.Applied());
  ToolProcess tool(installation.tool, StandardEnvironment());
  ASSERT_NE(tool.WaitForMainWindow(), nullptr);
  const RECT window = tool.WindowRect();
  EXPECT_GT(window.right - window.left, screenWidth);
  EXPECT_GT(window.bottom - window.top, screenHeight);
  EXPECT_LT(window.left, 0);
  EXPECT_LT(window.top, 0);
  EXPECT_NEAR((window.left + window.right) / 2.0, screenWidth / 2.0, 1.0);
  EXPECT_NEAR((window.top + window.bottom) / 2.0, screenHeight / 2.0, 1.0);
  EXPECT_EQ(tool.Close(), 0u);
}

// --- The window: frame, layout, focus, keyboard -------------------------------------------------

class StartupWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(tool_.WaitForMainWindow(), nullptr);
  }
  void TearDown() override { tool_.Close(); }

  std::optional<int> FocusedId() {
    for (const ControlInfo& control : tool_.Controls()) {
      if (control.focused) return control.id;
    }
    return std::nullopt;
  }

  // The focused control once the focus differs from `previous` (it moves when the tool's
  // message loop gets to it), or the unchanged focus after the deadline.
  std::optional<int> FocusOtherThan(std::optional<int> previous) {
    std::optional<int> focus = FocusedId();
    for (DWORD waited = 0; focus == previous && waited < kDefaultWaitMs; waited += 20) {
      Sleep(20);
      focus = FocusedId();
    }
    return focus;
  }

  Installation installation_;
  ToolProcess tool_{installation_.tool, StandardEnvironment()};
};

TEST_F(StartupWindow, HasAFixedFrameWithMinimizeButtonAndSystemMenu) {
  const DWORD style = tool_.WindowStyle();
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_VISIBLE);
  wchar_t caption[64] = {};
  GetWindowTextW(tool_.WaitForMainWindow(0), caption, 64);
  EXPECT_STREQ(caption, L"Velmo浏览器绿化工具");
}

// The window class and the style bits (the low four) a control of each kind has.
std::pair<std::wstring, DWORD> ClassAndKindStyle(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label:
      return {L"Static", 0x0};  // SS_LEFT
    case ControlKind::Frame:
      return {L"Button", 0x7};  // BS_GROUPBOX
    case ControlKind::Button:
      return {L"Button", 0x0};  // BS_PUSHBUTTON: none is a default button
    case ControlKind::TextBox:
      break;
  }
  return {L"Edit", 0x0};  // ES_LEFT
}

TEST_F(StartupWindow, ControlsSitWhereTheLayoutPutsThemAt96Dpi) {
  const SIZE client = tool_.ClientSize();
  EXPECT_NEAR(client.cx, kExpectedClientWidthTwips / 15.0, 1.0);
  EXPECT_NEAR(client.cy, kExpectedClientHeightTwips / 15.0, 1.0);

  const std::vector<ControlInfo> controls = tool_.Controls();
  EXPECT_EQ(controls.size(), std::size(kExpectedControls));
  for (const ExpectedControl& expected : kExpectedControls) {
    SCOPED_TRACE(expected.name);
    const auto found = std::find_if(controls.begin(), controls.end(),
                                    [&](const ControlInfo& c) { return c.id == expected.id; });
    ASSERT_NE(found, controls.end());
    const RECT& r = found->rect;
    EXPECT_NEAR(r.left, expected.left / 15.0, 1.0);
    EXPECT_NEAR(r.top, expected.top / 15.0, 1.0);
    EXPECT_NEAR(r.right - r.left, expected.width / 15.0, 1.0);
    EXPECT_NEAR(r.bottom - r.top, expected.height / 15.0, 1.0);
    EXPECT_TRUE(found->visible);
    EXPECT_TRUE(found->enabled);
    if (expected.caption != nullptr) {
      EXPECT_EQ(found->text, expected.caption);
    }
    const auto [className, kindStyle] = ClassAndKindStyle(expected.kind);
    EXPECT_EQ(CompareStringOrdinal(found->className.c_str(), -1, className.c_str(), -1, TRUE),
              CSTR_EQUAL)
        << ToUtf8(found->className);
    EXPECT_EQ(found->style & 0x0F, kindStyle);
  }
}

TEST_F(StartupWindow, IsCentredOnTheScreen) {
  const RECT window = tool_.WindowRect();
  const double centreX = (window.left + window.right) / 2.0;
  const double centreY = (window.top + window.bottom) / 2.0;
  EXPECT_NEAR(centreX, GetSystemMetrics(SM_CXSCREEN) / 2.0, 1.0);
  EXPECT_NEAR(centreY, GetSystemMetrics(SM_CYSCREEN) / 2.0, 1.0);
}

TEST_F(StartupWindow, FocusStartsOnSetAndTabWalksTheTabOrder) {
  EXPECT_EQ(FocusOtherThan(std::nullopt), kSetButton);
  const int order[] = {kBrowseButton,         kCacheFolderEdit, kMoveFolderButton, kViewCacheButton,
                       kDefaultBrowserButton, kLaunchButton,    kSetButton};
  for (const int next : order) {
    const std::optional<int> current = FocusedId();
    ASSERT_TRUE(current.has_value());
    HWND focused = GetDlgItem(tool_.WaitForMainWindow(0), *current);
    PostMessageW(focused, WM_KEYDOWN, VK_TAB, 0);
    PostMessageW(focused, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC0000001));
    EXPECT_EQ(FocusOtherThan(current), next) << "after " << *current;
  }
}

// Shift+Tab needs the real keyboard state, so it goes through the system's input queue to the
// window, which must be the foreground window for that.
void PressShiftTab() {
  INPUT keys[4] = {};
  const WORD codes[4] = {VK_SHIFT, VK_TAB, VK_TAB, VK_SHIFT};
  for (int i = 0; i < 4; ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = codes[i];
    keys[i].ki.dwFlags = (i >= 2) ? KEYEVENTF_KEYUP : 0;
  }
  SendInput(4, keys, sizeof(INPUT));
}

TEST_F(StartupWindow, ShiftTabWalksTheTabOrderBackwards) {
  HWND window = tool_.WaitForMainWindow(0);
  ASSERT_EQ(FocusOtherThan(std::nullopt), kSetButton);
  SetForegroundWindow(window);
  for (DWORD waited = 0; GetForegroundWindow() != window && waited < kDefaultWaitMs; waited += 20) {
    Sleep(20);
  }
  ASSERT_EQ(GetForegroundWindow(), window) << "the tool's window is not in the foreground";
  const int order[] = {kLaunchButton,     kDefaultBrowserButton, kViewCacheButton, kMoveFolderButton,
                       kCacheFolderEdit,  kBrowseButton,         kSetButton};
  for (const int next : order) {
    const std::optional<int> current = FocusedId();
    PressShiftTab();
    EXPECT_EQ(FocusOtherThan(current), next) << "after " << current.value_or(0);
  }
}

}  // namespace
}  // namespace velmo::e2e
