#include "support/platform_error.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "support/text_codec.h"

namespace velmo {
namespace {

// The system's own text for a Win32 code, as FormatMessage gives it without its line end.
std::wstring SystemText(DWORD code) {
  wchar_t buffer[512] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, buffer, 512, nullptr);
  while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' ||
                        buffer[length - 1] == L' ')) {
    --length;
  }
  return std::wstring(buffer, length);
}

TEST(PlatformError, DescribeSaysWhatFailedOnWhichPathAndWhy) {
  ASSERT_FALSE(SystemText(5).empty());
  struct Case {
    const char* what;
    std::wstring path;
    std::uint32_t code;
    bool isHresult;
    std::wstring expected;
  };
  const Case cases[] = {
      {"Win32 code", L"C:\\a b\\设置", 5, false,
       L"删除文件夹失败。\r\n路径：C:\\a b\\设置\r\n原因：" + SystemText(5) + L"（错误代码 5）"},
      {"HRESULT wrapping a Win32 code", L"C:\\x", 0x80070005u, true,
       L"删除文件夹失败。\r\n路径：C:\\x\r\n原因：" + SystemText(5) + L"（错误代码 0x80070005）"},
      {"no path", L"", 2, false, L"删除文件夹失败。\r\n原因：" + SystemText(2) + L"（错误代码 2）"},
      {"HRESULT the system has no text for", L"C:\\x", 0x800A0035u, true,
       L"删除文件夹失败。\r\n路径：C:\\x\r\n原因：错误代码 0x800A0035"},
      {"Win32 code the system has no text for", L"", 987654u, false,
       L"删除文件夹失败。\r\n原因：错误代码 987654"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PlatformError error(L"删除文件夹", c.path, c.code, c.isHresult);
    EXPECT_EQ(error.Describe(), c.expected);
  }
  // The exception's own text, for logs and debuggers: UTF-8, the code in hex.
  EXPECT_STREQ(PlatformError(L"删除文件夹", L"C:\\设置", 5).what(),
               ToUtf8(L"删除文件夹 [C:\\设置]: 0x00000005").c_str());
}

TEST(PlatformError, ThrowHelpersCarryTheGivenCodeTheLastErrorOrTheHresult) {
  struct Case {
    void (*raise)();
    const wchar_t* operation;
    const wchar_t* path;
    std::uint32_t code;
    bool isHresult;
  };
  const Case cases[] = {
      {[] { ThrowError(L"写入", L"D:\\w", ERROR_WRITE_FAULT); }, L"写入", L"D:\\w", 29u, false},
      {[] {
         SetLastError(ERROR_PATH_NOT_FOUND);
         ThrowLastError(L"读取", L"D:\\p");
       },
       L"读取", L"D:\\p", 3u, false},
      {[] { ThrowHresult(L"打开", E_ACCESSDENIED); }, L"打开", L"", 0x80070005u, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.code);
    bool thrown = false;
    try {
      c.raise();
    } catch (const PlatformError& error) {
      thrown = true;
      EXPECT_EQ(error.Operation(), c.operation);
      EXPECT_EQ(error.Path(), c.path);
      EXPECT_EQ(error.Code(), c.code);
      EXPECT_EQ(error.IsHresult(), c.isHresult);
    }
    EXPECT_TRUE(thrown);
  }
}

}  // namespace
}  // namespace velmo
