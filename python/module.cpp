// The compiled part of the Python module lemvaris: a Reactor is one run of
// the experiment room (experiment/), set up, moved, sampled, saved and
// described as every other front end does it, so that a run here is the
// batch runner's and the page's, move for move. Its screen is the quiet
// mode's (display/picture.h), drawn whole from the run when it is asked
// for. Every Reactor owns its records, so any number can live in one
// process; its moves let other Python threads run.
//
// Sections: set-up; moves; looks; pictures; states; the room's rules; the
// module's definition.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "arguments.h"
#include "display/picture.h"
#include "display/reactor_view.h"
#include "experiment/initial_grid.h"
#include "experiment/parameters.h"
#include "experiment/run.h"
#include "experiment/state_file.h"
#include "experiment/table.h"
#include "experiment/version.h"
#include "files.h"
#include "output/png_writer.h"

namespace {

// Moves made between two looks at Ctrl+C (and at a sampling's stop hook);
// the GIL is taken back only then.
constexpr std::int64_t MovesPerLook = 4096;

struct ReactorObject {
  Run run;
  std::unique_ptr<Picture> picture;  // made when a picture is first asked for
  // The cluster count's work space, made when clusters are first asked for
  // (a count is made with the GIL held: one at a time).
  mutable std::unique_ptr<ClusterWork> clusterWork;
  bool busy = false;  // moving without the GIL
};

// Every use but the moves themselves: refused while another thread moves it.
const ReactorObject& Idle(const ReactorObject& o) {
  if (o.busy) throw std::runtime_error("the reactor is stepping in another thread");
  return o;
}
ReactorObject& Idle(ReactorObject& o) {
  Idle(static_cast<const ReactorObject&>(o));
  return o;
}

// Marks the reactor busy for the scope of a stretch of moves.
struct Busy {
  ReactorObject& o;
  explicit Busy(ReactorObject& object) : o(Idle(object)) { o.busy = true; }
  ~Busy() { o.busy = false; }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;
};

// ------------------------------------------------------------- set-up
// A grid given as an array, its cells as the room reads them.
struct GivenGrid {
  std::vector<std::uint8_t> cells;
  GridCells view;
};

// initial as a grid the room accepts: TypeError for an array of anything
// but integers, ValueError naming the row, column and the room's reason.
void ReadInitialGrid(const py::handle& initial, GivenGrid& grid) {
  const py::array array = py::module_::import("numpy").attr("asarray")(initial);
  const char kind = array.dtype().kind();
  if (kind != 'i' && kind != 'u')
    throw py::type_error(
        "initial must be an array of integers (0 wall, 1 empty, 2 particle), not of " +
        std::string(py::str(array.dtype())));
  if (array.ndim() != 2)
    throw py::value_error("initial must be a 2-D array (rows, columns), not " +
                          std::to_string(array.ndim()) + "-D");
  // A side past the room's largest is refused by its size before any cell
  // is read, so a huge array is never copied.
  const auto side = [](py::ssize_t n) {
    return static_cast<std::int32_t>(std::min<py::ssize_t>(n, GridSide + 1));
  };
  const std::int32_t rows = side(array.shape(0)), columns = side(array.shape(1));
  grid.view = GridCells{nullptr, rows, columns, columns};
  if (rows >= 3 && columns >= 3 && rows <= GridSide && columns <= GridSide) {
    // Unsafe casting keeps every value outside 0..2 outside it (a uint64
    // past int64 turns negative); each becomes 3, refused at its cell.
    const py::array_t<std::int64_t, py::array::forcecast> values(array);
    const auto in = values.unchecked<2>();
    grid.cells.resize(static_cast<std::size_t>(rows) * columns);
    for (std::int32_t r = 0; r < rows; ++r)
      for (std::int32_t c = 0; c < columns; ++c) {
        const std::int64_t cell = in(r, c);
        grid.cells[r * columns + c] = static_cast<std::uint8_t>(cell >= 0 && cell <= 2 ? cell : 3);
      }
    grid.view.cells = grid.cells.data();
  }
  GridProblem problem;
  if (CheckInitialGrid(grid.view, problem)) return;
  if (problem.row < 0) throw py::value_error(std::string("initial: ") + problem.reason);
  throw py::value_error("initial: row " + std::to_string(problem.row) + ", column " +
                        std::to_string(problem.column) + ": " + problem.reason);
}

GivenParameters GivenSet(const IntArgument& N, const IntArgument& M, const IntArgument& K,
                         const Given<NumberHint>& Ah, const Given<NumberHint>& Kh,
                         const Given<NumberHint>& G, const IntArgument& rSz,
                         const IntArgument& seed) {
  return GivenParameters{
      {N.object, M.object, K.object, Ah.object, Kh.object, G.object, rSz.object, seed.object}};
}

std::unique_ptr<ReactorObject> MakeReactor(const GivenParameters& given,
                                           const py::handle& initial) {
  auto object = std::make_unique<ReactorObject>();
  if (initial.is_none()) {
    SimParams params;
    std::uint32_t seed = 0;
    ToSimParams(ReadParameterSet("Reactor()", given), params, seed);
    SetUpRun(object->run, params, seed);
    return object;
  }
  for (int i : {ParamN, ParamM, ParamK})
    if (!given.value[i].is_none())
      throw py::type_error(std::string(Parameters[i].name) +
                           " comes from initial; it may not be given too");
  GivenGrid grid;
  ReadInitialGrid(initial, grid);
  ParameterValues fromGrid;
  fromGrid.value[ParamN] = grid.view.rows - 2;
  fromGrid.value[ParamM] = grid.view.columns - 2;
  for (std::uint8_t cell : grid.cells) fromGrid.value[ParamK] += cell == 2;
  const ParameterValues values = ReadParameterSet("Reactor()", given, fromGrid, ParamAh);
  SimParams params;
  std::uint32_t seed = 0;
  ToSimParams(values, params, seed);
  SetUpRunFromGrid(object->run, grid.view, params.Ah, params.Kh, params.G, params.rSz, seed);
  return object;
}

// ------------------------------------------------------------- moves
// A count of moves from T: TypeError without __index__, ValueError when
// negative or when T would pass its limit.
std::int64_t MovesFrom(const ReactorObject& o, const IntArgument& given) {
  const py::int_ moves = WholeArgument("moves", given.object);
  if (moves < py::int_(0)) throw py::value_error("moves must not be negative, not " + Shown(moves));
  const std::int32_t T = o.run.T;
  if (py::int_(MaxT - T) < moves)
    throw py::value_error("T may reach at most " + std::to_string(MaxT) + "; it is " +
                          std::to_string(T) + ", and " + Shown(moves) + " moves would pass it");
  return moves.cast<std::int64_t>();
}

std::int64_t Step(ReactorObject& o, const IntArgument& given) {
  const std::int64_t moves = MovesFrom(Idle(o), given);
  std::int64_t made = 0;
  while (made < moves) {
    StepResult step;
    {
      Busy busy(o);
      py::gil_scoped_release release;
      step = StepRun(o.run, std::min(moves - made, MovesPerLook));
    }
    made += step.moves;
    if (step.stop != RunStop::Moves) break;
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();  // Ctrl+C: between two moves
  }
  return made;
}

// A stretch of moves sampled by the room's rule, as a Python iterator of the
// sample T's; the reactor stands at each when it is given.
struct SampleIterator {
  ReactorObject* o = nullptr;  // kept alive by the iterator (keep_alive)
  Sampling sampling;
  py::object stop;             // None, or called at every look
  std::int64_t sinceLook = 0;  // moves since the last look
};

SampleIterator StartSamples(ReactorObject& reactor, const IntArgument& moves,
                            const IntArgument& every, const Given<CallableHint>& stop) {
  ReactorObject& o = Idle(reactor);
  const std::int64_t count = MovesFrom(o, moves);
  const py::int_ interval = WholeArgument("every", every.object);
  if (interval < py::int_(1) || py::int_(MaxT) < interval)
    throw py::value_error("every must be from 1 to " + std::to_string(MaxT) + ", not " +
                          Shown(interval));
  if (!stop.object.is_none() && !PyCallable_Check(stop.object.ptr()))
    throw py::type_error("stop must be None or callable, not " + Shown(stop.object));
  return SampleIterator{&o, StartSampling(o.run, count, interval.cast<std::int32_t>()), stop.object,
                        0};
}

std::int32_t NextSampleT(SampleIterator& it) {
  Run& run = it.o->run;
  while (true) {
    const std::int32_t before = run.T;
    bool atSample = false;
    {
      Busy busy(*it.o);
      py::gil_scoped_release release;
      atSample = NextSample(run, it.sampling, MovesPerLook - it.sinceLook);
    }
    // Samples may come far more often than looks: the moves are counted.
    it.sinceLook += run.T - before;
    if (it.sinceLook >= MovesPerLook) {
      it.sinceLook = 0;
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
      if (!it.stop.is_none()) it.stop();  // what it raises ends the iteration
    }
    if (atSample) return run.T;
    if (it.sampling.ended) throw py::stop_iteration();
  }
}

// ------------------------------------------------------------- looks
// A read-only array, so that it never changes under its reader.
template <typename T>
py::array_t<T> ReadOnly(py::array_t<T> array) {
  array.attr("setflags")(py::arg("write") = false);
  return array;
}

py::array_t<std::uint8_t> GridArray(const ReactorObject& o) {
  const Reactor& reactor = Idle(o).run.reactor;
  const SimParams& p = reactor.params;
  py::array_t<std::uint8_t> grid({p.N + 2, p.M + 2});
  auto cells = grid.mutable_unchecked<2>();
  for (int r = 0; r <= p.N + 1; ++r)
    for (int c = 0; c <= p.M + 1; ++c) cells(r, c) = static_cast<std::uint8_t>(reactor.grid[r][c]);
  return ReadOnly(grid);
}

py::array_t<std::int64_t> RowCountArray(const ReactorObject& o) {
  const Reactor& reactor = Idle(o).run.reactor;
  const int rows = reactor.params.N + 2;
  const int counted = static_cast<int>(std::size(reactor.rowCounts));
  py::array_t<std::int64_t> counts(rows);
  auto out = counts.mutable_unchecked<1>();
  // The counts end at row 250; the bottom wall row N + 1 holds no particle.
  for (int r = 0; r < rows; ++r) out(r) = r < counted ? reactor.rowCounts[r] : 0;
  return ReadOnly(counts);
}

ClusterWork& WorkOf(const ReactorObject& o) {
  if (!o.clusterWork) o.clusterWork = std::make_unique<ClusterWork>();
  return *o.clusterWork;
}

Clusters ClustersOf(const ReactorObject& o) {
  return CountClusters(Idle(o).run.reactor, WorkOf(o));
}

// The four measures every table has, in its order, then the named ones.
constexpr const char* BuiltInMeasures[] = {"bottom", "wall_contacts", "interface", "mean_row"};
constexpr int BuiltInCount = 4;

std::string MeasureNamesText() {
  std::string text;
  for (const char* name : BuiltInMeasures) text += std::string(text.empty() ? "" : ", ") + name;
  for (const char* name : NamedMeasureNames) text += std::string(", ") + name;
  return text;
}

// The measures named (all four built-in ones when names is None), in the
// order named; the clusters counted once.
py::dict MeasureDict(const ReactorObject& o, const py::object& names) {
  const Measures m = MeasureRun(Idle(o).run);
  const py::object values[BuiltInCount] = {py::int_(m.bottom), py::int_(m.wallContacts),
                                           py::int_(m.interface), py::float_(m.meanRow)};
  py::dict d;
  if (names.is_none()) {
    for (int i = 0; i < BuiltInCount; ++i) d[BuiltInMeasures[i]] = values[i];
    return d;
  }
  if (py::isinstance<py::str>(names) || !py::isinstance<py::iterable>(names))
    throw py::type_error("names must be a list of measures' names, not " + Shown(names));
  bool counted = false;
  Clusters clusters;
  for (const py::handle name : names) {
    const std::string text = py::isinstance<py::str>(name) ? name.cast<std::string>() : "";
    int index = -1;
    for (int i = 0; i < BuiltInCount; ++i)
      if (text == BuiltInMeasures[i]) index = i;
    if (index >= 0) {
      d[name] = values[index];
      continue;
    }
    const int named = NamedMeasureIndex(text);
    if (named < 0 || text.empty())
      throw py::value_error("no measure is named " + Shown(name) + " (" + MeasureNamesText() + ")");
    if (!counted) clusters = ClustersOf(o);
    counted = true;
    d[name] = named == MeasureClusters ? clusters.count : clusters.largest;
  }
  return d;
}

py::dict ParameterDict(const ReactorObject& o) {
  const SimParams& p = o.run.reactor.params;
  py::dict d;
  d["N"] = p.N;
  d["M"] = p.M;
  d["K"] = p.K;
  d["Ah"] = p.Ah;
  d["Kh"] = p.Kh;
  d["G"] = p.G;
  d["rSz"] = p.rSz;
  return d;
}

std::string Describe(const ReactorObject& o) {
  const SimParams& p = o.run.reactor.params;
  char Ah[32], Kh[32], G[32];
  FormatReal(Ah, p.Ah);
  FormatReal(Kh, p.Kh);
  FormatReal(G, p.G);
  return "Reactor(N=" + std::to_string(p.N) + ", M=" + std::to_string(p.M) +
         ", K=" + std::to_string(p.K) + ", Ah=" + Ah + ", Kh=" + Kh + ", G=" + G +
         ", rSz=" + std::to_string(p.rSz) + ", seed=" + std::to_string(o.run.reactor.random.seed) +
         ") at T=" + std::to_string(o.run.T) + (o.run.frozen ? ", frozen" : "");
}

// ------------------------------------------------------------- pictures
const GraphSurface& DrawnSurface(ReactorObject& o) {
  Idle(o);
  if (!o.picture) {
    o.picture = std::make_unique<Picture>();
    StartPicture(*o.picture, o.run.reactor.params);
  }
  DrawPicture(*o.picture, o.run.reactor, o.run.T, o.run.chart);
  return o.picture->surface;
}

py::array_t<std::uint8_t> ScreenArray(ReactorObject& o) {
  const GraphSurface& g = DrawnSurface(o);
  py::array_t<std::uint8_t> screen({g.height, g.width});
  std::memcpy(screen.mutable_data(), g.pixels, static_cast<std::size_t>(g.width) * g.height);
  return screen;
}

// The PNG with text chunks that say what made it, as the batch runner's.
bool WriteScreenPng(ReactorObject& o, std::FILE* stream) {
  const GraphSurface& g = DrawnSurface(o);
  const std::string software = std::string("lemvaris ") + LemvarisVersion();
  char description[RunDescriptionCapacity];
  FormatRunDescription(description, o.run.reactor.params, o.run.reactor.random.seed, o.run.T);
  const PngText texts[] = {{"Software", software.c_str()}, {"Description", description}};
  return WritePngStream(g, stream, texts, 2);
}

// The rules of lemvaris-batch --png: the file whole, or the old one untouched.
void SavePng(ReactorObject& o, const PathArgument& path) {
  const std::string name = FileNameBytes("path", path.object);
  CheckFileTargets({name});  // before any work
  WriteWholeFile(name, [&](std::FILE* stream) { return WriteScreenPng(o, stream); });
}

py::bytes PngBytes(ReactorObject& o) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&buffer, &size);
  if (stream == nullptr) throw std::bad_alloc();
  const bool written = WriteScreenPng(o, stream);
  std::fclose(stream);
  std::unique_ptr<char, decltype(&std::free)> owned(buffer, &std::free);
  if (!written) throw std::runtime_error("the picture could not be made");
  return py::bytes(buffer, size);
}

