// The compiled part of the Python module lemvaris: the Reactor, a thin layer
// over the simulation core (sim/) and the quiet mode's screen (display/
// picture.h). Every Reactor owns its own records, so any number can live in
// one process; step() lets other Python threads run while it moves.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "display/picture.h"
#include "output/output_file.h"
#include "output/png_writer.h"
#include "sim/measures.h"
#include "sim/particle_move.h"
#include "sim/reactor.h"

namespace py = pybind11;

namespace {

// Moves made between two looks at Ctrl+C; the GIL is taken back only then.
constexpr long long MovesPerSignalCheck = 4096;
// T is the program's signed 32-bit step counter.
constexpr long long StepLimit = INT32_MAX;
// Seeds are the generator's 32-bit words.
constexpr unsigned long long SeedLimit = UINT32_MAX;

// What one Python Reactor owns.
struct ReactorObject {
  Reactor reactor;
  Picture picture;
  std::int32_t T = 0;
  bool frozen = false;
  bool busy = false;  // step() is running without the GIL
};

[[noreturn]] void RefuseValue(const std::string& message) { throw py::value_error(message); }

// The shortest text that reads back as the same double, as Python's repr.
std::string Number(double value) {
  char text[40];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

void CheckInteger(const char* name, long long value, long long low, long long high) {
  if (value < low || value > high)
    RefuseValue(std::string(name) + " must be an integer from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not " + std::to_string(value));
}

void CheckStrength(const char* name, double value) {
  if (!(value >= -StrengthLimit && value <= StrengthLimit))
    RefuseValue(std::string(name) + " must be a number from -1 to 1, not " + Number(value));
}

// The dialog's ranges, as the batch runner checks them; ValueError naming
// the first parameter outside them.
SimParams CheckedParams(long long N, long long M, long long K, double Ah, double Kh, double G,
                        long long rSz) {
  CheckInteger("N", N, 1, ReactorLimit);
  CheckInteger("M", M, 1, ReactorLimit);
  CheckInteger("K", K, 1, ParticleLimit);
  CheckStrength("Ah", Ah);
  CheckStrength("Kh", Kh);
  CheckStrength("G", G);
  CheckInteger("rSz", rSz, 1, RadiusLimit);
  if (K > N * M)
    RefuseValue("K must be at most N*M = " + std::to_string(N * M) + ", not " + std::to_string(K));
  SimParams p;
  p.N = static_cast<std::int16_t>(N);
  p.M = static_cast<std::int16_t>(M);
  p.K = static_cast<std::int16_t>(K);
  p.Ah = Ah;
  p.Kh = Kh;
  p.G = G;
  p.rSz = static_cast<std::int16_t>(rSz);
  return p;
}

// Any Python integer (or object with __index__), so that one past the limit
// is refused by name however large it is.
std::uint32_t CheckedSeed(const py::object& seed) {
  PyObject* index = PyNumber_Index(seed.ptr());
  if (index == nullptr) {
    PyErr_Clear();
    throw py::type_error("seed must be an integer, not " + std::string(py::repr(seed)));
  }
  const auto value = py::reinterpret_steal<py::int_>(index);
  if (value < py::int_(0) || py::int_(SeedLimit) < value)
    RefuseValue("seed must be an integer from 0 to " + std::to_string(SeedLimit) + ", not " +
                std::string(py::repr(value)));
  return value.cast<std::uint32_t>();
}

std::unique_ptr<ReactorObject> MakeReactor(long long N, long long M, long long K, double Ah,
                                           double Kh, double G, long long rSz,
                                           const py::object& seed) {
  auto object = std::make_unique<ReactorObject>();
  object->reactor.params = CheckedParams(N, M, K, Ah, Kh, G, rSz);
  object->reactor.random.seed = CheckedSeed(seed);
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

long long Step(ReactorObject& o, long long moves) {
  Idle(o);
  if (moves < 0) RefuseValue("moves must not be negative, not " + std::to_string(moves));
  if (moves > StepLimit - o.T)
    RefuseValue("T may reach at most " + std::to_string(StepLimit) + "; it is " +
                std::to_string(o.T) + ", and " + std::to_string(moves) + " moves would pass it");
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

[[noreturn]] void RaiseOsError(const std::string& path, const char* reason) {
  PyErr_SetObject(PyExc_OSError, py::str("cannot write \"" + path + "\": " + reason).ptr());
  throw py::error_already_set();
}

// The rules of lemvaris-batch --png: the file whole, or the old one untouched.
void SavePng(ReactorObject& o, const py::object& path) {
  const std::string name = py::str(py::module_::import("os").attr("fspath")(path));
  char reason[OutputErrorCapacity];
  if (!CheckOutputTarget(name.c_str(), reason)) RaiseOsError(name, reason);
  const GraphSurface& g = RefreshedSurface(o);
  OutputFile file;
  if (!BeginOutputFile(file, name.c_str())) RaiseOsError(name, file.error);
  if (!WritePngStream(g, file.stream)) {
    AbandonOutputFile(file);
    RaiseOsError(name, "the picture could not be written");
  }
  if (!CommitOutputFile(file)) RaiseOsError(name, file.error);
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

}  // namespace

PYBIND11_MODULE(_core, m) {
  m.doc() = "The Lemvaris reactor, its measures and its screen, over the program's own code.";
  m.attr("REFRESH_INTERVAL") = RefreshInterval;
  m.attr("SEED_LIMIT") = SeedLimit;
  m.def(
      "check_parameters",
      [](long long N, long long M, long long K, double Ah, double Kh, double G, long long rSz) {
        CheckedParams(N, M, K, Ah, Kh, G, rSz);
      },
      py::arg("N"), py::arg("M"), py::arg("K"), py::arg("Ah"), py::arg("Kh"), py::arg("G"),
      py::arg("rSz"),
      "Raise ValueError naming the first parameter outside the dialog's ranges.");

  py::class_<ReactorObject>(m, "Reactor",
                            "A reactor set up exactly as the program sets it up, its random "
                            "generator started from `seed` (0 to 4294967295; 0 is the "
                            "program's own run); T = 0.")
      .def(py::init(&MakeReactor), py::arg("N"), py::arg("M"), py::arg("K"), py::arg("Ah"),
           py::arg("Kh"), py::arg("G"), py::arg("rSz"), py::kw_only(), py::arg("seed") = 0)
      .def("step", &Step, py::arg("moves"),
           "Make up to `moves` moves; fewer when the reactor freezes. Returns the moves made.")
      .def_property_readonly("T", [](const ReactorObject& o) { return Idle(o).T; })
      .def_property_readonly("frozen", [](const ReactorObject& o) { return Idle(o).frozen; },
                             "True once a step found that no particle can ever move again.")
      .def_property_readonly("attempts",
                             [](const ReactorObject& o) { return Idle(o).reactor.attempts; },
                             "Particle-and-target tries so far.")
      .def_property_readonly("parameters", &Parameters)
      .def_property_readonly("seed", [](const ReactorObject& o) { return o.reactor.random.seed; },
                             "The seed the random generator started from.")
      .def_property_readonly("grid", &Grid, "(N+2, M+2) array: 0 wall, 1 empty, 2 particle.")
      .def_property_readonly("row_counts", &RowCountArray, "Particles in each row 0..N+1.")
      .def_property_readonly("bottom", [](const ReactorObject& o) {
        return Idle(o).reactor.rowCounts[o.reactor.params.N];
      })
      .def_property_readonly("wall_contacts",
                             [](const ReactorObject& o) { return WallContacts(Idle(o).reactor); })
      .def_property_readonly("interface",
                             [](const ReactorObject& o) { return InterfaceLength(Idle(o).reactor); })
      .def_property_readonly("mean_row",
                             [](const ReactorObject& o) { return MeanRow(Idle(o).reactor); })
      .def("measures", &MeasureDict, "All four measures at once, as a dict.")
      .def("screen", &ScreenArray,
           "The 640 x 480 screen in palette indices, after a full refresh at this T.")
      .def("save_png", &SavePng, py::arg("path"), "The screen as lemvaris-batch --png writes it.")
      .def("__repr__", &Describe);
}
