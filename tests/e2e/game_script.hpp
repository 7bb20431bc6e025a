// One short one-player 3 x 3 game as a player sees and types it, shared by the Linux executable's
// and the Windows executable's end-to-end tests: the computer takes the centre, the player's try
// at the centre is refused, (1,1) is answered at (1,2), and (3,1) lets O complete row 2.
#pragma once

#include "pty_session.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

struct Step {
  const char *shows; // what the player waits for, named in a failure
  std::function<bool(const Screen &)> ready;
  bool keyMode; // the pause takes one key; every other reply is a line
  std::string keys;
};

std::vector<Step> oneGame();

// The title's nine passes, each in its colour, the first within `first`.
testing::AssertionResult showsTitle(PtySession &session, PtySession::Timeout first);

// Waits until the step is on the screen and the program reads: under wine, once its console has
// put the pty into raw mode.
testing::AssertionResult reach(PtySession &session, const Step &step, bool underWine,
                               PtySession::Timeout within);
