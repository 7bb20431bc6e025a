#include "game.hpp"
#include "reply.hpp"

#include "board/colours.hpp"
#include "console/console.hpp"
#include "rules/opponent.hpp"

#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

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

// A cell clicked or pointed at: its numbers stand on the entry row as if typed, whatever was typed
// before, and the cursor where the Enter after the row would have left it.
void showPicked(Board &board, std::int16_t entryRow, std::int16_t column, std::int16_t row) {
  board.blankBlock(0, entryRow, legendWidth, 1);
  board.moveCursor(columnField, entryRow);
  std::cout << column;
  board.moveCursor(rowField, entryRow);
  std::cout << row;
  board.moveCursor(0, static_cast<std::int16_t>(entryRow + 1));
}

// The name each player goes by; against the computer, O is the enemy.
std::string nameOf(std::uint8_t turn) {
  return turn == 0 ? "Player X" : twoPlayers ? "Player O" : "Enemy O";
}

// A cell as a player types it: "column 2, row 3", the first word as given.
std::string cellInWords(std::string_view columnWord, std::int16_t column, std::int16_t row) {
  std::string words(columnWord);
  words += ' ';
  words += std::to_string(column);
  words += ", row ";
  words += std::to_string(row);
  return words;
}

bool onGrid(std::int16_t n) {
  return n >= 1 && n <= gridSize;
}

// Why a move is refused, said in plain play before the beep: the first of its two numbers that is
// none, or off the grid, or else the cell taken.
void sayRefusal(const Board &board, bool columnTaken, std::int16_t column, bool rowTaken,
                std::int16_t row) {
  const std::string range = " from 1 to " + std::to_string(gridSize) + '.';
  if (!columnTaken || !onGrid(column))
    say("Not a column" + range);
  else if (!rowTaken || !onGrid(row))
    say("Not a row" + range);
  else if (!isFree(board.cells[column - 1][row - 1]))
    say(cellInWords("Column", column, row) + " is taken.");
}

// Asks on the entry row below the legend until a free cell is named: the column under "(accros)",
// the row under "(down)". In plain play each is asked in words, on a line of its own, and an
// empty line says the board, as the first question of the game tells. False when the input has
// ended.
bool readMove(Board &board, std::int16_t &column, std::int16_t &row, bool &told) {
  std::cout << '\n';
  const std::string columnQuestion = nameOf(currentTurn) + ", column?";
  const auto againAfterBoard = [&board](std::string_view question) {
    return [&board, question] {
      board.sayRows();
      say(question);
    };
  };
  for (;;) {
    board.blankBlock(cursorColumn(), static_cast<std::int16_t>(cursorRowAbove() + 2), legendWidth,
                     1);
    board.moveCursor(static_cast<std::int16_t>(cursorColumn() + columnField),
                     static_cast<std::int16_t>(cursorRowAbove() + 1));
    const auto entryRow = static_cast<std::int16_t>(cursorRowAbove() + 2);
    setTextColour(colours::white);
    // A click on a cell, or the cursor keys pointing at one, may answer instead.
    offerCells(board.cellColumn, board.cellRow, true);
    say(columnQuestion + (std::exchange(told, true) ? "" : " An empty line says the board."));
    Reply reply = readReply(column, againAfterBoard(columnQuestion));
    std::optional<std::pair<std::int16_t, std::int16_t>> picked = pickedCell();
    bool columnTaken = reply == Reply::number;
    bool rowTaken = false;
    bool rowAsked = false;
    if (columnTaken && !picked) {
      // The Enter after the column left the cursor on the row below the entry row.
      board.moveCursor(static_cast<std::int16_t>(cursorColumn() + rowField),
                       static_cast<std::int16_t>(cursorRowAbove() + 1));
      // A listener hears a column off the grid refused at once, not after a row typed for it.
      if (plainPlay() && !onGrid(column)) {
        discardTypedLine();
      } else {
        // The row may stand on the column's line, as on the screen; asked for only if not.
        offerCells(board.cellColumn, board.cellRow, false);
        if (!typedLineHasMore())
          say("Row?");
        reply = readReply(row, againAfterBoard("Row?"));
        rowTaken = reply == Reply::number;
        rowAsked = reply != Reply::ended;
        picked = pickedCell();
      }
    }
    if (picked) {
      std::tie(column, row) = *picked;
      columnTaken = rowTaken = true;
      reply = Reply::number;
      endEntry(board, entryRow);
      showPicked(board, entryRow, column, row);
    } else if (rowAsked) {
      endEntry(board, entryRow);
    }
    if (reply == Reply::ended) {
      withdrawCells();
      return false;
    }
    sayRefusal(board, columnTaken, column, rowTaken, row);
    // A reply that is no number names no cell, and is refused like a cell off the grid.
    if (reply == Reply::refused)
      column = row = 0;
    if (board.isCellFree(column, row)) {
      withdrawCells();
      return true;
    }
  }
}

// In plain play, the move in a sentence: who took which cell, as a player types it.
void sayMove(std::uint8_t turn, std::int16_t column, std::int16_t row) {
  say(nameOf(turn) + " takes " + cellInWords("column", column, row) + '.');
}

// The cell the computer's move took: the one that changed.
void sayComputerMove(const Board &before, const Board &after) {
  for (std::int16_t c = 0; c < gridSize; ++c)
    for (std::int16_t r = 0; r < gridSize; ++r)
      if (before.cells[c][r] != after.cells[c][r])
        sayMove(1, static_cast<std::int16_t>(c + 1), static_cast<std::int16_t>(r + 1));
}

} // namespace

int playGame() {
  showTitle();
  const std::int16_t n = askSettings();
  if (n == 0)
    return 0;
  Board board = createBoard(n);
  board.drawBoard();
  board.sayRows();
  sleepFor(500);

  // The last move typed; every entry writes both before they are read.
  std::int16_t column{};
  std::int16_t row{};
  // Whether plain play has told how to ask for the board.
  bool told = false;
  bool playing = true;
  while (playing) {
    if (currentTurn == 0 || twoPlayers) {
      if (!readMove(board, column, row, told))
        return 0;
      setTextColour(colours::normalText);
      board.placeMark(column, row, currentTurn);
      sayMove(currentTurn, column, row);
    } else {
      const Board before = board;
      computerMove(board);
      sayComputerMove(before, board);
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
