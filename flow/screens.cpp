#include "game.hpp"

#include "board/colours.hpp"
#include "console/console.hpp"

#include <iostream>
#include <string>
#include <string_view>

namespace {

// Pass 0 keeps the colour the terminal had when the game started.
constexpr std::int32_t titleColours[] = {0, 12, 15, 2, 13, 14, 3, 10, 9};

constexpr std::string_view title = "     QUARVEL\n"
                                   "       ZIB\n";

constexpr std::string_view banner =
    "   A      L           L              H       H      A      I I I I I   L\n"
    "  A A     L           L              H       H     A A         I       L\n"
    " A   A    L           L              H       H    A   A        I       L\n"
    "A A A A   L           L              H H H H H   A A A A       I       L\n"
    "A     A   L           L              H       H   A     A       I       L\n"
    "A     A   L           L              H       H   A     A       I       L\n"
    "A     A   L L L L L   L L L L L      H       H   A     A   I I I I I   L L L L L\n";

constexpr std::string_view bigX = "                               X       X\n"
                                  "                                X     X\n"
                                  "                                 X   X\n"
                                  "                                  X X\n"
                                  "                                   X\n"
                                  "                                  X X\n"
                                  "                                 X   X\n"
                                  "                                X     X\n"
                                  "                               X       X\n";

constexpr std::string_view bigO = "                               O O\n"
                                  "                             O     O\n"
                                  "                           O         O\n"
                                  "                          O           O\n"
                                  "                         O             O\n"
                                  "                         O             O\n"
                                  "                         O             O\n"
                                  "                         O             O\n"
                                  "                          O           O\n"
                                  "                           O         O\n"
                                  "                             O     O\n"
                                  "                               O O\n";

// The result line replaces the empty row, the legend and the entry row below the board.
void blankBelowBoard(Board &board) {
  board.blankBlock(0, static_cast<std::int16_t>(cursorRowAbove() + 1), 23, 2);
}

} // namespace

// Said once in plain play, its two words on one line, for a second.
void showTitle() {
  if (plainPlay()) {
    say("QUARVEL ZIB");
    sleepFor(1000);
    return;
  }
  for (std::size_t pass = 0; pass < std::size(titleColours); ++pass) {
    if (pass != 0)
      setTextColour(titleColours[pass]);
    std::cout << "\n\n" << title;
    sleepFor(1000);
    clearScreen();
  }
}

std::int16_t announceResult(Board &board, WinnerCode code) {
  if (code == 0)
    return 0;
  const std::int32_t markColour = code == 1 ? colours::xMark : colours::oMark;
  blankBelowBoard(board);
  setTextColour(markColour);
  std::cout << (code == 1 ? "X " : "O ");
  setTextColour(colours::white);
  std::cout << "wins the game\n";
  // In plain play: the result, the board, and the salute in words.
  const std::string winner = code == 1 ? "X" : "O";
  say(winner + " wins the game");
  board.sayRows();
  if (!pauseForKey())
    return code;
  say("All hail " + winner + "! Press Enter to end.");
  clearScreen();
  std::cout << '\n' << banner;
  setTextColour(markColour);
  std::cout << (code == 1 ? bigX : bigO);
  setTextColour(colours::normalText);
  std::cout << '\n';
  // The Enter that closed the last typed number must not end the wait.
  discardTypedLine();
  waitForEnter();
  return code;
}

void announceDraw(Board &board) {
  blankBelowBoard(board);
  setTextColour(colours::white);
  std::cout << "Nobody wins the game\n";
  say("Nobody wins the game");
  board.sayRows();
  pauseForKey();
  setTextColour(colours::normalText);
}
