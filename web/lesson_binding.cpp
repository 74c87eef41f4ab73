// The lesson page's core: the simulation of src/sim behind a small embind
// binding, so that a run in the page is the native run move for move. One
// reactor per instance, a static record set up by setUp and moved by step;
// the page (web/lesson.js) draws its own view from grid() and measures().
//
// Numbers typed into the page's form are read here by the dialog's own
// readers, so a typed real becomes the double the program would read.
// The page keeps the samples; a sample row is formatted here, as the batch
// runner formats it, so the page's CSV is the batch runner's.
#include <emscripten/bind.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "display/reactor_view.h"  // Required for: ReactorCellColour
#include "display/screen.h"        // Required for: RefreshInterval
#include "text/number_read.h"
#include "platform/palette.h"
#include "sim/measures.h"
#include "sim/particle_move.h"
#include "sim/reactor.h"

namespace {

// The run: everything a move reads or writes, and nothing else, so that its
// bytes carry the run from one instance of this module to another (record()).
struct Lesson {
  Reactor reactor;
  std::int32_t T = 0;
  bool frozen = false;  // no particle can move any more
};

Lesson lesson;
std::uint8_t cells[GridSide * GridSide];  // grid(): (N+2) x (M+2), row by row

// A form field's text: the whole text is the number, blanks around it aside.
bool WholeToken(const std::string& text, std::string_view& token) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return false;
  const auto last = text.find_last_not_of(" \t");
  token = std::string_view(text).substr(first, last - first + 1);
  for (char c : token)
    if (static_cast<unsigned char>(c) <= ' ') return false;
  return true;
}

// An integer as the dialog reads it; NaN when malformed.
double ReadInteger(const std::string& text) {
  std::string_view token;
  std::int32_t value = 0;
  if (!WholeToken(text, token) || ParseInteger(token, value) != NumberRead::Number) return NAN;
  return value;
}

// A real as the dialog reads it ("0,5" is 0.5); NaN when malformed.
double ReadReal(const std::string& text) {
  std::string_view token;
  double value = 0.0;
  if (!WholeToken(text, token) || ParseReal(token, value) != NumberRead::Number) return NAN;
  return value;
}

// A seed: decimal digits of 0..4294967295, as the batch runner's --seed.
double ReadSeed(const std::string& text) {
  std::string_view token;
  std::uint32_t value = 0;
  if (!WholeToken(text, token)) return NAN;
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (error != std::errc() || end != token.data() + token.size()) return NAN;
  return value;
}

// The parameters must lie in their ranges (the page checks them first).
void SetUp(int N, int M, int K, double Ah, double Kh, double G, int rSz, double seed) {
  Reactor& r = lesson.reactor;
  r.params = SimParams{static_cast<std::int16_t>(N), static_cast<std::int16_t>(M),
                       static_cast<std::int16_t>(K), Ah, Kh, G, static_cast<std::int16_t>(rSz)};
  r.random = RandomSource{};
  r.random.seed = static_cast<std::uint32_t>(seed);
  r.redraw = CellRedrawHook{};
  r.attempts = 0;
  SetUpReactor(r);
  lesson.T = 0;
  lesson.frozen = false;
}

// Up to n moves, stopping after a sample's T (a multiple of the sample
// interval) so that the page can take the sample there; the moves made.
int Step(int n) {
  int made = 0;
  while (made < n && !lesson.frozen) {
    if (MoveParticle(lesson.reactor) == MoveResult::Frozen) {
      lesson.frozen = true;
      break;
    }
    ++made;
    if (++lesson.T % RefreshInterval == 0) break;
  }
  return made;
}

struct MeasuresForPage {
  int bottom, wall_contacts, interface;
  double mean_row;
};

MeasuresForPage CurrentMeasures() {
  const Measures m = MeasureReactor(lesson.reactor);
  return {m.bottom, m.wallContacts, m.interface, m.meanRow};
}

std::string SampleRow() {
  char row[SampleRowCapacity];
  FormatSampleRow(row, lesson.T, MeasureReactor(lesson.reactor));
  return row;
}

// The cells of rows 0..N+1, columns 0..M+1: 0 wall, 1 empty, 2 particle. The
// view is valid until the next call.
emscripten::val Grid() {
  const Reactor& r = lesson.reactor;
  const int rows = r.params.N + 2, columns = r.params.M + 2;
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column)
      cells[row * columns + column] = static_cast<std::uint8_t>(r.grid[row][column]);
  return emscripten::val(emscripten::typed_memory_view(rows * columns, cells));
}

// The run's bytes. The page's worker (lesson_worker.js) runs its own
// instance of this module: a run goes there and back as these bytes, which
// hold no pointer (the redraw hook stays null), and the record lies at the
// same address in every instance.
emscripten::val Record() {
  return emscripten::val(emscripten::typed_memory_view(
      sizeof lesson, reinterpret_cast<std::uint8_t*>(&lesson)));
}

// The classic screen's colour of a cell state, as 0xRRGGBB.
int CellRgb(int state) {
  const PaletteRgb c = StandardPalette[ReactorCellColour(state)];
  return c.red << 16 | c.green << 8 | c.blue;
}

}  // namespace

EMSCRIPTEN_BINDINGS(lemvaris_lesson) {
  using namespace emscripten;
  value_object<MeasuresForPage>("Measures")
      .field("bottom", &MeasuresForPage::bottom)
      .field("wall_contacts", &MeasuresForPage::wall_contacts)
      .field("interface", &MeasuresForPage::interface)
      .field("mean_row", &MeasuresForPage::mean_row);
  function("readInteger", &ReadInteger);
  function("readReal", &ReadReal);
  function("readSeed", &ReadSeed);
  function("setUp", &SetUp);
  function("step", &Step);
  function("T", +[] { return static_cast<int>(lesson.T); });
  function("frozen", +[] { return lesson.frozen; });
  function("measures", &CurrentMeasures);
  function("sampleRow", &SampleRow);
  function("sampleHeader", +[] { return std::string(SampleCsvHeader); });
  function("sampleInterval", +[] { return static_cast<int>(RefreshInterval); });
  function("grid", &Grid);
  function("record", &Record);
  function("cellRgb", &CellRgb);
}
