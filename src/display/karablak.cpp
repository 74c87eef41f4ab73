#include "display/karablak.h"

#include <algorithm>  // Required for: std::min

#include "platform/program_exit.h"

namespace {

// Left edge of the fields' text, from the panel's left edge.
constexpr int FieldIndent = 10;

// Top of field line i (1-based) in the field viewport, which starts one
// title line below the panel's top.
int FieldLineTop(const GraphSurface& g, int i) { return i * (TitleLineHeight(g) + 5); }

}  // namespace

void InitKarAblak(KarAblak& k, std::uint16_t x1, std::uint16_t y1, std::uint16_t x2,
                  std::uint16_t y2, std::string_view title, std::uint8_t colour) {
  k.header.x1 = x1;
  k.header.y1 = y1;
  k.header.x2 = x2;
  k.header.y2 = y2;
  Assign(k.header.title, title);
  k.colour = colour;
  k.fieldCount = 0;
}

void AddField(KarAblak& k, std::string_view name, std::string_view value) {
  if (k.fieldCount >= KarAblakCapacity) {
    ShortString<255> message;
    Append(message, CP852("Túl sok mező ("));
    Append(message, name);
    Append(message, CP852(" nevű) az egyik KarAblak-ban!"));
    ExitProgram(1, message.view());
  }
  KarAblakField& f = k.fields[k.fieldCount++];
  Assign(f.name, name);
  Assign(f.value, value);
}

void SetField(KarAblak& k, std::string_view name, std::string_view value) {
  for (int i = 0; i < k.fieldCount; ++i) {
    if (k.fields[i].name.view() == name) {
      Assign(k.fields[i].value, value);
      return;
    }
  }
  ShortString<255> message;
  Append(message, CP852("Nem létező ("));
  Append(message, name);
  Append(message, CP852(" nevű) mező az egyik KarAblak-ban!"));
  ExitProgram(2, message.view());
}

void DrawKarAblak(const KarAblak& k, GraphSurface& g) {
  DrawWindowOutline(k.header, g);
  SetViewPort(g, k.header.x1, k.header.y1 + TitleLineHeight(g), k.header.x2, k.header.y2, true);
  for (int i = 1; i <= k.fieldCount; ++i) {
    const KarAblakField& f = k.fields[i - 1];
    SetFillStyle(g, EmptyFill, 0);
    Bar(g, FieldIndent, FieldLineTop(g, i), (k.header.x2 - k.header.x1) - FieldIndent,
        FieldLineTop(g, i + 1));
    ShortString<255> line;
    Append(line, f.name.view());
    Append(line, ":");
    Append(line, f.value.view());
    OutTextXY(g, FieldIndent, FieldLineTop(g, i), line.view());
  }
  SetViewPort(g, 0, 0, GetMaxX(g), GetMaxY(g), true);
  SetTextJustify(g, LeftText, TopText);
  SetFillStyle(g, SolidFill, GetMaxColor(g));
}

bool FieldValueBox(const KarAblak& k, const GraphSurface& g, std::string_view name, PixelBox& box) {
  for (int i = 1; i <= k.fieldCount; ++i) {
    const KarAblakField& f = k.fields[i - 1];
    if (f.name.view() != name) continue;
    // The line is "name:value"; the field viewport clips it at the panel's edges.
    const int nameWidth = TextWidth(g, f.name.view()) + TextWidth(g, ":");
    box.x1 = std::min(k.header.x1 + FieldIndent + nameWidth, static_cast<int>(k.header.x2) + 1);
    box.x2 = k.header.x2;
    box.y1 = k.header.y1 + TitleLineHeight(g) + FieldLineTop(g, i);
    box.y2 = std::min(box.y1 + TitleLineHeight(g) - 1, static_cast<int>(k.header.y2));
    return true;
  }
  return false;
}
