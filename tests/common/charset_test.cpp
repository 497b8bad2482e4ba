// The project's narrow literals must be code page 932 bytes, whatever the
// build; and under Wine the ANSI code page must be 932 too, or every ANSI
// call would read those bytes as another language.
#include <gtest/gtest.h>

#include <cstring>

TEST(Charset, JapaneseLiteralIsShiftJis) {
  const char text[] = "開始";  // the confirmation dialog's start button
  const unsigned char expected[] = {0x8A, 0x4A, 0x8E, 0x6E, 0x00};
  ASSERT_EQ(sizeof(text), sizeof(expected));
  EXPECT_EQ(0, std::memcmp(text, expected, sizeof(expected)));
}

TEST(Charset, HalfWidthKatakanaIsSingleBytes) {
  const char text[] = "ｷｬﾝｾﾙ";
  const unsigned char expected[] = {0xB7, 0xAC, 0xDD, 0xBE, 0xD9, 0x00};
  ASSERT_EQ(sizeof(text), sizeof(expected));
  EXPECT_EQ(0, std::memcmp(text, expected, sizeof(expected)));
}