// ------------------------------------------------------------- states
// The run, not its picture: a copy draws its own when asked.
std::unique_ptr<ReactorObject> Copy(const ReactorObject& o) {
  auto copy = std::make_unique<ReactorObject>();
  copy->run = Idle(o).run;
  return copy;
}

py::bytes StateOf(const ReactorObject& o) {
  auto state = std::make_unique<StateBytes>();
  EncodeRunState(Idle(o).run, *state);
  return py::bytes(reinterpret_cast<const char*>(state->bytes), state->size);
}

// A reactor from a state's bytes; false with the room's reason.
std::unique_ptr<ReactorObject> FromState(const std::string& bytes, const char*& reason) {
  auto object = std::make_unique<ReactorObject>();
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  if (!DecodeRunState(data, bytes.size(), object->run, reason)) return nullptr;
  return object;
}

std::unique_ptr<ReactorObject> Unpickle(const py::object& state) {
  const char* reason = "not bytes";
  std::unique_ptr<ReactorObject> object;
  if (py::isinstance<py::bytes>(state)) object = FromState(state.cast<std::string>(), reason);
  if (!object) throw py::value_error(std::string("not the state of a Reactor: ") + reason);
  return object;
}

void Save(const ReactorObject& o, const PathArgument& path) {
  const std::string name = FileNameBytes("path", path.object);
  CheckFileTargets({name});
  const py::bytes state = StateOf(o);
  const std::string_view bytes = state;
  WriteWholeFile(name, [&](std::FILE* stream) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
  });
}

