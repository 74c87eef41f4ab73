// The web back end's conversions, apart from the browser so that they are
// built and tested natively too.
// Limits: those of web_backend.h (the keys it knows, control bytes shown as
// blanks). Dependencies: none beyond the platform's models.
#include <cstdint>
#include <string_view>

#include "backends/web/web_backend.h"
#include "platform/keyboard.h"  // Required for: PushTypedText
#include "platform/palette.h"
#include "text/cp852.h"
#include "text/utf8.h"

namespace {

struct NamedKey {
  std::string_view name;  // KeyboardEvent.key
  std::uint8_t code;
  bool extended;  // 0 then code, as a key without a character
};

// Keys without a character, and the control keys the program reads.
// The short names are those of older browsers.
constexpr NamedKey NamedKeys[] = {
    {"Enter", 13, false},          {"Backspace", 8, false},       {"Escape", 27, false},
    {"Esc", 27, false},            {"ArrowUp", ScanUp, true},     {"Up", ScanUp, true},
    {"ArrowDown", ScanDown, true}, {"Down", ScanDown, true},      {"ArrowLeft", ScanLeft, true},
    {"Left", ScanLeft, true},      {"ArrowRight", ScanRight, true}, {"Right", ScanRight, true},
    {"Home", ScanHome, true},      {"End", ScanEnd, true},        {"PageUp", ScanPgUp, true},
    {"PageDown", ScanPgDn, true},  {"Insert", ScanIns, true},     {"Delete", ScanDel, true},
    {"Del", ScanDel, true},        {"F11", ScanF11, true},        {"F12", ScanF12, true},
};

}  // namespace

bool PushPageKey(KeyQueue& keys, std::string_view keyName) {
  // A key that types one character is named by that character.
  std::size_t end = 0;
  if (!keyName.empty() && NextCodePoint(keyName, end) >= 0 && end == keyName.size())
    return PushTypedText(keys, keyName) == 1;
  for (const NamedKey& key : NamedKeys)
    if (keyName == key.name)
      return key.extended ? PushExtendedKey(keys, key.code) : PushKey(keys, key.code);
  // F1..F10
  if (keyName.size() >= 2 && keyName.size() <= 3 && keyName[0] == 'F') {
    int n = 0;
    for (char c : keyName.substr(1)) {
      if (c < '0' || c > '9') return false;
      n = n * 10 + (c - '0');
    }
    if (n >= 1 && n <= 10 && keyName[1] != '0')
      return PushExtendedKey(keys, static_cast<std::uint8_t>(ScanF1 + n - 1));
  }
  return false;
}

void ConvertConsoleRow(const Console& console, int y, WebConsoleRow& row) {
  for (int x = 1; x <= ConsoleWidth; ++x) {
    const ConsoleCell& cell = ConsoleCellAt(console, x, y);
    // Control bytes have no picture in the page; they show as blanks.
    const bool control = cell.ch < 0x20 || cell.ch == 0x7F;
    row.text[x - 1] = control ? u' ' : static_cast<char16_t>(Cp852ToUnicode[cell.ch]);
    row.attribute[x - 1] = cell.attribute;
  }
}

std::uint32_t TakeRowsToShow(WebPage& page, Console& console) {
  constexpr std::uint32_t AllRows = (std::uint32_t{1} << ConsoleHeight) - 1;
  std::uint32_t rows = page.consoleShown ? console.changedRows : AllRows;
  if (console.cursorX != page.cursorX || console.cursorY != page.cursorY) {
    if (page.cursorY >= 1) rows |= std::uint32_t{1} << (page.cursorY - 1);
    rows |= std::uint32_t{1} << (console.cursorY - 1);
    page.cursorX = console.cursorX;
    page.cursorY = console.cursorY;
  }
  console.changedRows = 0;
  page.consoleShown = true;
  return rows;
}

void ConvertSurface(WebPage& page, const GraphSurface& surface) {
  std::uint32_t colour[PaletteSize];
  for (int i = 0; i < PaletteSize; ++i) {
    const PaletteRgb& c = StandardPalette[i];
    // Bytes R, G, B, A on a little-endian machine (wasm is one).
    colour[i] = 0xFF000000u | std::uint32_t{c.blue} << 16 | std::uint32_t{c.green} << 8 | c.red;
  }
  const int count = surface.width * surface.height;
  for (int i = 0; i < count; ++i) page.rgba[i] = colour[surface.pixels[i] & (PaletteSize - 1)];
}
