// The console layer running in-process: what the game writes lands on a libvterm screen, replies
// come from a string, and sleeps and beeps are recorded instead of waited for.
#pragma once

#include "screen.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct FakeTerminal {
  explicit FakeTerminal(std::string input = {}, int columns = 80, int rows = 24,
                        bool colourAllowed = true);
  ~FakeTerminal();

  Screen screen;
  // Handed out a line per read, as a terminal in line mode does.
  std::string input;
  std::size_t inputRead = 0;
  std::vector<std::int32_t> sleeps;
  int writes = 0;
  std::string written;
  // Called when the game waits for a line of input or sleeps, with the screen as it then stands.
  std::function<void()> onRead;
  std::function<void()> onSleep;
};
