#include "fake_terminal.hpp"

#include "console/console.hpp"
#include "console/terminal_device.hpp"

FakeTerminal::FakeTerminal(std::string replies, int columns, int rows, bool colourAllowed)
    : screen(columns, rows), input(std::move(replies)) {
  TerminalDevice device;
  device.write = [this](std::string_view bytes) {
    ++writes;
    written.append(bytes);
    screen.feed(bytes, true);
  };
  device.read = [this](char *buffer, std::size_t n) -> std::ptrdiff_t {
    if (onRead)
      onRead();
    return handOutLine(input, inputRead, buffer, n);
  };
  device.sleep = [this](std::int32_t milliseconds) {
    sleeps.push_back(milliseconds);
    if (onSleep)
      onSleep();
  };
  device.screenSize = [columns, rows](std::int16_t &c, std::int16_t &r) {
    c = static_cast<std::int16_t>(columns);
    r = static_cast<std::int16_t>(rows);
  };
  device.colourAllowed = colourAllowed;
  openConsole(std::move(device));
}

FakeTerminal::~FakeTerminal() {
  closeConsole();
}