std::unique_ptr<ReactorObject> Load(const PathArgument& path) {
  const std::string name = FileNameBytes("path", path.object);
  // Python's open, for its OSErrors; never more than one state's bytes.
  const py::object file = py::module_::import("io").attr("open")(py::bytes(name), "rb");
  py::object content;
  try {
    content = file.attr("read")(StateCapacity + 1);
  } catch (...) {
    file.attr("close")();
    throw;
  }
  file.attr("close")();
  const char* reason = "";
  auto object = FromState(content.cast<std::string>(), reason);
  if (!object) RaiseValueError("cannot load \"" + name + "\": " + reason);
  return object;
}

// ------------------------------------------------------------- the room's rules
// One number of a command line read as a parameter, as the batch runner reads
// it: ValueError worded by the room, behind prefix ("--" names the option).
py::object ReadParameterText(const std::string& name, const py::str& text,
                             const std::string& prefix) {
  const int index = ParameterNamed(name);
  if (index < 0) throw py::value_error("no parameter is named " + Shown(py::str(name)));
  // Undecodable bytes of a command line stay bytes, refused as malformed.
  const std::string bytes = text.attr("encode")("utf-8", "surrogateescape").cast<std::string>();
  ParameterValues values;
  double& value = values.value[index];
  const ValueVerdict verdict = ReadParameter(index, bytes, NumberSyntax::CommandLine, value);
  if (verdict != ValueVerdict::Accepted) {
    std::size_t cut = std::min<std::size_t>(bytes.size(), 80);
    while (cut > 0 && cut < bytes.size() && (bytes[cut] & 0xC0) == 0x80) --cut;
    const std::string shown = "\"" + bytes.substr(0, cut) + "\"";
    char message[RefusalMessageCapacity];
    DescribeRefusal(message, {index, verdict}, values, prefix, shown, bytes);
    RaiseValueError(message);
  }
  if (Parameters[index].kind == ParameterKind::Real) return py::float_(value);
  return py::int_(static_cast<long long>(value));
}

