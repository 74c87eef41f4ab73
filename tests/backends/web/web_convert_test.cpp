// The web back end's conversions: the page's keys as the terminal's codes,
// console rows as the page's text, the surface as canvas bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "text/shortstring.h"
#include "backends/web/web_backend.h"

namespace {

// Every key the queue holds, oldest first.
std::vector<int> Drain(KeyQueue& keys) {
  std::vector<int> codes;
  std::uint8_t key = 0;
  while (PopKey(keys, key)) codes.push_back(key);
  return codes;
}

std::vector<int> CodesOf(std::initializer_list<const char*> names) {
  KeyQueue keys;
  for (const char* name : names) PushPageKey(keys, name);
  return Drain(keys);
}

}  // namespace

TEST(WebKeys, CharactersComeFromTheKeysTextInCodePage852) {
  EXPECT_EQ(CodesOf({"a", "Z", "5", " ", "l", "V"}), (std::vector<int>{97, 90, 53, 32, 108, 86}));
  // Through the one UTF-8 reader (utf8_test has its cases): code page 852.
  EXPECT_EQ(CodesOf({"ő", "▓"}), (std::vector<int>{0x8B, 178}));
}

TEST(WebKeys, ControlAndCursorKeysAreTheTerminalsCodes) {
  EXPECT_EQ(CodesOf({"Enter", "Backspace", "Escape", "Esc"}), (std::vector<int>{13, 8, 27, 27}));
  EXPECT_EQ(CodesOf({"ArrowUp", "ArrowLeft", "ArrowRight", "ArrowDown"}),
            (std::vector<int>{0, 72, 0, 75, 0, 77, 0, 80}));
  EXPECT_EQ(CodesOf({"Home", "End", "PageUp", "PageDown", "Insert", "Delete"}),
            (std::vector<int>{0, 71, 0, 79, 0, 73, 0, 81, 0, 82, 0, 83}));
  EXPECT_EQ(CodesOf({"F1", "F2", "F9", "F10", "F11", "F12"}),
            (std::vector<int>{0, 59, 0, 60, 0, 67, 0, 68, 0, 133, 0, 134}));
}

TEST(WebKeys, KeysThatGiveNothingLeaveTheQueueEmpty) {
  for (const char* name : {"Shift", "Control", "Alt", "Dead", "Unidentified", "Tab", "F13", "F0",
                           "F01", "", "ab", "€", "\x01", "\x7f", "\xc3", "\x80", "\xc5\x91x"}) {
    KeyQueue keys;
    EXPECT_FALSE(PushPageKey(keys, name)) << name;
    EXPECT_EQ(keys.count, 0) << name;
  }
}

TEST(WebKeys, AKeyWithoutACharacterTakesBothPlacesOrNone) {
  KeyQueue keys;
  for (int i = 0; i < KeyQueueCapacity - 1; ++i) ASSERT_TRUE(PushPageKey(keys, "x"));
  EXPECT_FALSE(PushPageKey(keys, "ArrowUp"));
  EXPECT_EQ(keys.count, KeyQueueCapacity - 1);
  EXPECT_TRUE(PushPageKey(keys, "y"));
  EXPECT_FALSE(PushPageKey(keys, "z"));
}

TEST(WebConsole, RowsAreUnicodeTextWithTheirAttributes) {
  Console console;
  GotoXY(console, 3, 2);
  console.attribute = 0x1E;
  Write(console, CP852("Új ▓ő"));
  auto row = std::make_unique<WebConsoleRow>();
  ConvertConsoleRow(console, 2, *row);
  EXPECT_EQ(std::u16string(row->text, ConsoleWidth), u"  Új ▓ő" + std::u16string(73, u' '));
  EXPECT_EQ(row->attribute[1], NormalAttribute);
  for (int x = 2; x < 7; ++x) EXPECT_EQ(row->attribute[x], 0x1E) << x;
  EXPECT_EQ(row->attribute[7], NormalAttribute);
}

TEST(WebConsole, ControlBytesShowAsBlanks) {
  Console console;
  console.cells[0][0].ch = 0;
  console.cells[0][1].ch = 0x1B;
  console.cells[0][2].ch = 0x7F;
  console.cells[0][3].ch = 'A';
  auto row = std::make_unique<WebConsoleRow>();
  ConvertConsoleRow(console, 1, *row);
  EXPECT_EQ(std::u16string(row->text, 4), u"   A");
}

TEST(WebConsole, EveryRowFirstThenTheChangedOnesAndWhereTheCursorWas) {
  auto page = std::make_unique<WebPage>();
  Console console;
  EXPECT_EQ(TakeRowsToShow(*page, console), (1u << ConsoleHeight) - 1);
  EXPECT_EQ(TakeRowsToShow(*page, console), 0u);
  GotoXY(console, 5, 1);  // the cursor moves within row 1
  EXPECT_EQ(TakeRowsToShow(*page, console), 1u);
  GotoXY(console, 1, 10);
  Write(console, "abc");  // row 10 changes; the cursor left row 1
  EXPECT_EQ(TakeRowsToShow(*page, console), 1u | 1u << 9);
  EXPECT_EQ(console.changedRows, 0u);
  EXPECT_EQ(page->cursorX, 4);
  EXPECT_EQ(page->cursorY, 10);
  EXPECT_EQ(TakeRowsToShow(*page, console), 0u);
}

TEST(WebSurface, PixelsBecomeCanvasBytesThroughThePalette) {
  auto surface = std::make_unique<GraphSurface>();
  auto page = std::make_unique<WebPage>();
  SetSurfaceSize(*surface, 3, 2);
  InitGraph(*surface);
  PutPixel(*surface, 0, 0, Yellow);
  PutPixel(*surface, 2, 0, Blue);
  PutPixel(*surface, 1, 1, White);
  surface->pixels[5] = 16 + Brown;  // beyond the palette: the index wraps
  page->rgba[6] = 0x12345678;       // past width x height: untouched
  ConvertSurface(*page, *surface);
  std::uint8_t bytes[7 * 4];
  std::memcpy(bytes, page->rgba, sizeof bytes);
  const std::vector<std::uint8_t> expected = {
      0xFF, 0xFF, 0x55, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0xAA, 0xFF,            // row 0
      0, 0, 0, 0xFF,          0xFF, 0xFF, 0xFF, 0xFF, 0xAA, 0x55, 0, 0xFF,  // row 1
      0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + sizeof bytes), expected);
}
