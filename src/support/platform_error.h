// The one exception type for platform failures that are passed on to the caller.
#pragma once
#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace velmo {

class PlatformError : public std::runtime_error {
 public:
  // `code` is a Win32 error code, or an HRESULT when `isHresult` is true.
  PlatformError(std::wstring operation, std::wstring path, std::uint32_t code,
                bool isHresult = false);

  const std::wstring& Operation() const noexcept { return operation_; }
  const std::wstring& Path() const noexcept { return path_; }
  std::uint32_t Code() const noexcept { return code_; }
  bool IsHresult() const noexcept { return isHresult_; }

  // The system's own text for the code ("拒绝访问。" and the like), or the code in hex.
  std::wstring SystemMessage() const;

  // A complete Chinese report for an error box: what failed, on which path, and why.
  std::wstring Describe() const;

 private:
  std::wstring operation_;
  std::wstring path_;
  std::uint32_t code_;
  bool isHresult_;
};

// Throws PlatformError with the Win32 error `code` for the given operation and path.
[[noreturn]] void ThrowError(std::wstring operation, std::wstring path, DWORD code);

// Throws PlatformError with GetLastError() for the given operation and path.
[[noreturn]] void ThrowLastError(std::wstring operation, std::wstring path = {});

// Throws PlatformError for a failed HRESULT.
[[noreturn]] void ThrowHresult(std::wstring operation, HRESULT hr, std::wstring path = {});

// Runs one step of a region in which a failing step is skipped: a PlatformError thrown by the
// step is dropped and the caller goes on. Returns whether the step succeeded.
template <typename Step>
bool SkipIfFails(Step&& step) {
  try {
    step();
    return true;
  } catch (const PlatformError&) {
    return false;
  }
}

}  // namespace velmo