py::tuple ParameterDescription() {
  py::list out;
  for (const ParameterInfo& p : Parameters) {
    py::dict d;
    const bool real = p.kind == ParameterKind::Real;
    d["name"] = p.name;
    d["kind"] = real ? "real" : p.kind == ParameterKind::Seed ? "seed" : "integer";
    d["low"] = real ? py::object(py::float_(p.low)) : py::int_(static_cast<long long>(p.low));
    d["high"] = real ? py::object(py::float_(p.high)) : py::int_(static_cast<long long>(p.high));
    d["meaning"] = p.meaning;
    out.append(d);
  }
  return py::tuple(out);
}

// The table's columns up to mean_row after the parameters, in TableColumns' order.
enum DataColumn {
  ColumnT = ParameterCount,
  ColumnBottom,
  ColumnWallContacts,
  ColumnInterface,
  ColumnMeanRow,
  DataColumnCount
};
static_assert(std::string_view(TableColumns[ColumnT]) == "T");
static_assert(DataColumnCount == TableExtraAt);

// ValueError unless name may head a column of one's own.
void CheckColumnName(const py::handle& name) {
  if (!py::isinstance<py::str>(name))
    throw py::type_error("a column's name must be a str, not " + Shown(name));
  const char* problem = TableNameProblem(name.cast<std::string>());
  if (problem != nullptr) throw py::value_error(Shown(name) + " cannot name a column: " + problem);
}

