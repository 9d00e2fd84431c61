#include "model/context.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "model/browser_layout.h"
#include "support/temp_dir.h"

namespace velmo {
namespace {

TEST(Context, InstallationDirectoryKeepsItsSeparatorOnlyAtADriveRoot) {
  EXPECT_EQ(DirectoryOfFile(L"C:\\Program Files\\Velmo\\tool.exe"), L"C:\\Program Files\\Velmo");
  EXPECT_EQ(DirectoryOfFile(L"C:\\tool.exe"), L"C:\\");
  EXPECT_EQ(DirectoryOfFile(L"\\\\server\\share\\tool.exe"), L"\\\\server\\share");
  // At a drive root the composed paths hold two separators in a row, as they are built.
  EXPECT_EQ(browser::ExecutablePath(DirectoryOfFile(L"D:\\tool.exe")), L"D:\\\\velmoexplorer.exe");
}

TEST(Context, EnvironmentLookupIsCaseInsensitiveAndEmptyWhenUndefined) {
  const Context context = testing::MakeContext(L"C:\\x", {{L"APPDATA", L"C:\\roaming"}});
  EXPECT_EQ(context.Env(L"APPDATA"), L"C:\\roaming");
  EXPECT_EQ(context.Env(L"appdata"), L"C:\\roaming");
  EXPECT_EQ(context.Env(L"TEMP"), L"");

  SetEnvironmentVariableW(L"VELMO_TEST_VARIABLE", L"值");
  EXPECT_EQ(ProcessEnvironmentVariable(L"velmo_test_variable").value_or(L"?"), L"值");
  SetEnvironmentVariableW(L"VELMO_TEST_VARIABLE", nullptr);
  EXPECT_FALSE(ProcessEnvironmentVariable(L"VELMO_TEST_VARIABLE").has_value());
}

TEST(Context, FromProcessNamesTheExecutablesFolder) {
  const Context context = Context::FromProcess();
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring expected = DirectoryOfFile(self);
  EXPECT_EQ(context.installDir, expected);
  EXPECT_FALSE(context.installDir.empty());
  EXPECT_NE(context.installDir.back(), L'\\');
}

}  // namespace
}  // namespace velmo
