// Retrying a rename or a delete that another program's brief hold makes fail. Antivirus programs
// and the search indexer open a file right after it is written; for a moment a rename or delete of
// it, or of a folder that holds it, fails with "access denied", "sharing violation" or "lock
// violation" (on FAT and network drives also "directory not empty" for a delete). Such a step is
// tried again after a pause: 50 ms, doubling up to 1 s between tries, at most 5 s of pauses for
// one step and 10 s for everything one budget serves (a command's session). A pause is
// spent through the budget's wait: on the window's thread the window is kept painted meanwhile
// (Ui::Wait), so that it is never taken for not responding.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace velmo {

inline constexpr DWORD kStepRetryLimitMs = 5000;
inline constexpr DWORD kCommandRetryLimitMs = 10000;

// True for the failures another program's brief hold gives: the Win32 codes 5, 32, 33 and 145,
// and the same as HRESULTs.
bool IsPassingLockFailure(std::uint32_t code);

// The pauses before each further try of one step that keeps failing, in milliseconds, for a step
// that may pause `limitMs` in all (the last pause is cut to what is left).
std::vector<DWORD> RetryPauses(DWORD limitMs);

// How a retry spends a pause of `ms` milliseconds. Empty: the thread sleeps.
using RetryWait = std::function<void(DWORD ms)>;

// The pauses one command may still spend on retries.
class RetryBudget {
 public:
  explicit RetryBudget(DWORD limitMs = kCommandRetryLimitMs, RetryWait wait = {})
      : leftMs_(limitMs), wait_(std::move(wait)) {}

  // A budget of its own of `limitMs`, waiting as this one does: for steps whose failure is
  // ignored, so that they never spend what the command's other steps may need.
  RetryBudget Apart(DWORD limitMs) const { return RetryBudget(limitMs, wait_); }

  // Runs `attempt`, which returns 0 on success or its failure code (Win32 or HRESULT). While it
  // fails with a passing lock failure it is run again after each pause of RetryPauses, as long as
  // this budget lasts. Returns the last attempt's code.
  std::uint32_t Run(const std::function<std::uint32_t()>& attempt);

 private:
  DWORD leftMs_;
  RetryWait wait_;
};

// An attempt's code from a Win32 call's result: 0 when it succeeded, else GetLastError().
inline std::uint32_t Outcome(BOOL succeeded) { return succeeded ? 0 : GetLastError(); }

}  // namespace velmo
