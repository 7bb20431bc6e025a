// Every escape sequence the game sends to a terminal, with its meaning. Only those that xterm, VTE,
// the Linux console, tmux and GNU screen all know.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace vt {

// CSI H, then CSI 2 J: cursor to the top left, then the whole screen erased.
inline constexpr std::string_view clearScreen = "\x1b[H\x1b[2J";
// CSI K: erases from the cursor to the end of its line; the cursor stays.
inline constexpr std::string_view eraseToLineEnd = "\x1b[K";
// CSI m: every attribute back to the terminal's own.
inline constexpr std::string_view resetAttributes = "\x1b[m";
// BEL: the terminal's own audible (or visible) signal.
inline constexpr std::string_view bell = "\a";
// OSC 11 ; ? ST: what is the background colour? Answered as OSC 11 ; rgb:R/G/B, up to BEL or ST,
// by the terminals that know it; the others say nothing.
inline constexpr std::string_view backgroundQuestion = "\x1b]11;?\x1b\\";

namespace detail {
// A number written straight in, as the shortest way to a cell is looked for often.
inline void append(std::string &text, int n) {
  char digits[8];
  text.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

// CSI n final, with n left out when it is 1.
inline std::string counted(int n, char final) {
  std::string text = "\x1b[";
  if (n != 1)
    append(text, n);
  return text += final;
}
} // namespace detail

// CSI row ; column H: cursor to a position, both counted from 1 by the terminal; the column left
// out when it is 1, and then the row too when it is 1.
inline std::string cursorTo(std::int16_t column, std::int16_t row) {
  std::string text = "\x1b[";
  if (column > 0 || row > 0)
    detail::append(text, row + 1);
  if (column > 0) {
    text += ';';
    detail::append(text, column + 1);
  }
  return text += 'H';
}

// CHA, VPA: cursor to a column, or to a row, the other kept.
inline std::string cursorToColumn(std::int16_t column) {
  return detail::counted(column + 1, 'G');
}
inline std::string cursorToRow(std::int16_t row) {
  return detail::counted(row + 1, 'd');
}
// CUF, CUB, CUD, CUU: cursor moved by cells, stopping at the screen's edge.
inline std::string cursorForward(int cells) {
  return detail::counted(cells, 'C');
}
inline std::string cursorBack(int cells) {
  return detail::counted(cells, 'D');
}
inline std::string cursorDown(int rows) {
  return detail::counted(rows, 'B');
}
inline std::string cursorUp(int rows) {
  return detail::counted(rows, 'A');
}

// SGR from one console colour (bit 0 blue, bit 1 green, bit 2 red, bit 3 intensity; -1 when the
// terminal's state is unknown) to another; the two differ. Normal text (7) is the terminal's own
// foreground and white (15) that foreground in bold, so both read on light and dark themes alike.
// The rest are CSI 30..37 m, or CSI 90..97 m with intensity, whose colour index runs red 1,
// green 2, blue 4. On a light background, the colours that would not read on white (under 3:1
// in xterm's palette) take a darker shade of their hue from the 256-colour palette: green (2)
// 0,95,0; cyan (3) 0,135,135; light green (10) 0,135,0; yellow (14) 175,135,0. Of the change
// from the colour before (CSI 22 m ends the bold) and a reset followed by what the new colour
// needs, the shorter goes; only the reset while the state is unknown.
inline std::string colourChange(std::int8_t from, std::int8_t to, bool light = false) {
  const auto foreground = [light](std::int8_t colour) -> std::string {
    if (colour == 7 || colour == 15)
      return "39";
    if (light) {
      switch (colour) {
      case 2:
        return "38;5;22";
      case 3:
        return "38;5;30";
      case 10:
        return "38;5;28";
      case 14:
        return "38;5;136";
      default:
        break;
      }
    }
    const int index = ((colour & 4) ? 1 : 0) | (colour & 2) | ((colour & 1) ? 4 : 0);
    return std::to_string(((colour & 8) ? 90 : 30) + index);
  };
  const auto bold = [](std::int8_t colour) { return colour == 15; };
  const auto sgr = [](const std::string &codes) { return "\x1b[" + codes.substr(1) + 'm'; };

  std::string reset = ";0";
  if (bold(to))
    reset += ";1";
  if (foreground(to) != "39")
    reset += ';' + foreground(to);
  const std::string resetting = reset == ";0" ? std::string(resetAttributes) : sgr(reset);
  if (from < 0)
    return resetting;

  std::string change;
  if (bold(to) != bold(from))
    change += bold(to) ? ";1" : ";22";
  if (foreground(to) != foreground(from))
    change += ';' + foreground(to);
  const std::string changing = sgr(change);
  return changing.size() < resetting.size() ? changing : resetting;
}

} // namespace vt
