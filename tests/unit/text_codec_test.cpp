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

// Whatever the ANSI code page (65001 where the user turned on UTF-8 for worldwide language
// support), a plain path survives and a look-alike or a default character does not.
TEST(TextCodec, SurvivalIsDecidedByConvertingBackInEveryCodePage) {
  struct Row {
    const wchar_t* text;
    bool in936, in1252, in65001, in54936;
  };
  const Row rows[] = {
      {L"C:\\Program Files\\Velmo\\Setting", true, true, true, true},
      {L"D:\\浏览器", true, false, true, true},
      {L"D:\\caf\u00e9", true, true, true, true},
      {L"D:\\\u0101", true, false, true, true},       // 1252 would best-fit it to 'a'
      {L"D:\\\ud55c\uae00", false, false, true, true},  // Hangul
      {L"D:\\\U0001F600", false, false, true, true},
      {L"D:\\\xd800x", false, false, false, false},  // a lone surrogate
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(ToUtf8(row.text));
    EXPECT_EQ(SurvivesCodePage(936, row.text), row.in936);
    EXPECT_EQ(SurvivesCodePage(1252, row.text), row.in1252);
    EXPECT_EQ(SurvivesCodePage(65001, row.text), row.in65001);
    // Wine 8 has no GB18030 tables: there every text fails to convert, which never survives.
    EXPECT_EQ(SurvivesCodePage(54936, row.text), row.in54936 && IsValidCodePage(54936));
  }
}

}  // namespace
}  // namespace velmo
