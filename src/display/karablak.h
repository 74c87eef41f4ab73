// KarAblak: a window of named text fields, one "name:value" per line. Fields
// are added once, in order, then only their values change, found by name
// (exact, case-sensitive, first match). Adding an eleventh field or setting a
// missing one is a programming error: the program stops with exit code 1 or
// 2 and a line naming the field.
#pragma once

#include <cstdint>
#include <string_view>

#include "display/layout.h"

// Fields one panel holds.
inline constexpr int KarAblakCapacity = 10;

struct KarAblakField {
  ShortString<255> name;
  ShortString<255> value;
};

struct KarAblak {
  WindowHeader header;
  std::uint16_t fieldCount = 0;
  KarAblakField fields[KarAblakCapacity];
  std::uint8_t colour = 0;  // kept as given; the text is drawn in the default colour
};

void InitKarAblak(KarAblak& k, std::uint16_t x1, std::uint16_t y1, std::uint16_t x2,
                  std::uint16_t y2, std::string_view title, std::uint8_t colour);

// Append a field; a full panel stops the program (exit code 1).
void AddField(KarAblak& k, std::string_view name, std::string_view value);

// Replace a field's value, shown at the next draw; a missing name stops the
// program (exit code 2).
void SetField(KarAblak& k, std::string_view name, std::string_view value);

// Outline, title and every field, each line cleared before it is written.
void DrawKarAblak(const KarAblak& k, GraphSurface& g);

// A rectangle of surface pixels, corners included.
struct PixelBox {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// The pixels the named field's value can touch when the panel is drawn: one
// text line from the value's first character to the panel's right edge.
// Whatever differs between two values of the field lies inside it. False
// when the panel has no such field.
bool FieldValueBox(const KarAblak& k, const GraphSurface& g, std::string_view name, PixelBox& box);
