#include "support/number_text.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace velmo
