// The computer's move as O: a fixed list of rules over runs of three neighbouring cells along rows
// and down columns, with no look-ahead, no randomness and no memory between moves.
#pragma once

#include "board/board.hpp"

#include <cstdint>

// Writes one 'O' into a free cell, if there is one, straight into the grid.
void computerMove(Board &board);

// The steps of a move, in the order computerMove runs them. Each step that can write returns
// whether it did, which is also left in board.placed.

// Clears placed and sets firstRowWithoutX to the topmost row holding no X, or N if there is none.
void findRowWithoutX(Board &board);
// The centre cell, or for even N the lower right of the four middle cells.
bool takeCentre(Board &board);
// Completes two O within three neighbouring cells of a row.
bool completeRowPair(Board &board);
// Fills the free cell beside or between two X within three neighbouring cells of a row.
bool blockRowPair(Board &board);
bool completeColumnPair(Board &board);
bool blockColumnPair(Board &board);
// The leftmost free cell of the given 0-based row.
bool placeInRow(Board &board, std::int16_t row);
// The first free cell in reading order: top row first, each row from left to right.
void placeFirstFree(Board &board);
