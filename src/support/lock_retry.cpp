#include "support/lock_retry.h"

#include <algorithm>

namespace velmo {
namespace {

constexpr DWORD kFirstPauseMs = 50;
constexpr DWORD kLongestPauseMs = 1000;

}  // namespace

bool IsPassingLockFailure(std::uint32_t code) {
  switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_DIR_NOT_EMPTY:
      return true;
    default:
      break;
  }
  // An HRESULT made from a Win32 code carries it in its low word.
  const auto hr = static_cast<HRESULT>(code);
  return FAILED(hr) && HRESULT_FACILITY(hr) == FACILITY_WIN32 &&
         IsPassingLockFailure(static_cast<std::uint32_t>(HRESULT_CODE(hr)));
}

std::vector<DWORD> RetryPauses(DWORD limitMs) {
  std::vector<DWORD> pauses;
  DWORD pause = kFirstPauseMs;
  for (DWORD spent = 0; spent < limitMs; spent += pauses.back()) {
    pauses.push_back(std::min(pause, limitMs - spent));
    pause = std::min(pause * 2, kLongestPauseMs);
  }
  return pauses;
}

std::uint32_t RetryBudget::Run(const std::function<std::uint32_t()>& attempt) {
  std::uint32_t code = attempt();
  if (code == 0 || !IsPassingLockFailure(code)) return code;
  for (const DWORD pause : RetryPauses(std::min(kStepRetryLimitMs, leftMs_))) {
    if (wait_) {
      wait_(pause);
    } else {
      Sleep(pause);
    }
    leftMs_ -= pause;
    code = attempt();
    if (code == 0 || !IsPassingLockFailure(code)) break;
  }
  return code;
}

}  // namespace velmo
