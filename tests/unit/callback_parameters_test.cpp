#include "support/folder_copy.h"
#include "support/lock_retry.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "support/temp_dir.h"

namespace velmo {
namespace {

std::uint32_t Succeeds() { return 0; }

// A step retried through a command's budget, for each kind of callable.
std::uint32_t CallWith(std::function<std::uint32_t()> step) {
  RetryBudget retries;
  return retries.Run(step);
}

TEST(CallbackParameters, CallsWhatItIsGivenAndGivesBackItsResult) {
  int calls = 0;
  auto heldOnce = [&calls]() -> std::uint32_t { return ++calls == 1 ? ERROR_SHARING_VIOLATION : 0; };
  struct Constant { std::uint32_t code; std::uint32_t operator()() const { return code; } };

  EXPECT_EQ(CallWith(heldOnce), 0u);
  EXPECT_EQ(calls, 2);  // tried again after the hold, on the caller's own count
  EXPECT_EQ(CallWith(Constant{ERROR_PATH_NOT_FOUND}), 3u);
  EXPECT_EQ(CallWith(&Succeeds), 0u);
}

// The copy that leaves entries out hands the shell one operation naming every other entry.
TEST(CallbackParameters, TheRunnerGetsOneCopyOfEveryEntryButTheLeftOutOnes) {
  testing::TempDir dir(L"callback");
  testing::WriteBytes(dir / L"profile\\keep.txt", "k");
  testing::MakeDirs(dir / L"profile\\Cache");
  int operations = 0;
  std::wstring from;
  const ShellOperationRunner run = [&](SHFILEOPSTRUCTW& operation) {
    ++operations;
    EXPECT_EQ(operation.wFunc, static_cast<UINT>(FO_COPY));
    for (const wchar_t* p = operation.pFrom; *p != L'\0'; p += wcslen(p) + 1) {
      from += std::wstring(p) + L"|";
    }
    return 1;  // the shell failed: nothing is copied
  };
  EXPECT_FALSE(CopyFolder(dir / L"profile", dir / L"out", {L"cache"}, false, run));
  EXPECT_EQ(operations, 1);
  EXPECT_EQ(from, (dir / L"profile\\keep.txt") + L"|");
}

}  // namespace
}  // namespace velmo
