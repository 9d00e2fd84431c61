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

std::wstring ByteSizeText(std::uint64_t bytes) {
  constexpr std::uint64_t kMegabyte = 1ull << 20;
  const wchar_t* unitName = L" MB";
  std::uint64_t unit = kMegabyte;
  for (const wchar_t* larger : {L" GB", L" TB"}) {
    if (bytes / unit < 1000) break;
    unit <<= 10;
    unitName = larger;
  }
  // Hundredths of the unit, cut.
  const std::uint64_t hundredths = bytes / unit * 100 + bytes % unit * 100 / unit;
  std::wstring text;
  if (hundredths < 1000) {
    text = Decimal<std::wstring>(hundredths / 100) + L"." +
           Decimal<std::wstring>(hundredths / 10 % 10) + Decimal<std::wstring>(hundredths % 10);
  } else if (hundredths < 10000) {
    text = Decimal<std::wstring>(hundredths / 100) + L"." + Decimal<std::wstring>(hundredths / 10 % 10);
  } else {
    text = Decimal<std::wstring>(hundredths / 100);
  }
  return text + unitName;
}

}  // namespace velmo
