// The winner and the computer's move on every position of tests/rules.table.
#include "rules/opponent.hpp"
#include "rules/winner.hpp"
#include "screen.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The grid's rows from the top, each read from the left; the board's cells are [column][row].
Board boardOf(const std::vector<std::string> &rows) {
  Board board = createBoard(static_cast<std::int16_t>(rows.size()));
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows.size(); ++c)
      board.cells[c][r] = rows[r][c];
  return board;
}

// The line that decides, as the table names it.
std::string lineOf(const Board &board) {
  const std::optional<CompleteLine> line = firstCompleteLine(board);
  if (!line)
    return "";
  switch (line->kind) {
  case CompleteLine::Kind::row:
    return " row " + std::to_string(line->index + 1);
  case CompleteLine::Kind::column:
    return " column " + std::to_string(line->index + 1);
  case CompleteLine::Kind::mainDiagonal:
    return " main diagonal";
  default:
    return " anti-diagonal";
  }
}

void judge(const std::string &expected, std::vector<std::string> rows, std::size_t line) {
  SCOPED_TRACE("the position at line " + std::to_string(line));
  Board board = boardOf(rows);
  if (expected.starts_with("winner")) {
    EXPECT_EQ("winner " + std::to_string(checkWinner(board)) + lineOf(board), expected);
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

// What a position starts with: "winner 0", "winner N" and its line, "move C,R" or "move none".
// Anything else is a fault of the table, not a line to pass over.
bool isExpectation(const std::string &line) {
  int a = 0, b = 0, end = 0;
  const auto whole = [&](const std::string &text) {
    return static_cast<std::size_t>(end) == text.size();
  };
  if (line.starts_with("winner 1 ") || line.starts_with("winner 2 ")) {
    const std::string named = line.substr(9);
    return named == "main diagonal" || named == "anti-diagonal" ||
           ((std::sscanf(named.c_str(), "row %d%n", &a, &end) == 1 ||
             std::sscanf(named.c_str(), "column %d%n", &a, &end) == 1) &&
            whole(named));
  }
  return line == "winner 0" || line == "move none" ||
         (std::sscanf(line.c_str(), "move %d,%d%n", &a, &b, &end) == 2 && whole(line));
}

TEST(rules, EveryPositionOfTheTable) {
  const std::vector<std::string> table = linesOf(QZ_RULES_TABLE);
  std::size_t judged = 0;
  for (std::size_t line = 0; line < table.size(); ++line) {
    if (table[line].empty() || table[line].starts_with('#'))
      continue;
    const std::size_t start = line;
    std::vector<std::string> rows;
    while (line + 1 < table.size() && !table[line + 1].empty())
      rows.push_back(table[++line]);
    const bool square = rows.size() >= 3 && rows.size() <= 9 &&
                        std::all_of(rows.begin(), rows.end(), [&](const std::string &row) {
                          return row.size() == rows.size();
                        });
    if (!isExpectation(table[start]) || !square) {
      ADD_FAILURE() << "line " << start + 1 << " starts no position of 3 to 9 square rows";
      continue;
    }
    judge(table[start], rows, start + 1);
    ++judged;
  }
  EXPECT_GT(judged, 0u) << "no position judged: " QZ_RULES_TABLE " is missing or empty";
}

} // namespace
