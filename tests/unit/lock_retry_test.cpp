#include "support/lock_retry.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmo {
namespace {

TEST(LockRetry, OnlyAnotherProgramsHoldIsWaitedFor) {
  const struct { std::uint32_t code; bool retried; } rows[] = {
      {5, true},           {32, true},          {33, true},          {145, true},
      {0x80070005, true},  {0x80070020, true},  {0x80070021, true},  {0x80070091, true},
      {2, false},          {3, false},          {183, false},        {19, false},
      {1223, false},       {0x80004005, false}, {0x800A004C, false}, {0x80070002, false},
      {0x800A0005, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(IsPassingLockFailure(row.code), row.retried) << std::hex << row.code;
  }
}

TEST(LockRetry, PausesDoubleFrom50MsUpTo1sWithinTheLimit) {
  EXPECT_EQ(RetryPauses(5000),
            (std::vector<DWORD>{50, 100, 200, 400, 800, 1000, 1000, 1000, 450}));
  EXPECT_EQ(RetryPauses(120), (std::vector<DWORD>{50, 70}));
  EXPECT_EQ(RetryPauses(0), std::vector<DWORD>{});
}

TEST(LockRetry, AStepIsTriedAgainUntilItWorksOrTheBudgetIsSpent) {
  const struct {
    std::vector<std::uint32_t> codes;  // what the attempts return, in turn
    DWORD budgetMs, result, attempts;
  } rows[] = {
      {{0}, 0, 0, 1},
      {{32, 5, 0}, 1000, 0, 3},
      {{2, 0}, 1000, 2, 1},             // not a hold: reported at once
      {{33, 32, 32, 32, 32}, 160, 32, 4},  // after 50, 100 and the 10 ms left
      {{32, 2, 0}, 1000, 2, 2},
  };
  for (const auto& row : rows) {
    std::size_t attempts = 0;
    RetryBudget budget(row.budgetMs);
    const std::uint32_t result = budget.Run([&] { return row.codes[attempts++]; });
    EXPECT_EQ(result, static_cast<std::uint32_t>(row.result));
    EXPECT_EQ(attempts, static_cast<std::size_t>(row.attempts));
    // What one step spent is gone for the next step of the same command.
    std::size_t later = 0;
    if (row.budgetMs == 160) budget.Run([&] { return ++later, std::uint32_t{32}; });
    EXPECT_EQ(later, row.budgetMs == 160 ? 1u : 0u);
  }
}

}  // namespace
}  // namespace velmo
