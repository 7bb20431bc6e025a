// Decides whether one mark owns a complete line of the grid.
#pragma once

#include "board/board.hpp"

#include <cstdint>

// 0: no complete line (the grid may be open or full; there is no draw), 1: X owns one, 2: O owns
// one.
using WinnerCode = std::int16_t;

// Only complete lines of N cells count: rows top to bottom, then columns left to right, then the
// main diagonal, then the anti-diagonal; the first complete one decides. The board is only read.
WinnerCode checkWinner(const Board &board);

// No free cell left: with no complete line, nobody can win any more.
bool isGridFull(const Board &board);
