// TERMINAL GRAPHICS, the drawing: chafa's canvases turned into the bytes of
// one frame. What it is for, its limits and its dependencies: render.h.
//
// Sections:
//   Sequences      cursor, attributes, a cleared screen
//   Canvases       chafa's canvas for the layout and the capabilities
//   Symbols        the changed rows of the symbol picture
//   Pixel images   sixels (whole, or the changed bands) and kitty
//   Console line   the newest console line under the picture
//   Frames         capabilities, set-up, and one frame sent
#include "backends/native/termgfx/render.h"

#include <chafa.h>  // Required for: the terminal database, canvases, symbol maps

#include <algorithm>  // Required for: std::min, std::max
#include <cstdlib>    // Required for: std::abs
#include <cmath>   // Required for: std::lround
#include <cstdio>  // Required for: std::snprintf
#include <cstring>

#include "text/cp852.h"  // Required for: ConsoleCharToUnicode
#include "backends/native/termgfx/pixels.h"
#include "platform/palette.h"
#include "text/utf8.h"   // Required for: EncodeUtf8

namespace {

// ---------------------------------------------------------------------------
// Sequences
// ---------------------------------------------------------------------------

void Emit(TermGfxSink& out, const char* begin, const char* end) {
  SinkWrite(out, begin, static_cast<std::size_t>(end - begin));
}

void EmitText(TermGfxSink& out, const char* text) { SinkWrite(out, text, std::strlen(text)); }

// An image for the cell (column, row). Through tmux each of its sequences
// brings its own cursor move for the terminal outside: tmux moves that
// cursor after every passthrough string, never to where the pane's is.
void SendImageAt(const TermGfxRenderer& r, TermGfxSink& out, int column, int row, const char* bytes,
                 std::size_t count) {
  if (!r.caps.throughTmux) return SinkWrite(out, bytes, count);
  char lead[32];
  const int n = std::snprintf(lead, sizeof lead, "\x1b[%d;%dH", r.outsideTop + row + 1,
                              r.outsideLeft + column + 1);
  SinkWriteThroughTmux(out, std::string_view(lead, static_cast<std::size_t>(n)), bytes, count);
}

void MoveTo(TermGfxRenderer& r, TermGfxSink& out, int column, int row) {
  char seq[CHAFA_TERM_SEQ_LENGTH_MAX + 1];
  Emit(out, seq,
       chafa_term_info_emit_cursor_to_pos(r.info, seq, static_cast<guint>(column),
                                          static_cast<guint>(row)));
}

void ResetAttributes(TermGfxRenderer& r, TermGfxSink& out) {
  char seq[CHAFA_TERM_SEQ_LENGTH_MAX + 1];
  Emit(out, seq, chafa_term_info_emit_reset_attributes(r.info, seq));
}

// A blank screen with the cursor hidden; pictures of the pixel modes go too.
void ClearScreen(TermGfxRenderer& r, TermGfxSink& out) {
  char seq[CHAFA_TERM_SEQ_LENGTH_MAX + 1];
  ResetAttributes(r, out);
  if (r.caps.pixels == TermGfxPixels::Kitty)
    SendTermGfxImageBytes(r.caps, out, TermGfxKittyDelete.data(), TermGfxKittyDelete.size());
  Emit(out, seq, chafa_term_info_emit_clear(r.info, seq));
  Emit(out, seq, chafa_term_info_emit_disable_cursor(r.info, seq));
}

// ---------------------------------------------------------------------------
// Canvases
// ---------------------------------------------------------------------------

ChafaCanvasMode CanvasModeOf(TermGfxCaps caps) {
  // Sixels: chafa's fixed 16 colours, whose registers are then given the
  // palette's own values (SendSixels); a palette chafa made itself would
  // merge colours that only a few pixels have.
  if (caps.pixels == TermGfxPixels::Sixels) return CHAFA_CANVAS_MODE_INDEXED_16;
  if (caps.pixels == TermGfxPixels::Kitty) return CHAFA_CANVAS_MODE_TRUECOLOR;
  switch (caps.colours) {
    case TermGfxColours::Direct:
      return CHAFA_CANVAS_MODE_TRUECOLOR;
    case TermGfxColours::Indexed240:
      return CHAFA_CANVAS_MODE_INDEXED_240;
    case TermGfxColours::Ansi16:
      return CHAFA_CANVAS_MODE_INDEXED_16;
  }
  return CHAFA_CANVAS_MODE_INDEXED_16;
}

ChafaPixelMode PixelModeOf(TermGfxPixels pixels) {
  switch (pixels) {
    case TermGfxPixels::Symbols:
      return CHAFA_PIXEL_MODE_SYMBOLS;
    case TermGfxPixels::Sixels:
      return CHAFA_PIXEL_MODE_SIXELS;
    case TermGfxPixels::Kitty:
      return CHAFA_PIXEL_MODE_KITTY;
  }
  return CHAFA_PIXEL_MODE_SYMBOLS;
}

// A canvas of the layout's columns and this many rows.
ChafaCanvas* NewCanvas(const TermGfxRenderer& r, int rows) {
  ChafaCanvasConfig* config = chafa_canvas_config_new();
  chafa_canvas_config_set_geometry(config, r.layout.columns, rows);
  chafa_canvas_config_set_cell_geometry(config, r.layout.cellWidth, r.layout.cellHeight);
  chafa_canvas_config_set_canvas_mode(config, CanvasModeOf(r.caps));
  chafa_canvas_config_set_pixel_mode(config, PixelModeOf(r.caps.pixels));
  chafa_canvas_config_set_symbol_map(config, r.symbols);
  // The picture's own colours: no contrast stretch, no dithering, no
  // perceptual colour space that would move a palette colour.
  chafa_canvas_config_set_preprocessing_enabled(config, FALSE);
  chafa_canvas_config_set_dither_mode(config, CHAFA_DITHER_MODE_NONE);
  chafa_canvas_config_set_color_space(config, CHAFA_COLOR_SPACE_RGB);
  chafa_canvas_config_set_color_extractor(config, CHAFA_COLOR_EXTRACTOR_AVERAGE);
  ChafaCanvas* canvas = chafa_canvas_new(config);
  chafa_canvas_config_unref(config);
  return canvas;
}

void MakeCanvas(TermGfxRenderer& r) {
  if (r.canvas != nullptr) chafa_canvas_unref(r.canvas);
  r.canvas = NewCanvas(r, r.layout.rows);
}

// ---------------------------------------------------------------------------
// Symbols
// ---------------------------------------------------------------------------

// Symbols: the rows whose cells differ from what the terminal shows.
void SendSymbolRows(TermGfxRenderer& r, TermGfxSink& out, bool all) {
  const TermGfxLayout& l = r.layout;
  GString* text = chafa_canvas_print(r.canvas, r.info);
  const char* row = text->str;
  const char* end = text->str + text->len;
  for (int y = 0; y < l.rows && row < end; ++y) {
    const char* rowEnd =
        static_cast<const char*>(std::memchr(row, '\n', static_cast<std::size_t>(end - row)));
    if (rowEnd == nullptr) rowEnd = end;
    bool changed = all;
    for (int x = 0; x < l.columns; ++x) {
      TermGfxCell cell;
      cell.symbol = chafa_canvas_get_char_at(r.canvas, x, y);
      chafa_canvas_get_raw_colors_at(r.canvas, x, y, &cell.fg, &cell.bg);
      if (cell != r.shownCells[y][x]) changed = true;
      r.shownCells[y][x] = cell;
    }
    if (changed) {
      MoveTo(r, out, l.left, l.top + y);
      ResetAttributes(r, out);  // a row's own text starts from plain attributes
      Emit(out, row, rowEnd);
    }
    row = rowEnd + 1;
  }
  g_string_free(text, TRUE);
}

// ---------------------------------------------------------------------------
// Pixel images
// ---------------------------------------------------------------------------

const char* SkipDigits(const char* p, const char* end) {
  while (p < end && *p >= '0' && *p <= '9') ++p;
  return p;
}

// chafa's sixels open with the definitions of its 16 colour registers
// ("#pen;2;r;g;b", in percent), register n for ANSI colour n. Each is sent
// as the palette colour that stands on that ANSI colour instead, so every
// pixel shows its exact colour (within sixel's percent steps). The image
// goes out in one piece, so that through tmux it is one passthrough string.
void SendSixels(const TermGfxRenderer& r, TermGfxSink& out, int column, int row, GString* text) {
  const char* begin = text->str;
  const char* end = text->str + text->len;
  const char* first = static_cast<const char*>(std::memchr(begin, '#', text->len));
  if (first == nullptr) return SendImageAt(r, out, column, row, begin, text->len);
  const char* p = first;
  while (p < end && *p == '#') {
    const char* q = SkipDigits(p + 1, end);
    if (end - q < 3 || std::memcmp(q, ";2;", 3) != 0) break;  // a register chosen: the pixels begin
    q = SkipDigits(q + 3, end);
    for (int k = 0; k < 2 && q < end && *q == ';'; ++k) q = SkipDigits(q + 1, end);
    p = q;
  }
  char definitions[PaletteSize * 24];
  std::size_t used = 0;
  for (int i = 0; i < PaletteSize; ++i) {
    const PaletteRgb c = StandardPalette[i];
    auto percent = [](int v) { return (v * 100 + 127) / 255; };
    used += static_cast<std::size_t>(
        std::snprintf(definitions + used, sizeof definitions - used, "#%d;2;%d;%d;%d",
                      AnsiColourOf(i), percent(c.red), percent(c.green), percent(c.blue)));
  }
  const gssize at = first - begin;
  g_string_erase(text, at, p - first);
  g_string_insert_len(text, at, definitions, static_cast<gssize>(used));
  SendImageAt(r, out, column, row, text->str, text->len);
}

bool WholeBands(const TermGfxLayout& l, int first, int last) {
  return (last - first + 1) * l.cellHeight % 6 == 0;
}

// Sixels: the picture's cell rows first..last as an image of their own.
// Through tmux, one too long for its passthrough goes as two, split nearest
// the middle where a band of six pixel rows ends.
void SendSixelBand(TermGfxRenderer& r, TermGfxSink& out, int first, int last) {
  const TermGfxLayout& l = r.layout;
  const int width = l.columns * l.cellWidth, rows = last - first + 1;
  ChafaCanvas* canvas = NewCanvas(r, rows);
  chafa_canvas_draw_all_pixels(canvas, CHAFA_PIXEL_RGBA8_UNASSOCIATED,
                               r.rgba + 4L * first * l.cellHeight * width, width,
                               rows * l.cellHeight, width * 4);
  GString* text = chafa_canvas_print(canvas, r.info);
  chafa_canvas_unref(canvas);
  int split = -1;
  if (r.caps.throughTmux && text->len > TmuxPieceLimit) {
    const int middle = first + rows / 2;
    for (int k = first + 1; k <= last; ++k)
      if (WholeBands(l, first, k - 1) &&
          (split < 0 || std::abs(k - middle) < std::abs(split - middle)))
        split = k;
  }
  if (split < 0) {
    MoveTo(r, out, l.left, l.top + first);
    SendSixels(r, out, l.left, l.top + first, text);
  }
  g_string_free(text, TRUE);
  if (split < 0) return;
  SendSixelBand(r, out, first, split - 1);
  SendSixelBand(r, out, split, last);
}

// The picture as one image; the last frame's image goes first (kitty).
void SendPixelPicture(TermGfxRenderer& r, TermGfxSink& out) {
  if (r.caps.pixels == TermGfxPixels::Sixels && r.caps.throughTmux)
    return SendSixelBand(r, out, 0, r.layout.rows - 1);  // in bands tmux takes
  const int width = r.layout.columns * r.layout.cellWidth;
  int height = r.layout.rows * r.layout.cellHeight;
  if (r.caps.pixels == TermGfxPixels::Sixels)
    height = SixelHeight(height);  // as chafa's canvas: no rescale
  chafa_canvas_draw_all_pixels(r.canvas, CHAFA_PIXEL_RGBA8_UNASSOCIATED, r.rgba, width, height,
                               width * 4);
  GString* text = chafa_canvas_print(r.canvas, r.info);
  if (r.caps.pixels == TermGfxPixels::Kitty)
    SendTermGfxImageBytes(r.caps, out, TermGfxKittyDelete.data(), TermGfxKittyDelete.size());
  MoveTo(r, out, r.layout.left, r.layout.top);
  if (r.caps.pixels == TermGfxPixels::Sixels)
    SendSixels(r, out, r.layout.left, r.layout.top, text);
  else
    SendImageAt(r, out, r.layout.left, r.layout.top, text->str, text->len);
  g_string_free(text, TRUE);
}

// Sixels after a frame the terminal shows: only the bands of cell rows whose
// pixels changed, each grown to whole bands of six pixel rows (chafa leaves
// out the rest); the whole picture when no band can be.
void SendChangedSixels(TermGfxRenderer& r, TermGfxSink& out, const TermGfxFrame& f) {
  const TermGfxLayout& l = r.layout;
  bool sourceChanged[GraphMaxHeight];
  for (int y = 0; y < f.height; ++y)
    sourceChanged[y] = std::memcmp(f.pixels + static_cast<long>(y) * f.width,
                                   r.last.pixels + static_cast<long>(y) * f.width,
                                   static_cast<std::size_t>(f.width)) != 0;
  bool rowChanged[TermGfxMaxRows] = {};
  for (int y = 0; y < l.pixelHeight; ++y)
    if (sourceChanged[TermGfxSourceRow(y, l.pixelHeight, f.height)])
      rowChanged[y / l.cellHeight] = true;
  auto wholeBands = [&](int first, int last) { return WholeBands(l, first, last); };
  for (int first = 0; first < l.rows; ++first) {
    if (!rowChanged[first]) continue;
    int last = first;
    // A single unchanged row between two changed ones: one image is cheaper.
    while (last + 1 < l.rows &&
           (rowChanged[last + 1] || (last + 2 < l.rows && rowChanged[last + 2])))
      ++last;
    while (!wholeBands(first, last) && last + 1 < l.rows) ++last;
    while (!wholeBands(first, last) && first > 0) --first;
    if (!wholeBands(first, last)) return SendPixelPicture(r, out);
    SendSixelBand(r, out, first, last);
    first = last;
  }
}

// ---------------------------------------------------------------------------
// Console line
// ---------------------------------------------------------------------------

// SGR for a console attribute in the 16 ANSI colours.
void EmitConsoleAttribute(TermGfxSink& out, std::uint8_t attribute) {
  char seq[24];
  const int fg = AnsiColourOf(attribute & 0x0F), bg = AnsiColourOf((attribute >> 4) & 0x07);
  const int n =
      std::snprintf(seq, sizeof seq, "\x1b[0;%d;%dm", fg < 8 ? 30 + fg : 90 + fg - 8, 40 + bg);
  SinkWrite(out, seq, static_cast<std::size_t>(n));
}

void SendLine(TermGfxRenderer& r, TermGfxSink& out, const TermGfxFrame& f) {
  const TermGfxSize& t = r.layout.terminal;
  if (t.rows < 2) return;  // no row is left for it
  MoveTo(r, out, 0, t.rows - 1);
  const int columns = std::min(t.columns, ConsoleWidth);
  int attribute = -1;
  for (int x = 0; x < columns; ++x) {
    const ConsoleCell& cell = f.line[x];
    if (cell.attribute != attribute) {
      attribute = cell.attribute;
      EmitConsoleAttribute(out, cell.attribute);
    }
    char utf8[4];
    SinkWrite(out, utf8, static_cast<std::size_t>(EncodeUtf8(ConsoleCharToUnicode(cell.ch), utf8)));
  }
  ResetAttributes(r, out);
  EmitText(out, "\x1b[K");  // the rest of a wider terminal's row
}

// ---------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------

bool SameLayout(const TermGfxLayout& a, const TermGfxLayout& b) {
  return a.terminal.columns == b.terminal.columns && a.terminal.rows == b.terminal.rows &&
         a.cellWidth == b.cellWidth && a.cellHeight == b.cellHeight && a.columns == b.columns &&
         a.rows == b.rows && a.pixelWidth == b.pixelWidth && a.pixelHeight == b.pixelHeight;
}

bool SamePicture(const TermGfxFrame& a, const TermGfxFrame& b) {
  return a.width == b.width && a.height == b.height &&
         std::memcmp(a.pixels, b.pixels, static_cast<std::size_t>(a.width) * a.height) == 0;
}

}  // namespace

