#include "platform/console.h"

#include <cassert>

namespace {

void MarkWindowRows(Console& con) {
  for (int y = con.windowTop; y <= con.windowBottom; ++y) con.changedRows |= 1u << (y - 1);
}

void BeforeErase(Console& con) {
  if (con.eraseHook.beforeErase != nullptr && con.writtenRows != 0)
    con.eraseHook.beforeErase(con.eraseHook.context, con);
}

void BlankRow(Console& con, int y) {
  for (int x = con.windowLeft; x <= con.windowRight; ++x)
    con.cells[y - 1][x - 1] = ConsoleCell{' ', con.attribute};
}

// Move the window's rows up one; the new last row is blank.
void ScrollWindowUp(Console& con) {
  BeforeErase(con);
  for (int y = con.windowTop; y < con.windowBottom; ++y)
    for (int x = con.windowLeft; x <= con.windowRight; ++x)
      con.cells[y - 1][x - 1] = con.cells[y][x - 1];
  BlankRow(con, con.windowBottom);
  MarkWindowRows(con);
}

void LineFeed(Console& con) {
  if (con.cursorY < con.windowBottom)
    ++con.cursorY;
  else
    ScrollWindowUp(con);
}

void PutByte(Console& con, std::uint8_t b) {
  switch (b) {
    case 13: con.cursorX = con.windowLeft; return;
    case 10: LineFeed(con); return;
    case 8:
      if (con.cursorX > con.windowLeft) --con.cursorX;
      return;
    case 7: return;
    default: break;
  }
  con.cells[con.cursorY - 1][con.cursorX - 1] = ConsoleCell{b, con.attribute};
  con.changedRows |= 1u << (con.cursorY - 1);
  con.writtenRows |= 1u << (con.cursorY - 1);
  if (con.cursorX < con.windowRight) {
    ++con.cursorX;
  } else {
    con.cursorX = con.windowLeft;
    LineFeed(con);
  }
}

void Pad(Console& con, int length, int width) {
  for (int i = length; i < width; ++i) PutByte(con, ' ');
}

// Decimal digits of a magnitude, most significant first; returns the count.
int Digits(std::uint32_t magnitude, char (&out)[10]) {
  char reversed[10];
  int n = 0;
  do {
    reversed[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  for (int i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
  return n;
}

void WriteNumber(Console& con, bool negative, std::uint32_t magnitude, int width) {
  char digits[10];
  int n = Digits(magnitude, digits);
  Pad(con, n + (negative ? 1 : 0), width);
  if (negative) PutByte(con, '-');
  for (int i = 0; i < n; ++i) PutByte(con, static_cast<std::uint8_t>(digits[i]));
}

}  // namespace

void Window(Console& con, int x1, int y1, int x2, int y2) {
  if (x1 < 1 || y1 < 1 || x2 > ConsoleWidth || y2 > ConsoleHeight || x1 > x2 || y1 > y2) return;
  con.windowLeft = x1;
  con.windowTop = y1;
  con.windowRight = x2;
  con.windowBottom = y2;
  con.cursorX = x1;
  con.cursorY = y1;
}

void ClrScr(Console& con) {
  BeforeErase(con);
  for (int y = con.windowTop; y <= con.windowBottom; ++y) BlankRow(con, y);
  MarkWindowRows(con);
  con.cursorX = con.windowLeft;
  con.cursorY = con.windowTop;
}

void GotoXY(Console& con, int x, int y) {
  int sx = con.windowLeft + x - 1;
  int sy = con.windowTop + y - 1;
  if (x < 1 || y < 1 || sx > con.windowRight || sy > con.windowBottom) return;
  con.cursorX = sx;
  con.cursorY = sy;
}

int WhereX(const Console& con) { return con.cursorX - con.windowLeft + 1; }
int WhereY(const Console& con) { return con.cursorY - con.windowTop + 1; }

void HighVideo(Console& con) { con.attribute |= 0x08; }
void NormVideo(Console& con) { con.attribute = NormalAttribute; }

void Write(Console& con, std::string_view text, int width) {
  Pad(con, static_cast<int>(text.size()), width);
  for (char c : text) PutByte(con, static_cast<std::uint8_t>(c));
}

void Write(Console& con, char c, int width) {
  Pad(con, 1, width);
  PutByte(con, static_cast<std::uint8_t>(c));
}

void Write(Console& con, std::int32_t value, int width) {
  std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value)
                                      : static_cast<std::uint32_t>(value);
  WriteNumber(con, value < 0, magnitude, width);
}

void Write(Console& con, std::uint32_t value, int width) { WriteNumber(con, false, value, width); }

void Writeln(Console& con) {
  con.cursorX = con.windowLeft;
  LineFeed(con);
}

void Writeln(Console& con, std::string_view text, int width) {
  Write(con, text, width);
  Writeln(con);
}

void Writeln(Console& con, char c, int width) {
  Write(con, c, width);
  Writeln(con);
}

void Writeln(Console& con, std::int32_t value, int width) {
  Write(con, value, width);
  Writeln(con);
}

void Writeln(Console& con, std::uint32_t value, int width) {
  Write(con, value, width);
  Writeln(con);
}

const ConsoleCell& ConsoleCellAt(const Console& con, int x, int y) {
  assert(x >= 1 && x <= ConsoleWidth && y >= 1 && y <= ConsoleHeight);
  return con.cells[y - 1][x - 1];
}

int ConsoleRowText(const Console& con, int y, char* out) {
  int length = 0;
  for (int x = 1; x <= ConsoleWidth; ++x) {
    out[x - 1] = static_cast<char>(con.cells[y - 1][x - 1].ch);
    if (out[x - 1] != ' ') length = x;
  }
  return length;
}

int NewestConsoleRow(const Console& c) {
  if (c.cursorX > c.windowLeft || c.cursorY == 1) return c.cursorY;
  return c.cursorY - 1;
}
