#include "winner.hpp"

#include <vector>

namespace {

using MarkCodes = std::vector<std::vector<WinnerCode>>;

// A cell's code equals the WinnerCode of its mark's owner; anything but 'X' or 'O' counts as empty.
WinnerCode markCode(char mark) {
  if (mark == 'X')
    return 1;
  if (mark == 'O')
    return 2;
  return 0;
}

// Walks the N cells of one line from (column, row) in steps of (columnStep, rowStep). The first
// cell names the candidate owner; an empty cell or the other mark breaks the line at once.
WinnerCode lineOwner(const MarkCodes &markCodes, std::int16_t column, std::int16_t row,
                     std::int16_t columnStep, std::int16_t rowStep) {
  WinnerCode owner = 0;
  for (std::int16_t k = 0; k < gridSize; ++k) {
    const WinnerCode code = markCodes[column + k * columnStep][row + k * rowStep];
    if (code == 0 || (owner != 0 && code != owner))
      return 0;
    owner = code;
  }
  return owner;
}

} // namespace

std::optional<CompleteLine> firstCompleteLine(const Board &board) {
  const std::int16_t n = gridSize;
  const auto side = static_cast<std::size_t>(n);
  MarkCodes markCodes(side, std::vector<WinnerCode>(side, 0));
  for (std::int16_t c = 0; c < n; ++c)
    for (std::int16_t r = 0; r < n; ++r)
      markCodes[c][r] = markCode(board.cells[c][r]);

  using Kind = CompleteLine::Kind;
  // The order only matters when both marks own a line: the upper row, then the left column, then
  // the main diagonal wins.
  for (std::int16_t r = 0; r < n; ++r)
    if (const WinnerCode owner = lineOwner(markCodes, 0, r, 1, 0))
      return CompleteLine{Kind::row, r, owner};
  for (std::int16_t c = 0; c < n; ++c)
    if (const WinnerCode owner = lineOwner(markCodes, c, 0, 0, 1))
      return CompleteLine{Kind::column, c, owner};
  if (const WinnerCode owner = lineOwner(markCodes, 0, 0, 1, 1))
    return CompleteLine{Kind::mainDiagonal, 0, owner};
  if (const WinnerCode owner = lineOwner(markCodes, static_cast<std::int16_t>(n - 1), 0, -1, 1))
    return CompleteLine{Kind::antiDiagonal, 0, owner};
  return std::nullopt;
}

WinnerCode checkWinner(const Board &board) {
  const std::optional<CompleteLine> line = firstCompleteLine(board);
  return line ? line->owner : 0;
}

bool isGridFull(const Board &board) {
  for (const auto &column : board.cells)
    for (const char mark : column)
      if (isFree(mark))
        return false;
  return true;
}
