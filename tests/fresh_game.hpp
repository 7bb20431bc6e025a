// The game's settings as a fresh run has them, with the random generator seeded so that its first
// value, which decides who goes first, gives the move to `first` ('X' or 'O'): glibc draws an odd
// first value from seed 1, the unseeded start, and an even one from seed 2.
#pragma once

#include "board/board.hpp"

#include <cstdlib>

inline void startFreshGame(char first) {
  gridSize = 0;
  twoPlayers = false;
  currentTurn = 0;
  std::srand(first == 'O' ? 1 : 2);
}
