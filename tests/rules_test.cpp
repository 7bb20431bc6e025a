// The winner and the computer's move on every position of tests/rules.table.
#include "rules/opponent.hpp"
#include "rules/winner.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// The grid's rows from the top, each read from the left; the board's cells are [column][row].
Board boardOf(const std::vector<std::string> &rows) {
  Board board = createBoard(static_cast<std::int16_t>(rows.size()));
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows.size(); ++c)
      board.cells[c][r] = rows[r][c];
  return board;
}

void judge(const std::string &expected, std::vector<std::string> rows, int line) {
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
  std::ifstream table(QZ_RULES_TABLE);
  std::string expected;
  std::vector<std::string> rows;
  int line = 0, start = 0;
  for (std::string text; std::getline(table, text); ++line) {
    if (text.starts_with("winner ") || text.starts_with("move ")) {
      if (!rows.empty())
        judge(expected, rows, start);
      expected = text, start = line + 1, rows.clear();
    } else if (!text.empty() && text[0] != '#') {
      rows.push_back(text);
    }
  }
  judge(expected, rows, start);
}

} // namespace
