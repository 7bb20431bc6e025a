// The game's own sets of sequences, where no terminfo entry says them: the one the Windows
// console's painter plays, and the one every ANSI terminal takes, for a terminal that terminfo
// does not know. And the one question the game asks a terminal.
#pragma once

#include "capabilities.hpp"

#include <string>
#include <string_view>

namespace vt {

// OSC 11 ; ? ST: what is the background colour? Answered as OSC 11 ; rgb:R/G/B, up to BEL or ST,
// by the terminals that know it; the others say nothing.
inline constexpr std::string_view backgroundQuestion = "\x1b]11;?\x1b\\";

namespace detail {
// CSI n final, with n left out when it is 1.
inline std::string counted(int n, char final) {
  std::string text = "\x1b[";
  if (n != 1)
    text += std::to_string(n);
  return text += final;
}
} // namespace detail

// CUP, EL, ED, SGR 30 to 37 and bold, and the C0 controls: what every ANSI terminal takes.
inline Capabilities ansi() {
  Capabilities ansi;
  ansi.cursorAddress = [](int row, int column) {
    return "\x1b[" + std::to_string(row + 1) + ';' + std::to_string(column + 1) + 'H';
  };
  ansi.carriageReturn = "\r";
  ansi.down1 = ansi.scrollForward = "\n";
  ansi.back1 = "\b";
  ansi.eraseToLineEnd = "\x1b[K";
  ansi.eraseToScreenEnd = "\x1b[J";
  ansi.colours = 8;
  ansi.foreground = [](int colour) { return "\x1b[3" + std::to_string(colour) + 'm'; };
  ansi.bold = "\x1b[1m";
  ansi.resetAttributes = "\x1b[0m";
  ansi.bell = "\a";
  return ansi;
}

// What the Windows console's painter plays: xterm's sequences for the cursor, erasing to the end
// of a line and a count of cells, the whole window, and sixteen colours; the bell, and the mouse
// reports the console gives as xterm's.
inline Capabilities windowsConsole() {
  Capabilities console;
  console.cursorAddress = [](int row, int column) {
    std::string text = "\x1b[";
    if (column > 0 || row > 0)
      text += std::to_string(row + 1);
    if (column > 0)
      text += ';' + std::to_string(column + 1);
    return text += 'H';
  };
  console.columnAddress = [](int column) { return detail::counted(column + 1, 'G'); };
  console.rowAddress = [](int row) { return detail::counted(row + 1, 'd'); };
  console.forward = [](int n) { return detail::counted(n, 'C'); };
  console.back = [](int n) { return detail::counted(n, 'D'); };
  console.down = [](int n) { return detail::counted(n, 'B'); };
  console.up = [](int n) { return detail::counted(n, 'A'); };
  console.back1 = "\b";
  console.down1 = console.scrollForward = "\n";
  console.carriageReturn = "\r";
  console.home = "\x1b[H";
  console.clearScreen = "\x1b[H\x1b[2J";
  console.eraseToLineEnd = "\x1b[K";
  console.eraseCharacters = [](int n) { return detail::counted(n, 'X'); };
  console.colours = 16;
  console.foreground = [](int colour) {
    return "\x1b[" + std::to_string(colour < 8 ? 30 + colour : 90 + colour - 8) + 'm';
  };
  console.bold = "\x1b[1m";
  console.resetAttributes = "\x1b[m";
  console.defaultColours = "\x1b[39m";
  console.bell = "\a";
  console.mouseOn = "\x1b[?1006;1000h";
  console.mouseOff = "\x1b[?1006;1000l";
  return console;
}

} // namespace vt
