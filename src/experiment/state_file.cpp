#include "experiment/state_file.h"

#include <array>
#include <cstring>

#include "experiment/initial_grid.h"
#include "experiment/parameters.h"
#include "sim/particle_move.h"

namespace {

// PNG's idea: a byte above 127, a name, and line ends that a text-mode copy
// would change.
constexpr std::uint8_t Magic[8] = {0x89, 'L', 'M', 'V', '\r', '\n', 0x1A, '\n'};
constexpr std::uint32_t FormatVersion = 1;

// CRC-32 (IEEE 802.3, as zlib's crc32), a byte at a time.
constexpr std::array<std::uint32_t, 256> CrcTable = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}();

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) c = CrcTable[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// Little-endian fields written one after another.
struct Writer {
  std::uint8_t* at;
  void Bytes(const std::uint8_t* from, std::size_t n) {
    std::memcpy(at, from, n);
    at += n;
  }
  void Unsigned(std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) *at++ = static_cast<std::uint8_t>(value >> (8 * i));
  }
  void Real(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    Unsigned(bits, 8);
  }
};

// The same fields read back; the caller has checked the size.
struct Reader {
  const std::uint8_t* at;
  std::uint64_t Unsigned(int size) {
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i) value |= std::uint64_t{*at++} << (8 * i);
    return value;
  }
  double Real() {
    const std::uint64_t bits = Unsigned(8);
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
};

// The header's fields.
struct StateHeader {
  SimParams params;
  std::uint32_t seed = 0;
  std::int32_t T = 0;
  std::uint8_t frozen = 0, seeded = 0;  // 0 or 1
  std::int32_t undrawn = 0;  // generator words buffered but not drawn
  std::int64_t attempts = 0;
};

StateHeader ReadHeader(const std::uint8_t* bytes) {
  Reader in{bytes + 12};
  StateHeader h;
  h.params.N = static_cast<std::int16_t>(in.Unsigned(2));
  h.params.M = static_cast<std::int16_t>(in.Unsigned(2));
  h.params.K = static_cast<std::int16_t>(in.Unsigned(2));
  h.params.rSz = static_cast<std::int16_t>(in.Unsigned(2));
  h.params.Ah = in.Real();
  h.params.Kh = in.Real();
  h.params.G = in.Real();
  h.seed = static_cast<std::uint32_t>(in.Unsigned(4));
  h.T = static_cast<std::int32_t>(in.Unsigned(4));
  h.frozen = static_cast<std::uint8_t>(in.Unsigned(1));
  h.seeded = static_cast<std::uint8_t>(in.Unsigned(1));
  h.undrawn = static_cast<std::int32_t>(in.Unsigned(2));
  h.attempts = static_cast<std::int64_t>(in.Unsigned(8));
  return h;
}

std::size_t GridBytes(const SimParams& p) {
  return static_cast<std::size_t>(p.N + 2) * static_cast<std::size_t>(p.M + 2);
}

// Bytes of the generator's part.
std::size_t RandomBytes(const StateHeader& h) {
  return h.seeded ? 4 * (TwisterWords + static_cast<std::size_t>(h.undrawn)) : 0;
}

bool Refuse(const char*& reason, const char* why) {
  reason = why;
  return false;
}

}  // namespace

void EncodeRunState(const Run& run, StateBytes& state) {
  const Reactor& r = run.reactor;
  const SimParams& p = r.params;
  const RandomSource& random = r.random;
  const int undrawn = random.seeded ? random.count - random.next : 0;
  Writer out{state.bytes};
  out.Bytes(Magic, sizeof Magic);
  out.Unsigned(FormatVersion, 4);
  for (std::int16_t value : {p.N, p.M, p.K, p.rSz})
    out.Unsigned(static_cast<std::uint16_t>(value), 2);
  for (double value : {p.Ah, p.Kh, p.G}) out.Real(value);
  out.Unsigned(random.seed, 4);
  out.Unsigned(static_cast<std::uint32_t>(run.T), 4);
  out.Unsigned(run.frozen ? 1 : 0, 1);
  out.Unsigned(random.seeded ? 1 : 0, 1);
  out.Unsigned(static_cast<std::uint16_t>(undrawn), 2);
  out.Unsigned(static_cast<std::uint64_t>(r.attempts), 8);
  if (random.seeded) {
    for (std::uint32_t word : random.state) out.Unsigned(word, 4);
    for (int i = random.next; i < random.count; ++i) out.Unsigned(random.words[i], 4);
  }
  out.Unsigned(run.chart.count, 2);
  for (int i = 0; i < run.chart.count; ++i) out.Unsigned(run.chart.values[i], 2);
  for (int row = 0; row <= p.N + 1; ++row)
    for (int column = 0; column <= p.M + 1; ++column)
      out.Unsigned(static_cast<std::uint8_t>(r.grid[row][column]), 1);
  const std::size_t size = static_cast<std::size_t>(out.at - state.bytes);
  out.Unsigned(Crc32(state.bytes, size), 4);
  state.size = size + 4;
}

