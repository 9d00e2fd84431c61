// The one place where text crosses between UTF-16 and the system ANSI code page.
// Everything else in the tool works in UTF-16 and calls the W functions.
#pragma once
#include <string>
#include <string_view>

namespace velmo {

// UTF-16 -> ANSI code page (CP_ACP); characters the code page lacks become its default character.
std::string ToAnsi(std::wstring_view text);

// ANSI code page (CP_ACP) -> UTF-16.
std::wstring FromAnsi(std::string_view bytes);

// Number of bytes the text takes in the ANSI code page.
std::size_t AnsiByteLength(std::wstring_view text);

// True when the text converts to the ANSI code page and back unchanged: no character is
// replaced by '?' or by a look-alike ("best fit").
bool SurvivesAnsi(std::wstring_view text);

// The same question for the code page `codePage` (CP_ACP, 936, 65001, ...).
bool SurvivesCodePage(unsigned codePage, std::wstring_view text);

// UTF-8 <-> UTF-16, for the few places that read or print UTF-8 (tests, the driver).
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view bytes);

}  // namespace velmo
