#include <gtest/gtest.h>

#include "platform/console.h"
#include "platform/row_text_for_tests.h"

namespace {

std::uint8_t AttributeAt(const Console& con, int x, int y) {
  return ConsoleCellAt(con, x, y).attribute;
}

}  // namespace

TEST(Console, GotoXYIsRelativeToTheWindowAndIgnoredOutsideIt) {
  Console con;
  Window(con, 3, 3, 78, 23);
  EXPECT_EQ(con.cursorX, 3);
  EXPECT_EQ(con.cursorY, 3);
  GotoXY(con, 25, 10);
  Write(con, "Itt");
  EXPECT_EQ(RowText(con, 12), std::string(26, ' ') + "Itt");
  EXPECT_EQ(WhereX(con), 28);
  EXPECT_EQ(WhereY(con), 10);

  GotoXY(con, 77, 1);  // one column past the window
  GotoXY(con, 1, 22);  // one row past it
  GotoXY(con, 0, 5);
  EXPECT_EQ(WhereX(con), 28);
  EXPECT_EQ(WhereY(con), 10);
  GotoXY(con, 76, 21);  // the window's last cell
  EXPECT_EQ(con.cursorX, 78);
  EXPECT_EQ(con.cursorY, 23);
}

TEST(Console, WindowOffTheScreenIsIgnored) {
  Console con;
  Window(con, 3, 3, 78, 23);
  Window(con, 0, 1, 80, 25);
  Window(con, 1, 1, 81, 25);
  Window(con, 10, 5, 9, 6);
  EXPECT_EQ(con.windowLeft, 3);
  EXPECT_EQ(con.windowBottom, 23);
}

TEST(Console, ClrScrFillsOnlyTheWindowInTheCurrentAttribute) {
  Console con;
  for (int y = 1; y <= 3; ++y) {
    GotoXY(con, 1, y);
    Write(con, "xxxxxxxxxx");
  }
  Window(con, 2, 2, 5, 2);
  HighVideo(con);
  ClrScr(con);
  EXPECT_EQ(RowText(con, 1), "xxxxxxxxxx");
  EXPECT_EQ(RowText(con, 2), "x    xxxxx");
  EXPECT_EQ(RowText(con, 3), "xxxxxxxxxx");
  EXPECT_EQ(AttributeAt(con, 2, 2), 15);
  EXPECT_EQ(AttributeAt(con, 5, 2), 15);
  EXPECT_EQ(AttributeAt(con, 6, 2), 7);
  EXPECT_EQ(con.cursorX, 2);
  EXPECT_EQ(con.cursorY, 2);
}

TEST(Console, HighVideoSetsTheBrightBitAndNormVideoGoesBackToSevenOnZero) {
  Console con;
  con.attribute = 0x12;  // green on blue
  HighVideo(con);
  EXPECT_EQ(con.attribute, 0x1A);
  HighVideo(con);
  EXPECT_EQ(con.attribute, 0x1A);
  Write(con, 'a');
  NormVideo(con);
  Write(con, 'b');
  EXPECT_EQ(AttributeAt(con, 1, 1), 0x1A);
  EXPECT_EQ(AttributeAt(con, 2, 1), 7);
}

TEST(Console, NumbersAndTextRightAlignedInTheirField) {
  Console con;
  Write(con, "[1-");
  Write(con, std::int32_t{25}, 3);
  Write(con, "]");
  Write(con, std::int32_t{250}, 3);
  Write(con, std::int32_t{62500}, 3);  // wider than the field: all digits
  Write(con, std::int32_t{-7}, 3);
  Write(con, std::int32_t{INT32_MIN});
  Write(con, std::uint32_t{4294967295u});
  Write(con, 'c', 3);
  Write(con, "ab", 4);
  EXPECT_EQ(RowText(con, 1), "[1- 25]25062500 -7-21474836484294967295  c  ab");
}

TEST(Console, WritingPastTheRightEdgeWrapsToTheNextRowOfTheWindow) {
  Console con;
  Window(con, 3, 3, 8, 5);
  Write(con, "abcdefgh");
  EXPECT_EQ(RowText(con, 3), "  abcdef");
  EXPECT_EQ(RowText(con, 4), "  gh");
  EXPECT_EQ(WhereX(con), 3);
  EXPECT_EQ(WhereY(con), 2);
  EXPECT_EQ(RowText(con, 2), "");
}

