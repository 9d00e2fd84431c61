#include "support/number_text.h"

namespace velmo {

std::wstring DecimalText(std::uint32_t value) {
  wchar_t digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::wstring text;
  while (count > 0) text += digits[--count];
  return text;
}

std::wstring HexText(std::uint32_t value) {
  constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring text = L"0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0xF];
  return text;
}

}  // namespace velmo
