#include "fake_terminal.hpp"

#include "console/console.hpp"
#include "console/terminal_device.hpp"

#include <algorithm>
#include <cstring>

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
    const std::size_t lineEnd = input.find('\n', inputRead);
    const std::size_t line =
        lineEnd == std::string::npos ? input.size() - inputRead : lineEnd + 1 - inputRead;
    const std::size_t count = std::min(n, line);
    std::memcpy(buffer, input.data() + inputRead, count);
    inputRead += count;
    return static_cast<std::ptrdiff_t>(count);
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
