#include "model/path_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "support/platform_error.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(PathFileParse, LineEndsAndLineCount) {
  struct Case {
    std::string bytes;
    std::wstring line1, line2, line3;
  };
  const Case cases[] = {
      {"", L"", L"", L""},
      {"\r\n", L"", L"", L""},
      {"A\r\nB\r\n", L"A", L"B", L""},
      {"A\r\nB\r\nC\r\nD\r\nE\r\n", L"A", L"B", L"C"},  // later lines dropped
      {"A\rB\rC", L"A", L"B", L"C"},                    // a lone CR ends a line
      {"A\nB\r\nC", L"A\nB", L"C", L""},                // a lone LF is text
      {"A\r\n\r\nC", L"A", L"", L"C"},                  // an empty middle line counts
      {"last line without end", L"last line without end", L"", L""},
      {"A\r\r\nB", L"A", L"", L"B"},  // CR, then CR LF: two line ends
  };
  for (const Case& c : cases) {
    const PathFileLines lines = ParsePathFileBytes(c.bytes);
    EXPECT_EQ(lines.line1, c.line1) << c.bytes;
    EXPECT_EQ(lines.line2, c.line2) << c.bytes;
    EXPECT_EQ(lines.line3, c.line3) << c.bytes;
  }
}

TEST(PathFileParse, ConvertsFromGbk) {
  const PathFileLines lines = ParsePathFileBytes("Setting\r\nD:\\\xbb\xba\xb4\xe6\r\n");  // 缓存
  EXPECT_EQ(lines.line1, L"Setting");
  EXPECT_EQ(lines.line2, L"D:\\缓存");
}

TEST(PathFileWrite, AbsoluteAndRelativeFormsAreExactGbkBytes) {
  TempDir dir(L"绿化 test");
  RetryBudget retries;
  WritePathFile(dir.Path(),
                PathFileLinesFor(dir.Path(), PathFileForm::kAbsolute,
                                 L"C:\\users\\root\\Temp\\WebkitCache"),
                retries);
  const std::string expectedDir = ToAnsi(dir.Path());
  EXPECT_EQ(ReadBytes(dir / L"path").value(),
            expectedDir + "\\Setting\r\nC:\\users\\root\\Temp\\WebkitCache\r\n" + expectedDir +
                "\\Setting\\Cookies\r\n");

  WritePathFile(dir.Path(), PathFileLinesFor(dir.Path(), PathFileForm::kRelative, L"E:\\缓存"),
                retries);
  EXPECT_EQ(ReadBytes(dir / L"path").value(), "Setting\r\nE:\\\xbb\xba\xb4\xe6\r\n");
}

TEST(PathFileWrite, ReplacesALongerFileWholeAndLeavesNoTemporaryFile) {
  TempDir dir;
  WriteBytes(dir / L"path", std::string(5000, 'x') + "\r\nold second\r\nold third\r\n");
  RetryBudget retries;
  WritePathFile(dir.Path(), {L"one", L"two"}, retries);
  EXPECT_EQ(ReadBytes(dir / L"path").value(), "one\r\ntwo\r\n");
  EXPECT_EQ(testing::TreeSnapshot(dir.Path()).size(), 1u);

  // What was written reads back through the reader's name ("Path").
  const PathFileLines lines = ReadPathFileIfPresent(dir.Path()).value();
  EXPECT_EQ(lines.line1, L"one");
  EXPECT_EQ(lines.line2, L"two");
  EXPECT_EQ(lines.line3, L"");
}

TEST(PathFileWrite, FailureRaisesAndKeepsTheOldFile) {
  TempDir dir;
  // A folder where the file must go: the write fails and nothing is left behind.
  testing::MakeDirs(dir / L"path");
  RetryBudget retries(0);
  EXPECT_THROW(WritePathFile(dir.Path(), {L"a", L"b"}, retries), PlatformError);
  EXPECT_EQ(testing::TreeSnapshot(dir.Path()).size(), 1u);

  // A file in use by another program (no sharing): the old bytes stay intact.
  TempDir second;
  WriteBytes(second / L"path", "old\r\n");
  {
    UniqueFileHandle held(CreateFileW((second / L"path").c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.Valid());
    EXPECT_THROW(WritePathFile(second.Path(), {L"new"}, retries), PlatformError);
  }
  EXPECT_EQ(ReadBytes(second / L"path").value(), "old\r\n");
  EXPECT_EQ(testing::TreeSnapshot(second.Path()).size(), 1u);
}

// The path file is the tool's own: a read-only one is replaced and deleted at once, not waited for.
TEST(PathFileWrite, AReadOnlyPathFileIsReplacedAndDeletedWithoutWaiting) {
  TempDir dir;
  WriteBytes(dir / L"path", "old\r\n");
  DWORD waitedMs = 0;
  RetryBudget retries(10000, [&](DWORD ms) { waitedMs += ms; });
  SetFileAttributesW((dir / L"path").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_NO_THROW(CheckPathFileReplaceable(dir.Path()));
  EXPECT_NO_THROW(WritePathFile(dir.Path(), {L"new"}, retries));
  EXPECT_EQ(ReadBytes(dir / L"path").value_or(""), "new\r\n");
  SetFileAttributesW((dir / L"path").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_NO_THROW(DeletePathFile(dir.Path(), retries));
  EXPECT_EQ(testing::TreeSnapshot(dir.Path()).size() + waitedMs, 0u);
  // Held by another program until the budget is spent: the failed step leaves it read-only.
  WriteBytes(dir / L"path", "held\r\n");
  SetFileAttributesW((dir / L"path").c_str(), FILE_ATTRIBUTE_READONLY);
  const UniqueFileHandle held(CreateFileW((dir / L"path").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  RetryBudget none(0, [](DWORD) {});
  EXPECT_THROW(DeletePathFile(dir.Path(), none), PlatformError);
  EXPECT_EQ(GetFileAttributesW((dir / L"path").c_str()) & FILE_ATTRIBUTE_READONLY, 1u);
}

TEST(PathFileRead, UnreadableFileRaisesWithItsName) {
  TempDir dir;
  WriteBytes(dir / L"path", "a\r\n");
  UniqueFileHandle held(CreateFileW((dir / L"path").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held.Valid());
  try {
    ReadPathFileIfPresent(dir.Path());
    FAIL() << "an unreadable path file was read";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.Path(), dir / L"Path");
    EXPECT_NE(error.Describe().find(L"路径文件"), std::wstring::npos);
  }
}

}  // namespace
}  // namespace velmo
