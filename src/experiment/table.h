// The table of runs, one format everywhere: the batch runner's CSV, the
// lesson page's download and the Python module's sweep tables have these
// columns in this order and, for the same run, the same rows. A row says
// what made it: the parameters, the seed, the moves asked for, the sample
// interval and the program's version.
//
// frozen_at is empty but on the last row of a run that froze, where it is
// that row's T (a row is written before the run knows whether it will move
// again). Reals are written as the shortest text that reads back to the
// same double.
#pragma once

#include <cstdint>

#include "sim/measures.h"
#include "sim/reactor.h"

inline constexpr const char* TableColumns[] = {
    "N",      "M",         "K",             "Ah",        "Kh",       "G",
    "rSz",    "seed",      "T",             "bottom",    "wall_contacts", "interface",
    "mean_row", "frozen_at", "steps",       "sample_every", "version"};
inline constexpr int TableColumnCount = sizeof TableColumns / sizeof TableColumns[0];

struct TableRow {
  SimParams params;
  std::uint32_t seed = 0;
  std::int32_t T = 0;
  Measures measures;
  std::int32_t frozenAt = -1;  // -1: empty
  std::int32_t steps = 0;      // the moves the run was asked for
  std::int32_t sampleEvery = 0;
};

// Room for any header or row, with its line end and terminator.
inline constexpr int TableLineCapacity = 320;

// The header line, with its line end; its length.
int FormatTableHeader(char (&line)[TableLineCapacity]);
// One row, with its line end; its length.
int FormatTableRow(char (&line)[TableLineCapacity], const TableRow& row);

// The shortest text that reads back to value (a repr), into out of at least
// 32 bytes, terminated; its length.
int FormatReal(char* out, double value);

// Room for a run's description.
inline constexpr int RunDescriptionCapacity = 200;

// "N=100 M=100 K=3000 Ah=0.5 Kh=0.8 G=0.2 rSz=3 seed=0 T=20000": what a
// picture's text says of the run it shows; its length.
int FormatRunDescription(char (&text)[RunDescriptionCapacity], const SimParams& params,
                         std::uint32_t seed, std::int32_t T);
