// A small terminal of the tests' own: it reads the bytes terminal graphics
// writes (cursor moves, SGR colours, UTF-8 characters, erase) into a grid of
// cells, so tests look at what a person would see, not at the renderer's
// state. Images (sixel DCS, kitty APC) are counted and skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A colour as the terminal was told it: kind in the top byte.
inline constexpr std::uint32_t DefaultColour = 0xFFFFFFFF;
inline constexpr std::uint32_t DirectKind = 0x01000000;      // | 0xRRGGBB
inline constexpr std::uint32_t Indexed256Kind = 0x02000000;  // | n
inline constexpr std::uint32_t Ansi16Kind = 0x03000000;      // | 0..15

struct ReadCell {
  char32_t ch = U' ';
  std::uint32_t fg = DefaultColour, bg = DefaultColour;
  bool touched = false;  // written since the last Clear of the reader's counters
};

struct ReadScreen {
  int columns = 0, rows = 0;
  std::vector<ReadCell> cells;
  int x = 0, y = 0;
  std::uint32_t fg = DefaultColour, bg = DefaultColour;
  bool inverse = false;
  int moves = 0;   // cursor positionings
  int clears = 0;  // whole-screen erases
  int images = 0;  // sixel or kitty images seen
  bool cursorVisible = true;
  std::vector<int> rowsMovedTo;  // the row of every positioning, in order
  std::string trouble;           // what the reader did not understand

  ReadCell& at(int cx, int cy) { return cells[static_cast<std::size_t>(cy * columns + cx)]; }
};

inline ReadScreen MakeReadScreen(int columns, int rows) {
  ReadScreen s;
  s.columns = columns;
  s.rows = rows;
  s.cells.assign(static_cast<std::size_t>(columns * rows), ReadCell{});
  return s;
}

inline void ForgetTouches(ReadScreen& s) {
  for (ReadCell& c : s.cells) c.touched = false;
  s.moves = s.clears = s.images = 0;
  s.rowsMovedTo.clear();
}

namespace screen_reader_detail {

inline void Sgr(ReadScreen& s, const std::vector<int>& p) {
  if (p.empty()) {
    s.fg = s.bg = DefaultColour;
    s.inverse = false;
    return;
  }
  for (std::size_t i = 0; i < p.size(); ++i) {
    int v = p[i];
    if (v == 0) {
      s.fg = s.bg = DefaultColour;
      s.inverse = false;
    } else if (v == 7) {
      s.inverse = true;
    } else if (v == 27) {
      s.inverse = false;
    } else if (v >= 30 && v <= 37) {
      s.fg = Ansi16Kind | static_cast<std::uint32_t>(v - 30);
    } else if (v >= 90 && v <= 97) {
      s.fg = Ansi16Kind | static_cast<std::uint32_t>(v - 90 + 8);
    } else if (v >= 40 && v <= 47) {
      s.bg = Ansi16Kind | static_cast<std::uint32_t>(v - 40);
    } else if (v >= 100 && v <= 107) {
      s.bg = Ansi16Kind | static_cast<std::uint32_t>(v - 100 + 8);
    } else if (v == 39) {
      s.fg = DefaultColour;
    } else if (v == 49) {
      s.bg = DefaultColour;
    } else if ((v == 38 || v == 48) && i + 1 < p.size()) {
      std::uint32_t c = DefaultColour;
      if (p[i + 1] == 5 && i + 2 < p.size()) {
        c = Indexed256Kind | static_cast<std::uint32_t>(p[i + 2]);
        i += 2;
      } else if (p[i + 1] == 2 && i + 4 < p.size()) {
        c = DirectKind | static_cast<std::uint32_t>(p[i + 2] << 16 | p[i + 3] << 8 | p[i + 4]);
        i += 4;
      } else {
        s.trouble += "odd colour; ";
      }
      (v == 38 ? s.fg : s.bg) = c;
    } else {
      s.trouble += "SGR " + std::to_string(v) + "; ";
    }
  }
}

inline void Put(ReadScreen& s, char32_t ch) {
  if (s.x >= s.columns || s.y >= s.rows) {
    s.trouble += "write outside the screen; ";
    return;
  }
  ReadCell& c = s.at(s.x, s.y);
  c.ch = ch;
  c.fg = s.inverse ? s.bg : s.fg;
  c.bg = s.inverse ? s.fg : s.bg;
  c.touched = true;
  ++s.x;
}

}  // namespace screen_reader_detail

