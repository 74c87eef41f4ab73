// lemvaris-batch: the simulation without a window, for experiments.
//
//   lemvaris-batch --N 100 --M 100 --K 3000 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3
//                  --steps 200000 [--seed S] [--grid FILE] [--png FILE]
//                  [--gif FILE --frame-every N]
//
// Sets the reactor up exactly as the interactive program does and makes that
// many moves. --seed S (0 to 4294967295, default 0, the interactive
// program's) initialises the random generator from S. Standard output: the CSV
// "T,bottom,wall_contacts,interface, mean_row", the measures (sim/measures.h) at T = 0, 2000, 4000,
// ... (the chart's cadence) and at the final T, mean_row with 6 decimals. Standard error: a
// progress line while a run longer than a second goes on (terminal only), then "moves=..
// attempts=.. seconds=.. moves_per_second=..".
// --grid FILE: the final grid, rows 0..N+1 of columns 0..M+1, one digit a cell
// (0 wall, 1 empty, 2 particle).
// --png FILE: the whole 640 x 480 graphics screen after the last move, as the
// interactive program shows it after a full refresh at that T in the quiet
// mode (the chart fed with every sample of the run), drawn by the program's
// own display code and written in the standard palette.
// --gif FILE --frame-every N: an animated GIF, looping, of the whole screen
// at T = 0, N, 2N, ... up to the last T (the frozen T when the reactor
// freezes), each frame the picture --png would give at that T, written as
// it comes.
// Output files follow output/output_file.h's rule: each is checked before the
// run, no file is named twice, and each is put in place only when whole.
// Standard output's reader gone (`| head`): the run stops there and no file
// is written. A signal that ends the program removes the temporary files.
// Exit codes: 0 done; 1 output failed; 2 a parameter missing, malformed or out
// of the dialog's range, or an output file that cannot be written (nothing
// else written, no file created); 3 the reactor can never move again
// ("frozen at T=<n>").
#include <unistd.h>  // Required for: isatty

#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/picture.h"
#include "output/gif_writer.h"
#include "platform/graph.h"
#include "text/number_read.h"
#include "output/output_file.h"
#include "output/png_writer.h"
#include "platform/standard_descriptors.h"
#include "sim/measures.h"
#include "sim/particle_move.h"
#include "sim/reactor.h"

