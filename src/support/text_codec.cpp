#include "support/text_codec.h"

#include <windows.h>

#include <climits>

namespace velmo {
namespace {

int ClampedLength(std::size_t size) {
  return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

std::string Narrow(UINT codePage, DWORD flags, std::wstring_view text, BOOL* usedDefault) {
  if (text.empty()) return {};
  const int inLength = ClampedLength(text.size());
  const int size = WideCharToMultiByte(codePage, flags, text.data(), inLength, nullptr, 0, nullptr,
                                       usedDefault);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, flags, text.data(), inLength, out.data(), size, nullptr,
                      usedDefault);
  return out;
}

std::wstring Widen(UINT codePage, std::string_view bytes) {
  if (bytes.empty()) return {};
  const int inLength = ClampedLength(bytes.size());
  const int size = MultiByteToWideChar(codePage, 0, bytes.data(), inLength, nullptr, 0);
  if (size <= 0) return {};
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), inLength, out.data(), size);
  return out;
}

}  // namespace

std::string ToAnsi(std::wstring_view text) { return Narrow(CP_ACP, 0, text, nullptr); }

std::wstring FromAnsi(std::string_view bytes) { return Widen(CP_ACP, bytes); }

std::size_t AnsiByteLength(std::wstring_view text) { return ToAnsi(text).size(); }

bool SurvivesAnsi(std::wstring_view text) {
  BOOL usedDefault = FALSE;
  const std::string narrow = Narrow(CP_ACP, WC_NO_BEST_FIT_CHARS, text, &usedDefault);
  return !usedDefault && Widen(CP_ACP, narrow) == text;
}

std::string ToUtf8(std::wstring_view text) { return Narrow(CP_UTF8, 0, text, nullptr); }

std::wstring FromUtf8(std::string_view bytes) { return Widen(CP_UTF8, bytes); }

}  // namespace velmo
