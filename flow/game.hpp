// The game from the title to the result: the screens that frame it, the settings dialogue and
// the turn loop.
#pragma once

#include "board/board.hpp"
#include "rules/winner.hpp"

#include <cstdint>

// Nine showings of the title, one second each, in changing colours.
void showTitle();
// The generator the first player is drawn from, as the C runtime the game was first built with
// (Microsoft's) has it, so that every platform draws alike: its state, 1 as long as it is not
// seeded, and its next value, 0 to 32767. The first is 41.
extern std::uint32_t randomState;
std::int16_t nextRandom();
// Asks for the grid size, the player count, draws the first player and announces it.
// Returns gridSize, or 0 when the input ended before the settings were done.
std::int16_t askSettings();
// Nothing for 0. For a winner: the result line, the pause, then the banner with the winner's mark
// drawn large, until a fresh Enter. Returns the code.
std::int16_t announceResult(Board &board, WinnerCode code);
// A full grid that no one has won: the result line says so, then the pause.
void announceDraw(Board &board);
// One whole game. Always 0, which is the exit status.
int playGame();
