// The game's settings as a fresh run has them, with the random generator seeded so that its first
// value, which decides who goes first, gives the move to `first` ('X' or 'O').
#pragma once

#include "board/board.hpp"

#include <cstdlib>

inline void startFreshGame(char first) {
  gridSize = 0;
  twoPlayers = false;
  currentTurn = 0;
  unsigned seed = 1; // the unseeded generator's own start, which gives O
  while ((std::srand(seed), std::rand() & 1) != (first == 'O' ? 1 : 0))
    ++seed;
  std::srand(seed);
}
