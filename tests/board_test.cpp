#include "board/board.hpp"
#include "console/console.hpp"
#include "fake_terminal.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Rows of the screen, and per position the colour as one hex digit ('7' normal text), as far as
// the row's text or its last other colour reaches.
struct Picture {
  std::vector<std::string> text;
  std::vector<std::string> colours;
};

Picture capture(const Screen &screen, int rows) {
  Picture picture;
  for (int r = 0; r < rows; ++r) {
    picture.text.push_back(screen.row(r));
    std::string colours;
    for (int c = 0; c < screen.columns(); ++c)
      colours.push_back("0123456789abcdef"[screen.colourAt(c, r)]);
    colours.erase(std::max(picture.text.back().size(), colours.find_last_not_of('7') + 1));
    picture.colours.push_back(colours);
  }
  return picture;
}

// The marks as rows of text, e.g. {"X..", "...", "..O"}.
Board boardWith(const std::vector<std::string> &rows) {
  Board board = createBoard(static_cast<std::int16_t>(rows.size()));
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (std::size_t c = 0; c < rows.size(); ++c)
      board.cells[c][r] = rows[r][c];
  return board;
}

} // namespace

TEST(BoardDisplay, ThreeByThreeIsDrawnAsDesigned) {
  FakeTerminal terminal;
  Board board = createBoard(3);
  board.drawBoard();
  flushOutput();
  const Picture picture = capture(terminal.screen, 8);
  const std::vector<std::string> text = {"1.1|2.1|3.1",
                                         "-----------",
                                         "1.2|2.2|3.2",
                                         "-----------",
                                         "1.3|2.3|3.3",
                                         "",
                                         "Col(accros)   Row(down)",
                                         ""};
  const std::vector<std::string> colours = {"777a777a777",        "aaaaaaaaaaa",
                                            "777a777a777",        "aaaaaaaaaaa",
                                            "777a777a777",        "",
                                            std::string(23, 'd'), ""};
  EXPECT_EQ(picture.text, text);
  EXPECT_EQ(picture.colours, colours);
  EXPECT_EQ(terminal.screen.cursorColumn(), 23);
  EXPECT_EQ(terminal.screen.cursorRow(), 6);
}

TEST(BoardDisplay, EverySizeRecordsMarkPositionsAndEndsOnTheLegend) {
  for (std::int16_t n = 3; n <= 9; ++n) {
    FakeTerminal terminal;
    Board board = createBoard(n);
    board.drawBoard();
    for (std::int16_t c = 0; c < n; ++c) {
      for (std::int16_t r = 0; r < n; ++r) {
        EXPECT_EQ(board.cellColumn[c][r], 4 * c + 1) << n;
        EXPECT_EQ(board.cellRow[c][r], 2 * r) << n;
      }
    }
    board.redrawMarks();
    flushOutput();
    const Screen &screen = terminal.screen;
    for (int r = 0; r < 2 * n - 1; ++r)
      EXPECT_EQ(screen.row(r).size(), 4u * n - 1) << n << " row " << r;
    EXPECT_EQ(screen.row(2 * n), "Col(accros)   Row(down)") << n;
    EXPECT_EQ(screen.cursorColumn(), 3 * n - 1) << n;
    EXPECT_EQ(screen.cursorRow(), 2 * n) << n;
  }
}

TEST(BoardDisplay, RedrawMarksPaintsEveryMarkTheSameEachTime) {
  FakeTerminal terminal;
  Board board = createBoard(3);
  board.drawBoard();
  flushOutput();
  const std::size_t drawn = terminal.written.size();
  board.redrawMarks();
  flushOutput();
  EXPECT_EQ(terminal.written.substr(drawn), "\x1b[7;9H") << "no marks, only the cursor moves";

  board.cells[1][0] = 'X';
  board.cells[0][2] = 'O';
  board.redrawMarks();
  flushOutput();
  const Picture once = capture(terminal.screen, 7);
  board.redrawMarks();
  flushOutput();
  const Picture twice = capture(terminal.screen, 7);
  EXPECT_EQ(once.text, twice.text);
  EXPECT_EQ(once.colours, twice.colours);
  EXPECT_EQ(once.text[0], "1.1| X |3.1");
  EXPECT_EQ(once.colours[0], "777a797a777");
  EXPECT_EQ(once.text[4], " O |2.3|3.3");
  EXPECT_EQ(once.colours[4], "7c7a777a777");
  EXPECT_EQ(terminal.screen.cursorColumn(), 8);
  EXPECT_EQ(terminal.screen.cursorRow(), 6);
}