// Feed bytes the program wrote.
inline void Feed(ReadScreen& s, std::string_view b) {
  using namespace screen_reader_detail;
  std::size_t i = 0;
  while (i < b.size()) {
    auto c = static_cast<unsigned char>(b[i]);
    if (c == 0x1b && i + 1 < b.size() &&
        (b[i + 1] == 'P' || b[i + 1] == '_')) {  // DCS, APC: an image
      std::size_t end = b.find("\x1b\\", i + 2);
      if (end == std::string_view::npos) end = b.size();
      if (b[i + 1] == 'P' || b.substr(i, end - i).find("a=T") != std::string_view::npos) ++s.images;
      i = end + 2;
      continue;
    }
    if (c == 0x1b && i + 1 < b.size() && b[i + 1] == '\\') {  // a lone string terminator
      i += 2;
      continue;
    }
    if (c == 0x1b && i + 1 < b.size() && b[i + 1] == '[') {
      std::size_t j = i + 2;
      bool privateMode = j < b.size() && b[j] == '?';
      if (privateMode) ++j;
      std::vector<int> params;
      int value = -1;
      for (; j < b.size() && ((b[j] >= '0' && b[j] <= '9') || b[j] == ';'); ++j) {
        if (b[j] == ';') {
          params.push_back(value < 0 ? 0 : value);
          value = -1;
        } else {
          value = (value < 0 ? 0 : value * 10) + (b[j] - '0');
        }
      }
      if (value >= 0) params.push_back(value);
      if (j >= b.size()) break;
      char final = b[j];
      i = j + 1;
      if (privateMode) {
        if (final == 'l' && !params.empty() && params[0] == 25) s.cursorVisible = false;
        if (final == 'h' && !params.empty() && params[0] == 25) s.cursorVisible = true;
        continue;
      }
      switch (final) {
        case 'm':
          Sgr(s, params);
          break;
        case 'H':
          s.y = (params.size() > 0 && params[0] > 0 ? params[0] : 1) - 1;
          s.x = (params.size() > 1 && params[1] > 0 ? params[1] : 1) - 1;
          ++s.moves;
          s.rowsMovedTo.push_back(s.y);
          break;
        case 'J':
          if (!params.empty() && params[0] == 2) {
            for (ReadCell& cell : s.cells) cell = ReadCell{};
            ++s.clears;
          }
          break;
        case 'K':
          for (int x = s.x; x < s.columns && s.y < s.rows; ++x)
            s.at(x, s.y) = ReadCell{U' ', s.fg, s.bg, true};
          break;
        default:
          s.trouble += std::string("CSI ") + final + "; ";
          break;
      }
      continue;
    }
    if (c < 0x20) {
      s.trouble += "control byte " + std::to_string(c) + "; ";
      ++i;
      continue;
    }
    int length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
    char32_t cp = length == 1 ? c : c & (0x7F >> length);
    for (int k = 1; k < length && i + k < b.size(); ++k) cp = cp << 6 | (b[i + k] & 0x3F);
    Put(s, cp);
    i += static_cast<std::size_t>(length);
  }
}

// The characters of row y as UTF-8 (for messages and text checks).
inline std::string RowText(ReadScreen& s, int y) {
  std::string out;
  for (int x = 0; x < s.columns; ++x) {
    char32_t cp = s.at(x, y).ch;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}
