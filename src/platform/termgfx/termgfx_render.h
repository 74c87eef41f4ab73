// TERMINAL GRAPHICS, the drawing: one frame of the graphics surface, and the
// console's newest line below it, as the bytes a terminal shows.
//
// For: the terminal graphics back end (terminal_graphics.h) and its probes.
// What the terminal can show is chafa's detection from the environment
// (TERM, COLORTERM, TMUX, ...): sixels or the kitty protocol where it finds
// them, Unicode block symbols everywhere else, in direct colour, 256 colours
// or 16 colours.
//
// Limits:
// - The picture keeps the surface's aspect, scaled to fill the terminal but
//   its last row, which shows the console's newest line. A cell's pixel size
//   comes from TIOCGWINSZ when the terminal gives it; else a cell is taken to
//   be twice as tall as wide (TermGfxAssumedCell).
// - At most TermGfxMaxColumns x TermGfxMaxRows cells and, for pixel modes,
//   TermGfxMaxPixelWidth x TermGfxMaxPixelHeight pixels: a larger terminal
//   shows the picture at that size, centred.
// - Colours: the 16 palette colours stay exact in direct colour and sixels
//   (sixels carry percentages: within one unit of 255/100). In 16 colours each
//   palette colour is its own ANSI colour; in 256 colours the nearest of the
//   240 colours that do not depend on the terminal's theme. A cell that
//   mixes colours shows chafa's average of them.
// - Sent: only what changed. Symbols: the rows whose cells differ from what
//   the terminal shows; sixels: images of the bands of cell rows whose
//   pixels changed (whole bands of six pixel rows); kitty: the whole picture
//   when the surface changed; the line when it changed. After
//   ForgetTermGfxScreen, or at a new size, everything.
// - Sixels: chafa ends an image on its last whole band of six pixel rows, so
//   the picture is scaled to the whole bands its cells hold.
//
// Dependencies: libchafa 1.12 (ChafaTermDb, ChafaCanvas, ChafaSymbolMap), the
// standard palette, the console model (for the line's cells).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/console.h"
#include "platform/graph.h"

struct ChafaTermInfo;
struct ChafaCanvas;
struct ChafaSymbolMap;

enum class TermGfxPixels : std::uint8_t { Symbols, Sixels, Kitty };

// The kitty protocol's "delete every image shown" (chafa 1.12 has no
// sequence for it): a new frame, or the console, replaces the last image.
inline constexpr std::string_view TermGfxKittyDelete = "\x1b_Ga=d\x1b\\";
enum class TermGfxColours : std::uint8_t { Direct, Indexed240, Ansi16 };

struct TermGfxCaps {
  TermGfxPixels pixels = TermGfxPixels::Symbols;
  TermGfxColours colours = TermGfxColours::Ansi16;
};

// The terminal's size; a cell's pixels are 0 when the terminal does not say.
struct TermGfxSize {
  int columns = 0, rows = 0;
  int cellWidth = 0, cellHeight = 0;
};

// A cell's pixels when the terminal does not tell: the usual 1:2 text cell.
inline constexpr int TermGfxAssumedCellWidth = 8;
inline constexpr int TermGfxAssumedCellHeight = 16;

// The largest picture: cells whose last look is remembered for the
// changed-rows test, and pixels of the scaled picture in pixel modes.
inline constexpr int TermGfxMaxColumns = 400;
inline constexpr int TermGfxMaxRows = 200;
inline constexpr int TermGfxMaxPixelWidth = GraphMaxWidth;
inline constexpr int TermGfxMaxPixelHeight = GraphMaxHeight;

// Where the picture goes on the terminal.
struct TermGfxLayout {
  TermGfxSize terminal;
  int cellWidth = 0, cellHeight = 0;    // the terminal's, or the assumed ones
  int left = 0, top = 0;                // the picture's top-left cell, 0-based
  int columns = 0, rows = 0;            // cells it covers
  int pixelWidth = 0, pixelHeight = 0;  // pixel modes: the scaled picture's pixels
};

// One frame as the program hands it over: the surface and the console line.
struct TermGfxFrame {
  int width = 0, height = 0;  // 0: no frame yet
  std::uint8_t pixels[GraphMaxWidth * GraphMaxHeight];
  ConsoleCell line[ConsoleWidth];
};

// Bytes for the terminal, gathered in a fixed buffer and written to fd when
// it fills and at Flush. The writer gives up (failed) on a write error, when
// abandon turns true, or after waiting patienceMs in all for a terminal that
// does not take bytes (-1: as long as it takes).
inline constexpr int TermGfxSinkCapacity = 64 * 1024;

struct TermGfxSink {
  int fd = -1;
  const std::atomic<bool>* abandon = nullptr;
  int patienceMs = -1;
  bool failed = false;
  std::int64_t written = 0;  // bytes handed to fd so far
  int used = 0;
  char buffer[TermGfxSinkCapacity];
};

void SinkWrite(TermGfxSink& sink, const char* bytes, std::size_t count);
void SinkFlush(TermGfxSink& sink);

// What a cell of the symbol picture shows, as chafa chose it.
struct TermGfxCell {
  std::uint32_t symbol = 0;
  std::int32_t fg = -1, bg = -1;
  bool operator==(const TermGfxCell&) const = default;
};

struct TermGfxRenderer {
  TermGfxCaps caps;
  ChafaTermInfo* info = nullptr;  // the sequences the terminal understands
  ChafaSymbolMap* symbols = nullptr;
  ChafaCanvas* canvas = nullptr;  // made for layout
  TermGfxLayout layout;
  bool screenKnown = false;  // the terminal shows last, shownCells and shownLine
  TermGfxFrame last;         // the frame the terminal shows
  TermGfxCell shownCells[TermGfxMaxRows][TermGfxMaxColumns];
  std::uint8_t rgba[TermGfxMaxPixelWidth * TermGfxMaxPixelHeight * 4];
  std::int64_t framesDrawn = 0;  // frames that sent a picture
};

// What chafa finds in this environment (envp as in environ).
TermGfxCaps DetectTermGfxCaps(char** envp);

// Place a width x height picture on the terminal, aspect kept, the last row
// left for the console line.
TermGfxLayout PlaceTermGfxPicture(TermGfxPixels pixels, const TermGfxSize& terminal, int width, int height);

// Set up for these capabilities; envp null: every sequence chafa knows (for
// probes that force a mode). Create the record once: it is large.
void SetUpTermGfxRenderer(TermGfxRenderer& r, TermGfxCaps caps, char** envp);
void FreeTermGfxRenderer(TermGfxRenderer& r);

// The terminal's screen was cleared or is unknown: the next frame sends all.
void ForgetTermGfxScreen(TermGfxRenderer& r);

// Send frame (picture and line) to a terminal of this size: a new size or a
// forgotten screen clears it and sends everything, else only what changed.
void RenderTermGfxFrame(TermGfxRenderer& r, const TermGfxFrame& frame, const TermGfxSize& terminal,
                        TermGfxSink& out);

// The console row the person last wrote to: the cursor's row, or the one
// above when the cursor stands at the start of a line.
int NewestConsoleRow(const Console& console);

// The RGB value chafa is given for palette index i in these colours: the
// palette's own, except in 16 colours, where it is chafa's value for the ANSI
// colour that index stands for, so that chafa's nearest match is that colour.
std::uint32_t TermGfxInk(TermGfxColours colours, int index);
// The ANSI colour (0..15) of palette index i.
int AnsiColourOf(int index);
