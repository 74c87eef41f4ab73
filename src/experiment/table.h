// The table of runs, one format everywhere: the batch runner's CSV, the
// lesson page's download and the Python module's sweep tables have these
// columns in this order and, for the same run, the same rows. A row says
// what made it: the parameters, the seed, the moves asked for, the sample
// interval and the program's version.
//
// A table may add columns of its own right after mean_row, in the order
// asked: measures asked for by name (sim/measures.h), then values a Python
// sweep computes from the grid. Each is a real, written as the shortest
// text that reads back to the same double (a whole number as its digits).
//
// frozen_at and stopped are empty but on the last row of a run: frozen_at
// is that row's T when the run froze there; stopped says why the run ended
// (steps: its moves made; frozen; steady: its measure had settled). A row
// is written before the run knows whether it will move again, so only the
// last row can say.
#pragma once

#include <cstdint>
#include <string_view>

#include "sim/measures.h"
#include "sim/reactor.h"

inline constexpr const char* TableColumns[] = {
    "N",      "M",         "K",             "Ah",        "Kh",       "G",
    "rSz",    "seed",      "T",             "bottom",    "wall_contacts", "interface",
    "mean_row", "frozen_at", "stopped",     "steps",     "sample_every", "version"};
inline constexpr int TableColumnCount = sizeof TableColumns / sizeof TableColumns[0];
// Where a table's own columns go: before frozen_at.
inline constexpr int TableExtraAt = 13;

// Columns a table may add, and the longest name of one.
inline constexpr int TableExtraLimit = 32;
inline constexpr int TableNameLimit = 40;

// Why a run ended, as its last row's stopped says it.
enum class RunEnd : std::uint8_t { Unsaid, Steps, Frozen, Steady };
inline constexpr const char* RunEndNames[] = {"", "steps", "frozen", "steady"};

// The names of a table's own columns.
struct TableLayout {
  const char* extra[TableExtraLimit] = {};
  int extraCount = 0;
};

struct TableRow {
  SimParams params;
  std::uint32_t seed = 0;
  std::int32_t T = 0;
  Measures measures;
  double extra[TableExtraLimit] = {};  // the layout's columns, in its order
  std::int32_t frozenAt = -1;          // -1: empty
  RunEnd stopped = RunEnd::Unsaid;
  std::int32_t steps = 0;  // the moves the run was asked for
  std::int32_t sampleEvery = 0;
};

// Only a run's last row says why it ended, and the T it froze at when it
// froze there: the rows before are written while the run goes on.
inline void MarkRunEnd(TableRow& row, bool last, bool frozen, std::int32_t runT) {
  row.frozenAt = frozen && runT == row.T ? row.T : -1;
  row.stopped = !last ? RunEnd::Unsaid : frozen ? RunEnd::Frozen : RunEnd::Steps;
}

// Why name cannot head a column of its own: not a word of 1 to TableNameLimit
// letters, digits and underscores starting with a letter or underscore (the
// CSV needs no quoting), or the name of a column every table has, or of a
// named measure (which may be asked for by name only). nullptr when it can.
const char* TableNameProblem(std::string_view name);

// Room for any header or row, with its line end and terminator.
inline constexpr int TableLineCapacity = 2048;

// The header line, with its line end; its length.
int FormatTableHeader(char (&line)[TableLineCapacity], const TableLayout& layout = {});
// One row, with its line end; its length.
int FormatTableRow(char (&line)[TableLineCapacity], const TableRow& row,
                   const TableLayout& layout = {});

// The shortest text that reads back to value (a repr), into out of at least
// 32 bytes, terminated; its length.
int FormatReal(char* out, double value);

// Room for a run's description.
inline constexpr int RunDescriptionCapacity = 200;

// "N=100 M=100 K=3000 Ah=0.5 Kh=0.8 G=0.2 rSz=3 seed=0 T=20000": what a
// picture's text says of the run it shows; its length.
int FormatRunDescription(char (&text)[RunDescriptionCapacity], const SimParams& params,
                         std::uint32_t seed, std::int32_t T);
