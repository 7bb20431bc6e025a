// libFuzzer: any bytes typed into one whole game, in-process, on the libvterm screen. The first
// byte picks who goes first and whether the keys come from a terminal or a pipe. Each time the
// game waits, the board read back from the screen must keep the rules: only X, O and '.' in the
// cells, no mark ever changes, the marks alternate, and a move is asked for only while no line is
// complete and a cell is free. Once a result is shown, only the pause and the final Enter are read.
#include "console/console.hpp"
#include "console/terminal_device.hpp"
#include "flow/game.hpp"
#include "rules/winner.hpp"
#include "tests/screen.hpp"

namespace {

const auto check = [](bool holds) { return holds ? void() : __builtin_trap(); };

// The marks on the screen, while the board is in view, against those seen the time before.
void checkBoard(const Screen &screen, Board &seen, int &readsAfterResult) {
  const int n = gridSize;
  if (readsAfterResult > 0 || (n != 0 && screen.row(2 * n + 2).ends_with("wins the game")))
    check(++readsAfterResult <= 2);
  if (n == 0 || screen.row(2 * n) != "Col(accros)   Row(down)")
    return;
  Board shown = createBoard(gridSize);
  int xs = 0, os = 0;
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < n; ++c) {
      const char mark = (screen.row(2 * r) + std::string(4 * n, ' ')).at(4 * c + 1);
      check(mark == 'X' || mark == 'O' || mark == '.');
      check(seen.cells.empty() || seen.cells[c][r] == '.' || seen.cells[c][r] == mark);
      shown.cells[c][r] = mark;
      xs += mark == 'X';
      os += mark == 'O';
    }
  }
  check(xs - os <= 1 && os - xs <= 1);
  if (screen.cursorRow() == 2 * n + 1 && screen.cursorColumn() == 5) // a move is asked for
    check(checkWinner(shown) == 0 && !isGridFull(shown));
  seen = shown;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0)
    return 0;
  std::string_view keys(reinterpret_cast<const char *>(data) + 1, size - 1);
  Screen screen(80, 24);
  Board seen;
  int readsAfterResult = 0;
  startFreshGame((data[0] & 1) != 0 ? 'O' : 'X');
  TerminalDevice device;
  device.write = [&](std::string_view bytes) {
    screen.feed(bytes, true);
    return true;
  };
  // A line at a time, as keys typed between two waits: a pipe's lines end in LF only.
  device.inputIsTerminal = (data[0] & 2) != 0;
  device.read = [&](char *buffer, std::size_t n) {
    if (!keys.empty()) // reading at the end takes no reply
      checkBoard(screen, seen, readsAfterResult);
    const std::size_t end = keys.find_first_of(device.inputIsTerminal ? "\r\n" : "\n");
    const std::size_t count = std::min(end == keys.npos ? keys.size() : end + 1, n);
    keys.copy(buffer, count);
    keys.remove_prefix(count);
    return static_cast<std::ptrdiff_t>(count);
  };
  device.sleep = [](std::int32_t) {};
  device.size = {80, 24};
  openConsole(device);
  playGame();
  closeConsole();
  return 0;
}
