#include "game.hpp"
#include "reply.hpp"

#include "board/colours.hpp"
#include "console/console.hpp"
#include "rules/opponent.hpp"

#include <iostream>

namespace {

constexpr std::int16_t legendWidth = 23;
constexpr std::int16_t columnField = 5;
constexpr std::int16_t rowField = 18;

// Both numbers may stand on one typed line, with more after them. The rest of the line is
// dropped, so the next entry waits for a fresh line, and the echo of the entry's replies beyond
// the legend's width goes. The cursor stands where an Enter after the row would have left it, so
// a refusal brings it back to the entry row and not above it.
void endEntry(Board &board, std::int16_t entryRow) {
  discardTypedLine();
  clearEchoOutside(entryRow, legendWidth);
  if (cursorRowAbove() + 2 == entryRow)
    board.moveCursor(0, static_cast<std::int16_t>(entryRow + 1));
}

// Asks on the entry row below the legend until a free cell is named: the column under "(accros)",
// the row under "(down)". False when the input has ended.
bool readMove(Board &board, std::int16_t &column, std::int16_t &row) {
  std::cout << '\n';
  for (;;) {
    board.blankBlock(cursorColumn(), static_cast<std::int16_t>(cursorRowAbove() + 2), legendWidth,
                     1);
    board.moveCursor(static_cast<std::int16_t>(cursorColumn() + columnField),
                     static_cast<std::int16_t>(cursorRowAbove() + 1));
    setTextColour(colours::white);
    Reply reply = readReply(column);
    if (reply == Reply::number) {
      // The Enter after the column left the cursor on the row below the entry row.
      board.moveCursor(static_cast<std::int16_t>(cursorColumn() + rowField),
                       static_cast<std::int16_t>(cursorRowAbove() + 1));
      const auto entryRow = static_cast<std::int16_t>(cursorRowAbove() + 2);
      reply = readReply(row);
      if (reply != Reply::ended)
        endEntry(board, entryRow);
    }
    if (reply == Reply::ended)
      return false;
    // A reply that is no number names no cell, and is refused like a cell off the grid.
    if (reply == Reply::refused)
      column = row = 0;
    if (board.isCellFree(column, row))
      return true;
  }
}

} // namespace

int playGame() {
  showTitle();
  const std::int16_t n = askSettings();
  if (n == 0)
    return 0;
  Board board = createBoard(n);
  board.drawBoard();
  sleepFor(500);

  // The last move typed; every entry writes both before they are read.
  std::int16_t column{};
  std::int16_t row{};
  bool playing = true;
  while (playing) {
    if (currentTurn == 0 || twoPlayers) {
      if (!readMove(board, column, row))
        return 0;
      setTextColour(colours::normalText);
      board.placeMark(column, row, currentTurn);
    } else {
      computerMove(board);
    }
    board.redrawMarks();
    const WinnerCode code = checkWinner(board);
    if (announceResult(board, code) != 0) {
      playing = false;
    } else if (isGridFull(board)) {
      announceDraw(board);
      playing = false;
    }
    currentTurn = currentTurn == 0 ? 1 : 0;
  }
  return 0;
}
