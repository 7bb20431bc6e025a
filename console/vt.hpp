// Every escape sequence the game sends to a terminal, with its meaning.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vt {

// CSI H, then CSI 2 J: cursor to the top left, then the whole screen erased.
inline constexpr std::string_view clearScreen = "\x1b[H\x1b[2J";
// CSI K: erases from the cursor to the end of its line.
inline constexpr std::string_view eraseToLineEnd = "\x1b[K";
// CSI 0 m: every attribute back to the terminal's own.
inline constexpr std::string_view resetAttributes = "\x1b[0m";
// BEL: the terminal's own audible (or visible) signal.
inline constexpr std::string_view bell = "\a";

// CSI row ; column H: cursor to a position, both counted from 1 by the terminal.
inline std::string cursorTo(std::int16_t column, std::int16_t row) {
  return "\x1b[" + std::to_string(row + 1) + ';' + std::to_string(column + 1) + 'H';
}

// SGR from one console colour (bit 0 blue, bit 1 green, bit 2 red, bit 3 intensity; -1 when the
// terminal's state is unknown) to another. Normal text (7) is the terminal's own foreground,
// CSI 39 m, and white (15) is that foreground in bold, CSI 1 m, so both read on light and dark
// themes alike; CSI 22 m ends the bold. The rest are CSI 30..37 m, or CSI 90..97 m with intensity,
// whose colour index runs red 1, green 2, blue 4. CSI 0 m first when the state is unknown. The
// two colours differ.
inline std::string colourChange(std::int8_t from, std::int8_t to) {
  const auto foreground = [](std::int8_t colour) {
    if (colour == 7 || colour == 15)
      return 39;
    const int index = ((colour & 4) ? 1 : 0) | (colour & 2) | ((colour & 1) ? 4 : 0);
    return ((colour & 8) ? 90 : 30) + index;
  };
  std::string codes = from < 0 ? ";0" : "";
  const bool wasBold = from == 15;
  if (to == 15 && !wasBold)
    codes += ";1";
  if (to != 15 && wasBold)
    codes += ";22";
  if (foreground(to) != (from < 0 ? 39 : foreground(from)))
    codes += ';' + std::to_string(foreground(to));
  return "\x1b[" + codes.substr(1) + 'm';
}

} // namespace vt
