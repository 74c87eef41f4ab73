#include "runcontrol/dialog.h"

#include "experiment/parameters.h"
#include "platform/line_input.h"
#include "runcontrol/text_screens.h"

namespace {

// An integer answer is kept in its low 16 bits, as the parameter's type holds it.
std::int16_t Low16Bits(std::int32_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}

// Ask until the answer is a value of the parameter `index`, at most `most`
// (K's N*M); prompt writes the question.
template <typename Prompt>
std::int16_t AskInteger(Program& p, Prompt&& prompt, int index, double most) {
  for (;;) {
    prompt();
    std::int32_t answer = 0;
    if (!Readln(*p.platform, answer)) continue;
    const std::int16_t value = Low16Bits(answer);
    if (CheckParameter(index, value) == ValueVerdict::Accepted && value <= most) return value;
  }
}

double AskReal(Program& p, std::string_view prompt, int index) {
  for (;;) {
    Write(p.platform->console, prompt);
    double value = 0.0;
    if (Readln(*p.platform, value) && CheckParameter(index, value) == ValueVerdict::Accepted)
      return value;
  }
}

}  // namespace

void AskParameters(Program& p) {
  Console& c = p.platform->console;
  SimParams params;
  ShowTitleScreen(p, " Lemvaris ");

  auto boundedPrompt = [&](std::string_view text, std::int32_t bound) {
    return [&c, text, bound] {
      Write(c, text);
      Write(c, bound, 3);
      Write(c, "]");
    };
  };
  const auto high = [](int index) { return static_cast<std::int32_t>(Parameters[index].high); };
  params.N = AskInteger(
      p, boundedPrompt(CP852("A reakciótér függôleges mérete? [1-"), high(ParamN)), ParamN,
      high(ParamN));
  params.M = AskInteger(
      p, boundedPrompt(CP852("A reakciótér vizszintes mérete? [1-"), high(ParamM)), ParamM,
      high(ParamM));
  const std::int32_t cells = static_cast<std::int32_t>(params.N) * params.M;
  params.K = AskInteger(p, boundedPrompt(CP852("A részecskék száma? [1-"), cells), ParamK, cells);
  params.Ah = AskReal(p, CP852("Adhézió nagysága? [-1..1]"), ParamAh);
  params.Kh = AskReal(p, CP852("Kohézió nagysága? [-1..1]"), ParamKh);
  params.G =
      AskReal(p, CP852("A gravitáció nagysága (lefelé lépés valószinüsége) ? [-1..1]"), ParamG);
  params.rSz = AskInteger(p, [&c] { Write(c, CP852("Szomszédsági sugár? [1..10]")); }, ParamRSz,
                          high(ParamRSz));

  // The surface is opened only to learn its size; nothing is drawn or shown.
  InitGraph(*p.graph);
  ClearViewPort(*p.graph);
  std::int32_t imageSize = 0;
  if (!LayOutWindows(*p.screen, *p.graph, params, ModeNames[p.run.runMode], imageSize))
    ShowHistoryBufferError(p, imageSize);
  CloseGraph(*p.graph);

  SetUpRun(*p.experiment, params, 0);  // the program's own run: seed 0
  CopyRowCounts(*p.screen, p.experiment->reactor);
}
