// The winner and the computer's move on every position of tests/rules.table.
#include "rules/opponent.hpp"
#include "rules/winner.hpp"
#include "screen.hpp"

#include <gtest/gtest.h>

namespace {

// The grid's rows from the top, each read from the left; the board's cells are [column][row].
Board boardOf(const std::vector<std::string> &rows) {
  Board board = createBoard(static_cast<std::int16_t>(rows.size()));
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows.size(); ++c)
      board.cells[c][r] = rows[r][c];
  return board;
}

void judge(const std::string &expected, std::vector<std::string> rows, std::size_t line) {
  SCOPED_TRACE("the position at line " + std::to_string(line));
  Board board = boardOf(rows);
  if (expected.starts_with("winner")) {
    EXPECT_EQ("winner " + std::to_string(checkWinner(board)), expected);
  } else {
    if (int column = 0, row = 0; std::sscanf(expected.c_str(), "move %d,%d", &column, &row) == 2)
      rows.at(row - 1).at(column - 1) = 'O';
    // Whatever an earlier move left in the scratch must not matter.
    board.placed = true;
    board.firstRowWithoutX = -1;
    computerMove(board);
  }
  EXPECT_EQ(board.cells, boardOf(rows).cells) << "the grid after it";
}

TEST(rules, EveryPositionOfTheTable) {
  const std::vector<std::string> table = linesOf(QZ_RULES_TABLE);
  for (std::size_t line = 0; line < table.size(); ++line) {
    if (!table[line].starts_with("winner ") && !table[line].starts_with("move "))
      continue;
    std::vector<std::string> rows;
    for (std::size_t row = line + 1; row < table.size() && !table[row].empty(); ++row)
      rows.push_back(table[row]);
    judge(table[line], rows, line + 1);
  }
}

} // namespace