namespace {

constexpr int SampleInterval = RefreshInterval;  // steps between samples, as the chart's
constexpr int ExitOutputFailed = 1, ExitRefused = 2, ExitFrozen = 3;
constexpr int GifFrameDelay = 10;  // hundredths of a second per frame

struct BatchOptions {
  SimParams params;
  std::int32_t steps = 0;
  std::uint32_t seed = 0;
  const char* gridPath = nullptr;  // null: no grid file
  const char* pngPath = nullptr;   // null: no picture
  const char* gifPath = nullptr;   // null: no animation
  std::int32_t frameEvery = 0;     // moves between frames; 0: not given
};

// Options: a new one is a row of Options and a field of BatchOptions.
enum class ValueKind { Integer, Real, Path, Seed };

struct OptionValue {
  long long integer = 0;
  double real = 0.0;
  const char* text = nullptr;
};

struct OptionSpec {
  const char* name;
  ValueKind kind;
  bool required;
  double low, high;  // inclusive bounds of a number
  void (*store)(BatchOptions&, const OptionValue&);
};

std::int16_t Int16(const OptionValue& v) { return static_cast<std::int16_t>(v.integer); }

const OptionSpec Options[] = {
    {"--N", ValueKind::Integer, true, 1, ReactorLimit,
     [](BatchOptions& o, const OptionValue& v) { o.params.N = Int16(v); }},
    {"--M", ValueKind::Integer, true, 1, ReactorLimit,
     [](BatchOptions& o, const OptionValue& v) { o.params.M = Int16(v); }},
    // Also at most N*M; checked once all are read.
    {"--K", ValueKind::Integer, true, 1, ParticleLimit,
     [](BatchOptions& o, const OptionValue& v) { o.params.K = Int16(v); }},
    {"--Ah", ValueKind::Real, true, -StrengthLimit, StrengthLimit,
     [](BatchOptions& o, const OptionValue& v) { o.params.Ah = v.real; }},
    {"--Kh", ValueKind::Real, true, -StrengthLimit, StrengthLimit,
     [](BatchOptions& o, const OptionValue& v) { o.params.Kh = v.real; }},
    {"--G", ValueKind::Real, true, -StrengthLimit, StrengthLimit,
     [](BatchOptions& o, const OptionValue& v) { o.params.G = v.real; }},
    {"--rSz", ValueKind::Integer, true, 1, RadiusLimit,
     [](BatchOptions& o, const OptionValue& v) { o.params.rSz = Int16(v); }},
    {"--steps", ValueKind::Integer, true, 0, INT32_MAX,
     [](BatchOptions& o, const OptionValue& v) { o.steps = static_cast<std::int32_t>(v.integer); }},
    {"--seed", ValueKind::Seed, false, 0, UINT32_MAX,
     [](BatchOptions& o, const OptionValue& v) { o.seed = static_cast<std::uint32_t>(v.integer); }},
    {"--grid", ValueKind::Path, false, 0, 0,
     [](BatchOptions& o, const OptionValue& v) { o.gridPath = v.text; }},
    {"--png", ValueKind::Path, false, 0, 0,
     [](BatchOptions& o, const OptionValue& v) { o.pngPath = v.text; }},
    // Both or neither; checked once all are read.
    {"--gif", ValueKind::Path, false, 0, 0,
     [](BatchOptions& o, const OptionValue& v) { o.gifPath = v.text; }},
    {"--frame-every", ValueKind::Integer, false, 1, INT32_MAX,
     [](BatchOptions& o, const OptionValue& v) {
       o.frameEvery = static_cast<std::int32_t>(v.integer);
     }},
};
constexpr int OptionCount = sizeof Options / sizeof Options[0];

void PrintUsage(std::FILE* out) {
  std::fputs("usage: lemvaris-batch", out);
  for (const OptionSpec& option : Options) {
    const char* value = option.kind == ValueKind::Path ? "FILE" : "n";
    std::fprintf(out, option.required ? " %s %s" : " [%s %s]", option.name, value);
  }
  std::fputc('\n', out);
}

// Print the message of a refused command line; false, for the caller to return.
__attribute__((format(printf, 1, 2))) bool Refuse(const char* format, ...) {
  std::fputs("lemvaris-batch: ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  return false;
}

// Read one option's value as its kind and check its bounds; a real is read in
// extended precision and rounded to a double, as the dialog reads it.
bool ReadValue(const OptionSpec& option, const char* text, OptionValue& value) {
  value.text = text;
  if (option.kind == ValueKind::Path) {
    // "--grid --png" forgot the grid's name; it must not become one.
    if (*text == '\0' || std::strncmp(text, "--", 2) == 0)
      return Refuse("%s needs a file name, not \"%s\"", option.name, text);
    return true;
  }
  // Numbers are read by the dialog's own rules; the argument must be the
  // number and nothing else.
  const std::string_view arg(text);
  bool whole = !arg.empty();
  for (char c : arg)
    if (static_cast<unsigned char>(c) <= ' ') whole = false;
  if (option.kind == ValueKind::Integer || option.kind == ValueKind::Seed) {
    bool read = false;
    if (option.kind == ValueKind::Integer) {
      std::int32_t number = 0;
      read = whole && ParseInteger(arg, number) == NumberRead::Number;
      value.integer = number;
    } else {  // no dialog answer, and past its signed 32 bits: decimal digits only
      std::uint32_t number = 0;
      const auto [end, error] = std::from_chars(arg.data(), arg.data() + arg.size(), number);
      read = whole && error == std::errc() && end == arg.data() + arg.size();
      value.integer = number;
    }
    if (!read || value.integer < option.low || value.integer > option.high)
      return Refuse("%s must be an integer from %.0f to %.0f, not \"%s\"", option.name, option.low,
                    option.high, text);
    return true;
  }
  const bool read = whole && ParseReal(arg, value.real) == NumberRead::Number;
  if (!read || !(value.real >= option.low && value.real <= option.high))
    return Refuse("%s must be a number from %g to %g, not \"%s\"", option.name, option.low,
                  option.high, text);
  return true;
}

// Fill options from the command line; false after a message when refused.
bool ParseOptions(int argc, char** argv, BatchOptions& options) {
  bool given[OptionCount] = {};
  for (int i = 1; i < argc; ++i) {
    int found = -1;
    for (int k = 0; k < OptionCount; ++k)
      if (std::strcmp(argv[i], Options[k].name) == 0) found = k;
    if (found < 0) return Refuse("unknown option \"%s\"", argv[i]);
    const OptionSpec& option = Options[found];
    if (given[found]) return Refuse("%s given twice", option.name);
    if (i + 1 >= argc) return Refuse("%s needs a value", option.name);
    OptionValue value;
    if (!ReadValue(option, argv[++i], value)) return false;
    option.store(options, value);
    given[found] = true;
  }
  for (int k = 0; k < OptionCount; ++k)
    if (Options[k].required && !given[k]) return Refuse("missing %s", Options[k].name);
  if (options.gifPath && options.frameEvery == 0) return Refuse("--gif needs --frame-every");
  if (!options.gifPath && options.frameEvery != 0) return Refuse("--frame-every needs --gif");
  const int cells = options.params.N * options.params.M;
  if (options.params.K > cells)
    return Refuse("--K must be at most N*M = %d, not %d", cells, options.params.K);
  return true;
}

// The final grid, one line of digits per row of the frame.
bool WriteGrid(std::FILE* file, const Reactor& reactor) {
  for (int r = 0; r <= reactor.params.N + 1; ++r) {
    for (int c = 0; c <= reactor.params.M + 1; ++c) std::fputc('0' + reactor.grid[r][c], file);
    std::fputc('\n', file);
  }
  return std::ferror(file) == 0;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Shows how far a long run is, on one terminal line that is cleared at the end.
struct ProgressLine {
  bool enabled = false;
  bool shown = false;
  double lastShown = 0.0;
};

void ShowProgress(ProgressLine& line, double elapsed, std::int32_t T, std::int32_t steps) {
  if (!line.enabled || elapsed < 1.0 || elapsed - line.lastShown < 0.25) return;
  std::fprintf(stderr, "\rT=%" PRId32 " of %" PRId32 " (%d%%)", T, steps,
               static_cast<int>(100.0 * T / steps));
  line.shown = true;
  line.lastShown = elapsed;
}

void ClearProgress(const ProgressLine& line) {
  if (line.shown) std::fputs("\r\033[K", stderr);
}

// The output files the command line names, with their options.
struct NamedOutput {
  const char* option;
  const char* path;  // null: not asked for
};

// The ones asked for, in the order of the options.
int OutputsOf(const BatchOptions& o, NamedOutput (&out)[3]) {
  int count = 0;
  for (NamedOutput named : {NamedOutput{"--grid", o.gridPath}, NamedOutput{"--png", o.pngPath},
                            NamedOutput{"--gif", o.gifPath}})
    if (named.path != nullptr) out[count++] = named;
  return count;
}

// Every output file can be replaced, and no two options name the same one;
// false after a message otherwise. Nothing is created or changed.
bool CheckOutputs(const BatchOptions& options) {
  NamedOutput outputs[3];
  const int count = OutputsOf(options, outputs);
  const char* paths[3];
  for (int i = 0; i < count; ++i) paths[i] = outputs[i].path;
  char error[OutputErrorCapacity];
  int other = -1;
  const int refused = CheckOutputTargets(paths, count, error, other);
  if (refused < 0) return true;
  const NamedOutput& named = outputs[refused];
  if (other >= 0)
    return Refuse("%s and %s name the same file \"%s\"", outputs[other].option, named.option,
                  named.path);
  return Refuse("%s: cannot write \"%s\": %s", named.option, named.path, error);
}

// Standard output's reader has gone (a pipe closed: `| head`); errno is the
// last write's.
bool ReaderGone() { return std::ferror(stdout) != 0 && errno == EPIPE; }

// An output file that could not be written; the run's exit code becomes 1.
void ReportWriteFailure(const char* path, const char* why, int& code) {
  std::fprintf(stderr, "lemvaris-batch: writing \"%s\" failed: %s\n", path, why);
  code = ExitOutputFailed;
}

// One CSV line: T, then the measures.
void PrintSample(std::int32_t T, const Reactor& reactor) {
  char row[SampleRowCapacity];
  FormatSampleRow(row, T, MeasureReactor(reactor));
  std::puts(row);
}

}  // namespace

int main(int argc, char** argv) {
  ReserveStandardDescriptors();
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    PrintUsage(stdout);
    return 0;
  }
  BatchOptions options;
  if (!ParseOptions(argc, argv, options) || !CheckOutputs(options)) return ExitRefused;
  // An interrupted run leaves no half-written file behind.
  RemoveOutputFilesOnSignal();
  // The animation's frames go to its file as the run makes them.
  static OutputFile gifFile;
  if (options.gifPath && !BeginOutputFile(gifFile, options.gifPath)) {
    Refuse("--gif: cannot write \"%s\": %s", options.gifPath, gifFile.error);
    return ExitRefused;
  }

  static Reactor reactor;  // the grid is too big for the stack
  static Picture picture;  // so is the surface
  reactor.params = options.params;
  reactor.random.seed = options.seed;
  SetUpReactor(reactor);
  const bool pictureWanted = options.pngPath != nullptr || options.gifPath != nullptr;
  if (pictureWanted) StartPicture(picture, reactor);
  static GifWriter gif;  // a frame after the full refresh at each T = 0, N, 2N, ...
  bool gifWritten = true;
  if (options.gifPath)
    gifWritten = OpenGif(gif, gifFile.stream, picture.surface.width, picture.surface.height,
                         GifFrameDelay) &&
                 AddGifFrame(gif, picture.surface);
  std::puts(SampleCsvHeader);
  PrintSample(0, reactor);

  ProgressLine progress;
  progress.enabled = isatty(STDERR_FILENO) != 0;
  const auto start = std::chrono::steady_clock::now();
  std::int32_t T = 0;
  bool frozen = false, readerGone = false;
  while (T < options.steps) {
    if (MoveParticle(reactor) == MoveResult::Frozen) {
      frozen = true;
      break;
    }
    ++T;
    if (pictureWanted) UpdatePicture(picture, reactor, T);
    if (options.gifPath && gifWritten && T % options.frameEvery == 0) {
      FinishPicture(picture, reactor, T);
      gifWritten = AddGifFrame(gif, picture.surface);
    }
    if (T % SampleInterval == 0) {
      PrintSample(T, reactor);
      readerGone = ReaderGone();
      if (readerGone) break;  // the rest of the run is for nobody
    }
    if (T % 256 == 0) ShowProgress(progress, SecondsSince(start), T, options.steps);
  }
  const double seconds = SecondsSince(start);
  ClearProgress(progress);
  if (!readerGone && T % SampleInterval != 0) PrintSample(T, reactor);

  int code = frozen ? ExitFrozen : 0;
  const bool flushed = !readerGone && std::fflush(stdout) == 0;
  // The reason an earlier failed write had is gone by now.
  const int reason = readerGone ? EPIPE : flushed ? 0 : errno;
  if (!flushed || std::ferror(stdout)) {
    readerGone = reason == EPIPE;
    std::fprintf(stderr, "lemvaris-batch: writing standard output failed%s%s%s\n",
                 reason != 0 ? ": " : "", reason != 0 ? std::strerror(reason) : "",
                 readerGone ? "; no file written" : "");
    code = ExitOutputFailed;
  }
  if (readerGone) {
    if (options.gifPath) AbandonOutputFile(gifFile);
    return code;
  }
  const auto writeGrid = [](std::FILE* stream) { return WriteGrid(stream, reactor); };
  if (options.gridPath && !WriteOutputFile(options.gridPath, writeGrid))
    ReportWriteFailure(options.gridPath, std::strerror(errno), code);
  if (options.pngPath) {
    FinishPicture(picture, reactor, T);
    if (!WritePng(picture.surface, options.pngPath))
      ReportWriteFailure(options.pngPath, std::strerror(errno), code);
  }
  if (options.gifPath) {
    gifWritten = CloseGif(gif) && gifWritten;
    if (gifWritten) gifWritten = CommitOutputFile(gifFile);
    else AbandonOutputFile(gifFile);
    if (!gifWritten)
      ReportWriteFailure(options.gifPath, gifFile.error[0] ? gifFile.error : "write error", code);
  }
  if (frozen) std::fprintf(stderr, "frozen at T=%" PRId32 "\n", T);
  std::fprintf(stderr,
               "moves=%" PRId32 " attempts=%" PRId64 " seconds=%.3f moves_per_second=%.0f\n", T,
               reactor.attempts, seconds, seconds > 0 ? T / seconds : 0.0);
  return code;
}
