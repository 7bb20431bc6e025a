// The game's start values as a fresh run has them, with the random generator seeded so that its
// first value gives the wanted player the first move (seed 1 is the unseeded start).
#pragma once

#include "board/board.hpp"

#include <cstdlib>

inline void startFreshRun(int firstTurn) {
  gridSize = 0;
  twoPlayers = false;
  currentTurn = 0;
  for (unsigned seed = 1;; ++seed) {
    std::srand(seed);
    if ((std::rand() & 1) == firstTurn) {
      std::srand(seed);
      return;
    }
  }
}
