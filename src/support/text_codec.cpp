#include "support/text_codec.h"

#include <windows.h>

#include <climits>

namespace velmo {
namespace {

int ClampedLength(std::size_t size) {
  return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

// Flags 0 and no default-character arguments, for every code page: with code page 65001 (the
// UTF-8 ANSI code page Windows 10 offers as a beta option) WideCharToMultiByte fails with
// ERROR_INVALID_PARAMETER when given WC_NO_BEST_FIT_CHARS or lpUsedDefaultChar (documented for
// CP_UTF8 and CP_UTF7). Whether a text survives is decided by converting back instead.
std::string Narrow(UINT codePage, std::wstring_view text) {
  if (text.empty()) return {};
  const int inLength = ClampedLength(text.size());
  const int size =
      WideCharToMultiByte(codePage, 0, text.data(), inLength, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), inLength, out.data(), size, nullptr, nullptr);
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

std::string ToAnsi(std::wstring_view text) { return Narrow(CP_ACP, text); }

std::wstring FromAnsi(std::string_view bytes) { return Widen(CP_ACP, bytes); }

std::size_t AnsiByteLength(std::wstring_view text) { return ToAnsi(text).size(); }

bool SurvivesCodePage(unsigned codePage, std::wstring_view text) {
  // A best-fit look-alike or the default character never converts back to the original; a
  // conversion that fails gives the empty text, which matches only the empty original.
  return Widen(codePage, Narrow(codePage, text)) == text;
}

bool SurvivesAnsi(std::wstring_view text) { return SurvivesCodePage(CP_ACP, text); }

std::string ToUtf8(std::wstring_view text) { return Narrow(CP_UTF8, text); }

std::wstring FromUtf8(std::string_view bytes) { return Widen(CP_UTF8, bytes); }

}  // namespace velmo
