// lemvaris-batch: the simulation without a window, for experiments.
//
//   lemvaris-batch --N 100 --M 100 --K 3000 --Ah 0.5 --Kh 0.8 --G 0.2 --rSz 3
//                  --steps 200000 [--seed S] [--sample-every n] [--measures LIST]
//                  [--grid FILE]
//                  [--png FILE] [--gif FILE --frame-every n] [--save-state FILE]
//   lemvaris-batch --load-state FILE --steps n [outputs]
//   lemvaris-batch --initial FILE --Ah .. --Kh .. --G .. --rSz .. --steps n [--seed S] [outputs]
//
// Sets the run up as the interactive program does (experiment/run.h) and makes
// that many moves. Standard output: the table of experiment/table.h, a row
// at the first T, every --sample-every moves (2000) and at the last T.
// --measures clusters,largest_cluster adds those measures as columns after
// mean_row, in that order. Standard error: a progress line while a run longer than a second goes on
// (terminal only), then "moves=.. attempts=.. seconds=.. moves_per_second=..".
// --load-state continues a saved run: its parameters, seed, T and generator
// come from the file and T goes on from the saved T. --initial starts from a
// grid file (N, M and K come from it; no placement draws).
// --grid FILE: the final grid, rows 0..N+1 of columns 0..M+1, one digit a cell
// (0 wall, 1 empty, 2 particle). --png FILE: the 640 x 480 screen after the
// last move, as the interactive program shows it in the quiet mode, with
// text chunks saying what made it. --gif FILE --frame-every n: an animated
// GIF of that screen at the first T and every n moves. --save-state FILE: the
// run's state at its end (experiment/state_file.h).
// Options are "--name value" or "--name=value"; a value may start with a
// minus sign. A comma is never a decimal point here (write 0.1, not 0,1).
// Output files follow output/output_file.h's rule: each is checked before
// the run, no file is named twice, and they are put in place together at
// the end, only when every one is whole; otherwise every old file is kept.
// Standard output's reader gone (`| head`): the run stops there and no file
// is written. A signal that ends the program removes the temporary files.
// Exit codes: 0 done; 1 output failed; 2 the command line or an input file
// refused (nothing written); 3 the reactor can never move again
// ("frozen at T=<n>").
//
// Sections: options; input files; outputs; the run (and main).
#include <unistd.h>  // Required for: isatty

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "display/picture.h"
#include "experiment/initial_grid.h"
#include "experiment/parameters.h"
#include "experiment/run.h"
#include "experiment/state_file.h"
#include "experiment/table.h"
#include "experiment/version.h"
#include "output/gif_writer.h"
#include "output/output_file.h"
#include "output/png_writer.h"
#include "output/standard_descriptors.h"

