#include "opponent.hpp"

#include <vector>

namespace {

enum class Direction { alongRows, downColumns };

// The four pair steps: in every window of three neighbouring cells, visited line by line and
// within a line from the left or top, looks for two of `wanted` and a free third cell, and puts
// an 'O' there. The first window that serves decides.
bool fillPair(Board &board, char wanted, Direction direction) {
  board.placed = false;
  const std::int16_t n = gridSize;
  for (std::int16_t line = 0; line < n; ++line) {
    for (std::int16_t start = 0; start + 2 < n; ++start) {
      const auto cell = [&](std::int16_t offset) -> char & {
        const auto along = static_cast<std::int16_t>(start + offset);
        return direction == Direction::alongRows ? board.cells[along][line]
                                                 : board.cells[line][along];
      };
      char &first = cell(0);
      char &middle = cell(1);
      char &last = cell(2);
      char *target = nullptr;
      if (first == wanted && middle == wanted && isFree(last))
        target = &last;
      else if (first == wanted && last == wanted && isFree(middle))
        target = &middle;
      else if (middle == wanted && last == wanted && isFree(first))
        target = &first;
      if (target != nullptr) {
        *target = 'O';
        board.placed = true;
        return board.placed;
      }
    }
  }
  return board.placed;
}

} // namespace

void findRowWithoutX(Board &board) {
  board.placed = false;
  const std::int16_t n = gridSize;
  std::vector<std::int16_t> xInRow(static_cast<std::size_t>(n), 0);
  for (std::int16_t r = 0; r < n; ++r)
    for (std::int16_t c = 0; c < n; ++c)
      if (board.cells[c][r] == 'X')
        ++xInRow[r];
  board.firstRowWithoutX = n;
  for (std::int16_t r = 0; r < n; ++r) {
    if (xInRow[r] == 0) {
      board.firstRowWithoutX = r;
      break;
    }
  }
}

bool takeCentre(Board &board) {
  board.placed = false;
  const std::int16_t middle = static_cast<std::int16_t>(gridSize / 2);
  char &centre = board.cells[middle][middle];
  if (isFree(centre)) {
    centre = 'O';
    board.placed = true;
  }
  return board.placed;
}

bool completeRowPair(Board &board) {
  return fillPair(board, 'O', Direction::alongRows);
}
bool blockRowPair(Board &board) {
  return fillPair(board, 'X', Direction::alongRows);
}
bool completeColumnPair(Board &board) {
  return fillPair(board, 'O', Direction::downColumns);
}
bool blockColumnPair(Board &board) {
  return fillPair(board, 'X', Direction::downColumns);
}

bool placeInRow(Board &board, std::int16_t row) {
  board.placed = false;
  for (std::int16_t c = 0; c < gridSize; ++c) {
    if (isFree(board.cells[c][row])) {
      board.cells[c][row] = 'O';
      board.placed = true;
      break;
    }
  }
  return board.placed;
}

void placeFirstFree(Board &board) {
  for (std::int16_t r = 0; r < gridSize; ++r) {
    for (std::int16_t c = 0; c < gridSize; ++c) {
      if (isFree(board.cells[c][r])) {
        board.cells[c][r] = 'O';
        return;
      }
    }
  }
}

void computerMove(Board &board) {
  findRowWithoutX(board);
  if (takeCentre(board) || completeRowPair(board) || blockRowPair(board) ||
      completeColumnPair(board) || blockColumnPair(board))
    return;
  if (board.firstRowWithoutX < gridSize && placeInRow(board, board.firstRowWithoutX))
    return;
  // A row without X and without a free cell is all O, a game already won; rather than pass, the
  // computer still takes the first free cell, so it moves whenever it can.
  placeFirstFree(board);
}
