// Decides whether one mark owns a complete line of the grid.
#pragma once

#include "board/board.hpp"

#include <cstdint>
#include <optional>

// 0: no complete line (the grid may be open or full; there is no draw), 1: X owns one, 2: O owns
// one.
using WinnerCode = std::int16_t;

// A line of N cells that one mark fills, and which line it is.
struct CompleteLine {
  enum class Kind : std::uint8_t { row, column, mainDiagonal, antiDiagonal };
  Kind kind;
  // The row's or the column's, 0-based; 0 for a diagonal.
  std::int16_t index;
  WinnerCode owner;
};

// Only complete lines of N cells count: rows top to bottom, then columns left to right, then the
// main diagonal, then the anti-diagonal; the first complete one decides. The board is only read.
std::optional<CompleteLine> firstCompleteLine(const Board &board);
// The owner of that line, 0 for none.
WinnerCode checkWinner(const Board &board);

// No free cell left: with no complete line, nobody can win any more.
bool isGridFull(const Board &board);