namespace {

constexpr const char* Program = "lemvaris-batch";
constexpr int ExitOutputFailed = 1, ExitRefused = 2, ExitFrozen = 3;
constexpr int GifFrameDelay = 10;  // hundredths of a second per frame
// Moves between two looks at the clock (progress) when nothing else is due.
constexpr std::int64_t MovesPerLook = 1 << 16;

// ------------------------------------------------------------- options
enum class OptionKind { Parameter, Count, Path, Names };

// Options past the parameters: a new one is a row here and a field below.
enum OptionIndex {
  OptSteps = ParameterCount, OptSampleEvery, OptMeasures, OptGrid, OptPng, OptGif, OptFrameEvery,
  OptSaveState, OptLoadState, OptInitial, OptionCount
};

struct OptionSpec {
  const char* name;  // without the dashes
  OptionKind kind;
  const char* help;
};

// Rows 0..ParameterCount-1 are the parameters, described in experiment/.
const OptionSpec Extra[int{OptionCount} - int{ParameterCount}] = {
    {"steps", OptionKind::Count, "moves to make, from 0 to 2147483647 (T goes on from a loaded T)"},
    {"sample-every", OptionKind::Count, "moves between two table rows, 1 or more (2000)"},
    {"measures", OptionKind::Names,
     "measures to add as columns, comma-separated: clusters, largest_cluster"},
    {"grid", OptionKind::Path,
     "the final grid: a line of digits a row, 0 wall, 1 empty, 2 particle"},
    {"png", OptionKind::Path, "the final screen as a PNG picture"},
    {"gif", OptionKind::Path, "the screen as an animated GIF (with --frame-every)"},
    {"frame-every", OptionKind::Count, "moves between two frames of --gif, 1 or more"},
    {"save-state", OptionKind::Path, "the run's state at its end, to be continued"},
    {"load-state", OptionKind::Path, "continue the run saved in FILE (it gives the parameters)"},
    {"initial", OptionKind::Path, "start from a grid FILE, as --grid writes one (N, M, K from it)"},
};

OptionSpec SpecOf(int index) {
  if (index < ParameterCount)
    return {Parameters[index].name, OptionKind::Parameter, Parameters[index].meaning};
  return Extra[index - ParameterCount];
}

struct BatchOptions {
  bool given[OptionCount] = {};
  const char* text[OptionCount] = {};  // each option's value as given
  ParameterValues values;              // the parameters read
  std::int32_t steps = 0;
  std::int32_t sampleEvery = DefaultSampleEvery;
  std::int32_t frameEvery = 0;
  std::uint8_t measures[NamedMeasureCount] = {};  // asked, in the order asked
  TableLayout layout;                             // their columns
};

// Print the message of a refused command line; false, for the caller to return.
__attribute__((format(printf, 1, 2))) bool Refuse(const char* format, ...) {
  std::fprintf(stderr, "%s: ", Program);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  return false;
}

void PrintHelp() {
  std::printf("usage: %s --N n --M n --K n --Ah x --Kh x --G x --rSz n --steps n [options]\n"
              "       %s --load-state FILE --steps n [options]\n"
              "       %s --initial FILE --Ah x --Kh x --G x --rSz n --steps n [options]\n"
              "Writes the table of the run's measures (CSV) on standard output.\n"
              "Options (--name value or --name=value):\n",
              Program, Program, Program);
  for (int i = 0; i < OptionCount; ++i) {
    const OptionSpec described = SpecOf(i);
    char range[64] = "";
    if (i < ParameterCount) {
      const ParameterInfo& p = Parameters[i];
      std::snprintf(range, sizeof range, "%s from %.0f to %.0f%s",
                    p.kind == ParameterKind::Real ? "a number" : "an integer", p.low, p.high,
                    i == ParamSeed ? " (0)" : "");
    }
    std::printf("  --%-13s %-5s %s%s%s\n", described.name,
                described.kind == OptionKind::Path    ? "FILE"
                : described.kind == OptionKind::Names ? "LIST"
                                                      : "n",
                described.help, range[0] ? ": " : "", range);
  }
  std::printf("  --version            the program's version\n  --help               this text\n"
              "Exit codes: 0 done, 1 an output failed, 2 refused, 3 the reactor froze.\n");
}

// A count option's value: whole digits from low to 2147483647.
bool ReadCount(const char* name, const char* text, std::int32_t low, std::int32_t& value) {
  char* end = nullptr;
  errno = 0;
  const long long number = std::strtoll(text, &end, 10);
  const bool digits = *text >= '0' && *text <= '9';
  if (!digits || *end != '\0' || errno != 0 || number < low || number > MaxT)
    return Refuse("--%s must be an integer from %d to %d, not \"%s\"", name, low, MaxT, text);
  value = static_cast<std::int32_t>(number);
  return true;
}

// The measures of a comma-separated list, each once.
bool ReadMeasures(const char* text, BatchOptions& o) {
  std::string_view rest(text);
  while (true) {
    const std::size_t comma = rest.find(',');
    const std::string_view name = rest.substr(0, comma);
    const int index = NamedMeasureIndex(name);
    const int shown = static_cast<int>(std::min<std::size_t>(name.size(), 80));
    if (index < 0)
      return Refuse("--measures: \"%.*s\" is not a measure to ask for (clusters, "
                    "largest_cluster; the table always has bottom to mean_row)", shown,
                    name.data());
    for (int k = 0; k < o.layout.extraCount; ++k)
      if (o.measures[k] == index) return Refuse("--measures: %.*s given twice", shown, name.data());
    o.measures[o.layout.extraCount] = static_cast<std::uint8_t>(index);
    o.layout.extra[o.layout.extraCount++] = NamedMeasureNames[index];
    if (comma == std::string_view::npos) return true;
    rest.remove_prefix(comma + 1);
  }
}

// Read and store one option's value.
bool TakeValue(BatchOptions& o, int index, const char* text) {
  const OptionSpec described = SpecOf(index);
  o.text[index] = text;
  switch (described.kind) {
    case OptionKind::Path:
      // "--grid --png" forgot the grid's name; it must not become one.
      if (*text == '\0' || std::strncmp(text, "--", 2) == 0)
        return Refuse("--%s needs a file name, not \"%s\"", described.name, text);
      return true;
    case OptionKind::Names:
      return ReadMeasures(text, o);
    case OptionKind::Count:
      if (index == OptSteps) return ReadCount(described.name, text, 0, o.steps);
      return ReadCount(described.name, text, 1,
                       index == OptSampleEvery ? o.sampleEvery : o.frameEvery);
    case OptionKind::Parameter: {
      const ValueVerdict verdict =
          ReadParameter(index, text, NumberSyntax::CommandLine, o.values.value[index]);
      if (verdict == ValueVerdict::Accepted) return true;
      char shown[96], message[RefusalMessageCapacity];
      std::snprintf(shown, sizeof shown, "\"%.80s\"", text);
      DescribeRefusal(message, {index, verdict}, o.values, "--", shown, text);
      return Refuse("%s", message);
    }
  }
  return true;
}

// The option a command-line word names ("--N", or "--N=" before a value),
// or -1; equals points at the value when it is given with "=".
int OptionNamed(const char* word, const char*& equals) {
  if (std::strncmp(word, "--", 2) != 0) return -1;
  const std::string_view rest(word + 2);
  const std::size_t sign = rest.find('=');
  const std::string_view name = rest.substr(0, sign);
  equals = sign == std::string_view::npos ? nullptr : word + 2 + sign + 1;
  for (int i = 0; i < OptionCount; ++i)
    if (name == SpecOf(i).name) return i;
  return -1;
}

// Fill options from the command line; false after a message when refused.
bool ParseOptions(int argc, char** argv, BatchOptions& o) {
  for (int i = 1; i < argc; ++i) {
    const char* equals = nullptr;
    const int found = OptionNamed(argv[i], equals);
    if (found < 0) return Refuse("unknown option \"%s\" (see --help)", argv[i]);
    const char* name = SpecOf(found).name;
    if (o.given[found]) return Refuse("--%s given twice", name);
    if (equals == nullptr && i + 1 >= argc) return Refuse("--%s needs a value", name);
    if (!TakeValue(o, found, equals != nullptr ? equals : argv[++i])) return false;
    o.given[found] = true;
  }
  // Where the parameters come from: the command line, a grid or a state.
  const bool load = o.given[OptLoadState], initial = o.given[OptInitial];
  if (load && initial) return Refuse("--load-state and --initial both say where the run starts");
  for (int i = 0; i < ParameterCount; ++i) {
    const bool fromFile = load || (initial && (i == ParamN || i == ParamM || i == ParamK));
    if (fromFile && o.given[i])
      return Refuse("--%s comes from --%s's file; it may not be given too", Parameters[i].name,
                    load ? "load-state" : "initial");
    if (!fromFile && !o.given[i] && i != ParamSeed)
      return Refuse("missing --%s", Parameters[i].name);
  }
  if (!o.given[OptSteps]) return Refuse("missing --steps");
  if (o.given[OptGif] != o.given[OptFrameEvery])
    return Refuse(o.given[OptGif] ? "--gif needs --frame-every" : "--frame-every needs --gif");
  if (!load && !initial) {
    const Refusal refusal = CheckParameters(o.values);
    if (refusal.parameter >= 0) {
      char message[RefusalMessageCapacity], shown[32];
      std::snprintf(shown, sizeof shown, "%.0f", o.values.value[refusal.parameter]);
      DescribeRefusal(message, refusal, o.values, "--", shown);
      return Refuse("%s", message);
    }
  }
  return true;
}

// ------------------------------------------------------------- input files
// Bytes an input file may have: a state, or a grid of 252 lines of 252
// digits with "\r\n" line ends.
constexpr std::size_t InputCapacity = StateCapacity > 252 * 254 ? StateCapacity : 252 * 254;

struct InputFile {
  std::uint8_t bytes[InputCapacity + 1];
  std::size_t size = 0;
};

// The whole file at path; false after a message naming the option.
bool ReadInputFile(const char* option, const char* path, InputFile& in, const char* tooLarge) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return Refuse("--%s \"%s\": %s", option, path, std::strerror(errno));
  in.size = std::fread(in.bytes, 1, sizeof in.bytes, file);
  const bool failed = std::ferror(file) != 0;
  const int reason = errno;
  std::fclose(file);
  if (failed) return Refuse("--%s \"%s\": %s", option, path, std::strerror(reason));
  if (in.size > InputCapacity) return Refuse("--%s \"%s\": %s", option, path, tooLarge);
  return true;
}

