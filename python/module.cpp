// The compiled part of the Python module lemvaris: the Reactor, a thin layer
// over the simulation core (sim/) and the quiet mode's screen (display/
// picture.h). Every Reactor owns its own records, so any number can live in
// one process; step() lets other Python threads run while it moves. A
// Reactor is a value: copies and pickles go on with the very same moves.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "arguments.h"
#include "display/picture.h"
#include "files.h"
#include "output/png_writer.h"
#include "platform/palette.h"
#include "sim/measures.h"
#include "sim/particle_move.h"
#include "sim/reactor.h"

namespace {

// Moves made between two looks at Ctrl+C; the GIL is taken back only then.
constexpr long long MovesPerSignalCheck = 4096;
// T is the program's signed 32-bit step counter.
constexpr long long StepLimit = INT32_MAX;
// Seeds are the generator's 32-bit words.
constexpr long long SeedLimit = UINT32_MAX;

// What one Python Reactor owns: plain records only, so that a copy of its
// bytes is a reactor in the same state.
struct ReactorObject {
  Reactor reactor;
  Picture picture;
  std::int32_t T = 0;
  bool frozen = false;
  bool busy = false;  // step() is running without the GIL
};
static_assert(std::is_trivially_copyable_v<ReactorObject>);

const Signature ReactorSignature{"Reactor()", {"N", "M", "K", "Ah", "Kh", "G", "rSz"}, 7, {"seed"}};
const Signature ParametersSignature{"check_parameters()", ReactorSignature.positional, 7, {}};

// The shortest text that reads back as the same double, as Python's repr.
std::string Number(double value) {
  char text[40];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

double Strength(const char* name, const py::handle& value) {
  const double strength = NumberArgument(name, value);
  if (!(strength >= -StrengthLimit && strength <= StrengthLimit))
    RefuseValue(std::string(name) + " must be a number from -1 to 1, not " + Shown(value));
  return strength;
}

// The seven parameters in the dialog's ranges, as the batch runner checks
// them; the first outside its range is named.
SimParams CheckedParams(const std::vector<py::object>& v) {
  const long long N = WholeInRange("N", v[0], 1, ReactorLimit);
  const long long M = WholeInRange("M", v[1], 1, ReactorLimit);
  const long long K = WholeInRange("K", v[2], 1, ParticleLimit);
  SimParams p;
  p.Ah = Strength("Ah", v[3]);
  p.Kh = Strength("Kh", v[4]);
  p.G = Strength("G", v[5]);
  p.rSz = static_cast<std::int16_t>(WholeInRange("rSz", v[6], 1, RadiusLimit));
  if (K > N * M)
    RefuseValue("K must be at most N*M = " + std::to_string(N * M) + ", not " + std::to_string(K));
  p.N = static_cast<std::int16_t>(N);
  p.M = static_cast<std::int16_t>(M);
  p.K = static_cast<std::int16_t>(K);
  return p;
}

std::unique_ptr<ReactorObject> MakeReactor(const py::args& args, const py::kwargs& kwargs) {
  const std::vector<py::object> v = BindArguments(ReactorSignature, args, kwargs);
  auto object = std::make_unique<ReactorObject>();
  object->reactor.params = CheckedParams(v);
  object->reactor.random.seed =
      v[7] ? static_cast<std::uint32_t>(WholeInRange("seed", v[7], 0, SeedLimit)) : 0;
  SetUpReactor(object->reactor);
  StartPicture(object->picture, object->reactor);
  return object;
}

// Every use but step() itself: refused while another thread steps.
const ReactorObject& Idle(const ReactorObject& o) {
  if (o.busy) throw std::runtime_error("the reactor is stepping in another thread");
  return o;
}

// Up to `moves` moves, the picture kept up to date; the moves made.
long long MoveWithPicture(ReactorObject& o, long long moves) {
  long long made = 0;
  while (made < moves) {
    if (MoveParticle(o.reactor) == MoveResult::Frozen) {
      o.frozen = true;
      break;
    }
    ++o.T;
    ++made;
    UpdatePicture(o.picture, o.reactor, o.T);
  }
  return made;
}

long long Step(ReactorObject& o, const py::args& args, const py::kwargs& kwargs) {
  Idle(o);
  const py::int_ asked =
      WholeArgument("moves", BindArguments({"step()", {"moves"}, 1, {}}, args, kwargs)[0]);
  if (asked < py::int_(0)) RefuseValue("moves must not be negative, not " + Shown(asked));
  if (py::int_(StepLimit - o.T) < asked)
    RefuseValue("T may reach at most " + std::to_string(StepLimit) + "; it is " +
                std::to_string(o.T) + ", and " + Shown(asked) + " moves would pass it");
  const long long moves = asked.cast<long long>();
  long long made = 0;
  o.busy = true;
  while (made < moves && !o.frozen) {
    const long long chunk = std::min(moves - made, MovesPerSignalCheck);
    {
      py::gil_scoped_release release;
      made += MoveWithPicture(o, chunk);
    }
    if (PyErr_CheckSignals() != 0) {  // Ctrl+C: stop between two moves
      o.busy = false;
      throw py::error_already_set();
    }
  }
  o.busy = false;
  return made;
}

// A read-only copy, so that the array never changes under its reader.
template <typename T>
py::array_t<T> ReadOnly(py::array_t<T> array) {
  array.attr("setflags")(py::arg("write") = false);
  return array;
}

py::array_t<std::uint8_t> Grid(const ReactorObject& o) {
  const SimParams& p = Idle(o).reactor.params;
  py::array_t<std::uint8_t> grid({p.N + 2, p.M + 2});
  auto cells = grid.mutable_unchecked<2>();
  for (int r = 0; r <= p.N + 1; ++r)
    for (int c = 0; c <= p.M + 1; ++c)
      cells(r, c) = static_cast<std::uint8_t>(o.reactor.grid[r][c]);
  return ReadOnly(grid);
}

py::array_t<std::int64_t> RowCountArray(const ReactorObject& o) {
  const SimParams& p = Idle(o).reactor.params;
  py::array_t<std::int64_t> counts(p.N + 2);
  auto out = counts.mutable_unchecked<1>();
  // RowCounts ends at row 250; the bottom wall row N + 1 holds no particle.
  for (int r = 0; r <= p.N + 1; ++r) out(r) = r < RowCountLength ? o.reactor.rowCounts[r] : 0;
  return ReadOnly(counts);
}

py::dict MeasureDict(const ReactorObject& o) {
  const Measures m = MeasureReactor(Idle(o).reactor);
  py::dict d;
  d["bottom"] = m.bottom;
  d["wall_contacts"] = m.wallContacts;
  d["interface"] = m.interface;
  d["mean_row"] = m.meanRow;
  return d;
}

// The picture at this T after its full refresh.
const GraphSurface& RefreshedSurface(ReactorObject& o) {
  Idle(o);
  FinishPicture(o.picture, o.reactor, o.T);
  return o.picture.surface;
}

py::array_t<std::uint8_t> ScreenArray(ReactorObject& o) {
  const GraphSurface& g = RefreshedSurface(o);
  py::array_t<std::uint8_t> screen({g.height, g.width});
  std::memcpy(screen.mutable_data(), g.pixels, static_cast<std::size_t>(g.width) * g.height);
  return screen;
}

// The rules of lemvaris-batch --png: the file whole, or the old one untouched.
void SavePng(ReactorObject& o, const py::args& args, const py::kwargs& kwargs) {
  const py::object path = BindArguments({"save_png()", {"path"}, 1, {}}, args, kwargs)[0];
  const std::string name = FileNameBytes("path", path);
  CheckFileTargets({name});  // before any work
  const GraphSurface& g = RefreshedSurface(o);
  WriteWholeFile(name, [&](std::FILE* stream) { return WritePngStream(g, stream); });
}

// The bytes save_png writes, for Jupyter.
py::bytes PngBytes(ReactorObject& o) {
  const GraphSurface& g = RefreshedSurface(o);
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&buffer, &size);
  if (stream == nullptr) throw std::bad_alloc();
  const bool written = WritePngStream(g, stream);
  std::fclose(stream);
  std::unique_ptr<char, decltype(&std::free)> owned(buffer, &std::free);
  if (!written) throw std::runtime_error("the picture could not be made");
  return py::bytes(buffer, size);
}

py::dict Parameters(const ReactorObject& o) {
  const SimParams& p = o.reactor.params;
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
  const SimParams& p = o.reactor.params;
  return "Reactor(N=" + std::to_string(p.N) + ", M=" + std::to_string(p.M) + ", K=" +
         std::to_string(p.K) + ", Ah=" + Number(p.Ah) + ", Kh=" + Number(p.Kh) + ", G=" +
         Number(p.G) + ", rSz=" + std::to_string(p.rSz) + ", seed=" +
         std::to_string(o.reactor.random.seed) + ") at T=" + std::to_string(o.T) +
         (o.frozen ? ", frozen" : "");
}

// A pickled reactor: its records' bytes, compressed, under the layout they
// were written with; another layout (another build) is refused.
constexpr int StateVersion = 1;
const std::string StateLayout = "ReactorObject " + std::to_string(sizeof(ReactorObject)) +
                                " Reactor " + std::to_string(sizeof(Reactor)) + " Picture " +
                                std::to_string(sizeof(Picture)) + " MoveState " +
                                std::to_string(sizeof(MoveState));

py::tuple SaveState(const ReactorObject& o) {
  const py::bytes image(reinterpret_cast<const char*>(&Idle(o)), sizeof o);
  return py::make_tuple(StateVersion, StateLayout,
                        py::module_::import("zlib").attr("compress")(image, 1));
}

std::unique_ptr<ReactorObject> LoadState(const py::tuple& state) {
  const auto refuse = [] { RefuseValue("not the state of a Reactor of this build of lemvaris"); };
  if (state.size() != 3 || !py::isinstance<py::int_>(state[0]) ||
      state[0].cast<int>() != StateVersion || !py::isinstance<py::str>(state[1]) ||
      state[1].cast<std::string>() != StateLayout || !py::isinstance<py::bytes>(state[2]))
    refuse();
  // Never more than one record's bytes, whatever the state holds.
  std::string image;
  try {
    py::object inflate = py::module_::import("zlib").attr("decompressobj")();
    image = inflate.attr("decompress")(state[2], sizeof(ReactorObject) + 1).cast<py::bytes>();
    if (!inflate.attr("eof").cast<bool>()) refuse();
  } catch (const py::error_already_set&) {
    refuse();
  }
  if (image.size() != sizeof(ReactorObject)) refuse();
  auto object = std::make_unique<ReactorObject>();
  std::memcpy(static_cast<void*>(object.get()), image.data(), sizeof(ReactorObject));
  ReactorObject& o = *object;
  const SimParams& p = o.reactor.params;
  if (p.N < 1 || p.N > ReactorLimit || p.M < 1 || p.M > ReactorLimit || p.K < 1 ||
      p.K > p.N * p.M || p.rSz < 1 || p.rSz > RadiusLimit || o.T < 0 || o.busy)
    refuse();
  // This machine's vector code; the move's caches are rebuilt from the grid.
  o.reactor.random.simd = DetectSimd();
  o.reactor.move.simd = o.reactor.random.simd;
  o.reactor.move.built = false;
  o.reactor.redraw = CellRedrawHook{};
  return object;
}

py::array_t<std::uint8_t> PaletteArray() {
  py::array_t<std::uint8_t> palette({PaletteSize, 3});
  auto out = palette.mutable_unchecked<2>();
  for (int i = 0; i < PaletteSize; ++i) {
    out(i, 0) = StandardPalette[i].red;
    out(i, 1) = StandardPalette[i].green;
    out(i, 2) = StandardPalette[i].blue;
  }
  return ReadOnly(palette);
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  // Each docstring opens with the call as Python code writes it.
  py::options options;
  options.disable_function_signatures();
  m.doc() = "The Lemvaris reactor, its measures and its screen, over the program's own code.";
  m.attr("REFRESH_INTERVAL") = RefreshInterval;
  m.attr("SEED_LIMIT") = SeedLimit;
  m.attr("PALETTE") = PaletteArray();
  m.def(
      "check_parameters",
      [](const py::args& args, const py::kwargs& kwargs) {
        CheckedParams(BindArguments(ParametersSignature, args, kwargs));
      },
      "check_parameters(N, M, K, Ah, Kh, G, rSz)\n\nRaise TypeError or ValueError naming the "
      "first parameter that is not a number in the dialog's ranges.");
  DefineFileFunctions(m);

  py::class_<ReactorObject> reactor(m, "Reactor", R"(Reactor(N, M, K, Ah, Kh, G, rSz, *, seed=0)

A reactor set up exactly as the program sets it up, at T = 0: N rows and M
columns (1 to 250), K particles (1 to N*M, at most 32767), adhesion Ah,
cohesion Kh and gravity G (-1 to 1), the radius of attraction rSz (1 to 10),
the random generator started from seed (0 to 4294967295; 0 is the program's
own run). A parameter of the wrong type is a TypeError naming it, one outside
its range a ValueError naming it.

copy.deepcopy and pickle give a reactor in the same state that goes on with
exactly the same moves; Jupyter shows a reactor as its screen.)");
  reactor.attr("__module__") = "lemvaris";
  reactor
      .def(py::init(&MakeReactor),
           "__init__(N, M, K, Ah, Kh, G, rSz, *, seed=0)\n\nSet the reactor up (see the class).")
      .def("step", &Step,
           "step(moves) -> int\n\nMake up to `moves` moves (T may reach 2147483647); fewer when\n"
           "the reactor freezes. Returns the moves made. Ctrl+C stops it between\ntwo moves.")
      .def_property_readonly("T", [](const ReactorObject& o) { return Idle(o).T; },
                             "Moves made so far.")
      .def_property_readonly("frozen", [](const ReactorObject& o) { return Idle(o).frozen; },
                             "True once a step found that no particle can ever move again.")
      .def_property_readonly("attempts",
                             [](const ReactorObject& o) { return Idle(o).reactor.attempts; },
                             "Particle-and-target tries so far.")
      .def_property_readonly("parameters", &Parameters,
                             "The seven parameters as a dict (N, M, K, Ah, Kh, G, rSz).")
      .def_property_readonly("seed", [](const ReactorObject& o) { return o.reactor.random.seed; },
                             "The seed the random generator started from.")
      .def_property_readonly("grid", &Grid,
                             "(N+2, M+2) read-only array: 0 wall, 1 empty, 2 particle.")
      .def_property_readonly("row_counts", &RowCountArray,
                             "Read-only array of the particles in each row 0..N+1.")
      .def_property_readonly(
          "bottom",
          [](const ReactorObject& o) { return Idle(o).reactor.rowCounts[o.reactor.params.N]; },
          "Particles in the bottom row N.")
      .def_property_readonly(
          "wall_contacts", [](const ReactorObject& o) { return WallContacts(Idle(o).reactor); },
          "Particles with a wall among their eight neighbours.")
      .def_property_readonly(
          "interface", [](const ReactorObject& o) { return InterfaceLength(Idle(o).reactor); },
          "Particle-empty pairs of side-by-side cells: the liquid's surface.")
      .def_property_readonly(
          "mean_row", [](const ReactorObject& o) { return MeanRow(Idle(o).reactor); },
          "The particles' mean row (0 at the top wall).")
      .def("measures", &MeasureDict,
           "measures() -> dict\n\nAll four measures at once: bottom, wall_contacts, interface, "
           "mean_row.")
      .def("screen", &ScreenArray,
           "screen() -> numpy.ndarray\n\nThe 640 x 480 screen in palette indices, after a full\n"
           "refresh at this T; lemvaris.PALETTE[r.screen()] is the picture in RGB.")
      .def("save_png", &SavePng,
           "save_png(path)\n\nThe screen as lemvaris-batch --png writes it. path: str, bytes or\n"
           "os.PathLike. A device, FIFO or folder is refused (OSError); the file is\n"
           "written beside the target and renamed in, an old file's permissions kept.")
      .def("_repr_png_", &PngBytes,
           "_repr_png_() -> bytes\n\nThe PNG file save_png writes, for Jupyter.")
      .def("__copy__",
           [](const ReactorObject& o) { return std::make_unique<ReactorObject>(Idle(o)); },
           "__copy__() -> Reactor\n\nA reactor in the same state.")
      .def("__deepcopy__",
           [](const ReactorObject& o, const py::object&) {
             return std::make_unique<ReactorObject>(Idle(o));
           },
           "__deepcopy__(memo) -> Reactor\n\nA reactor in the same state.")
      .def(py::pickle(&SaveState, &LoadState))
      .def("__repr__", &Describe, "__repr__() -> str\n\nThe parameters, the seed and T.");
}
