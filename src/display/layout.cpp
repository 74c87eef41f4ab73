#include "display/layout.h"

#include <cmath>

namespace {

constexpr auto KeyHelpText = CP852(" V/v: vége , L/l: lépésenként , N/n: normál , C/c: csendes ");

void WholeScreenViewport(GraphSurface& g) { SetViewPort(g, 0, 0, GetMaxX(g), GetMaxY(g), true); }

// " T:" followed by T, right-aligned in `width` characters (0: no padding).
ShortString<32> CounterText(std::int32_t T, int width) {
  ShortString<32> digits;
  AppendInt(digits, T);
  ShortString<32> s;
  Append(s, " T:");
  for (int i = digits.length; i < width; ++i) AppendChar(s, ' ');
  Append(s, digits.view());
  return s;
}

std::int16_t Scale(std::int16_t v, int max, int design) {
  long double product = static_cast<std::int32_t>(v) * static_cast<std::int32_t>(max);
  return static_cast<std::int16_t>(static_cast<std::int32_t>(std::trunc(product / design)));
}

}  // namespace

std::int16_t ScaleX(const GraphSurface& g, std::int16_t v) {
  return Scale(v, GetMaxX(g), DesignWidth);
}
std::int16_t ScaleY(const GraphSurface& g, std::int16_t v) {
  return Scale(v, GetMaxY(g), DesignHeight);
}

int CharWidth(const GraphSurface& g) { return TextWidth(g, " "); }
int TitleLineHeight(const GraphSurface& g) { return TextHeight(g, " "); }

void DrawWindowOutline(const WindowHeader& w, GraphSurface& g) {
  WholeScreenViewport(g);
  Rectangle(g, w.x1, w.y1, w.x2, w.y2);
  SetTextJustify(g, CenterText, TopText);
  OutTextXY(g, (w.x2 - w.x1) / 2 + w.x1, w.y1 + TitleLineHeight(g), w.title.view());
  SetTextJustify(g, LeftText, TopText);
}

void DrawScreenFrame(GraphSurface& g, std::string_view title) {
  const int cw = CharWidth(g);
  const int th = TitleLineHeight(g);
  const int maxX = GetMaxX(g);
  const int maxY = GetMaxY(g);
  const std::uint16_t w = static_cast<std::uint16_t>(title.size() * cw);

  SetTextJustify(g, CenterText, TopText);
  SetLineStyle(g, SolidLn, 0, ThickWidth);
  WholeScreenViewport(g);
  Rectangle(g, 6, 6, maxX - 5, maxY - 5);

  const int cx = maxX / 2;
  const int hh = th / 2;
  // Each box clears its area first, cutting the border beneath it.
  SetViewPort(g, cx - w / 2 - 8, 0, cx + w / 2 + 7, 2 * hh + 7, true);
  ClearViewPort(g);
  Rectangle(g, 4, 2, w + 9, 2 * hh + 5);
  OutTextXY(g, (w + 15) / 2, 4, title);

  SetTextJustify(g, LeftText, TopText);
  DrawStepCounterBox(g, 0);
  SetTextJustify(g, CenterText, TopText);

  const int wk = static_cast<int>(KeyHelpText.length) * cw;
  SetViewPort(g, cx - wk / 2 - 8, maxY - th - 6, cx + wk / 2 + 7, maxY, true);
  ClearViewPort(g);
  Rectangle(g, 2, 2, wk + 9, 2 * hh + 5);
  OutTextXY(g, (wk + 15) / 2, 4, KeyHelpText.view());
  SetTextJustify(g, LeftText, TopText);
}

void DrawStepCounterBox(GraphSurface& g, std::int32_t T) {
  const int cw = CharWidth(g);
  const int th = TitleLineHeight(g);
  const int wb = 12 * cw;
  ShortString<32> s = CounterText(T, 5);
  SetViewPort(g, GetMaxX(g) - wb - 8, 0, GetMaxX(g), th + 7, true);
  ClearViewPort(g);
  Rectangle(g, 2, 2, wb + 5, th + 5);
  OutTextXY(g, 4, 4, s.view());
  WholeScreenViewport(g);
}

void DrawTitleCounter(const WindowHeader& w, GraphSurface& g, std::int32_t T) {
  const int th = TitleLineHeight(g);
  const int wt = 16 * CharWidth(g);
  ShortString<32> s = CounterText(T, 0);
  SetViewPort(g, w.x1 + 4, w.y1 + th, w.x1 + 4 + wt, w.y1 + 2 * th + 1, true);
  ClearViewPort(g);
  WholeScreenViewport(g);
  OutTextXY(g, w.x1 + 2, w.y1 + th, s.view());
}
