#include "board.hpp"

#include "colours.hpp"
#include "console/console.hpp"

#include <iomanip>
#include <iostream>
#include <string>

std::int16_t gridSize = 0;
bool twoPlayers = false;
std::uint8_t currentTurn = 0;

namespace {

constexpr const char *legend = "Col(accros)   Row(down)";

bool onGrid(std::int16_t column, std::int16_t row) {
  return column >= 1 && column <= gridSize && row >= 1 && row <= gridSize;
}

} // namespace

Board createBoard(std::int16_t n) {
  gridSize = n;
  const auto side = static_cast<std::size_t>(n);
  Board board;
  board.cells.assign(side, std::vector<char>(side, '.'));
  board.cellColumn.assign(side, std::vector<std::int16_t>(side, 0));
  board.cellRow.assign(side, std::vector<std::int16_t>(side, 0));
  return board;
}

void Board::placeMark(std::int16_t column, std::int16_t row, std::uint8_t turn) {
  if (!onGrid(column, row))
    return;
  char &cell = cells[column - 1][row - 1];
  if (turn == 0)
    cell = 'X';
  else if (turn == 1 && twoPlayers)
    cell = 'O';
}

bool Board::isCellFree(std::int16_t column, std::int16_t row) {
  if (onGrid(column, row) && isFree(cells[column - 1][row - 1]))
    return true;
  beep();
  moveCursor(cursorColumn(), static_cast<std::int16_t>(cursorRowAbove() + 1));
  return false;
}

void Board::drawBoard() {
  clearScreen();
  const std::int16_t n = gridSize;
  for (std::int16_t r = 0; r < n; ++r) {
    for (std::int16_t c = 0; c < n; ++c) {
      if (c != 0) {
        setTextColour(colours::rules);
        std::cout << '|';
        setTextColour(colours::normalText);
      }
      std::cout << c + 1;
      cellColumn[c][r] = cursorColumn();
      cellRow[c][r] = static_cast<std::int16_t>(cursorRowAbove() + 2);
      std::cout << cells[c][r] << r + 1;
    }
    if (r != n - 1) {
      std::cout << '\n';
      setTextColour(colours::rules);
      std::cout << std::string(static_cast<std::size_t>(4 * n - 1), '-');
      setTextColour(colours::normalText);
      std::cout << '\n';
    }
  }
  std::cout << "\n\n";
  setTextColour(colours::messages);
  std::cout << legend;
  setTextColour(colours::normalText);
}

void Board::redrawMarks() {
  const std::int16_t n = gridSize;
  for (std::int16_t r = 0; r < n; ++r) {
    for (std::int16_t c = 0; c < n; ++c) {
      const char mark = cells[c][r];
      if (isFree(mark))
        continue;
      moveCursor(static_cast<std::int16_t>(cellColumn[c][r] - 1), cellRow[c][r]);
      std::cout << ' ';
      setTextColour(mark == 'X' ? colours::xMark : colours::oMark);
      std::cout << mark;
      setTextColour(colours::normalText);
      std::cout << ' ';
    }
  }
  moveCursor(static_cast<std::int16_t>(3 * n - 1), static_cast<std::int16_t>(2 * n));
}

void Board::sayRows() const {
  if (!plainPlay())
    return;
  for (std::int16_t r = 0; r < gridSize; ++r) {
    std::string line = "Row " + std::to_string(r + 1) + ':';
    for (std::int16_t c = 0; c < gridSize; ++c)
      line += (c == 0 ? " " : ", ") + (isFree(cells[c][r]) ? "free" : std::string(1, cells[c][r]));
    say(line);
  }
}

void Board::moveCursor(std::int16_t column, std::int16_t row) {
  placeCursor(column, row);
}

void Board::blankBlock(std::int16_t column, std::int16_t row, std::int16_t width,
                       std::int16_t height) {
  for (std::int16_t pass = 0; pass < height; ++pass) {
    moveCursor(column, static_cast<std::int16_t>(row + pass));
    for (std::int16_t line = 0; line < height; ++line)
      std::cout << std::setw(width) << "" << '\n';
  }
}
