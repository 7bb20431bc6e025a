// Every escape sequence the game sends to a terminal, with its meaning.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vt {

// CSI 0 m: every attribute back to the terminal's own.
inline constexpr std::string_view resetAttributes = "\x1b[0m";
// CSI H, then CSI 2 J: cursor to the top left, then the whole screen erased.
inline constexpr std::string_view clearScreen = "\x1b[H\x1b[2J";
// BEL: the terminal's own audible (or visible) signal.
inline constexpr std::string_view bell = "\a";

// CSI row ; column H: cursor to a position, both counted from 1 by the terminal.
inline std::string cursorTo(std::int16_t column, std::int16_t row) {
  return "\x1b[" + std::to_string(row + 1) + ';' + std::to_string(column + 1) + 'H';
}

// The foreground part of a console attribute (bit 0 blue, bit 1 green, bit 2 red, bit 3
// intensity) as SGR: CSI 39 m, the terminal's own text colour, for normal text (7), so the game
// reads well on light and dark themes; CSI 30..37 m and, with intensity, CSI 90..97 m for the
// rest, whose colour index runs red 1, green 2, blue 4. Backgrounds stay the terminal's own.
inline std::string foreground(std::int32_t attribute) {
  const std::int32_t colour = attribute & 0x0f;
  if (colour == 7)
    return "\x1b[39m";
  const std::int32_t index =
      ((colour & 4) ? 1 : 0) | ((colour & 2) ? 2 : 0) | ((colour & 1) ? 4 : 0);
  const std::int32_t base = (colour & 8) ? 90 : 30;
  return "\x1b[" + std::to_string(base + index) + 'm';
}

} // namespace vt