TermGfxCaps DetectTermGfxCaps(char** envp) {
  ChafaTermInfo* info = chafa_term_db_detect(chafa_term_db_get_default(), envp);
  TermGfxCaps caps;
  if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_BEGIN_SIXELS))
    caps.pixels = TermGfxPixels::Sixels;
  else if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_BEGIN_KITTY_IMMEDIATE_IMAGE_V1))
    caps.pixels = TermGfxPixels::Kitty;
  if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_SET_COLOR_FGBG_DIRECT))
    caps.colours = TermGfxColours::Direct;
  else if (chafa_term_info_have_seq(info, CHAFA_TERM_SEQ_SET_COLOR_FGBG_256))
    caps.colours = TermGfxColours::Indexed240;
  chafa_term_info_unref(info);
  return caps;
}

void SetUpTermGfxRenderer(TermGfxRenderer& r, TermGfxCaps caps, char** envp) {
  FreeTermGfxRenderer(r);
  r.caps = caps;
  ChafaTermDb* db = chafa_term_db_get_default();
  r.info = envp != nullptr ? chafa_term_db_detect(db, envp) : chafa_term_db_get_fallback_info(db);
  r.symbols = chafa_symbol_map_new();
  chafa_symbol_map_add_by_tags(
      r.symbols, static_cast<ChafaSymbolTags>(CHAFA_SYMBOL_TAG_BLOCK | CHAFA_SYMBOL_TAG_SPACE));
  // One thread: the program's own work keeps the other core.
  chafa_set_n_threads(1);
  r.layout = TermGfxLayout{};
  r.screenKnown = false;
  r.last.width = r.last.height = 0;
  r.framesDrawn = 0;
}

