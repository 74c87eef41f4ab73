// The graphics font against the console fonts it is generated from, read from
// Debian's console-setup-linux at test time, and the glyphs redrawn by the
// generator checked for the faults they were redrawn to fix.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "text/cp852.h"
#include "platform/font8x8.h"

namespace {

using Glyph = std::array<std::uint8_t, FontGlyphSize>;

struct ConsoleFont {
  std::vector<Glyph> glyphs;
  std::map<char32_t, int> byCodePoint;  // the first glyph that lists the code point
};

// A gzipped 8-pixel PSF1 font with its Unicode table; empty, with a failure, when unreadable.
ConsoleFont ReadPsf1(const std::string& name) {
  const std::string path = "/usr/share/consolefonts/" + name;
  ConsoleFont font;
  gzFile file = gzopen(path.c_str(), "rb");
  if (!file) {
    ADD_FAILURE() << "cannot open " << path << " (package console-setup-linux)";
    return font;
  }
  std::vector<unsigned char> data;
  unsigned char buffer[4096];
  for (int n; (n = gzread(file, buffer, sizeof buffer)) > 0;)
    data.insert(data.end(), buffer, buffer + n);
  gzclose(file);
  if (data.size() < 4 || data[0] != 0x36 || data[1] != 0x04 || data[3] != 8 || !(data[2] & 0x02)) {
    ADD_FAILURE() << path << " is not an 8-pixel PSF1 font with a Unicode table";
    return font;
  }
  const std::size_t count = (data[2] & 0x01) ? 512 : 256;
  std::size_t pos = 4;
  for (std::size_t i = 0; i < count && pos + 8 <= data.size(); ++i, pos += 8) {
    Glyph g;
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(pos), 8, g.begin());
    font.glyphs.push_back(g);
  }
  // Each glyph's list of 16-bit code points ends with 0xFFFF; after 0xFFFE
  // come combining sequences, which name no single code point.
  bool inSequences = false;
  for (int glyph = 0; glyph < static_cast<int>(count) && pos + 2 <= data.size(); pos += 2) {
    const unsigned value = data[pos] | data[pos + 1] << 8;
    if (value == 0xFFFF) {
      ++glyph;
      inSequences = false;
    } else if (value == 0xFFFE) {
      inSequences = true;
    } else if (!inSequences) {
      font.byCodePoint.emplace(value, glyph);
    }
  }
  return font;
}

const ConsoleFont& Lat2() {
  static const ConsoleFont font = ReadPsf1("Lat2-VGA8.psf.gz");
  return font;
}
const ConsoleFont& Uni2() {
  static const ConsoleFont font = ReadPsf1("Uni2-VGA8.psf.gz");
  return font;
}
const ConsoleFont& FullGreek() {
  static const ConsoleFont font = ReadPsf1("FullGreek-VGA8.psf.gz");
  return font;
}

// Rows as hex, so a failing comparison shows the two glyphs.
std::string Hex(const std::uint8_t* rows, std::size_t count) {
  std::string s;
  char cell[4];
  for (std::size_t r = 0; r < count; ++r) {
    std::snprintf(cell, sizeof cell, "%02X ", rows[r]);
    s += cell;
  }
  return s;
}
std::string Hex(const Glyph& g) { return Hex(g.data(), g.size()); }
std::string Hex(const std::vector<std::uint8_t>& rows) { return Hex(rows.data(), rows.size()); }

Glyph FontGlyph(const ConsoleFont& font, char32_t cp) {
  auto it = font.byCodePoint.find(cp);
  if (it == font.byCodePoint.end()) {
    ADD_FAILURE() << "the font has no glyph for U+" << std::hex << static_cast<unsigned>(cp);
    return {};
  }
  return font.glyphs[it->second];
}

Glyph TableGlyph(char32_t cp) {
  const int byte = UnicodeToCp852(cp);
  if (byte < 0) {
    ADD_FAILURE() << "code page 852 has no U+" << std::hex << static_cast<unsigned>(cp);
    return {};
  }
  Glyph g;
  std::copy_n(Font8x8[byte], FontGlyphSize, g.begin());
  return g;
}

// An accented glyph cut at its first blank row that has ink above and below:
// the accent's rows and the letter's rows. Both are empty when there is no
// such row, i.e. the accent touches the letter.
struct AccentAndLetter {
  std::vector<std::uint8_t> accent, letter;
};
AccentAndLetter SplitAtGap(const Glyph& g) {
  int first = 0, last = FontGlyphSize - 1;
  while (first < FontGlyphSize && g[first] == 0) ++first;
  while (last >= 0 && g[last] == 0) --last;
  for (int r = first + 1; r < last; ++r)
    if (g[r] == 0)
      return {{g.begin() + first, g.begin() + r}, {g.begin() + r + 1, g.begin() + last + 1}};
  return {};
}

// Runs of lit pixels in one row.
int Strokes(std::uint8_t row) {
  int runs = 0;
  for (int col = 0; col < 8; ++col)
    if ((row & (0x80 >> col)) && (col == 0 || !(row & (0x80 >> (col - 1))))) ++runs;
  return runs;
}

TEST(FontSources, ClassicShapesComeFromLat2) {
  for (char32_t cp : {U'A', U'V', U'é'})
    EXPECT_EQ(Hex(TableGlyph(cp)), Hex(FontGlyph(Lat2(), cp))) << "U+" << std::hex << unsigned(cp);
  // The two fonts draw A differently, so this shows which one the table took.
  EXPECT_NE(Hex(FontGlyph(Lat2(), U'A')), Hex(FontGlyph(Uni2(), U'A')));
}

