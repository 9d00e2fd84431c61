#include "commands/cache_redirection.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "commands/preflight.h"
#include "support/file_queries.h"
#include "support/platform_error.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

using testing::ReadBytes;
using testing::ScriptedUi;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteBytes;

constexpr wchar_t kFriendly[] = L"友情提示";
constexpr char kOldPathFile[] =
    "C:\\old\\Setting\r\nC:\\old\\cache\r\nC:\\old\\Setting\\Cookies\r\n";

std::wstring SuccessText(const std::wstring& folder) {
  return L"成功将Webkit缓存文件夹移动到：" + folder + L"\r\n重启浏览器后生效";
}

std::string Narrow(const std::wstring& text) { return ToAnsi(text); }

// An installation directory, a separate place for cache folders, and the scripted window.
struct MoveFolderTest : ::testing::Test {
  explicit MoveFolderTest(const std::wstring& installHint = L"velmo-install")
      : install(installHint), elsewhere(L"velmo-cache") {}
  std::wstring PathFile() const { return install / L"path"; }
  AfterCommand Move(const std::wstring& cacheFolderText) {
    ui.cacheFolderText = cacheFolderText;
    return MoveCacheFolder(testing::MakeContext(install.Path(), {}), ui);
  }

  TempDir install;
  TempDir elsewhere;
  ScriptedUi ui;
};

// ---------------------------------------------------------------------------------------------
// Browse

TEST(BrowseCacheFolder, CancelEmptiesTheCacheFolderBoxWithOneBox) {
  ScriptedUi ui;
  ui.cacheFolderText = L"C:\\users\\root\\Temp\\WebkitCache";
  BrowseCacheFolder(testing::MakeContext(L"C:\\x", {}), ui);

  EXPECT_EQ(ui.folderDialogCalls, 1);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, L"你点击了取消按钮！");
  EXPECT_EQ(ui.boxes[0].style, 0x40u);
  EXPECT_EQ(ui.boxes[0].title, kFriendly);
  EXPECT_EQ(ui.cacheFolderText, L"");
}

TEST(BrowseCacheFolder, ChosenFolderIsShownAndPutIntoTheCacheFolderBoxUnchanged) {
  // Exactly as the shell reports it: case, spaces and a drive root's separator kept.
  for (const std::wstring chosen :
       {L"D:\\My Cache\\Webkit", L"C:\\", L"\\\\server\\share\\Cache"}) {
    ScriptedUi ui;
    ui.cacheFolderText = L"before";
    ui.folderDialog = [&] { return chosen; };
    BrowseCacheFolder(testing::MakeContext(L"C:\\x", {}), ui);

    ASSERT_EQ(ui.boxes.size(), 1u) << ToUtf8(chosen);
    EXPECT_EQ(ui.boxes[0].text, L"你选择的文件夹是：" + chosen);
    EXPECT_EQ(ui.boxes[0].style, 0x40u);
    EXPECT_EQ(ui.boxes[0].title, kFriendly);
    EXPECT_EQ(ui.cacheFolderText, chosen);
  }
}

TEST(BrowseCacheFolder, ChineseFolderIsShownThenRefused) {
  ScriptedUi ui;
  ui.cacheFolderText = L"before";
  ui.folderDialog = [] { return std::wstring(L"C:\\Scripts\\子目录A"); };
  BrowseCacheFolder(testing::MakeContext(L"C:\\x", {}), ui);

  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, L"你选择的文件夹是：C:\\Scripts\\子目录A");
  EXPECT_EQ(ui.boxes[0].style, 0x40u);
  EXPECT_EQ(ui.boxes[1].text, L"您选择的路径存在中文字符，请选择其它不带有中文字符的路径");
  EXPECT_EQ(ui.boxes[1].style, 0x10u);
  EXPECT_EQ(ui.boxes[1].title, L"提示");
  EXPECT_EQ(ui.cacheFolderText, L"");
}

TEST(BrowseCacheFolder, PickerFailureIsReportedAndTheCacheFolderBoxKept) {
  ScriptedUi ui;
  ui.cacheFolderText = L"C:\\keep me";
  ui.folderDialog = []() -> std::wstring {
    throw PlatformError(L"打开文件夹选择对话框", L"", 0x80040154u, true);
  };
  EXPECT_NO_THROW(BrowseCacheFolder(testing::MakeContext(L"C:\\x", {}), ui));

  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].style & 0xF0u, 0x10u);
  EXPECT_NE(ui.boxes[0].text.find(L"打开文件夹选择对话框"), std::wstring::npos);
  EXPECT_NE(ui.boxes[0].text.find(L"0x80040154"), std::wstring::npos);
  EXPECT_EQ(ui.cacheFolderText, L"C:\\keep me");
}

// ---------------------------------------------------------------------------------------------
// Move folder: which folder gets recorded, and in which bytes

