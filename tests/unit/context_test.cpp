#include "model/context.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "model/browser_layout.h"

namespace velmo {
namespace {

TEST(Context, InstallationDirectoryKeepsItsSeparatorOnlyAtADriveRoot) {
  EXPECT_EQ(DirectoryOfFile(L"C:\\Program Files\\Velmo\\tool.exe"), L"C:\\Program Files\\Velmo");
  EXPECT_EQ(DirectoryOfFile(L"C:\\tool.exe"), L"C:\\");
  EXPECT_EQ(DirectoryOfFile(L"\\\\server\\share\\tool.exe"), L"\\\\server\\share");
  // At a drive root the composed paths hold two separators in a row, as they are built.
  EXPECT_EQ(browser::ExecutablePath(DirectoryOfFile(L"D:\\tool.exe")), L"D:\\\\velmoexplorer.exe");
}

// Sets a variable of the test process for the length of a test.
class ProcessVariable {
 public:
  ProcessVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
    SetEnvironmentVariableW(name, value);
  }
  ~ProcessVariable() { SetEnvironmentVariableW(name_, nullptr); }
  ProcessVariable(const ProcessVariable&) = delete;
  ProcessVariable& operator=(const ProcessVariable&) = delete;

 private:
  const wchar_t* name_;
};

TEST(Context, TheRunningToolsContextReadsTheProcessEnvironmentWhateverTheCase) {
  const ProcessVariable set(L"VELMO_TEST_VARIABLE", L"C:\\值 1");
  const ProcessVariable empty(L"VELMO_TEST_EMPTY", L"");
  const Context context = Context::FromProcess();
  struct Case {
    const wchar_t* name;
    std::optional<std::wstring> lookedUp;  // what the lookup answers
    std::wstring env;                      // what Env answers
  };
  const Case cases[] = {
      {L"VELMO_TEST_VARIABLE", L"C:\\值 1", L"C:\\值 1"},
      {L"velmo_test_variable", L"C:\\值 1", L"C:\\值 1"},
      {L"VELMO_TEST_EMPTY", L"", L""},
      {L"VELMO_TEST_UNDEFINED", std::nullopt, L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProcessEnvironmentVariable(c.name), c.lookedUp) << c.name;
    EXPECT_EQ(context.Env(c.name), c.env) << c.name;
  }
}

TEST(Context, WithoutALookupEveryVariableIsEmpty) {
  const ProcessVariable set(L"VELMO_TEST_VARIABLE", L"C:\\x");
  Context context;
  context.installDir = L"C:\\x";
  EXPECT_EQ(context.Env(L"VELMO_TEST_VARIABLE"), L"");
}

TEST(Context, FromProcessNamesTheExecutablesFolder) {
  const Context context = Context::FromProcess();
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  ASSERT_GT(length, 0u);
  EXPECT_FALSE(context.installDir.empty());
  EXPECT_NE(context.installDir.back(), L'\\');
  // The folder and the test program's own name make up its full path.
  EXPECT_EQ(context.installDir + L"\\velmo_unit_tests.exe", std::wstring(self, length));
}

}  // namespace
}  // namespace velmo