bool DecodeRunState(const std::uint8_t* bytes, std::size_t size, Run& run, const char*& reason) {
  if (size < sizeof Magic || std::memcmp(bytes, Magic, sizeof Magic) != 0)
    return Refuse(reason, "not a Lemvaris state file");
  if (size < StateHeaderSize) return Refuse(reason, "cut short: the file ends inside its header");
  if (Reader{bytes + 8}.Unsigned(4) != FormatVersion)
    return Refuse(reason, "a state file of another format version than this program's");
  const StateHeader h = ReadHeader(bytes);
  const SimParams& p = h.params;
  if (Refusal refusal = CheckParameters(FromSimParams(p, h.seed)); refusal.parameter >= 0)
    return Refuse(reason, "damaged: its parameters are out of their ranges");
  if (h.undrawn > RandomBufferCapacity || h.frozen > 1 || h.seeded > 1)
    return Refuse(reason, "damaged: its flags or its generator's position are impossible");
  // The chart's sample count stands right after the generator's words.
  const std::size_t chartAt = StateHeaderSize + RandomBytes(h);
  if (size < chartAt + 2) return Refuse(reason, "cut short: the file ends before its grid");
  const std::int32_t chartCount = static_cast<std::int32_t>(Reader{bytes + chartAt}.Unsigned(2));
  const std::size_t gridAt = chartAt + 2 + 2 * static_cast<std::size_t>(chartCount);
  const std::size_t expected = gridAt + GridBytes(p) + 4;
  if (size < expected) return Refuse(reason, "cut short: the file ends before its grid's end");
  if (size > expected) return Refuse(reason, "damaged: bytes follow the end of the state");
  if (Reader{bytes + size - 4}.Unsigned(4) != Crc32(bytes, size - 4))
    return Refuse(reason, "damaged: its checksum does not match its content");
  if (h.T < 0 || chartCount > HistogramCapacity || (!h.seeded && h.undrawn != 0) ||
      h.attempts < 0)
    return Refuse(reason, "damaged: its T, chart or generator are impossible");

  // The grid must be a reactor's with K particles, as a start grid must.
  const GridCells grid{bytes + gridAt, p.N + 2, p.M + 2, p.M + 2};
  std::int32_t particles = 0;
  for (std::size_t i = 0; i < GridBytes(p); ++i) particles += grid.cells[i] == Particle;
  GridProblem problem;
  if (!CheckInitialGrid(grid, problem) || particles != p.K)
    return Refuse(reason, "damaged: its grid is not a reactor of its parameters");
  Reader chart{bytes + chartAt + 2};
  for (int i = 0; i < chartCount; ++i)
    if (chart.Unsigned(2) > static_cast<std::uint64_t>(p.M))
      return Refuse(reason, "damaged: its chart holds more particles than a row");

  SetUpRunFromGrid(run, grid, p.Ah, p.Kh, p.G, p.rSz, h.seed);
  run.T = h.T;
  run.frozen = h.frozen != 0;
  run.reactor.attempts = h.attempts;
  RandomSource& random = run.reactor.random;
  if (h.seeded != 0) {
    Reader words{bytes + StateHeaderSize};
    for (std::uint32_t& word : random.state) word = static_cast<std::uint32_t>(words.Unsigned(4));
    for (int i = 0; i < h.undrawn; ++i)
      random.words[i] = static_cast<std::uint32_t>(words.Unsigned(4));
    random.next = 0;
    random.count = h.undrawn;
    random.seeded = true;
  }
  Reader samples{bytes + chartAt + 2};
  run.chart.count = static_cast<std::uint16_t>(chartCount);
  for (int i = 0; i < chartCount; ++i)
    run.chart.values[i] = static_cast<std::uint16_t>(samples.Unsigned(2));
  return true;
}
