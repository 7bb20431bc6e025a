// The winner and the computer's move on the positions of tests/rules.table.
#include "rules/opponent.hpp"
#include "rules/winner.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

struct Position {
  std::string expected; // "winner N" or "move C,R"
  std::vector<std::string> rows;
  int line;
};

std::vector<Position> positions(const std::string &kind) {
  std::vector<Position> found;
  std::ifstream in(QZ_RULES_TABLE);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.starts_with("winner ") || line.starts_with("move "))
      found.push_back({line, {}, number});
    else if (!line.empty() && line[0] != '#')
      found.back().rows.push_back(line);
  }
  std::erase_if(found, [&](const Position &p) { return !p.expected.starts_with(kind); });
  return found;
}

Board boardOf(const std::vector<std::string> &rows) {
  Board board = createBoard(static_cast<std::int16_t>(rows.size()));
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows.size(); ++c)
      board.cells[c][r] = rows[r][c];
  return board;
}

std::vector<std::string> rowsOf(const Board &board) {
  std::vector<std::string> rows(board.cells.size(), std::string(board.cells.size(), ' '));
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows.size(); ++c)
      rows[r][c] = board.cells[c][r];
  return rows;
}

TEST(rules, Winner) {
  for (const Position &p : positions("winner")) {
    const Board board = boardOf(p.rows);
    EXPECT_EQ("winner " + std::to_string(checkWinner(board)), p.expected) << "line " << p.line;
    EXPECT_EQ(rowsOf(board), p.rows) << "line " << p.line;
  }
}

TEST(rules, ComputerMove) {
  for (const Position &p : positions("move")) {
    std::vector<std::string> expected = p.rows;
    int column = 0;
    int row = 0;
    if (std::sscanf(p.expected.c_str(), "move %d,%d", &column, &row) == 2)
      expected.at(row - 1).at(column - 1) = 'O';
    Board board = boardOf(p.rows);
    // Whatever an earlier move left in the scratch must not matter.
    board.placed = true;
    board.firstRowWithoutX = -1;
    computerMove(board);
    EXPECT_EQ(rowsOf(board), expected) << "line " << p.line;
  }
}

} // namespace
