// libFuzzer: any bytes typed into one whole game, in-process, on the libvterm screen. The first
// byte picks who goes first, whether the keys come from a terminal or a pipe, whether the
// background is light, whether colour is off (NO_COLOR), whether the terminal is asked about
// its background (the keys then come while the game waits) and whether the game is played plain
// (the keys a line at a time, and nothing drawn to check); 0xff and the byte after it change
// the window, paste a run of empty lines, or click the mouse on a cell or near it. The arrows
// and the mouse's other reports come as any keys do. Each time the game waits, the
// board read back from the screen must be whole and keep the rules: every cell shows its numbers
// or a mark between blanks, no mark ever changes, the marks alternate, the computer's O lands
// where its rules put it, and a move is asked for only while no line is complete and a cell is
// free. Once a result is shown, only the pause and the final Enter are read.
#include "console/console.hpp"
#include "console/terminfo.hpp"
#include "flow/game.hpp"
#include "rules/opponent.hpp"
#include "rules/winner.hpp"
#include "tests/screen.hpp"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

const auto check = [](bool holds) { return holds ? void() : __builtin_trap(); };

struct Watch {
  Board seen;
  // How many line ends the game was handed since a result was shown.
  std::optional<int> lineEndsAfterResult;
  // Whether the screen changed since it was last looked at.
  bool drawn = true;
};

// The board on the screen, while it is in view, against the one seen the time before.
void checkBoard(const Screen &screen, Watch &watch) {
  const int n = gridSize;
  if (n == 0 || screen.rows() <= 2 * n + 2)
    return;
  // The pause and the final Enter take a line each at most.
  check(watch.lineEndsAfterResult.value_or(0) < 2);
  // A screen unchanged since it was last looked at holds nothing new.
  if (!std::exchange(watch.drawn, false))
    return;
  if (!watch.lineEndsAfterResult && screen.row(2 * n + 2, 40).ends_with("wins the game"))
    watch.lineEndsAfterResult = 0;
  if (screen.row(2 * n, 40) != "Col(accros)   Row(down)")
    return;
  Board shown = createBoard(gridSize);
  Board before = watch.seen.cells.empty() ? createBoard(gridSize) : watch.seen;
  int xs = 0, os = 0, newXs = 0, newOs = 0;
  for (int r = 0; r < n; ++r) {
    const std::string line = screen.row(2 * r, 4 * n) + std::string(4 * n, ' ');
    for (int c = 0; c < n; ++c) {
      const std::string cell = line.substr(4 * c, 3);
      const char mark = cell[1];
      check((cell[0] == '1' + c && cell[1] == '.' && cell[2] == '1' + r) || cell == " X " ||
            cell == " O ");
      check(c == n - 1 || line[4 * c + 3] == '|');
      check(before.cells[c][r] == '.' || before.cells[c][r] == mark);
      shown.cells[c][r] = mark;
      newOs += mark == 'O' && before.cells[c][r] == '.';
      if (mark == 'X' && before.cells[c][r] == '.') {
        before.cells[c][r] = 'X'; // the person's move, made before the computer's
        ++newXs;
      }
      xs += mark == 'X';
      os += mark == 'O';
    }
    check(r == n - 1 || screen.row(2 * r + 1, 4 * n) == std::string(4 * n - 1, '-'));
  }
  check(xs - os <= 1 && os - xs <= 1);
  // Unless the board was out of view meanwhile, one move each at most.
  if (!twoPlayers && newOs == 1 && newXs <= 1) {
    computerMove(before);
    check(before.cells == shown.cells);
  }
  if (screen.cursorRow() == 2 * n + 1 && screen.cursorColumn() == 5) // a move is asked for
    check(checkWinner(shown) == 0 && !isGridFull(shown));
  watch.seen = shown;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0)
    return 0;
  std::string_view keys(reinterpret_cast<const char *>(data) + 1, size - 1);
  Screen screen(80, 24);
  Watch watch;
  startFreshGame((data[0] & 1) != 0 ? 'O' : 'X');
  Device device;
  device.write = [&](std::string_view &bytes) {
    screen.feed(bytes, true);
    watch.drawn = true;
    bytes = {};
    return Event();
  };
  device.plain = (data[0] & 32) != 0;
  device.inputIsTerminal = (data[0] & 2) != 0 && !device.plain;
  device.lightBackground = (data[0] & 4) != 0;
  device.colourAllowed = (data[0] & 8) == 0;
  device.askBackground = (data[0] & 16) != 0;
  const char enter = device.inputIsTerminal ? '\r' : '\n';
  std::string paste;
  WindowSize window{80, 24};
  // A line at a time, as keys typed between two waits; a window change, or a paste of empty
  // lines, at once.
  device.read = [&](char *buffer, std::size_t n, std::int32_t &milliseconds) {
    if (paste.empty() && keys.size() >= 2 && keys[0] == '\xff') {
      const auto command = static_cast<std::uint8_t>(keys[1]);
      keys.remove_prefix(2);
      if ((command & 3) == 3) { // a click on the mark of a cell, or beside the board
        paste = "\x1b[<0;" + std::to_string(4 * ((command >> 2) & 7) + 2) + ';' +
                std::to_string(2 * (command >> 5) + 1) + 'M';
      } else if ((command & 1) != 0) {
        paste.assign(static_cast<std::size_t>(command >> 2) * 12, enter);
      } else {
        window = {static_cast<std::int16_t>(76 + (command >> 4)),
                  static_cast<std::int16_t>(18 + (command >> 1) % 8)};
        screen.resize(window.columns, window.rows);
        return Event(Event::Kind::resize, 0, window);
      }
    }
    if (!keys.empty() || !paste.empty()) // reading at the end takes no reply
      checkBoard(screen, watch);
    std::size_t count = std::min(paste.size(), n);
    if (count != 0) {
      paste.copy(buffer, count);
      paste.erase(0, count);
    } else {
      const std::size_t end = keys.find_first_of(device.inputIsTerminal ? "\r\n\xff" : "\n\xff");
      count = std::min(end == keys.npos ? keys.size() : end + (keys[end] != '\xff'), n);
      keys.copy(buffer, count);
      keys.remove_prefix(count);
    }
    // Keys typed while the window is too small for the game are dropped, and take nothing.
    if (watch.lineEndsAfterResult && (fitsTheGame(window) || !device.inputIsTerminal))
      *watch.lineEndsAfterResult += static_cast<int>(
          std::count_if(buffer, buffer + count, [&](char c) { return c == '\n' || c == enter; }));
    if (count == 0 && milliseconds >= 0) { // the keys are over before the time is
      milliseconds = 0;
      return Event();
    }
    return Event(count == 0 ? Event::Kind::ended : Event::Kind::bytes, count);
  };
  // A wait for something to happen ends in a window large enough again.
  device.sleep = [&](std::int32_t &milliseconds) {
    if (std::exchange(milliseconds, 0) >= 0)
      return Event();
    window = {80, 24};
    screen.resize(window.columns, window.rows);
    return Event(Event::Kind::resize, 0, window);
  };
  device.release = [&](std::string_view bytes) { screen.feed(bytes, true); };
  static const Capabilities xterm = terminfoCapabilities("xterm-256color").value();
  device.capabilities = xterm;
  device.size = {80, 24};
  openConsole(device);
  playGame();
  closeConsole();
  return 0;
}
