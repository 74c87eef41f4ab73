// TERMINAL GRAPHICS, the drawing: one frame of the graphics surface, and the
// console's newest line below it, as the bytes a terminal shows.
//
// For: the terminal graphics back end (terminal_graphics.h) and its probes.
// What the terminal can show is chafa's detection from the environment
// (TERM, COLORTERM, TMUX, ...): sixels or the kitty protocol where it finds
// them, Unicode block symbols everywhere else, in direct colour, 256 colours
// or 16 colours; choice.h weighs it against tmux, GNU screen and the
// person's own choice. Inside tmux the image sequences go through its
// passthrough, each with its own move to the image's place on the terminal
// outside; tmux gets the same moves and the line as usual.
//
// Limits:
// - Where the picture goes and at what size: layout.h.
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
// - Through tmux: sixels too as the whole picture when the surface changed,
//   since tmux redraws the pane now and then without the images it never
//   saw; and in bands of at most TmuxPieceLimit bytes each. tmux does not
//   tell when it redraws: a picture that does not change (step by step,
//   waiting for a key) may stay blank until it does.
//
// Dependencies: libchafa 1.12 (ChafaTermDb, ChafaCanvas, ChafaSymbolMap), the
// standard palette, the console model (for the line's cells), the sink.
#pragma once

#include <cstdint>
#include <string_view>

#include "backends/native/termgfx/layout.h"
#include "backends/native/termgfx/pixels.h"
#include "backends/native/termgfx/sink.h"
#include "platform/console.h"
#include "platform/graph.h"

struct ChafaTermInfo;
struct ChafaCanvas;
struct ChafaSymbolMap;

// The kitty protocol's "delete every image shown" (chafa 1.12 has no
// sequence for it): a new frame, or the console, replaces the last image.
inline constexpr std::string_view TermGfxKittyDelete = "\x1b_Ga=d\x1b\\";

struct TermGfxCaps {
  TermGfxPixels pixels = TermGfxPixels::Symbols;
  TermGfxColours colours = TermGfxColours::Ansi16;
  bool throughTmux = false;  // images go to the terminal outside tmux, in its passthrough
};

// One frame as the program hands it over: the surface and the console line.
struct TermGfxFrame {
  int width = 0, height = 0;  // 0: no frame yet
  std::uint8_t pixels[GraphMaxWidth * GraphMaxHeight];
  ConsoleCell line[ConsoleWidth];
};

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
  // Through tmux: the pane's first cell on the terminal outside, where each
  // image is placed (tmux leaves that terminal's cursor elsewhere).
  int outsideTop = 0, outsideLeft = 0;
};

// What chafa finds in this environment (envp as in environ).
TermGfxCaps DetectTermGfxCaps(char** envp);

// Set up for these capabilities; envp null: every sequence chafa knows (for
// probes that force a mode). Create the record once: it is large.
void SetUpTermGfxRenderer(TermGfxRenderer& r, TermGfxCaps caps, char** envp);
void FreeTermGfxRenderer(TermGfxRenderer& r);

// Bytes of sixel or kitty sequences that need no place (kitty's delete),
// through tmux's passthrough when caps say so; everything else goes to the
// terminal (or tmux) as it is.
void SendTermGfxImageBytes(const TermGfxCaps& caps, TermGfxSink& out, const char* bytes,
                           std::size_t count);

// The terminal's screen was cleared or is unknown: the next frame sends all.
void ForgetTermGfxScreen(TermGfxRenderer& r);

// Send frame (picture and line) to a terminal of this size: a new size or a
// forgotten screen clears it and sends everything, else only what changed.
void RenderTermGfxFrame(TermGfxRenderer& r, const TermGfxFrame& frame, const TermGfxSize& terminal,
                        TermGfxSink& out);