TEST_F(MoveFolderTest, ExistingFolderIsRecordedInTheAbsoluteForm) {
  const std::wstring cache = elsewhere / L"Cache";
  CreateDirectoryW(cache.c_str(), nullptr);
  WriteBytes(PathFile(), kOldPathFile);
  Move(cache);

  const std::wstring setting = install.Path() + L"\\Setting";
  EXPECT_EQ(ReadBytes(PathFile()),
            Narrow(setting) + "\r\n" + Narrow(cache) + "\r\n" + Narrow(setting) + "\\Cookies\r\n");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, SuccessText(cache));
  EXPECT_EQ(ui.boxes[0].style, 0x40u);
  EXPECT_EQ(ui.boxes[0].title, kFriendly);
  // Nothing is moved or copied, no Setting folder appears, no temporary file is left.
  EXPECT_EQ(TreeSnapshot(install.Path()).size(), 1u);
  EXPECT_EQ(ui.cacheFolderText, cache);
}

TEST_F(MoveFolderTest, TextIsRecordedAsTypedWithSpacesAndChinese) {
  // Move folder does not test the folder for Chinese characters: code page 936 carries them.
  for (const std::wstring name : {L"my cache  folder", L"Cache.", L"缓存 目录"}) {
    ui.boxes.clear();
    const std::wstring cache = elsewhere / name;
    Move(cache);
    EXPECT_TRUE(FolderExists(cache)) << ToUtf8(name);
    const std::optional<std::string> bytes = ReadBytes(PathFile());
    ASSERT_TRUE(bytes) << ToUtf8(name);
    const std::string line2 = bytes->substr(bytes->find("\r\n") + 2);
    EXPECT_EQ(line2.substr(0, line2.find("\r\n")), Narrow(cache)) << ToUtf8(name);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, SuccessText(cache));
  }
  // The GBK bytes themselves (of the last one), not a round trip through the same conversion.
  EXPECT_NE(ReadBytes(PathFile())->find("\xbb\xba\xb4\xe6 \xc4\xbf\xc2\xbc"), std::string::npos);
}

TEST_F(MoveFolderTest, MissingFolderWithExistingParentIsCreatedThenRecorded) {
  const std::wstring cache = elsewhere / L"NewCache";
  Move(cache);

  EXPECT_TRUE(FolderExists(cache));
  EXPECT_EQ(TreeSnapshot(cache).size(), 0u);
  const std::wstring setting = install.Path() + L"\\Setting";
  EXPECT_EQ(ReadBytes(PathFile()),
            Narrow(setting) + "\r\n" + Narrow(cache) + "\r\n" + Narrow(setting) + "\\Cookies\r\n");
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, SuccessText(cache));
}

TEST_F(MoveFolderTest, FolderThatCannotBeCreatedGivesTheNotFoundBox) {
  struct Case {
    const char* what;
    std::wstring cacheFolderText;
  };
  WriteBytes(elsewhere / L"a file", "data");
  const Case cases[] = {
      {"missing parent", elsewhere / L"missing\\Cache"},  // one level only: nothing is created
      {"empty text", L""},
      {"a file", elsewhere / L"a file"},
      {"invalid name", elsewhere / L"bad|name"},
  };
  WriteBytes(PathFile(), kOldPathFile);
  const auto installBefore = TreeSnapshot(install.Path());
  const auto elsewhereBefore = TreeSnapshot(elsewhere.Path());
  for (const Case& c : cases) {
    ui.boxes.clear();
    Move(c.cacheFolderText);
    ASSERT_EQ(ui.boxes.size(), 1u) << c.what;
    EXPECT_EQ(ui.boxes[0].text, L"目标文件夹不存在，请重新输入正确路径" + c.cacheFolderText) << c.what;
    EXPECT_EQ(ui.boxes[0].style, 0x00u) << c.what;
    EXPECT_EQ(ui.boxes[0].title, L"Velmo浏览器绿化工具") << c.what;
    EXPECT_EQ(TreeSnapshot(install.Path()), installBefore) << c.what;
    EXPECT_EQ(TreeSnapshot(elsewhere.Path()), elsewhereBefore) << c.what;
  }
}

TEST_F(MoveFolderTest, FolderOutsideTheAnsiCodePageIsRefusedAndNothingWritten) {
  const std::wstring cache = elsewhere / L"Cache\u0151\u0e01";  // o-double-acute, Thai ko kai
  WriteBytes(PathFile(), kOldPathFile);
  Move(cache);

  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].style, 0x10u);
  EXPECT_NE(ui.boxes[0].text.find(cache), std::wstring::npos);  // names the folder
  EXPECT_EQ(ReadBytes(PathFile()), kOldPathFile);
  EXPECT_FALSE(FolderExists(cache));
  EXPECT_EQ(ui.cacheFolderText, cache);
}

