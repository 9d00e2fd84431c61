// An installation folder the user may not write in, through the real window: every write into it
// ends with the one error box that says what to do, and nothing changes. The folder is prepared and made immutable by the test command
// (tests/e2e/write_protected.sh): it holds the tool, the browser, a Setting folder and a path file
// that names a configuration folder elsewhere that is gone.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "support/expected_texts.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "window/main_window.h"
#include "window/main_window_layout.h"

namespace velmo::e2e {
namespace {

using testing::MakeDirs;
using testing::ReadBytes;
using testing::TempDir;
using testing::TreeSnapshot;
using testing::WriteBytes;

constexpr const wchar_t* kAdvice = testing::kWriteProtectionAdvice;
constexpr char kRecordedPathFile[] =
    "C:\\velmo-moved-away\\Setting\r\nC:\\velmo-moved-away\\cache\r\n"
    "C:\\velmo-moved-away\\Setting\\Cookies\r\n";

std::wstring Dir() { return TestProgramFolder() + L"\\e2e-write-protected"; }
std::wstring Tool() { return Dir() + L"\\velmo_portable.exe"; }

class WriteProtected : public ::testing::Test {
 protected:
  void SetUp() override {
    if (GetFileAttributesW(Tool().c_str()) == INVALID_FILE_ATTRIBUTES) {
      GTEST_SKIP() << "no prepared installation: run through ctest (e2e_write_protected)";
    }
    const std::wstring probe = Dir() + L"\\write-test";
    if (CreateDirectoryW(probe.c_str(), nullptr) || GetLastError() != ERROR_ACCESS_DENIED) {
      RemoveDirectoryW(probe.c_str());
      GTEST_SKIP() << "the installation folder could not be made write-protected "
                      "(chattr +i needs root and a file system that supports it)";
    }
    ASSERT_EQ(ReadBytes(Dir() + L"\\path"), kRecordedPathFile);
    // A profile with its caches: a failed Set must leave all of it.
    WriteBytes(Profile() + L"\\Default\\Preferences", "{}");
    WriteBytes(Profile() + L"\\Webkit\\Cache\\data_1", "cache 1");
    WriteBytes(Profile() + L"\\Webkit\\Cache2\\entries\\0A", "cache 2");
    WriteBytes(Profile() + L"\\VelmoVideoCache\\clip.tmp", "video");
    MakeDirs(environment_ / L"Temp");
  }

  std::wstring Profile() const { return environment_ / L"Roaming\\velmoexplorer"; }
  EnvironmentChanges Environment() const {
    return {{L"APPDATA", environment_ / L"Roaming"}, {L"TEMP", environment_ / L"Temp"}};
  }

  static BoxInfo NextBox(ToolProcess& tool) {
    const std::optional<BoxInfo> box = tool.WaitForBox();
    if (!box) ADD_FAILURE() << "no message box appeared";
    return box.value_or(BoxInfo{});
  }
  // The moved-folder question every start here asks first.
  static BoxInfo Question(ToolProcess& tool) {
    const BoxInfo question = NextBox(tool);
    EXPECT_EQ(question.text.find(L"检测到绿色版文件夹已被移动或复制到新的位置。"), 0u);
    EXPECT_TRUE(question.ownedByTool);
    return question;
  }
  // The error box of a failed path-file write with the advice.
  static void ExpectAdvice(const BoxInfo& box) {
    const std::wstring start = L"写入路径文件失败。\r\n路径：" + Dir() + L"\\path\r\n原因：";
    EXPECT_EQ(box.text.substr(0, start.size()), start) << ToUtf8(box.text);
    EXPECT_NE(box.text.find(L"（错误代码 5）"), std::wstring::npos) << ToUtf8(box.text);
    ASSERT_GE(box.text.size(), std::wstring(kAdvice).size());
    EXPECT_EQ(box.text.substr(box.text.size() - std::wstring(kAdvice).size()), kAdvice);
    EXPECT_EQ(box.title, L"Velmo浏览器绿化工具");
    EXPECT_EQ(box.buttons, (std::vector<int>{IDOK}));
    EXPECT_EQ(box.iconStyle, static_cast<unsigned>(MB_ICONERROR));
    EXPECT_TRUE(box.ownedByTool);
  }

  TempDir environment_{L"velmo-e2e-protected-env"};
};

TEST_F(WriteProtected, EveryWriteExplainsWhatToDoAndChangesNothing) {
  const std::map<std::wstring, std::string> profileBefore = TreeSnapshot(Profile());
  ToolProcess tool(Tool(), Environment());
  ASSERT_NE(tool.WaitForMainWindow(), nullptr);

  // The moved-folder repair, Set and Move folder all end in the same advice.
  tool.Answer(Question(tool), IDYES);
  const BoxInfo repair = NextBox(tool);
  ExpectAdvice(repair);
  tool.Answer(repair, IDOK);

  tool.Click(kSetButton);
  const BoxInfo set = NextBox(tool);
  ExpectAdvice(set);
  tool.Answer(set, IDOK);
  EXPECT_EQ(TreeSnapshot(Profile()), profileBefore);  // the caches were not deleted

  tool.SetControlText(kCacheFolderEdit, environment_ / L"Temp");
  tool.Click(kMoveFolderButton);
  const BoxInfo move = NextBox(tool);
  ExpectAdvice(move);
  tool.Answer(move, IDOK);
  EXPECT_FALSE(tool.WaitForBox(800).has_value()) << "an unexpected box";
  EXPECT_EQ(ReadBytes(Dir() + L"\\path"), kRecordedPathFile);

  EXPECT_EQ(tool.Close(), std::optional<DWORD>(0));
  EXPECT_EQ(TreeSnapshot(Profile()), profileBefore);
}

}  // namespace
}  // namespace velmo::e2e