void FreeTermGfxRenderer(TermGfxRenderer& r) {
  if (r.canvas != nullptr) chafa_canvas_unref(r.canvas);
  if (r.symbols != nullptr) chafa_symbol_map_unref(r.symbols);
  if (r.info != nullptr) chafa_term_info_unref(r.info);
  r.canvas = nullptr;
  r.symbols = nullptr;
  r.info = nullptr;
}

void SendTermGfxImageBytes(const TermGfxCaps& caps, TermGfxSink& out, const char* bytes,
                           std::size_t count) {
  if (caps.throughTmux)
    SinkWriteThroughTmux(out, {}, bytes, count);
  else
    SinkWrite(out, bytes, count);
}

void ForgetTermGfxScreen(TermGfxRenderer& r) { r.screenKnown = false; }

void RenderTermGfxFrame(TermGfxRenderer& r, const TermGfxFrame& f, const TermGfxSize& terminal,
                        TermGfxSink& out) {
  if (f.width <= 0 || f.height <= 0 || terminal.columns <= 0 || terminal.rows <= 0) return;
  const TermGfxLayout layout = PlaceTermGfxPicture(r.caps.pixels, terminal, f.width, f.height);
  if (r.canvas == nullptr || !SameLayout(layout, r.layout)) {
    r.layout = layout;
    MakeCanvas(r);
    r.screenKnown = false;
  }
  const bool all = !r.screenKnown;
  if (all) ClearScreen(r, out);
  if (all || !SamePicture(f, r.last)) {
    if (r.caps.pixels == TermGfxPixels::Symbols) {
      SurfaceToRgba(f.pixels, f.width, f.height, r.caps.colours, r.rgba);
      chafa_canvas_draw_all_pixels(r.canvas, CHAFA_PIXEL_RGBA8_UNASSOCIATED, r.rgba, f.width,
                                   f.height, f.width * 4);
      SendSymbolRows(r, out, all);
    } else {
      // Sixels carry chafa's 16 colours, whose registers get the palette's values.
      const TermGfxColours colours =
          r.caps.pixels == TermGfxPixels::Sixels ? TermGfxColours::Ansi16 : TermGfxColours::Direct;
      ScaledToRgba(f.pixels, f.width, f.height, r.layout, colours, r.rgba);
      // Through tmux the whole picture: it mends what a redraw of tmux's took.
      if (r.caps.pixels == TermGfxPixels::Sixels && !all && !r.caps.throughTmux)
        SendChangedSixels(r, out, f);
      else
        SendPixelPicture(r, out);
    }
    ++r.framesDrawn;
  }
  if (all || std::memcmp(f.line, r.last.line, sizeof f.line) != 0) SendLine(r, out, f);
  SinkFlush(out);
  r.last.width = f.width;
  r.last.height = f.height;
  std::memcpy(r.last.pixels, f.pixels, static_cast<std::size_t>(f.width) * f.height);
  std::memcpy(r.last.line, f.line, sizeof f.line);
  r.screenKnown = !out.failed;
}
