// What the terminal backend runs on. The game gets the real terminal; tests hand in their own
// screen, keyboard and clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

struct TerminalDevice {
  std::function<void(std::string_view bytes)> write;
  // Up to n bytes of input; 0 when the input has ended.
  std::function<std::ptrdiff_t(char *buffer, std::size_t n)> read;
  // One key, with line mode and echo off; -1 when the input has ended. Only asked of a terminal.
  std::function<int()> readKey;
  std::function<void(std::int32_t milliseconds)> sleep;
  // The screen's columns and rows, 0 when unknown.
  std::function<void(std::int16_t &columns, std::int16_t &rows)> screenSize;
  // A terminal echoes typed replies itself; anything else does not.
  bool inputIsTerminal = false;
  // NO_COLOR: no colour sequences at all.
  bool colourAllowed = true;
};

void openConsole(TerminalDevice device);