// Set the run up as the options say; false after a message.
bool SetUpFromOptions(const BatchOptions& o, Run& run, InputFile& in) {
  std::uint32_t seed = 0;
  SimParams params;
  if (o.given[OptLoadState]) {
    const char* path = o.text[OptLoadState];
    if (!ReadInputFile("load-state", path, in, "larger than any state: not a state file"))
      return false;
    const char* reason = "";
    if (!DecodeRunState(in.bytes, in.size, run, reason))
      return Refuse("--load-state \"%s\": %s", path, reason);
    if (std::int64_t{run.T} + o.steps > MaxT)
      return Refuse("--steps: T is %" PRId32 " and may reach at most %" PRId32 "; %" PRId32
                    " moves would pass it", run.T, MaxT, o.steps);
    return true;
  }
  ToSimParams(o.values, params, seed);
  if (!o.given[OptInitial]) {
    SetUpRun(run, params, seed);
    return true;
  }
  const char* path = o.text[OptInitial];
  if (!ReadInputFile("initial", path, in, "over 250 x 250 cells"))
    return false;
  static InitialGrid grid;
  GridProblem problem;
  const std::string_view text(reinterpret_cast<const char*>(in.bytes), in.size);
  if (!ReadGridText(text, grid, problem) || !CheckInitialGrid(CellsOf(grid), problem)) {
    if (problem.row < 0) return Refuse("--initial \"%s\": %s", path, problem.reason);
    if (problem.column < 0)
      return Refuse("--initial \"%s\": line %d: %s", path, problem.row + 1, problem.reason);
    return Refuse("--initial \"%s\": line %d, column %d: %s", path, problem.row + 1,
                  problem.column + 1, problem.reason);
  }
  SetUpRunFromGrid(run, CellsOf(grid), params.Ah, params.Kh, params.G, params.rSz, seed);
  return true;
}