TEST(BoardDisplay, BlankBlockBlanksHeightPassesOfHeightLines) {
  struct Case {
    std::int16_t column, row, width, height;
    std::vector<std::string> rows4to8;
    int cursorRow;
  };
  // A row of 30 '#' that begins with `start`.
  const auto hashes = [](std::string start) { return start + std::string(30 - start.size(), '#'); };
  const std::string full = hashes(""), blank23 = hashes(std::string(23, ' '));
  const Case cases[] = {
      {0, 7, 23, 1, {full, full, full, blank23, full}, 8},
      {0, 5, 23, 2, {full, blank23, blank23, blank23, full}, 8},
      {4, 5, 3, 2, {full, hashes("####   "), hashes("   #   "), hashes("   "), full}, 8},
      {4, 5, 3, 0, {full, full, full, full, full}, 9},
  };
  for (const Case &c : cases) {
    FakeTerminal terminal;
    Board board = createBoard(3);
    clearScreen();
    for (int r = 0; r < 9; ++r)
      std::cout << full << '\n';
    board.blankBlock(c.column, c.row, c.width, c.height);
    flushOutput();
    for (int r = 4; r <= 8; ++r) {
      std::string shown = terminal.screen.row(r);
      shown.resize(30, ' ');
      EXPECT_EQ(shown, c.rows4to8[r - 4]) << c.column << ',' << c.row << " row " << r;
    }
    EXPECT_EQ(terminal.screen.cursorColumn(), 0);
    EXPECT_EQ(terminal.screen.cursorRow(), c.cursorRow);
  }
}

TEST(BoardState, IsCellFreeRefusesTakenAndOffGridCellsWithABeep) {
  struct Case {
    std::int16_t column, row;
    bool free;
  };
  const Case cases[] = {
      {2, 2, true},  {1, 1, false}, {3, 3, false},   {0, 1, false},          {4, 1, false},
      {1, 0, false}, {1, 4, false}, {-1, -1, false}, {32767, -32768, false},
  };
  for (const Case &c : cases) {
    FakeTerminal terminal;
    Board board = boardWith({"X..", "...", "..O"});
    placeCursor(0, 9);
    EXPECT_EQ(board.isCellFree(c.column, c.row), c.free) << c.column << ',' << c.row;
    flushOutput();
    EXPECT_EQ(terminal.screen.bells(), c.free ? 0 : 1);
    EXPECT_EQ(terminal.sleeps.size(), c.free ? 0u : 1u);
    EXPECT_EQ(terminal.screen.cursorColumn(), 0);
    EXPECT_EQ(terminal.screen.cursorRow(), c.free ? 9 : 8);
  }
}

TEST(BoardState, PlaceMarkWritesTheTurnsMarkOnlyOnTheGrid) {
  struct Case {
    std::int16_t column, row;
    std::uint8_t turn;
    bool two;
    std::vector<std::string> after;
  };
  const Case cases[] = {
      {2, 3, 0, false, {"...", "...", ".X."}}, {3, 1, 1, true, {"..O", "...", "..."}},
      {3, 1, 1, false, {"...", "...", "..."}}, {1, 1, 2, true, {"...", "...", "..."}},
      {0, 1, 0, false, {"...", "...", "..."}}, {4, 4, 0, false, {"...", "...", "..."}},
  };
  for (const Case &c : cases) {
    FakeTerminal terminal;
    twoPlayers = c.two;
    Board board = createBoard(3);
    board.placeMark(c.column, c.row, c.turn);
    EXPECT_EQ(board.cells, boardWith(c.after).cells) << c.column << ',' << c.row;
    if (board.cells != boardWith({"...", "...", "..."}).cells)
      EXPECT_FALSE(board.isCellFree(c.column, c.row)) << "the same cell";
  }
  twoPlayers = false;
}
