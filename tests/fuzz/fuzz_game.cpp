// libFuzzer target: arbitrary bytes as the keyboard input of one whole game, in-process. Output is
// dropped and sleeps and beeps cost nothing, so the fuzzer spends its time in the game itself.
#include "board/board.hpp"
#include "console/console.hpp"
#include "console/terminal_device.hpp"
#include "flow/game.hpp"
#include "tests/fake_terminal.hpp"
#include "tests/fresh_run.hpp"

#include <cstdlib>
#include <string_view>
#include <utility>

namespace {

void playOnce(std::string_view input, int firstTurn) {
  startFreshRun(firstTurn);
  std::size_t readAt = 0;
  TerminalDevice device;
  device.write = [](std::string_view) {};
  device.read = [&](char *buffer, std::size_t n) { return handOutLine(input, readAt, buffer, n); };
  device.sleep = [](std::int32_t) {};
  device.screenSize = [](std::int16_t &columns, std::int16_t &rows) {
    columns = 80;
    rows = 24;
  };
  openConsole(std::move(device));
  if (playGame() != 0)
    std::abort();
  closeConsole();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  // The input's length picks the first player: one game per input, both orders across inputs.
  playOnce(std::string_view(reinterpret_cast<const char *>(data), size),
           static_cast<int>(size % 2));
  return 0;
}
