// UTF-8 read as code points and written: what every back end's text input
// goes through.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "text/utf8.h"

namespace {

// Every code point of text, -1 for each malformed step.
std::vector<long> CodePoints(std::string_view text) {
  std::vector<long> out;
  for (std::size_t at = 0; at < text.size();) out.push_back(NextCodePoint(text, at));
  return out;
}

std::string Utf8(char32_t cp) {
  char bytes[4];
  return std::string(bytes, static_cast<std::size_t>(EncodeUtf8(cp, bytes)));
}

}  // namespace

TEST(Utf8, SequencesOfOneToFourBytes) {
  EXPECT_EQ(CodePoints("aő▓😀"), (std::vector<long>{'a', 0x151, 0x2593, 0x1F600}));
}

TEST(Utf8, EncodedInOneToFourBytes) {
  EXPECT_EQ(Utf8(U'\u2593'), "\xe2\x96\x93");
  EXPECT_EQ(Utf8(U'\u00e9'), "\xc3\xa9");
  EXPECT_EQ(Utf8(U'a'), "a");
  EXPECT_EQ(Utf8(U'\U0001F600'), "\xf0\x9f\x98\x80");
}

TEST(Utf8, AMalformedByteIsSkippedAloneAndReadingResumesAfterIt) {
  // A continuation byte first, a lead without its continuation, a cut
  // sequence at the end, a lead no UTF-8 has.
  EXPECT_EQ(CodePoints("\x80x"), (std::vector<long>{-1, 'x'}));
  EXPECT_EQ(CodePoints("\xC3x"), (std::vector<long>{-1, 'x'}));
  EXPECT_EQ(CodePoints("\xE2\x96\x93\xE2\x96"), (std::vector<long>{0x2593, Utf8Cut, -1}));
  EXPECT_EQ(CodePoints("\xF8\x80"), (std::vector<long>{-1, -1}));
  // A lead whose continuation is itself a lead: the second one still reads.
  EXPECT_EQ(CodePoints("\xC5\xC5\x91"), (std::vector<long>{-1, 0x151}));
}

TEST(Utf8, ACutSequenceIsToldFromABrokenOne) {
  // A reader of a stream waits for the rest of a cut one.
  for (std::string_view cut : {"\xC5", "\xE2\x96", "\xF0\x9F\x98"}) {
    std::size_t at = 0;
    EXPECT_EQ(NextCodePoint(cut, at), Utf8Cut) << cut.size();
    EXPECT_EQ(at, 1u);
  }
  std::size_t at = 0;
  EXPECT_EQ(NextCodePoint("\xE2x\x93", at), Utf8Malformed);
  EXPECT_EQ(at, 1u);
}
