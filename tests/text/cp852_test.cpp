#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>

#include "text/cp852.h"

// glibc's own CP852 converter is the independent reference for our table.
TEST(Cp852Table, AgreesWithGlibcIconvOnEveryByte) {
  iconv_t cd = iconv_open("UTF-32LE", "CP852");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << "glibc has no CP852 converter";
  for (int b = 0; b < 256; ++b) {
    char in[1] = {static_cast<char>(b)};
    unsigned char out[4] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t inLeft = 1, outLeft = sizeof out;
    std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    ASSERT_NE(r, static_cast<std::size_t>(-1)) << "byte " << b << ": " << std::strerror(errno);
    ASSERT_EQ(outLeft, 0u) << "byte " << b;
    char32_t expected = out[0] | out[1] << 8 | out[2] << 16 | static_cast<char32_t>(out[3]) << 24;
    EXPECT_EQ(static_cast<unsigned>(Cp852ToUnicode[b]), static_cast<unsigned>(expected))
        << "byte " << b;
    // And back: every code point finds its byte.
    EXPECT_EQ(UnicodeToCp852(expected), b);
  }
  iconv_close(cd);
}

// The table itself is checked above; a console cell adds the PC's pictures
// of the control bytes.
TEST(Cp852Table, ConsoleCellsShowControlBytesAsThePcsSymbols) {
  EXPECT_EQ(ConsoleCharToUnicode(178), U'\u2593');  // the shade block of the frames
  EXPECT_EQ(ConsoleCharToUnicode(0xA0), U'\u00e1');
  EXPECT_EQ(ConsoleCharToUnicode('A'), U'A');
  EXPECT_EQ(ConsoleCharToUnicode(0), U' ');
  EXPECT_EQ(ConsoleCharToUnicode(1), U'\u263a');
  EXPECT_EQ(ConsoleCharToUnicode(127), U'\u2302');
}
