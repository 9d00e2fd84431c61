#include "support/platform_error.h"

#include <utility>

#include "support/number_text.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

std::string NarrowSummary(const std::wstring& operation, const std::wstring& path,
                          std::uint32_t code) {
  return ToUtf8(operation) + " [" + ToUtf8(path) + "]: " + ToUtf8(HexText(code));
}

std::wstring TrimTrailingSpace(std::wstring text) {
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
    text.pop_back();
  return text;
}

}  // namespace

PlatformError::PlatformError(std::wstring operation, std::wstring path, std::uint32_t code,
                             bool isHresult)
    : std::runtime_error(NarrowSummary(operation, path, code)),
      operation_(std::move(operation)),
      path_(std::move(path)),
      code_(code),
      isHresult_(isHresult) {}

std::wstring PlatformError::SystemMessage() const {
  DWORD messageId = code_;
  // HRESULTs that wrap a Win32 code carry the better message under the Win32 code.
  if (isHresult_ && HRESULT_FACILITY(code_) == FACILITY_WIN32) messageId = HRESULT_CODE(code_);
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, messageId, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const UniqueLocalMemory owned(buffer);
  std::wstring text;
  if (length != 0 && buffer != nullptr) text.assign(buffer, length);
  text = TrimTrailingSpace(std::move(text));
  const std::wstring number = isHresult_ ? HexText(code_) : DecimalText(code_);
  if (text.empty()) return std::wstring(L"错误代码 ") + number;
  return text + L"（错误代码 " + number + L"）";
}

std::wstring PlatformError::Describe() const {
  std::wstring text = operation_ + L"失败。";
  if (!path_.empty()) text += L"\r\n路径：" + path_;
  text += L"\r\n原因：" + SystemMessage();
  return text;
}

void ThrowError(std::wstring operation, std::wstring path, DWORD code) {
  throw PlatformError(std::move(operation), std::move(path), code);
}

void ThrowLastError(std::wstring operation, std::wstring path) {
  const DWORD code = GetLastError();
  ThrowError(std::move(operation), std::move(path), code);
}

void ThrowHresult(std::wstring operation, HRESULT hr, std::wstring path) {
  throw PlatformError(std::move(operation), std::move(path), static_cast<std::uint32_t>(hr), true);
}

}  // namespace velmo
