// Console rows as strings, for assertions.
#pragma once

#include <string>

#include "platform/console.h"

// Screen row y, trailing blanks removed (code page 852 bytes).
inline std::string RowText(const Console& console, int y) {
  char row[ConsoleWidth];
  int n = ConsoleRowText(console, y, row);
  return std::string(row, static_cast<std::size_t>(n));
}