// ------------------------------------------------------------- outputs
// The output files the command line names, in the order of the options.
constexpr int OutputOptions[] = {OptGrid, OptPng, OptGif, OptSaveState};
constexpr int OutputCapacity = sizeof OutputOptions / sizeof OutputOptions[0];
// The GIF's file is written during the run; the others at its end.
constexpr int GifOutput = 2;
static_assert(OutputOptions[GifOutput] == OptGif);

// Every output file can be replaced, and no two options name the same one;
// false after a message otherwise. Nothing is created or changed.
bool CheckOutputs(const BatchOptions& o) {
  const char* paths[OutputCapacity];
  int options[OutputCapacity];
  int count = 0;
  for (int option : OutputOptions)
    if (o.given[option]) {
      options[count] = option;
      paths[count++] = o.text[option];
    }
  char error[OutputErrorCapacity];
  int other = -1;
  const int refused = CheckOutputTargets(paths, count, error, other);
  if (refused < 0) return true;
  const char* name = SpecOf(options[refused]).name;
  if (other >= 0)
    return Refuse("--%s and --%s name the same file \"%s\"", SpecOf(options[other]).name, name,
                  paths[refused]);
  return Refuse("--%s: cannot write \"%s\": %s", name, paths[refused], error);
}

// One output file being written: opened in full before it counts.
struct PendingOutput {
  int option = -1;
  OutputFile file;
};

// The final grid, one line of digits per row of the frame.
bool WriteGrid(std::FILE* file, const Reactor& reactor) {
  for (int r = 0; r <= reactor.params.N + 1; ++r) {
    for (int c = 0; c <= reactor.params.M + 1; ++c) std::fputc('0' + reactor.grid[r][c], file);
    std::fputc('\n', file);
  }
  return std::ferror(file) == 0;
}

// What the picture files say of the run.
struct Provenance {
  char software[64];
  char description[RunDescriptionCapacity];
};

void DescribeRun(Provenance& p, const Run& run) {
  std::snprintf(p.software, sizeof p.software, "%s %s", Program, LemvarisVersion());
  FormatRunDescription(p.description, run.reactor.params, run.reactor.random.seed, run.T);
}