TEST(Console, LineEndAtTheLastRowScrollsOnlyTheWindow) {
  Console con;
  GotoXY(con, 1, 2);
  Write(con, "above the window");
  GotoXY(con, 1, 5);
  Write(con, "below the window");
  Window(con, 3, 3, 20, 4);
  con.attribute = 0x1F;
  Writeln(con, "one");
  Writeln(con, "two");
  EXPECT_EQ(RowText(con, 3), "  two");  // "one" went up and out
  EXPECT_EQ(RowText(con, 4), "");
  EXPECT_EQ(AttributeAt(con, 3, 4), 0x1F);  // the new row in the current attribute
  EXPECT_EQ(RowText(con, 2), "above the window");
  EXPECT_EQ(RowText(con, 5), "below the window");
  EXPECT_EQ(WhereX(con), 1);
  EXPECT_EQ(WhereY(con), 2);
}

TEST(Console, WritingTheWindowsLastCellScrollsAtOnce) {
  Console con;
  Window(con, 1, 1, 3, 2);
  Write(con, "abcdef");
  EXPECT_EQ(RowText(con, 1), "def");
  EXPECT_EQ(RowText(con, 2), "");
}

TEST(Console, ControlBytesMoveTheCursorLikeATeletype) {
  Console con;
  Write(con, "abc\rX");
  Write(con, "\b\bY\n");
  Write(con, std::string_view("\x07", 1));
  EXPECT_EQ(RowText(con, 1), "Ybc");
  EXPECT_EQ(con.cursorX, 2);  // a line feed keeps the column
  EXPECT_EQ(con.cursorY, 2);
  Write(con, std::string_view("\r\x01\xb2", 3));  // other bytes are characters
  EXPECT_EQ(ConsoleCellAt(con, 1, 2).ch, 1);
  EXPECT_EQ(ConsoleCellAt(con, 2, 2).ch, 0xB2);
}

TEST(Console, RowsAreMarkedForThePresenters) {
  Console con;
  con.changedRows = con.writtenRows = 0;
  GotoXY(con, 1, 4);
  Write(con, 'a');
  EXPECT_EQ(con.changedRows, 1u << 3);
  EXPECT_EQ(con.writtenRows, 1u << 3);
  Window(con, 1, 10, 80, 11);
  ClrScr(con);
  EXPECT_EQ(con.changedRows, (1u << 3) | (1u << 9) | (1u << 10));
  EXPECT_EQ(con.writtenRows, 1u << 3);  // clearing writes no text
}

TEST(Console, EraseHookSeesTheRowsBeforeTheyAreLost) {
  struct Seen {
    std::string rows;
  } seen;
  Console con;
  con.eraseHook = ConsoleEraseHook{&seen, [](void* context, Console& c) {
    auto& s = *static_cast<Seen*>(context);
    for (int y = 1; y <= ConsoleHeight; ++y)
      if (c.writtenRows & (1u << (y - 1))) s.rows += RowText(c, y) + "|";
    c.writtenRows = 0;
  }};
  Window(con, 1, 1, 80, 2);
  Writeln(con, "first");
  EXPECT_EQ(seen.rows, "");
  Writeln(con, "second");  // the line end on the last row scrolls "first" away
  EXPECT_EQ(seen.rows, "first|second|");
  Write(con, "third");
  ClrScr(con);
  EXPECT_EQ(seen.rows, "first|second|third|");
  ClrScr(con);  // nothing new written: no call
  EXPECT_EQ(seen.rows, "first|second|third|");
}

TEST(Console, TheNewestRowIsTheOneLastWrittenTo) {
  auto console = std::make_unique<Console>();
  EXPECT_EQ(NewestConsoleRow(*console), 1);
  Write(*console, "abc");
  EXPECT_EQ(NewestConsoleRow(*console), 1);  // a line still being written
  Writeln(*console);
  EXPECT_EQ(NewestConsoleRow(*console), 1);  // ended: the cursor waits on row 2
  Window(*console, 3, 3, 78, 23);
  GotoXY(*console, 1, 21);
  Writeln(*console, "last");  // the window scrolls: the line is on its bottom row
  EXPECT_EQ(NewestConsoleRow(*console), 22);
  char row[ConsoleWidth];
  EXPECT_EQ(std::string_view(row, ConsoleRowText(*console, 22, row)), "  last");
}