// The columns the table adds after mean_row, checked: measures asked for by
// name and names of one's own, each once, at most TableExtraLimit.
std::vector<std::string> ExtraNames(const py::handle& extra) {
  std::vector<std::string> names;
  for (const py::handle name : extra) {
    if (!py::isinstance<py::str>(name) || NamedMeasureIndex(name.cast<std::string>()) < 0)
      CheckColumnName(name);
    names.push_back(name.cast<std::string>());
    if (std::count(names.begin(), names.end(), names.back()) > 1)
      throw py::value_error("the column " + names.back() + " is given twice");
  }
  if (names.size() > TableExtraLimit)
    throw py::value_error("a table adds at most " + std::to_string(TableExtraLimit) +
                          " columns, not " + std::to_string(names.size()));
  return names;
}

RunEnd StoppedOf(const py::handle& value, py::ssize_t row) {
  if (value.is_none()) return RunEnd::Unsaid;
  if (py::isinstance<py::str>(value)) {
    const std::string text = value.cast<std::string>();
    for (int i = 1; i < static_cast<int>(std::size(RunEndNames)); ++i)
      if (text == RunEndNames[i]) return static_cast<RunEnd>(i);
  }
  throw py::value_error("row " + std::to_string(row) + ": stopped is " + Shown(value) +
                        ", not steps, frozen, steady or empty");
}

