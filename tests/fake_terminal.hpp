// The console layer running in-process: what the game writes lands on a libvterm screen, replies
// come from a string, and sleeps and beeps are recorded instead of waited for.
#pragma once

#include "screen.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Hands out the next line of input, as a terminal in line mode does; 0 at the end.
inline std::ptrdiff_t handOutLine(std::string_view input, std::size_t &readAt, char *buffer,
                                  std::size_t n) {
  const std::size_t lineEnd = input.find('\n', readAt);
  const std::size_t line =
      lineEnd == std::string_view::npos ? input.size() - readAt : lineEnd + 1 - readAt;
  const std::size_t count = std::min(n, line);
  std::copy_n(input.data() + readAt, count, buffer);
  readAt += count;
  return static_cast<std::ptrdiff_t>(count);
}

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
