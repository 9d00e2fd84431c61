#include "support/number_text.h"

namespace velmo {
namespace {

template <typename Text, typename Number>
Text Decimal(Number value) {
  using Char = typename Text::value_type;
  Char digits[20];  // as many as a 64-bit number has
  Char* const end = digits + 20;
  Char* first = end;
  do {
    *--first = static_cast<Char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return Text(first, end);
}

}  // namespace

std::wstring DecimalText(std::uint32_t value) { return Decimal<std::wstring>(value); }

std::string DecimalBytes(std::size_t value) { return Decimal<std::string>(value); }

std::wstring HexText(std::uint32_t value) {
  constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring text = L"0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0xF];
  return text;
}

}  // namespace velmo
