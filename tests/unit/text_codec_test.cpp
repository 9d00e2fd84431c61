#include "support/text_codec.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace velmo {
namespace {

TEST(TextCodec, RunsUnderTheChineseCodePage) {
  // Everything the tool writes for the browser depends on it.
  EXPECT_EQ(GetACP(), 936u);
}

TEST(TextCodec, ChineseRoundTripsThroughGbk) {
  const std::wstring text = L"C:\\浏览器\\设置，";
  const std::string bytes = ToAnsi(text);
  EXPECT_EQ(bytes, std::string("C:\\\xe4\xaf\xc0\xc0\xc6\xf7\\\xc9\xe8\xd6\xc3\xa3\xac"));
  EXPECT_EQ(FromAnsi(bytes), text);
  EXPECT_TRUE(SurvivesAnsi(text));
}

TEST(TextCodec, CharactersOutsideGbkDoNotSurvive) {
  EXPECT_TRUE(SurvivesAnsi(L"C:\\caf\u00e9\u0101"));   // GBK has the pinyin letters
  EXPECT_FALSE(SurvivesAnsi(L"C:\\\u0151\u0e01"));         // o-double-acute, Thai ko kai
  EXPECT_FALSE(SurvivesAnsi(L"\U0001F600"));
  EXPECT_TRUE(SurvivesAnsi(L""));
  EXPECT_TRUE(SurvivesAnsi(L"plain ascii"));
}

}  // namespace
}  // namespace velmo
