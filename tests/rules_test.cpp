#include "rules/opponent.hpp"
#include "rules/winner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

// A position as N strings, one per row from the top; character c of string r is cell (c, r).
using Rows = std::vector<std::string>;

Rows blank(std::int16_t n) {
  return Rows(n, std::string(n, '.'));
}

Board boardOf(const Rows &rows) {
  const auto n = static_cast<std::int16_t>(rows.size());
  Board board = createBoard(n);
  for (std::int16_t r = 0; r < n; ++r)
    for (std::int16_t c = 0; c < n; ++c)
      board.cells[c][r] = rows[r][c];
  return board;
}

Rows rowsOf(const Board &board) {
  Rows rows = blank(gridSize);
  for (std::int16_t r = 0; r < gridSize; ++r)
    for (std::int16_t c = 0; c < gridSize; ++c)
      rows[r][c] = board.cells[c][r];
  return rows;
}

// Every complete line of an n x n grid: a first cell and a step.
struct Line {
  std::int16_t column, row, columnStep, rowStep;
};

std::vector<Line> linesOf(std::int16_t n) {
  std::vector<Line> lines{{0, 0, 1, 1}, {static_cast<std::int16_t>(n - 1), 0, -1, 1}};
  for (std::int16_t k = 0; k < n; ++k) {
    lines.push_back({0, k, 1, 0});
    lines.push_back({k, 0, 0, 1});
  }
  return lines;
}

// The line drawn in `mark` on an empty grid, with its cell number `odd` (if any) set to `other`.
Rows drawn(std::int16_t n, const Line &line, char mark, std::int16_t odd = -1, char other = '.') {
  Rows rows = blank(n);
  for (std::int16_t k = 0; k < n; ++k)
    rows[line.row + k * line.rowStep][line.column + k * line.columnStep] = k == odd ? other : mark;
  return rows;
}

TEST(CheckWinner, EveryLineOfEverySizeAndItsNearMisses) {
  for (std::int16_t n = 3; n <= 9; ++n) {
    EXPECT_EQ(checkWinner(boardOf(blank(n))), 0) << n;
    for (const Line &line : linesOf(n)) {
      for (const char mark : {'X', 'O'}) {
        const char rival = mark == 'X' ? 'O' : 'X';
        SCOPED_TRACE(::testing::PrintToString(drawn(n, line, mark)));
        EXPECT_EQ(checkWinner(boardOf(drawn(n, line, mark))), mark == 'X' ? 1 : 2);
        EXPECT_EQ(checkWinner(boardOf(drawn(n, line, mark == 'X' ? 'x' : 'o'))), 0);
        for (std::int16_t k = 0; k < n; ++k) {
          EXPECT_EQ(checkWinner(boardOf(drawn(n, line, mark, k))), 0) << k;
          EXPECT_EQ(checkWinner(boardOf(drawn(n, line, mark, k, rival))), 0) << k;
        }
      }
    }
  }
}

TEST(CheckWinner, ShortRunsFullGridsAndTheOrderBetweenLines) {
  const struct {
    Rows rows;
    WinnerCode expected;
  } cases[] = {
      {{"XXX..", ".....", ".....", ".....", "....."}, 0},
      {{"XXXXX", ".....", ".....", ".....", "....."}, 1},
      {{"XXXXO", ".....", ".....", ".....", "....."}, 0},
      {{".XXXX", ".....", ".....", ".....", "....."}, 0},
      {{"XOX", "XOO", "OXX"}, 0},
      {{"OOO", "...", "XXX"}, 2},
      {{"XXX", "...", "OOO"}, 1},
      {{"X.O", "X.O", "X.O"}, 1},
      {{"O.X", "O.X", "O.X"}, 2},
      {{"X..O", ".XO.", ".OX.", "O..X"}, 1},
      {{"O..X", ".OX.", ".XO.", "X..O"}, 2},
  };
  for (const auto &[rows, expected] : cases) {
    const Board board = boardOf(rows);
    EXPECT_EQ(checkWinner(board), expected) << ::testing::PrintToString(rows);
  }
}

