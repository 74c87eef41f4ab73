// The lesson page's core: the experiment room (src/experiment) behind a small
// embind binding, so that a run in the page is the batch runner's run move
// for move and its table the batch runner's table. One run per instance, a
// static record set up by setUp and moved by step; the page (web/lesson.js)
// draws its own view from grid() and measures().
//
// The page's form reads its numbers here, as the dialog reads them, and
// takes the parameters' kinds and ranges from here. The page keeps the
// samples; it formats their rows here when the table is asked for.
#include <emscripten/bind.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "display/picture.h"       // Required for: PictureColour
#include "display/reactor_view.h"  // Required for: ReactorCellColour
#include "experiment/parameters.h"
#include "experiment/run.h"
#include "experiment/table.h"
#include "experiment/version.h"

namespace {

// Its bytes carry the run from one instance of this module to another (record()).
Run run;
std::uint8_t cells[GridSide * GridSide];  // grid(): (N+2) x (M+2), row by row

struct ReadValue {
  ValueVerdict verdict;
  double value;  // NaN when no number was read
};

// A form field's text as parameter `name` (a decimal comma as a point,
// blanks around it dropped); its range checked, not K's N*M.
ReadValue ReadField(const std::string& name, const std::string& text) {
  const int index = ParameterNamed(name);
  double value = NAN;
  if (index < 0) return {ValueVerdict::Malformed, value};
  const ValueVerdict verdict = ReadParameter(index, text, NumberSyntax::Typed, value);
  if (verdict == ValueVerdict::Malformed) value = NAN;
  return {verdict, value};
}

// The parameters in their order: name, kind ("integer", "real", "seed"), low
// and high (inclusive; K also at most N*M).
emscripten::val DescribeParameters() {
  emscripten::val list = emscripten::val::array();
  for (const ParameterInfo& p : Parameters) {
    emscripten::val entry = emscripten::val::object();
    entry.set("name", p.name);
    entry.set("kind", p.kind == ParameterKind::Real      ? "real"
                      : p.kind == ParameterKind::Integer ? "integer"
                                                         : "seed");
    entry.set("low", p.low);
    entry.set("high", p.high);
    list.call<void>("push", entry);
  }
  return list;
}

// A run of the eight values in the parameters' order; false, and nothing
// set up, when the set is refused (the page checks its form first).
bool SetUp(double N, double M, double K, double Ah, double Kh, double G, double rSz,
           double seed) {
  const ParameterValues values{{N, M, K, Ah, Kh, G, rSz, seed}};
  if (CheckParameters(values).parameter >= 0) return false;
  SimParams params;
  std::uint32_t s = 0;
  ToSimParams(values, params, s);
  SetUpRun(run, params, s);
  return true;
}

// Up to n moves, ending at the next sample's T (a multiple of the sample
// interval) if it comes first, so that the page can take the sample there;
// the moves made. Fewer when the run froze or T reached its limit.
int Step(int n) {
  return StepRun(run, std::min<std::int64_t>(n, MovesToNextSample(run.T, DefaultSampleEvery))).moves;
}

struct MeasuresForPage {
  int bottom, wall_contacts, interface;
  double mean_row;
};

MeasuresForPage CurrentMeasures() {
  const Measures m = MeasureRun(run);
  return {m.bottom, m.wallContacts, m.interface, m.meanRow};
}

std::string TableHeader() {
  char line[TableLineCapacity];
  FormatTableHeader(line);
  return line;
}

// The table's row of a sample the page took of this run at T: the run's
// current T is the moves asked for, as the batch runner's --steps, and the
// row at the current T says why the run ended there (frozen, or its steps).
std::string TableRowAt(int T, const MeasuresForPage& m) {
  TableRow row;
  row.params = run.reactor.params;
  row.seed = run.reactor.random.seed;
  row.T = T;
  row.measures = Measures{m.bottom, m.wall_contacts, m.interface, m.mean_row};
  MarkRunEnd(row, T == run.T, run.frozen, run.T);
  row.steps = run.T;
  row.sampleEvery = DefaultSampleEvery;
  char line[TableLineCapacity];
  FormatTableRow(line, row);
  return line;
}

// The cells of rows 0..N+1, columns 0..M+1: 0 wall, 1 empty, 2 particle. The
// view is valid until the next call.
emscripten::val Grid() {
  const Reactor& r = run.reactor;
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
  return emscripten::val(
      emscripten::typed_memory_view(sizeof run, reinterpret_cast<std::uint8_t*>(&run)));
}

// The classic screen's colour of a cell state, as 0xRRGGBB.
int CellRgb(int state) {
  const PaletteRgb c = PictureColour(ReactorCellColour(state));
  return c.red << 16 | c.green << 8 | c.blue;
}

}  // namespace

EMSCRIPTEN_BINDINGS(lemvaris_lesson) {
  using namespace emscripten;
  enum_<ValueVerdict>("ValueVerdict")
      .value("Accepted", ValueVerdict::Accepted)
      .value("Malformed", ValueVerdict::Malformed)
      .value("OutOfRange", ValueVerdict::OutOfRange)
      .value("DecimalComma", ValueVerdict::DecimalComma)
      .value("AboveCells", ValueVerdict::AboveCells);
  value_object<ReadValue>("ReadValue")
      .field("verdict", &ReadValue::verdict)
      .field("value", &ReadValue::value);
  value_object<MeasuresForPage>("Measures")
      .field("bottom", &MeasuresForPage::bottom)
      .field("wall_contacts", &MeasuresForPage::wall_contacts)
      .field("interface", &MeasuresForPage::interface)
      .field("mean_row", &MeasuresForPage::mean_row);
  function("parameters", &DescribeParameters);
  function("readParameter", &ReadField);
  function("setUp", &SetUp);
  function("step", &Step);
  function("T", +[] { return static_cast<int>(run.T); });
  function("frozen", +[] { return run.frozen; });
  function("atLimit", +[] { return run.T == MaxT; });
  function("measures", &CurrentMeasures);
  function("sampleEvery", +[] { return static_cast<int>(DefaultSampleEvery); });
  function("tableHeader", &TableHeader);
  function("tableRow", &TableRowAt);
  function("version", +[] { return std::string(LemvarisVersion()); });
  function("grid", &Grid);
  function("record", &Record);
  function("cellRgb", &CellRgb);
}
