#include "support/folder_copy.h"
#include "support/lock_retry.h"

#include <gtest/gtest.h>

#include <string>

namespace velmo {
namespace {

std::uint32_t Succeeds() { return 0; }

// A step retried through RetryWhileLocked: what the step gives back, for each kind of callable.
std::uint32_t CallWith(std::function<std::uint32_t()> step) { return RetryWhileLocked(step); }

TEST(CallbackParameters, CallsWhatItIsGivenAndGivesBackItsResult) {
  int calls = 0;
  auto counting = [&calls]() -> std::uint32_t { return ++calls == 1 ? ERROR_FILE_NOT_FOUND : 0; };
  struct Constant { std::uint32_t code; std::uint32_t operator()() const { return code; } };

  EXPECT_EQ(CallWith(counting), 2u);
  EXPECT_EQ(CallWith(counting), 0u);  // what it captured is the caller's: its count goes on
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(CallWith(Constant{ERROR_PATH_NOT_FOUND}), 3u);
  EXPECT_EQ(CallWith(&Succeeds), 0u);
}

TEST(CallbackParameters, PassesReferencesThroughSoTheCalleeCanChangeThem) {
  SHFILEOPSTRUCTW operation{};
  const ShellOperationRunner run = [](SHFILEOPSTRUCTW& op) { return op.fAnyOperationsAborted = 1; };
  EXPECT_EQ(run(operation), 1);
  EXPECT_TRUE(operation.fAnyOperationsAborted);
}

}  // namespace
}  // namespace velmo