// The big records: static, as the grid and the surface are too big for the stack.
Run run;
Picture picture;
GifWriter gif;
InputFile input;
PendingOutput outputs[OutputCapacity];
Provenance provenance;
StateBytes state;
bool gifWritten = true;  // every frame so far went into the GIF's file

// Write one output's content at the run's end; false when it failed.
bool WriteOutput(int option, std::FILE* stream) {
  switch (option) {
    case OptGrid:
      return WriteGrid(stream, run.reactor);
    case OptPng: {
      const PngText texts[] = {{"Software", provenance.software},
                               {"Description", provenance.description}};
      return WritePngStream(picture.surface, stream, texts, 2);
    }
    case OptGif: {
      char comment[sizeof provenance.software + RunDescriptionCapacity + 4];
      std::snprintf(comment, sizeof comment, "%s: %s", provenance.software,
                    provenance.description);
      return gifWritten && AddGifComment(gif, comment) && CloseGif(gif);
    }
    default:
      return std::fwrite(state.bytes, 1, state.size, stream) == state.size;
  }
}

// ------------------------------------------------------------- the run
double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Shows how far a long run is, on one terminal line that is cleared at the end.
struct ProgressLine {
  bool enabled = false;
  bool shown = false;
  double lastShown = 0.0;
};

void ShowProgress(ProgressLine& line, double elapsed, std::int32_t done, std::int32_t steps) {
  if (!line.enabled || elapsed < 1.0 || elapsed - line.lastShown < 0.25 || steps == 0) return;
  std::fprintf(stderr, "\rmoves %" PRId32 " of %" PRId32 " (%d%%)", done, steps,
               static_cast<int>(100.0 * done / steps));
  line.shown = true;
  line.lastShown = elapsed;
}

void ClearProgress(const ProgressLine& line) {
  if (line.shown) std::fputs("\r\033[K", stderr);
}

// Standard output's reader has gone (a pipe closed: `| head`); errno is the
// last write's.
bool ReaderGone() { return std::ferror(stdout) != 0 && errno == EPIPE; }

// The table's rows. A row is printed when the next one is taken or the run
// ends, so that the last row knows whether the run froze at its T and why
// it ended.
struct TableOutput {
  TableRow pending;
  bool havePending = false;
};

ClusterWork clusterWork;

void PrintRow(TableOutput& t, const Run& run, const BatchOptions& o, bool last) {
  if (!t.havePending) return;
  MarkRunEnd(t.pending, last, run.frozen, run.T);
  char line[TableLineCapacity];
  FormatTableRow(line, t.pending, o.layout);
  std::fputs(line, stdout);
  t.havePending = false;
}

void TakeRow(TableOutput& t, const Run& run, const BatchOptions& o) {
  PrintRow(t, run, o, false);
  t.pending.params = run.reactor.params;
  t.pending.seed = run.reactor.random.seed;
  t.pending.T = run.T;
  t.pending.measures = MeasureRun(run);
  TakeNamedMeasures(run.reactor, o.measures, o.layout.extraCount, clusterWork, t.pending.extra);
  t.pending.steps = o.steps;
  t.pending.sampleEvery = o.sampleEvery;
  t.havePending = true;
}

}  // namespace

