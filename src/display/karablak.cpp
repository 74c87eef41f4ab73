#include "display/karablak.h"

#include "platform/program_exit.h"

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
  const int th = TitleLineHeight(g);
  const int pitch = th + 5;
  DrawWindowOutline(k.header, g);
  SetViewPort(g, k.header.x1, k.header.y1 + th, k.header.x2, k.header.y2, true);
  for (int i = 1; i <= k.fieldCount; ++i) {
    const KarAblakField& f = k.fields[i - 1];
    SetFillStyle(g, EmptyFill, 0);
    Bar(g, 10, i * pitch, (k.header.x2 - k.header.x1) - 10, (i + 1) * pitch);
    ShortString<255> line;
    Append(line, f.name.view());
    Append(line, ":");
    Append(line, f.value.view());
    OutTextXY(g, 10, i * pitch, line.view());
  }
  SetViewPort(g, 0, 0, GetMaxX(g), GetMaxY(g), true);
  SetTextJustify(g, LeftText, TopText);
  SetFillStyle(g, SolidFill, GetMaxColor(g));
}
