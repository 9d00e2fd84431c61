#include "support/number_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

namespace velmo {
namespace {

TEST(NumberText, DecimalAndHexadecimal) {
  EXPECT_EQ(DecimalText(0), L"0");
  EXPECT_EQ(DecimalText(7), L"7");
  EXPECT_EQ(DecimalText(65535), L"65535");
  EXPECT_EQ(DecimalText(4294967295u), L"4294967295");
  EXPECT_EQ(HexText(0), L"0x00000000");
  EXPECT_EQ(HexText(0x800A004Cu), L"0x800A004C");
  EXPECT_EQ(DecimalBytes(0), "0");
  EXPECT_EQ(DecimalBytes(10), "10");
  EXPECT_EQ(DecimalBytes(4294967295u), "4294967295");
}

TEST(NumberText, SizesInMegabytesGigabytesAndTerabytesWithThreeDigitsCut) {
  const std::pair<std::uint64_t, const wchar_t*> cases[] = {
      {307200, L"0.29 MB"},         // 300 KB
      {13620000, L"12.9 MB"},       // 12.99 MB, cut
      {1048576000, L"0.97 GB"},     // 1000 MB
      {1073741824000, L"0.97 TB"},  // 1000 GB
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(ByteSizeText(bytes), text) << bytes;
}

}  // namespace
}  // namespace velmo
