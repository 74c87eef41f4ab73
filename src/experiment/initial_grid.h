// A run started from a grid of one's own (a drop placed by hand): the grid
// as the batch runner's --grid writes it, (N+2) lines of (M+2) digits, 0
// wall, 1 empty, 2 particle, or the same cells from an array.
//
// A grid is accepted when it is 3 to 252 cells a side, every cell 0, 1 or 2,
// framed by walls (its first and last rows and columns are 0) with no wall
// inside the frame, and holds 1 to 32767 particles. N, M and K come from it.
#pragma once

#include <cstdint>
#include <string_view>

#include "experiment/run.h"

struct InitialGrid {
  std::int32_t rows = 0, columns = 0;  // N + 2 and M + 2
  std::uint8_t cells[GridSide][GridSide] = {};
};

// Cells row by row somewhere in memory: an InitialGrid's, or a state file's.
struct GridCells {
  const std::uint8_t* cells = nullptr;
  std::int32_t rows = 0, columns = 0;
  std::int32_t stride = 0;  // bytes from a row to the next
};

inline GridCells CellsOf(const InitialGrid& grid) {
  return GridCells{&grid.cells[0][0], grid.rows, grid.columns, GridSide};
}

// What is wrong with a grid, and where: row and column from 0 in the grid
// (-1 when the problem is not one cell's).
struct GridProblem {
  std::int32_t row = -1, column = -1;
  const char* reason = "";
};

// Read a grid's text: lines of digits, each ended by a line end ("\r\n" is
// one), the last one's optional. False, with the problem, when the text is
// not a grid (too many lines or columns, ragged lines, another character);
// the grid is then checked with CheckInitialGrid.
bool ReadGridText(std::string_view text, InitialGrid& grid, GridProblem& problem);

// Whether a grid's cells may start a run; the first problem otherwise,
// looked for row by row.
bool CheckInitialGrid(GridCells grid, GridProblem& problem);

// Set the run up at T = 0 from an accepted grid and the other parameters
// (accepted too): no random draw is made.
void SetUpRunFromGrid(Run& run, GridCells grid, double Ah, double Kh, double G, std::int16_t rSz,
                      std::uint32_t seed);