TEST(FontSources, WhatLat2LacksComesFromUni2) {
  for (char32_t cp : {U'ű', U'▓'}) {
    EXPECT_EQ(Lat2().byCodePoint.count(cp), 0u) << "U+" << std::hex << unsigned(cp);
    EXPECT_EQ(Hex(TableGlyph(cp)), Hex(FontGlyph(Uni2(), cp))) << "U+" << std::hex << unsigned(cp);
  }
}

TEST(FontSources, DoubleLineBoxesAreDrawnWithTwoLines) {
  EXPECT_EQ(Hex(TableGlyph(U'╬')), Hex(FontGlyph(FullGreek(), U'╬')));
  const Glyph across = TableGlyph(U'═'), down = TableGlyph(U'║');
  int lines = 0;
  for (int r = 0; r < FontGlyphSize; ++r) lines += across[r] == 0xFF;
  EXPECT_EQ(lines, 2) << Hex(across);
  EXPECT_EQ(Strokes(down[0]), 2) << Hex(down);
  EXPECT_EQ(Strokes(TableGlyph(U'│')[0]), 1);
}

TEST(RedrawnGlyphs, UHasTheFlatBottomThatVLacks) {
  const Glyph u = TableGlyph(U'U'), v = TableGlyph(U'V'), lat2U = FontGlyph(Lat2(), U'U');
  for (int r = 0; r < 6; ++r) EXPECT_EQ(u[r], lat2U[r]) << "row " << r;  // Lat2's stems
  const std::uint8_t stems = u[0];
  EXPECT_EQ(u[6] & stems, stems) << "U's bottom row should join both stems: " << Hex(u);
  EXPECT_EQ(v[6] & stems, 0) << "V should end in a point between the stems: " << Hex(v);
}

TEST(RedrawnGlyphs, OWithDoubleAcuteKeepsItsAccentApart) {
  const Glyph o = TableGlyph(U'ő');
  const AccentAndLetter parts = SplitAtGap(o), umlaut = SplitAtGap(TableGlyph(U'ö'));
  ASSERT_FALSE(parts.accent.empty()) << "no blank row under the accent, reads as an 8: " << Hex(o);
  EXPECT_NE(Hex(o), Hex(TableGlyph(U'8')));
  EXPECT_EQ(Hex(parts.letter), Hex(umlaut.letter)) << "the o of ö";
  EXPECT_EQ(parts.accent.size(), 2u);
  for (std::uint8_t row : parts.accent) EXPECT_EQ(Strokes(row), 2) << "a double acute: " << Hex(o);
  EXPECT_NE(Hex(parts.accent), Hex(umlaut.accent));

  const AccentAndLetter u = SplitAtGap(TableGlyph(U'ű'));
  ASSERT_FALSE(u.accent.empty()) << Hex(TableGlyph(U'ű'));
  EXPECT_EQ(Hex(u.accent), Hex(parts.accent)) << "ő and ű share their accent";
}

// Ő and Ű are drawn like Ó and Ú: the same letter under a two-stroke accent.
TEST(RedrawnGlyphs, CapitalsWithDoubleAcuteAreTheAcuteCapitalsLetters) {
  const std::pair<char32_t, char32_t> pairs[] = {{U'Ő', U'Ó'}, {U'Ű', U'Ú'}};
  for (auto [doubled, single] : pairs) {
    const Glyph d = TableGlyph(doubled), s = TableGlyph(single);
    for (int r = 2; r < FontGlyphSize; ++r) EXPECT_EQ(d[r], s[r]) << Hex(d) << "vs " << Hex(s);
    for (int r = 0; r < 2; ++r) {
      EXPECT_EQ(Strokes(d[r]), 2) << Hex(d);
      EXPECT_EQ(Strokes(s[r]), 1) << Hex(s);
    }
  }
  EXPECT_NE(Hex(TableGlyph(U'Ő')), Hex(TableGlyph(U'ő')));
  EXPECT_NE(Hex(TableGlyph(U'Ű')), Hex(TableGlyph(U'ű')));
}

// Í read as f and Ô as 8 where the accent touched the letter; now it stands
// apart, and the capital stays distinct from its small letter.
TEST(RedrawnGlyphs, IAcuteAndOCircumflexStandApartFromTheirSmallLetters) {
  const std::pair<char32_t, char32_t> pairs[] = {{U'Í', U'í'}, {U'Ô', U'ô'}};
  for (auto [capital, small] : pairs) {
    const AccentAndLetter c = SplitAtGap(TableGlyph(capital)), s = SplitAtGap(TableGlyph(small));
    ASSERT_FALSE(c.accent.empty()) << "accent touches the letter: " << Hex(TableGlyph(capital));
    ASSERT_FALSE(s.accent.empty()) << Hex(TableGlyph(small));
    EXPECT_EQ(Hex(c.accent), Hex(s.accent)) << "U+" << std::hex << unsigned(capital);
    EXPECT_NE(Hex(c.letter), Hex(s.letter)) << "U+" << std::hex << unsigned(capital);
  }
}

TEST(RedrawnGlyphs, SmallLettersWithCaronShowTheCaronApart) {
  const Glyph caron = TableGlyph(U'ˇ');
  const std::vector<std::uint8_t> caronRows(caron.begin(), caron.begin() + 2);
  for (char32_t cp : {U'č', U'ě', U'ň'}) {
    const Glyph g = TableGlyph(cp);
    const AccentAndLetter parts = SplitAtGap(g);
    EXPECT_EQ(Hex(parts.accent), Hex(caronRows)) << Hex(g);
    EXPECT_EQ(g[7], 0) << "the letter stays on the line: " << Hex(g);
  }
}

}  // namespace