int main(int argc, char** argv) {
  ReserveStandardDescriptors();
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    PrintHelp();
    return std::fflush(stdout) == 0 ? 0 : ExitOutputFailed;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s %s\n", Program, LemvarisVersion());
    return std::fflush(stdout) == 0 ? 0 : ExitOutputFailed;
  }
  static BatchOptions options;
  if (!ParseOptions(argc, argv, options) || !CheckOutputs(options) ||
      !SetUpFromOptions(options, run, input))
    return ExitRefused;
  // An interrupted run leaves no half-written file behind.
  RemoveOutputFilesOnSignal();
  OutputFile& gifFile = outputs[GifOutput].file;
  if (options.given[OptGif] && !BeginOutputFile(gifFile, options.text[OptGif])) {
    Refuse("--gif: cannot write \"%s\": %s", options.text[OptGif], gifFile.error);
    return ExitRefused;
  }
  const bool pictureWanted = options.given[OptPng] || options.given[OptGif];
  if (pictureWanted) StartPicture(picture, run.reactor.params);
  const auto addFrame = [] {
    DrawPicture(picture, run.reactor, run.T, run.chart);
    return AddGifFrame(gif, picture.surface);
  };
  std::int32_t lastFrameT = -1;
  if (options.given[OptGif]) {
    gifWritten = OpenGif(gif, gifFile.stream, picture.surface.width, picture.surface.height,
                         GifFrameDelay) && addFrame();
    lastFrameT = run.T;
  }

  char header[TableLineCapacity];
  FormatTableHeader(header, options.layout);
  std::fputs(header, stdout);
  TableOutput table;
  ProgressLine progress;
  progress.enabled = isatty(STDERR_FILENO) != 0;
  const std::int32_t startT = run.T;
  const auto start = std::chrono::steady_clock::now();
  Sampling sampling = StartSampling(run, options.steps, options.sampleEvery);
  bool readerGone = false;
  while (!sampling.ended && gifWritten) {
    std::int64_t budget = MovesPerLook;
    if (options.given[OptGif])
      budget = options.frameEvery - run.T % options.frameEvery;
    if (NextSample(run, sampling, budget)) {
      TakeRow(table, run, options);
      readerGone = ReaderGone();
      if (readerGone) break;  // the rest of the run is for nobody
    }
    if (options.given[OptGif] && run.T % options.frameEvery == 0 && run.T != lastFrameT) {
      gifWritten = addFrame();
      lastFrameT = run.T;
    }
    ShowProgress(progress, SecondsSince(start), run.T - startT, options.steps);
  }
  const double seconds = SecondsSince(start);
  ClearProgress(progress);
  if (!readerGone) PrintRow(table, run, options, true);
  const std::int32_t moves = run.T - startT;

  int code = run.frozen ? ExitFrozen : 0;
  const bool flushed = !readerGone && std::fflush(stdout) == 0;
  // The reason an earlier failed write had is gone by now.
  const int reason = readerGone ? EPIPE : flushed ? 0 : errno;
  if (!flushed || std::ferror(stdout)) {
    // A reader gone took the run's purpose with it; a standard output that
    // cannot be written (closed) leaves the files the run was for.
    readerGone = reason == EPIPE;
    std::fprintf(stderr, "%s: writing standard output failed%s%s%s\n", Program,
                 reason != 0 ? ": " : "", reason != 0 ? std::strerror(reason) : "",
                 readerGone ? "; no file written" : "");
    code = ExitOutputFailed;
  }
  if (readerGone) {
    if (options.given[OptGif]) AbandonOutputFile(gifFile);
    return code;
  }

  // Every output whole in its temporary file first; then all put in place.
  DescribeRun(provenance, run);
  if (pictureWanted) DrawPicture(picture, run.reactor, run.T, run.chart);
  if (options.given[OptSaveState]) EncodeRunState(run, state);
  int failed = -1;  // the output whose file failed
  const char* why = "";
  for (int k = 0; k < OutputCapacity && failed < 0; ++k) {
    const int option = OutputOptions[k];
    OutputFile& file = outputs[k].file;
    if (!options.given[option]) continue;
    outputs[k].option = option;
    if (option != OptGif && !BeginOutputFile(file, options.text[option])) {
      failed = k;
      why = file.error;
      break;
    }
    if (!WriteOutput(option, file.stream) || std::fflush(file.stream) != 0) {
      failed = k;
      const int error = file.writeErrno != 0 ? file.writeErrno : errno;
      why = std::strerror(error != 0 ? error : EIO);
    }
  }
  int committed = 0;
  for (int k = 0; k < OutputCapacity; ++k) {
    PendingOutput& out = outputs[k];
    if (out.option < 0) continue;
    if (failed >= 0) {
      AbandonOutputFile(out.file);
    } else if (CommitOutputFile(out.file)) {
      ++committed;
    } else {
      failed = k;
      why = out.file.error;
    }
  }
  if (failed >= 0) {
    std::fprintf(
        stderr, "%s: writing --%s \"%s\" failed: %s; %s\n", Program,
        SpecOf(OutputOptions[failed]).name, options.text[OutputOptions[failed]], why,
        committed == 0 ? "no output file was changed" : "the files before it were written");
    code = ExitOutputFailed;
  }
  if (run.frozen) std::fprintf(stderr, "frozen at T=%" PRId32 "\n", run.T);
  std::fprintf(stderr,
               "moves=%" PRId32 " attempts=%" PRId64 " seconds=%.3f moves_per_second=%.0f\n",
               moves, run.reactor.attempts, seconds, seconds > 0 ? moves / seconds : 0.0);
  return code;
}
