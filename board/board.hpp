// The one game object: the grid of marks, where each mark stands on the screen, and the scratch
// the computer opponent keeps between its steps.
#pragma once

#include <cstdint>
#include <vector>

// The side N of the grid: 0 until the settings are done, then 3 to 9 for the rest of the run.
extern std::int16_t gridSize;
// false: one player against the computer; true: two players at one keyboard.
extern bool twoPlayers;
// 0: X is to move; 1: O is to move.
extern std::uint8_t currentTurn;

struct Board {
  // Every grid is indexed [column][row], both from 0: column 0 is the leftmost, row 0 the top.
  // Marks are 'X', 'O', or '.' for an empty cell.
  std::vector<std::vector<char>> cells;
  // The screen column and row at which each cell's mark stands, recorded by drawBoard.
  std::vector<std::vector<std::int16_t>> cellColumn;
  std::vector<std::vector<std::int16_t>> cellRow;
  // Scratch of the computer opponent, set afresh by every move before it is read.
  bool placed = false;
  std::int16_t firstRowWithoutX = 0;

  // A person's mark at a 1-based column and row: X on turn 0, O on turn 1 in a two-player game.
  void placeMark(std::int16_t column, std::int16_t row, std::uint8_t turn);
  // Whether the 1-based cell can take a mark. A taken cell, or one off the grid, is refused with
  // a beep and the cursor one line up, back on the row the reply was typed on.
  bool isCellFree(std::int16_t column, std::int16_t row);

  // Clears the screen and draws the whole grid with its legend, recording where every mark stands.
  void drawBoard();
  // Paints every mark in its colour over its cell's numbers; the cursor ends on the legend row.
  void redrawMarks();
  void moveCursor(std::int16_t column, std::int16_t row);
  // In plain play, the grid in words, a line a row from the top: "Row 2: free, O, X".
  void sayRows() const;
  // height passes, each writing height lines of width blanks from (column, row + pass).
  void blankBlock(std::int16_t column, std::int16_t row, std::int16_t width, std::int16_t height);
};

// Sets gridSize to n and gives an empty board of that side.
Board createBoard(std::int16_t n);

// A cell is free when it holds neither mark.
inline bool isFree(char mark) {
  return mark != 'X' && mark != 'O';
}