TEST(ComputerMove, EachRuleWinsOverTheLaterOnes) {
  // The expected O as a person types it, column then row from 1; {0, 0}: no move.
  const struct {
    Rows rows;
    std::int16_t column, row;
  } cases[] = {
      {blank(3), 2, 2},
      {blank(4), 3, 3},
      {blank(5), 3, 3},
      {blank(6), 4, 4},
      {blank(7), 4, 4},
      {blank(8), 5, 5},
      {blank(9), 5, 5},
      {{"...", ".o.", "..."}, 2, 2},                         // a lower-case o is free
      {{"OO...", ".....", ".....", "...X.", "....X"}, 3, 3}, // centre before pairs
      {{".OO.", "XX..", "..O.", "...X"}, 1, 1},              // complete, leftmost window
      {{"X.X", ".O.", "..."}, 2, 1},                         // block between two X
      {{"O....", "OX...", "..O..", ".....", "...XX"}, 3, 5}, // block row before column
      {{"X..", "XO.", ".O."}, 2, 1},                         // complete column, not block
      {{"....", ".O..", ".OX.", "...."}, 2, 1},              // topmost window of a column
      {{"..X", ".OX", "..."}, 3, 3},                         // block column before row rule
      {{".....", "X....", ".XO..", ".....", "....."}, 1, 1}, // diagonals ignored
      {{"...", ".X.", "..."}, 1, 1},                         // topmost row without X
      {{"X..", ".O.", "..X"}, 1, 2},                         // leftmost free cell there
      {{"X.O", ".OX", ".X."}, 2, 1},                         // every row holds an X
      {{"OOO", ".X.", "X.."}, 1, 2},                         // that row full: reading order
      {{"XOX", "XOO", "OXX"}, 0, 0},                         // full grid unchanged
  };
  for (const auto &[rows, column, row] : cases) {
    Board board = boardOf(rows);
    computerMove(board);
    Rows expected = rows;
    if (column != 0)
      expected[row - 1][column - 1] = 'O';
    EXPECT_EQ(rowsOf(board), expected) << ::testing::PrintToString(rows);
  }
}

TEST(Rules, RandomPositionsOfEverySize) {
  std::mt19937 random(1234);
  for (std::int16_t n = 3; n <= 9; ++n) {
    const auto cellCount = static_cast<std::int16_t>(n * n);
    std::vector<std::int16_t> order(static_cast<std::size_t>(cellCount));
    std::iota(order.begin(), order.end(), 0);
    for (std::int16_t trial = 0; trial < 400; ++trial) {
      // Marks alternate from either one, as in play, on cells in random order.
      std::shuffle(order.begin(), order.end(), random);
      const auto markCount = static_cast<std::int16_t>(random() % (cellCount + 1));
      const bool xFirst = random() % 2 == 0;
      Rows rows = blank(n);
      for (std::int16_t k = 0; k < markCount; ++k)
        rows[order[k] / n][order[k] % n] = (k % 2 == 0) == xFirst ? 'X' : 'O';
      SCOPED_TRACE(::testing::PrintToString(rows));

      Board board = boardOf(rows);
      const WinnerCode code = checkWinner(board);
      ASSERT_TRUE(code >= 0 && code <= 2);
      ASSERT_EQ(rowsOf(board), rows);

      computerMove(board);
      const Rows after = rowsOf(board);
      std::int16_t changed = 0;
      for (std::int16_t r = 0; r < n; ++r)
        for (std::int16_t c = 0; c < n; ++c)
          if (after[r][c] != rows[r][c]) {
            ++changed;
            ASSERT_TRUE(isFree(rows[r][c]));
            ASSERT_EQ(after[r][c], 'O');
          }
      ASSERT_EQ(changed, markCount < cellCount ? 1 : 0);

      // Leftovers of an earlier move must not matter.
      Board again = boardOf(rows);
      again.placed = true;
      again.firstRowWithoutX = -1;
      computerMove(again);
      ASSERT_EQ(rowsOf(again), after);
    }
  }
}

} // namespace
