#include "experiment/initial_grid.h"

#include <algorithm>

namespace {

bool Refuse(GridProblem& problem, std::int32_t row, std::int32_t column, const char* reason) {
  problem = GridProblem{row, column, reason};
  return false;
}

}  // namespace

bool ReadGridText(std::string_view text, InitialGrid& grid, GridProblem& problem) {
  grid.rows = grid.columns = 0;
  std::int32_t row = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at = end + 1;
    if (row == GridSide)
      return Refuse(problem, row, -1, "more than 252 lines (250 rows and the walls)");
    if (row == 0) {
      if (line.size() > GridSide)
        return Refuse(problem, 0, GridSide, "more than 252 columns (250 and the walls)");
      grid.columns = static_cast<std::int32_t>(line.size());
    }
    if (static_cast<std::int32_t>(line.size()) != grid.columns)
      return Refuse(problem, row, std::min(static_cast<std::int32_t>(line.size()), grid.columns),
                    "a line of another length than the first");
    for (std::int32_t c = 0; c < grid.columns; ++c) {
      if (line[c] < '0' || line[c] > '2') return Refuse(problem, row, c, "not a digit 0, 1 or 2");
      grid.cells[row][c] = static_cast<std::uint8_t>(line[c] - '0');
    }
    ++row;
  }
  grid.rows = row;
  return true;
}

bool CheckInitialGrid(GridCells grid, GridProblem& problem) {
  if (grid.rows < 3 || grid.columns < 3)
    return Refuse(problem, -1, -1, "fewer than 3 lines or columns (a row, a column and the walls)");
  if (grid.rows > GridSide || grid.columns > GridSide)
    return Refuse(problem, -1, -1, "more than 252 lines or columns (250 and the walls)");
  std::int32_t particles = 0;
  for (std::int32_t r = 0; r < grid.rows; ++r) {
    for (std::int32_t c = 0; c < grid.columns; ++c) {
      const std::uint8_t cell = grid.cells[r * grid.stride + c];
      const bool frame = r == 0 || c == 0 || r == grid.rows - 1 || c == grid.columns - 1;
      if (cell > Particle) return Refuse(problem, r, c, "not a cell 0, 1 or 2");
      if (frame && cell != Wall)
        return Refuse(problem, r, c, "not a wall: the frame must be walls");
      if (!frame && cell == Wall)
        return Refuse(problem, r, c, "a wall inside the frame: only the frame is walls");
      if (cell == Particle && ++particles > ParticleLimit)
        return Refuse(problem, r, c, "more than 32767 particles");
    }
  }
  if (particles == 0) return Refuse(problem, -1, -1, "no particle (a 2) in the grid");
  return true;
}

void SetUpRunFromGrid(Run& run, GridCells grid, double Ah, double Kh, double G, std::int16_t rSz,
                      std::uint32_t seed) {
  Reactor& r = run.reactor;
  SimParams& p = r.params;
  p = SimParams{static_cast<std::int16_t>(grid.rows - 2),
                static_cast<std::int16_t>(grid.columns - 2),
                0,
                Ah,
                Kh,
                G,
                rSz};
  for (auto& count : r.rowCounts) count = 0;
  for (int row = 0; row < GridSide; ++row) {
    for (int column = 0; column < GridSide; ++column) {
      const bool inside = row < grid.rows && column < grid.columns;
      const CellState cell =
          inside ? static_cast<CellState>(grid.cells[row * grid.stride + column]) : Empty;
      r.grid[row][column] = cell;
      if (cell == Particle && row < RowCountLength) ++r.rowCounts[row];
    }
  }
  for (int row = 1; row <= p.N; ++row) p.K = static_cast<std::int16_t>(p.K + r.rowCounts[row]);
  r.random = RandomSource{};
  r.random.seed = seed;
  StartReactor(r);
  StartAtZero(run);
}