// The table's rows from its columns (each an array of one value a row:
// frozen_at NaN where empty, stopped None where empty), as the batch runner
// writes them, header first; `extra` names the columns after mean_row.
py::str TableCsv(const py::dict& columns, const IntArgument& stepsGiven,
                 const IntArgument& everyGiven, const py::iterable& extra) {
  const py::int_ steps = WholeArgument("steps", stepsGiven.object);
  const py::int_ every = WholeArgument("sample_every", everyGiven.object);
  if (steps < py::int_(0) || py::int_(MaxT) < steps || every < py::int_(1) ||
      py::int_(MaxT) < every)
    throw py::value_error("steps must be from 0 and sample_every from 1 to " +
                          std::to_string(MaxT) + ", not " + Shown(steps) + " and " + Shown(every));
  const std::vector<std::string> extraNames = ExtraNames(extra);
  TableLayout layout;
  for (const std::string& name : extraNames) layout.extra[layout.extraCount++] = name.c_str();
  // The numeric columns: the data columns, the extra ones, frozen_at.
  std::vector<std::string> names(TableColumns, TableColumns + DataColumnCount);
  names.insert(names.end(), extraNames.begin(), extraNames.end());
  names.emplace_back("frozen_at");
  std::vector<py::array_t<double, py::array::forcecast>> data;
  py::ssize_t rows = -1;
  const auto check = [&rows](py::ssize_t length, const std::string& name) {
    if (rows >= 0 && length != rows)
      throw py::value_error("column " + name + " is not one value a row");
    rows = length;
  };
  for (const std::string& name : names) {
    if (!columns.contains(name)) throw py::value_error("no column " + name);
    data.emplace_back(columns[name.c_str()]);
    if (data.back().ndim() != 1)
      throw py::value_error("column " + name + " is not one value a row");
    check(data.back().shape(0), name);
  }
  if (!columns.contains("stopped")) throw py::value_error("no column stopped");
  const py::list stopped(columns["stopped"]);
  check(static_cast<py::ssize_t>(stopped.size()), "stopped");
  const int extraCount = layout.extraCount;
  const auto count = [](double v) { return v >= 0 && v <= MaxT && v == std::trunc(v); };
  std::string text;
  char line[TableLineCapacity];
  FormatTableHeader(line, layout);
  text += line;
  for (py::ssize_t r = 0; r < rows; ++r) {
    double at[DataColumnCount];
    for (int i = 0; i < DataColumnCount; ++i) at[i] = data[i].at(r);
    const double frozenAt = data[DataColumnCount + extraCount].at(r);
    ParameterValues values;
    std::copy(at, at + ParameterCount, values.value);
    if (CheckParameters(values).parameter >= 0 || !count(at[ColumnT]) || !count(at[ColumnBottom]) ||
        !count(at[ColumnWallContacts]) || !count(at[ColumnInterface]) ||
        !(std::isnan(frozenAt) || count(frozenAt)))
      throw py::value_error("row " + std::to_string(r) + " is not a run's sample");
    TableRow row;
    ToSimParams(values, row.params, row.seed);
    row.T = static_cast<std::int32_t>(at[ColumnT]);
    row.measures = Measures{static_cast<std::int32_t>(at[ColumnBottom]),
                            static_cast<std::int32_t>(at[ColumnWallContacts]),
                            static_cast<std::int32_t>(at[ColumnInterface]), at[ColumnMeanRow]};
    for (int k = 0; k < extraCount; ++k) row.extra[k] = data[DataColumnCount + k].at(r);
    row.frozenAt = std::isnan(frozenAt) ? -1 : static_cast<std::int32_t>(frozenAt);
    row.stopped = StoppedOf(stopped[r], r);
    row.steps = steps.cast<std::int32_t>();
    row.sampleEvery = every.cast<std::int32_t>();
    FormatTableRow(line, row, layout);
    text += line;
  }
  return py::str(text);
}

py::array_t<std::uint8_t> PaletteArray() {
  py::array_t<std::uint8_t> palette({PictureColourCount, 3});
  auto out = palette.mutable_unchecked<2>();
  for (int i = 0; i < PictureColourCount; ++i) {
    out(i, 0) = PictureColour(i).red;
    out(i, 1) = PictureColour(i).green;
    out(i, 2) = PictureColour(i).blue;
  }
  return ReadOnly(palette);
}

