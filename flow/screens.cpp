#include "game.hpp"

#include "board/colours.hpp"
#include "console/console.hpp"

#include <iostream>
#include <optional>
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

// The line that won, as the player counts: "Row 2.", "Column 3.", or the diagonal by the corner
// it starts from in the top row.
std::string inWords(const CompleteLine &line) {
  switch (line.kind) {
  case CompleteLine::Kind::row:
    return "Row " + std::to_string(line.index + 1) + '.';
  case CompleteLine::Kind::column:
    return "Column " + std::to_string(line.index + 1) + '.';
  case CompleteLine::Kind::mainDiagonal:
    return "The diagonal from column 1, row 1.";
  default:
    return "The diagonal from column " + std::to_string(gridSize) + ", row 1.";
  }
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
  // In plain play: the result, the line that won, the board if asked for, and the salute in
  // words.
  const std::string winner = code == 1 ? "X" : "O";
  say(winner + " wins the game");
  if (const std::optional<CompleteLine> line = firstCompleteLine(board))
    say(inWords(*line));
  if (!pauseForKey([&board] { board.sayRows(); }))
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
  pauseForKey([&board] { board.sayRows(); });
  setTextColour(colours::normalText);
}