// ---------------------------------------------------------------------------------------------
// Move folder: an installation directory the browser cannot take as it is

struct ChineseInstallTest : MoveFolderTest {
  ChineseInstallTest() : MoveFolderTest(L"绿化 工具") {}
};

std::wstring ExpectedQuestion(const std::wstring& setting) {
  return L"检测到当前绿色版存放的路径：\u201c" + setting +
         L"\u201d\u3002存在中文字符，请将绿色版复制到非中文的路径再开始制作。\r\n"
         L"是否需要停止当前绿色版的制作？如果选择\u201c是\u201d则停止制作，如果选择\u201c否\u201d"
         L"则强制在当前目录下制作绿色版，这样制作的绿色版将无法使用部分浏览器插件";
}

TEST(DoubleBytePathQuestion, QuotesTheSettingFolder) {
  EXPECT_EQ(DoubleBytePathQuestion(L"D:\\绿化\\Setting"), ExpectedQuestion(L"D:\\绿化\\Setting"));
}

TEST_F(ChineseInstallTest, YesEndsTheToolAndLeavesThePathFile) {
  const std::wstring cache = elsewhere / L"Cache";
  CreateDirectoryW(cache.c_str(), nullptr);
  WriteBytes(PathFile(), kOldPathFile);
  ui.answers = {Answer::kYes};
  EXPECT_EQ(Move(cache), AfterCommand::kEndTool);

  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, ExpectedQuestion(install.Path() + L"\\Setting"));
  EXPECT_EQ(ui.boxes[0].style, 0x44u);
  EXPECT_EQ(ui.boxes[0].title, kFriendly);
  EXPECT_EQ(ReadBytes(PathFile()), kOldPathFile);
}

TEST_F(ChineseInstallTest, NoWritesTheRelativeForm) {
  // On both roads: a folder that exists and one that has to be created.
  for (const std::wstring name : {L"Existing", L"Created"}) {
    const std::wstring cache = elsewhere / name;
    if (name == L"Existing") CreateDirectoryW(cache.c_str(), nullptr);
    ui.boxes.clear();
    ui.answers = {Answer::kNo};
    Move(cache);

    EXPECT_EQ(ReadBytes(PathFile()), "Setting\r\n" + Narrow(cache) + "\r\n") << ToUtf8(name);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].style, 0x44u);
    EXPECT_EQ(ui.boxes[1].text, SuccessText(cache));
  }
}

struct UnrepresentableInstallTest : MoveFolderTest {
  UnrepresentableInstallTest() : MoveFolderTest(L"velmo-\u0151") {}
};

TEST_F(UnrepresentableInstallTest, IsAskedAboutLikeAChinesePath) {
  // Its bytes would reach the browser with '?' in them: the relative form is the safe one.
  ASSERT_FALSE(ConChinese(install.Path()));
  const std::wstring cache = elsewhere / L"Cache";
  ui.answers = {Answer::kNo};
  Move(cache);

  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, ExpectedQuestion(install.Path() + L"\\Setting"));
  EXPECT_EQ(ReadBytes(PathFile()), "Setting\r\n" + Narrow(cache) + "\r\n");
}

// ---------------------------------------------------------------------------------------------
// Move folder: a path file that cannot be written

TEST_F(MoveFolderTest, UnwritablePathFileIsReportedWithoutSuccess) {
  // A folder where the path file belongs, on both roads.
  CreateDirectoryW(PathFile().c_str(), nullptr);
  const auto before = TreeSnapshot(install.Path());
  for (const std::wstring name : {L"Existing", L"Created"}) {
    const std::wstring cache = elsewhere / name;
    if (name == L"Existing") CreateDirectoryW(cache.c_str(), nullptr);
    ui.boxes.clear();
    EXPECT_NO_THROW(Move(cache));

    ASSERT_EQ(ui.boxes.size(), 1u) << ToUtf8(name);
    EXPECT_EQ(ui.boxes[0].style, 0x10u);
    EXPECT_NE(ui.boxes[0].text.find(PathFile()), std::wstring::npos);
    EXPECT_EQ(ui.boxes[0].text.find(L"成功"), std::wstring::npos);
    EXPECT_EQ(TreeSnapshot(install.Path()), before);  // no temporary file left behind
  }
}

TEST_F(MoveFolderTest, PathFileHeldOpenKeepsItsOldBytes) {
  WriteBytes(PathFile(), kOldPathFile);
  const std::wstring cache = elsewhere / L"Cache";
  {
    // Another program holds the path file open and shares nothing.
    UniqueFileHandle held(CreateFileW(PathFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    Move(cache);
  }
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].style, 0x10u);
  EXPECT_EQ(ReadBytes(PathFile()), kOldPathFile);
}

}  // namespace
}  // namespace velmo
