// What the terminal can do, each capability as the sequence that does it: every sequence the game
// sends a terminal comes from here. On POSIX the terminal's terminfo entry says them; the Windows
// console, and a terminal that terminfo does not know, get sets of the game's own (vt.hpp).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct Capabilities {
  // A capability that takes numbers, given them; empty where the terminal has none.
  using One = std::function<std::string(int)>;
  using Two = std::function<std::string(int, int)>;

  // Cursor motion. Rows and columns count from 0.
  Two cursorAddress;                       // cup: to a row and a column
  One columnAddress, rowAddress;           // hpa, vpa: to a column, or a row, the other kept
  One forward, back, down, up;             // cuf, cub, cud, cuu: by that many cells
  std::string forward1, back1, down1, up1; // cuf1, cub1, cud1, cuu1: by one
  std::string carriageReturn;              // cr: to the first column
  std::string scrollForward;               // ind: on the last row, the screen scrolls up a line
  std::string home;                        // home: to the top left
  // Erasing: the whole screen with the cursor home, from the cursor to the end of its line or of
  // the screen, or that many cells from the cursor, which stays.
  std::string clearScreen, eraseToLineEnd, eraseToScreenEnd; // clear, el, ed
  One eraseCharacters;                                       // ech
  // rep: the character, that many times in all.
  std::function<std::string(char, int)> repeat;
  // Colour: how many (colors, 0 for none), a foreground (setaf), bold, every attribute off
  // (sgr0), and the terminal's own colours (op).
  int colours = 0;
  One foreground;
  std::string bold, resetAttributes, defaultColours;
  std::string bell; // bel
  // Mouse reports on and off, empty where the terminal sends none.
  std::string mouseOn, mouseOff;

  // The game's screen can be drawn: the cursor placed anywhere, and the screen cleared.
  bool canDraw() const {
    return cursorAddress && !carriageReturn.empty() && !down1.empty() &&
           (!clearScreen.empty() || !eraseToScreenEnd.empty());
  }
};
