// The lattice the reactor lives on: its size limits, the cell states and the
// grid type. The reactor model and the move's own records share them.
#pragma once

#include <cstdint>

// Largest N and M; the grid always has room for the largest reactor.
inline constexpr int ReactorLimit = 250;
// Rows and columns of the grid: the reactor space plus its wall frame.
inline constexpr int GridSide = ReactorLimit + 2;
// Entries of RowCounts: rows 0..250 (the histogram copies it whole).
inline constexpr int RowCountLength = ReactorLimit + 1;
// K is a signed 16-bit count.
inline constexpr int ParticleLimit = 32767;
// Ah, Kh and G lie in -StrengthLimit..StrengthLimit.
inline constexpr double StrengthLimit = 1.0;

// The numeric values are what the reactor view colours by.
enum CellState : std::int32_t { Wall = 0, Empty = 1, Particle = 2 };

using ReactorGrid = CellState[GridSide][GridSide];  // [row][column]
using RowCounts = std::int16_t[RowCountLength];

// Largest neighbourhood radius rSz.
inline constexpr int RadiusLimit = 10;