template <typename Names>
py::tuple NameTuple(const Names& names) {
  py::list list;
  for (const char* name : names) list.append(name);
  return py::tuple(list);
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  m.doc() = "The Lemvaris reactor, its measures and its screen, over the program's own code.";
  m.attr("__version__") = LemvarisVersion();
  m.attr("REFRESH_INTERVAL") = DefaultSampleEvery;
  m.attr("MAX_T") = MaxT;
  m.attr("SEED_LIMIT") = static_cast<long long>(SeedLimit);
  m.attr("PALETTE") = PaletteArray();
  m.attr("CELL_COLOURS") =
      py::make_tuple(ReactorCellColour(Wall), ReactorCellColour(Empty), ReactorCellColour(Particle));
  m.attr("PARAMETER_INFO") = ParameterDescription();
  m.attr("TABLE_COLUMNS") = NameTuple(TableColumns);
  m.attr("NAMED_MEASURES") = NameTuple(NamedMeasureNames);
  m.attr("STOP_REASONS") =
      NameTuple(std::vector<const char*>(RunEndNames + 1, std::end(RunEndNames)));

  const auto none = py::none();
  m.def(
      "check_parameters",
      [](const IntArgument& N, const IntArgument& M, const IntArgument& K,
         const Given<NumberHint>& Ah, const Given<NumberHint>& Kh, const Given<NumberHint>& G,
         const IntArgument& rSz, const IntArgument& seed) {
        ReadParameterSet("check_parameters()", GivenSet(N, M, K, Ah, Kh, G, rSz, seed));
      },
      py::arg("N") = none, py::arg("M") = none, py::arg("K") = none, py::arg("Ah") = none,
      py::arg("Kh") = none, py::arg("G") = none, py::arg("rSz") = none, py::kw_only(),
      py::arg("seed") = 0,
      "Raise TypeError or ValueError naming the first parameter that a Reactor would refuse.");
  m.def("read_parameter", &ReadParameterText, py::arg("name"), py::arg("text"), py::kw_only(),
        py::arg("prefix") = "--",
        "One number of a command line as parameter `name` reads it (a comma is never a\n"
        "decimal point there): an int or a float. ValueError in the batch runner's words,\n"
        "the parameter named behind `prefix`.");
  m.def("table_csv", &TableCsv, py::arg("columns"), py::arg("steps"), py::arg("sample_every"),
        py::arg("extra") = py::tuple(),
        "The table as lemvaris-batch writes it, header first: `columns` maps TABLE_COLUMNS\n"
        "up to stopped and the `extra` columns (after mean_row, in their order) to arrays\n"
        "of one value a row (frozen_at NaN where empty, stopped None where empty).");
  m.def("check_column_name", &CheckColumnName, py::arg("name"),
        "ValueError unless `name` may head a column of one's own: 1 to 40 letters, digits\n"
        "and _ (not a digit first), not a column every table has nor a named measure.");
  DefineFileFunctions(m);

  py::class_<SampleIterator>(m, "Samples",
                             "The iterator Reactor.samples returns: each next() moves the reactor\n"
                             "on to the next sample T and gives that T; StopIteration after the\n"
                             "last. It keeps its reactor alive; it is not made directly.")
      .def("__iter__", [](SampleIterator& it) -> SampleIterator& { return it; })
      .def("__next__", &NextSampleT);

  py::class_<ReactorObject> reactor(m, "Reactor", R"(A reactor set up as the program sets it up.

At T = 0: N rows and M columns (1 to 250), K particles (1 to N*M, at most 32767),
adhesion Ah, cohesion Kh and gravity G (-1 to 1), the radius of attraction
rSz (1 to 10), the random generator started from seed (0 to 4294967295; 0
is the program's own run). Or from initial, a (N+2, M+2) integer array of
cells (0 wall, 1 empty, 2 particle) framed by walls, which gives N, M and K:
no particle is placed at random. A parameter of the wrong type is a
TypeError naming it, a refused value a ValueError naming it.

copy.deepcopy, pickle and save/load give a reactor in the same state that
goes on with exactly the same moves; Jupyter shows a reactor as its screen.)");
  reactor.attr("__module__") = "lemvaris";
  reactor
      .def(py::init([](const IntArgument& N, const IntArgument& M, const IntArgument& K,
                       const Given<NumberHint>& Ah, const Given<NumberHint>& Kh,
                       const Given<NumberHint>& G, const IntArgument& rSz, const IntArgument& seed,
                       const Given<ArrayHint>& initial) {
             return MakeReactor(GivenSet(N, M, K, Ah, Kh, G, rSz, seed), initial.object);
           }),
           py::arg("N") = none, py::arg("M") = none, py::arg("K") = none, py::arg("Ah") = none,
           py::arg("Kh") = none, py::arg("G") = none, py::arg("rSz") = none, py::kw_only(),
           py::arg("seed") = 0, py::arg("initial") = none, "Set the reactor up (see the class).")
      .def("step", &Step, py::arg("moves"),
           "Make up to `moves` moves (T may reach 2147483647); fewer when the reactor\n"
           "freezes. Returns the moves made. Ctrl+C stops it between two moves.")
      .def("samples", &StartSamples, py::arg("moves"), py::arg("every") = DefaultSampleEvery,
           py::kw_only(), py::arg("stop") = none, py::keep_alive<0, 1>(),
           "Move on `moves` moves, stopping at each sample T: the first, every multiple\n"
           "of `every`, and the last (the moves made, or the T at which it froze), the\n"
           "T's of the batch runner's table rows. Returns a lemvaris._core.Samples, an\n"
           "iterator that makes the moves as it is read: `for T in r.samples(10000):`\n"
           "stands the reactor at each T in turn. stop(), when given, is called every\n"
           "few thousand moves; what it raises ends the iteration.")
      .def_property_readonly(
          "T", [](const ReactorObject& o) { return Idle(o).run.T; }, "Moves made so far.")
      .def_property_readonly(
          "frozen", [](const ReactorObject& o) { return Idle(o).run.frozen; },
          "True once a move found that no particle can ever move again.")
      .def_property_readonly(
          "attempts", [](const ReactorObject& o) { return Idle(o).run.reactor.attempts; },
          "Particle-and-target tries so far.")
      .def_property_readonly("parameters", &ParameterDict,
                             "The seven parameters as a dict (N, M, K, Ah, Kh, G, rSz).")
      .def_property_readonly(
          "seed", [](const ReactorObject& o) { return o.run.reactor.random.seed; },
          "The seed the random generator started from.")
      .def_property_readonly("grid", &GridArray,
                             "(N+2, M+2) read-only array: 0 wall, 1 empty, 2 particle.")
      .def_property_readonly("row_counts", &RowCountArray,
                             "Read-only array of the particles in each row 0..N+1.")
      .def_property_readonly(
          "bottom", [](const ReactorObject& o) { return MeasureRun(Idle(o).run).bottom; },
          "Particles in the bottom row N.")
      .def_property_readonly(
          "wall_contacts",
          [](const ReactorObject& o) { return MeasureRun(Idle(o).run).wallContacts; },
          "Particles with a wall among their eight neighbours.")
      .def_property_readonly(
          "interface", [](const ReactorObject& o) { return MeasureRun(Idle(o).run).interface; },
          "Particle-empty pairs of side-by-side cells: the liquid's surface.")
      .def_property_readonly(
          "mean_row", [](const ReactorObject& o) { return MeasureRun(Idle(o).run).meanRow; },
          "The particles' mean row: row 1 is the top row of the reactor, 0 the wall\n"
          "above it, so it grows as the liquid sinks.")
      .def_property_readonly(
          "clusters", [](const ReactorObject& o) { return ClustersOf(o).count; },
          "Clusters of particles, joined through the eight cells around each (not walls).")
      .def_property_readonly(
          "largest_cluster", [](const ReactorObject& o) { return ClustersOf(o).largest; },
          "Particles in the largest cluster.")
      .def("measures", &MeasureDict, py::arg("names") = none,
           "The measures as a dict: the four of every table (bottom, wall_contacts,\n"
           "interface, mean_row), or those named, in that order (also clusters and\n"
           "largest_cluster).")
      .def("screen", &ScreenArray,
           "The 640 x 480 screen in palette indices, as the quiet mode shows it at this T;\n"
           "lemvaris.PALETTE[r.screen()] is the picture in RGB.")
      .def("save_png", &SavePng, py::arg("path"),
           "The screen as lemvaris-batch --png writes it. A device, FIFO or folder is\n"
           "refused (OSError); the file is written beside the target and renamed in, an\n"
           "old file's permissions kept.")
      .def("_repr_png_", &PngBytes, "The PNG file save_png writes, for Jupyter.")
      .def("save", &Save, py::arg("path"),
           "The run's state, as lemvaris-batch --save-state writes it, under the rule of\n"
           "save_png: lemvaris-batch --load-state and Reactor.load continue it.")
      .def_static("load", &Load, py::arg("path"),
                  "A reactor that continues the run saved in the file (Reactor.save or\n"
                  "lemvaris-batch --save-state). ValueError naming the file when it is not\n"
                  "a whole state.")
      .def("__copy__", &Copy, "A reactor in the same state.")
      .def(
          "__deepcopy__", [](const ReactorObject& o, const py::object&) { return Copy(o); },
          py::arg("memo"), "A reactor in the same state.")
      .def(py::pickle([](const ReactorObject& o) -> py::object { return StateOf(o); }, &Unpickle))
      .def("__repr__", &Describe, "The parameters, the seed and T.");
}
