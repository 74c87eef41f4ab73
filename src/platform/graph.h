// The graphics surface: an in-memory frame of palette indices with a small
// BGI-style drawing interface. Everything above the platform draws here only;
// the window presenter shows the frame and tests read it pixel by pixel.
//
// Limits and rules:
// - Size: 640 x 480 unless SetSurfaceSize chose another before InitGraph, at
//   most GraphMaxWidth x GraphMaxHeight. The pixels live in the record, so no
//   drawing allocates; create the record once (main: static, tests: heap).
// - Coordinates of the drawing calls are relative to the viewport; with clip
//   on (always, in this program) nothing lands outside it, pixel by pixel.
// - Colours are palette indices 0..15 (palette.h); larger values wrap.
// - Supported: solid lines of thickness 1 or 3, fill patterns empty and solid,
//   text left/top or centred/top, PutImage with the copy operation. A request
//   outside these leaves the state unchanged (the classic library's error
//   case) and the call returns false where it has a result.
// - The model draws whether or not it is open; open only says whether the
//   presenter should show it.
#pragma once

#include <cstdint>
#include <span>         // Required for: image buffers of GetImage and PutImage
#include <string_view>  // Required for: code page 852 text

#include "platform/palette.h"

inline constexpr int GraphDefaultWidth = 640;
inline constexpr int GraphDefaultHeight = 480;
// The largest surface: big enough that the chart window's image outgrows the
// 550000-byte history buffer, so that check can be reached in tests.
inline constexpr int GraphMaxWidth = 2048;
inline constexpr int GraphMaxHeight = 1536;

// The classic library's names for the few styles the program uses.
inline constexpr int SolidLn = 0;     // line style
inline constexpr int NormWidth = 1;   // line thicknesses
inline constexpr int ThickWidth = 3;
inline constexpr int EmptyFill = 0;   // fill patterns: the background colour
inline constexpr int SolidFill = 1;   //   or the fill colour
inline constexpr int LeftText = 0;    // horizontal text justification
inline constexpr int CenterText = 1;
inline constexpr int TopText = 2;     // vertical text justification
inline constexpr int NormalPut = 0;   // PutImage: copy

// A GetImage image: this header (width, then height, 16-bit little endian)
// followed by the palette indices row by row.
inline constexpr int GraphImageHeaderSize = 4;

struct ViewPort {
  int x1 = 0, y1 = 0, x2 = GraphDefaultWidth - 1,
      y2 = GraphDefaultHeight - 1;  // absolute, inclusive
  bool clip = true;
};

struct GraphSurface {
  int width = GraphDefaultWidth;  // the size InitGraph opens with
  int height = GraphDefaultHeight;
  bool open = false;  // between InitGraph and CloseGraph / RestoreCrtMode
  ViewPort viewport;
  std::uint8_t colour = White;
  std::uint8_t backgroundColour = Black;
  int fillPattern = SolidFill;
  std::uint8_t fillColour = White;
  int lineThickness = NormWidth;
  int textHorizontal = LeftText;
  int textVertical = TopText;
  // Row after row, width indices per row; only width x height are in use.
  std::uint8_t pixels[GraphMaxWidth * GraphMaxHeight] = {};
};

// Choose the size the next InitGraph opens with; false (nothing changed) when
// the surface is open or the size is outside 1..GraphMaxWidth x GraphMaxHeight.
bool SetSurfaceSize(GraphSurface& g, int width, int height);
// Open the surface: every pixel black and the drawing state as after opening
// (colour 15 on 0, solid fill 15, thin solid lines, left/top text, viewport
// the whole surface with clipping).
void InitGraph(GraphSurface& g);
void CloseGraph(GraphSurface& g);
// Hand the screen back to the text console: the surface is no longer shown.
void RestoreCrtMode(GraphSurface& g);

int GetMaxX(const GraphSurface& g);
int GetMaxY(const GraphSurface& g);
int GetMaxColor(const GraphSurface& g);

// Absolute corners; refused (state unchanged) unless 0 <= x1 <= x2 <= GetMaxX
// and 0 <= y1 <= y2 <= GetMaxY.
void SetViewPort(GraphSurface& g, int x1, int y1, int x2, int y2, bool clip);
// Fill the whole viewport with the background colour.
void ClearViewPort(GraphSurface& g);
// Only SolidLn with NormWidth or ThickWidth; the pattern is not used.
void SetLineStyle(GraphSurface& g, int style, unsigned pattern, int thickness);
// Outline in the drawing colour; a thick one covers every pixel within one of
// the thin outline, square corners included.
void Rectangle(GraphSurface& g, int x1, int y1, int x2, int y2);
// EmptyFill fills with the background colour, SolidFill with colour.
void SetFillStyle(GraphSurface& g, int pattern, int colour);
// Fill the rectangle, both corners included, in either corner order.
void Bar(GraphSurface& g, int x1, int y1, int x2, int y2);
void PutPixel(GraphSurface& g, int x, int y, int colour);
// Only (LeftText, TopText) and (CenterText, TopText).
void SetTextJustify(GraphSurface& g, int horizontal, int vertical);
// Draw the glyph pixels of a code page 852 text in the drawing colour; the
// pixels between them keep what they had. Centred text starts at
// x - TextWidth / 2.
void OutTextXY(GraphSurface& g, int x, int y, std::string_view text);
int TextWidth(const GraphSurface& g, std::string_view text);
int TextHeight(const GraphSurface& g, std::string_view text);

// Bytes GetImage writes for this rectangle (corners in either order).
std::int32_t ImageSize(const GraphSurface& g, int x1, int y1, int x2, int y2);
// Copy the rectangle (viewport-relative, not clipped; pixels beyond the
// surface read as 0) into buffer; false, nothing written, when the buffer is
// smaller than ImageSize.
bool GetImage(const GraphSurface& g, int x1, int y1, int x2, int y2,
              std::span<std::uint8_t> buffer);
// Copy a GetImage image with its top-left at (x, y), viewport-relative and
// clipped. False, nothing drawn, for an operation other than NormalPut or an
// image whose header does not fit its bytes.
bool PutImage(GraphSurface& g, int x, int y, std::span<const std::uint8_t> image, int operation);

// The palette index at absolute (x, y); 0 outside the surface. For the
// presenters and tests (unlike the classic GetPixel it ignores the viewport).
std::uint8_t SurfacePixel(const GraphSurface& g, int x, int y);
