// What the POSIX console runs on: the real terminal (file descriptors, termios, signals), or a
// test's own screen, keyboard and clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// 0 where unknown.
struct WindowSize {
  std::int16_t columns = 0;
  std::int16_t rows = 0;
};

struct TerminalDevice {
  // False once the terminal takes no more output.
  std::function<bool(std::string_view bytes)> write;
  // Up to n bytes of input; 0 or less when the input has ended.
  std::function<std::ptrdiff_t(char *buffer, std::size_t n)> read;
  std::function<void(std::int32_t milliseconds)> sleep;
  // Gives the terminal back as it was found, after the last write.
  std::function<void()> release;
  WindowSize size;
  // A terminal's keys are echoed and edited by the console; other input is shown a line at a time.
  bool inputIsTerminal = false;
  // NO_COLOR: no colour sequences at all.
  bool colourAllowed = true;
};

// Takes std::cout and std::cin over for the game, on this device.
void openConsole(TerminalDevice device);

// What the device tells the console while the game waits.
void consoleWindowChanged(WindowSize size);
// Before the game stops: the terminal's colour back, the cursor on a fresh line.
void consoleSuspending();
// After it: the picture repainted whole.
void consoleResumed();

// The real terminal behind standard input and output, set up for the game. Empty, after saying
// why in one line on standard error and with the terminal untouched, when it cannot be used.
std::optional<TerminalDevice> openTerminal();

// The game's largest screens are 80 columns wide (the banner) and 22 rows high (a 9 x 9 result and
// the big O).
inline constexpr WindowSize neededSize{80, 22};

inline bool fitsTheGame(WindowSize size) {
  return size.columns >= neededSize.columns && size.rows >= neededSize.rows;
}

inline std::string tooSmallMessage(WindowSize size) {
  return "quarvel-zib needs a terminal of at least " + std::to_string(neededSize.columns) + 'x' +
         std::to_string(neededSize.rows) + "; this one is " + std::to_string(size.columns) + 'x' +
         std::to_string(size.rows) + '.';
}
