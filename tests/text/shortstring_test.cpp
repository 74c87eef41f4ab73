#include <gtest/gtest.h>

#include <climits>

#include "text/shortstring.h"

TEST(ShortString, AssignAndAppendCutAtCapacity) {
  ShortString<5> s;
  Assign(s, "abcdefgh");
  EXPECT_EQ(s.view(), "abcde");
  Assign(s, "ab");
  Append(s, "cdefg");
  EXPECT_EQ(s.view(), "abcde");
  AppendChar(s, 'x');
  EXPECT_EQ(s.view(), "abcde");
}

TEST(ShortString, AppendIntWritesSignedDecimalWithoutPadding) {
  ShortString<40> s;
  AppendInt(s, 0);
  Append(s, ",");
  AppendInt(s, -5234);
  Append(s, ",");
  AppendInt(s, INT_MIN);
  EXPECT_EQ(s.view(), "0,-5234,-2147483648");
  ShortString<3> small;
  AppendInt(small, 123456);
  EXPECT_EQ(small.view(), "123");
}

TEST(Cp852Literal, ConvertsHungarianLettersAtCompileTime) {
  constexpr auto text = CP852("függôleges Információk Sürüség-változás");
  static_assert(text.length == 39);
  EXPECT_EQ(static_cast<unsigned char>(text.bytes[1]), 0x81);   // ü
  EXPECT_EQ(static_cast<unsigned char>(text.bytes[4]), 0x93);   // ô
  EXPECT_EQ(static_cast<unsigned char>(text.bytes[17]), 0xA0);  // á
  EXPECT_EQ(static_cast<unsigned char>(text.bytes[20]), 0xA2);  // ó
  constexpr auto shade = CP852("▓");
  static_assert(shade.length == 1 && static_cast<unsigned char>(shade.bytes[0]) == 178);
}
