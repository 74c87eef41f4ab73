// The text console: an 80 x 25 screen of cells (a code page 852 byte and a
// colour attribute) with a current window, a cursor and a current attribute,
// driven by the classic CRT operations. This record is the only truth about
// the text screen; the terminal presenter shows it and tests read it.
//
// Coordinates are 1-based. GotoXY, WhereX and WhereY are relative to the
// current window; Window takes screen coordinates. Writing passes the
// window's right edge onto the next line, and a line end below the window's
// last row scrolls the window up one row. Bytes 13, 10, 8 and 7 act as
// carriage return, line feed, backspace and bell (ignored); every other byte
// is a character cell.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr int ConsoleWidth = 80;
inline constexpr int ConsoleHeight = 25;
// Foreground in the low four bits, background in the next three.
inline constexpr std::uint8_t NormalAttribute = 7;  // LightGray on Black

struct ConsoleCell {
  std::uint8_t ch = ' ';
  std::uint8_t attribute = NormalAttribute;
};

struct Console;

// Called just before a clear or a scroll erases rows that were written to;
// the transcript writes them out there so that no text is lost.
struct ConsoleEraseHook {
  void* context = nullptr;
  void (*beforeErase)(void* context, Console& console) = nullptr;
};

struct Console {
  ConsoleCell cells[ConsoleHeight][ConsoleWidth];  // [row - 1][column - 1]
  // Current window in screen coordinates, inclusive.
  int windowLeft = 1, windowTop = 1, windowRight = ConsoleWidth, windowBottom = ConsoleHeight;
  // Cursor in screen coordinates (always inside the window).
  int cursorX = 1, cursorY = 1;
  std::uint8_t attribute = NormalAttribute;
  // Bit r - 1 set: row r changed since the screen presenter last looked.
  std::uint32_t changedRows = 0;
  // Bit r - 1 set: a character was written to row r since the transcript
  // last looked (clearing and scrolling do not count).
  std::uint32_t writtenRows = 0;
  ConsoleEraseHook eraseHook;
};

// Set the current window (screen coordinates) and put the cursor at its
// top-left; a rectangle that is empty or leaves the screen is ignored.
void Window(Console& console, int x1, int y1, int x2, int y2);
// Fill the current window with blanks in the current attribute; cursor to (1, 1).
void ClrScr(Console& console);
// Cursor to column x, row y of the current window; ignored outside it.
void GotoXY(Console& console, int x, int y);
int WhereX(const Console& console);
int WhereY(const Console& console);
// Foreground made bright (attribute bit 3).
void HighVideo(Console& console);
// Back to LightGray on Black.
void NormVideo(Console& console);

// Write at the cursor in the current attribute; a width larger than the
// value's length right-aligns it with blanks on the left.
void Write(Console& console, std::string_view text, int width = 0);
void Write(Console& console, char c, int width = 0);
void Write(Console& console, std::int32_t value, int width = 0);
void Write(Console& console, std::uint32_t value, int width = 0);
// End the line: cursor to column 1 of the next row, scrolling at the last row.
void Writeln(Console& console);
// Write, then end the line.
void Writeln(Console& console, std::string_view text, int width = 0);
void Writeln(Console& console, char c, int width = 0);
void Writeln(Console& console, std::int32_t value, int width = 0);
void Writeln(Console& console, std::uint32_t value, int width = 0);

// Cell at screen column x, row y (1-based); no bounds check beyond an assert.
const ConsoleCell& ConsoleCellAt(const Console& console, int x, int y);

// Screen row y as code page 852 bytes, trailing blanks removed; out must hold
// ConsoleWidth bytes. Returns the length.
int ConsoleRowText(const Console& console, int y, char* out);

// The console row the person last wrote to: the cursor's row, or the one
// above when the cursor stands at the start of a line.
int NewestConsoleRow(const Console& console);
