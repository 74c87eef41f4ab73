// The graphics screen's layout: the 640 x 480 design grid and its scaling to
// the surface, the header every window record begins with, the outline-and-
// title rule, the screen frame with its title, key-help and step-counter
// boxes, and the title-line step counter.
//
// Drawing-state conventions kept by every display procedure: each sets the
// viewport it draws in first (clipping on) and sets the whole screen again
// when done; left/top justification is in force between procedures; the
// screen frame sets 3-pixel lines and nothing sets them back.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/graph.h"
#include "text/shortstring.h"

// The design grid the layout is drawn on.
inline constexpr int DesignWidth = 640;
inline constexpr int DesignHeight = 480;

// Window titles are cut to this many characters.
inline constexpr int WindowTitleCapacity = 64;

// The leading fields of every window record, in screen pixels (inclusive).
struct WindowHeader {
  std::uint16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  ShortString<WindowTitleCapacity> title;
};

// Design coordinates to surface pixels (reads GetMaxX/GetMaxY of the moment).
std::int16_t ScaleX(const GraphSurface& g, std::int16_t v);
std::int16_t ScaleY(const GraphSurface& g, std::int16_t v);

// Width of one character and height of one text line of the only font.
int CharWidth(const GraphSurface& g);
int TitleLineHeight(const GraphSurface& g);

// Outline and centred title of a window; the interior is not touched.
void DrawWindowOutline(const WindowHeader& w, GraphSurface& g);

// The thick screen border with its title box, key-help box and step counter.
void DrawScreenFrame(GraphSurface& g, std::string_view title);

// The " T:" box in the top right corner, cleared before it is written.
void DrawStepCounterBox(GraphSurface& g, std::int32_t T);

// " T:" and T at the left of a window's title line, over a cleared band.
void DrawTitleCounter(const WindowHeader& w, GraphSurface& g, std::int32_t T);
