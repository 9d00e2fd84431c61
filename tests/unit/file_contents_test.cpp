#include "support/file_contents.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "support/platform_error.h"
#include "support/temp_dir.h"

namespace velmo {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(FileContents, WrittenBytesReplaceTheFileAndReadBackExactly) {
  TempDir dir(L"file contents 内容");
  const std::wstring file = dir / L"data";
  WriteBytes(file, std::string(70000, 'o'));  // longer than any content below: cut to length
  const std::string cases[] = {
      "", "a\r\n", std::string("\0\x1a\xff", 3), std::string(65536, 'x') + "y",
      std::string(3u << 20, 'z'),  // more than one write of 1 MB
  };
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(bytes.size());
    WriteFileBytes(file, bytes, L"写", L"D:\\shown");
    EXPECT_EQ(ReadBytes(file), bytes);
    EXPECT_EQ(ReadFileBytes(file, L"读"), bytes);
  }
}

TEST(FileContents, FailuresCarryTheOperationThePathAndTheReason) {
  TempDir dir;
  WriteBytes(dir / L"held", "x");
  const UniqueFileHandle held = CreateFileForWriting(dir / L"held");
  ASSERT_TRUE(held.Valid());
  // Shared with no one: a second writer is refused while the first has the file.
  EXPECT_FALSE(CreateFileForWriting(dir / L"held").Valid());
  EXPECT_EQ(GetLastError(), 32u);  // ERROR_SHARING_VIOLATION

  struct Case {
    const char* what;
    bool write;
    std::wstring path;
    std::wstring reportedPath;
    std::uint32_t code;  // 0: any code
  };
  const Case cases[] = {
      {"read a missing file", false, dir / L"missing", dir / L"missing", 2},
      {"read a held file", false, dir / L"held", dir / L"held", 32},
      {"write in a missing folder", true, dir / L"no folder\\file", L"D:\\shown", 3},
      {"write over a held file", true, dir / L"held", L"D:\\shown", 32},
      {"write over a folder", true, dir.Path(), L"D:\\shown", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      if (c.write) {
        WriteFileBytes(c.path, "bytes", L"写入", c.reportedPath);
      } else {
        ReadFileBytes(c.path, L"读取");
      }
      ADD_FAILURE() << "no error";
    } catch (const PlatformError& error) {
      EXPECT_EQ(error.Operation(), c.write ? L"写入" : L"读取");
      EXPECT_EQ(error.Path(), c.reportedPath);
      if (c.code != 0) {
        EXPECT_EQ(error.Code(), c.code);
      }
      EXPECT_NE(error.Code(), 0u);
    }
  }
}

}  // namespace
}  // namespace velmo
