// The console services on POSIX: the console keeps the screen buffer itself and sends the terminal
// only what changed, in one write per update.
#include "console.hpp"
#include "console_shared.hpp"
#include "keyboard.hpp"
#include "line_input.hpp"
#include "screen_buffer.hpp"
#include "terminal_device.hpp"
#include "terminal_view.hpp"
#include "vt.hpp"

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <utility>

std::int32_t foregroundColour; // 7 from the console's opening
std::int32_t backgroundColour = 0;

namespace {

void writeByte(char c);

// Everything the game writes lands in the screen buffer.
class ScreenOutput : public std::streambuf {
protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof()))
      writeByte(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char *text, std::streamsize n) override {
    for (std::streamsize i = 0; i < n; ++i)
      writeByte(text[i]);
    return n;
  }
};

void update(std::string_view extra = {});

struct Console {
  explicit Console(TerminalDevice with)
      : device(std::move(with)), view(device.colourAllowed),
        keyboard(
            screen,
            [this](char *buffer, std::size_t n) -> std::ptrdiff_t {
              update();
              return lost ? 0 : device.read(buffer, n);
            },
            device.inputIsTerminal, [this] { view.forget(); }),
        lines([this](std::string &line) { return keyboard.readLine(line); }) {}

  TerminalDevice device;
  ScreenBuffer screen;
  TerminalView view;
  Keyboard keyboard;
  LineInput lines;
  ScreenOutput output;
  std::streambuf *savedOutput = nullptr;
  std::streambuf *savedInput = nullptr;
  WindowSize size;
  // Until the game first clears the screen, its text goes out as written, below whatever the
  // terminal already shows.
  bool anchored = false;
  std::string unanchored;
  // While the window is too small it shows only what it needs, said once.
  bool tooSmall = false;
  bool saidTooSmall = false;
  // The terminal took no more output: every read ends the input from then on.
  bool lost = false;
  bool open = false;
};

std::optional<Console> console;

void writeByte(char c) {
  console->screen.write(c);
  // A line end says carriage return too, whatever the terminal's own output processing does.
  if (!console->anchored)
    console->unanchored.append(c == '\n' ? "\r\n" : std::string_view(&c, 1));
}

void send(const std::string &bytes) {
  if (!bytes.empty() && !console->lost)
    console->lost = !console->device.write(bytes);
}

// The bytes that bring the terminal up to date.
std::string render() {
  std::string bytes;
  if (!console->anchored) {
    bytes.swap(console->unanchored);
  } else if (!console->tooSmall) {
    console->view.update(console->screen, bytes);
  } else if (!console->saidTooSmall) {
    bytes = std::string(vt::clearScreen) + tooSmallMessage(console->size);
    console->saidTooSmall = true;
    console->view.forget();
  }
  return bytes;
}

void update(std::string_view extra) {
  send(render().append(extra));
}

void resize(WindowSize size) {
  console->size = size;
  console->tooSmall = !fitsTheGame(size);
  console->saidTooSmall = false;
  if (!console->tooSmall)
    console->screen.setWindowRows(size.rows);
  console->view.forget();
}

} // namespace

// --- Colour and cursor -----------------------------------------------------------------------

void setTextColour(std::int32_t colour) {
  colour = consoleColour(colour);
  foregroundColour = colour;
  console->screen.setColour(static_cast<std::int8_t>(colour | backgroundColour));
}

std::int16_t cursorColumn() {
  return console->screen.cursor().column;
}

std::int16_t cursorRowAbove() {
  return static_cast<std::int16_t>(console->screen.cursor().row - 2);
}

void placeCursor(std::int16_t column, std::int16_t row) {
  console->screen.place(column, row);
}

void clearScreen() {
  console->screen.clear();
  console->anchored = true;
}

// --- Waiting ---------------------------------------------------------------------------------

bool pauseForKey() {
  for (const char c : pausePrompt)
    writeByte(c);
  discardTypedLine();
  if (!console->keyboard.readKey())
    return false;
  writeByte('\n');
  return true;
}

namespace {

// Nobody waits on a terminal that takes no more output.
void waitFor(std::int32_t milliseconds) {
  if (!console->lost)
    console->device.sleep(milliseconds);
}

} // namespace

void beep() {
  update(vt::bell);
  waitFor(400);
}

void sleepFor(std::int32_t milliseconds) {
  update();
  waitFor(milliseconds);
}

void discardTypedLine() {
  console->lines.discardLine();
}

bool waitForEnter() {
  return console->lines.takeLine();
}

void flushOutput() {
  update();
}

// --- What the device tells -------------------------------------------------------------------

void consoleWindowChanged(WindowSize size) {
  resize(size);
  update();
}

void consoleSuspending() {
  std::string bytes = render();
  console->view.leave(console->screen, bytes);
  send(bytes);
}

void consoleResumed() {
  console->view.forget();
  console->saidTooSmall = false;
  update();
}

// --- Opening and closing ---------------------------------------------------------------------

void openConsole(TerminalDevice device) {
  console.emplace(std::move(device));
  foregroundColour = 7;
  resize(console->device.size);
  console->savedOutput = std::cout.rdbuf(&console->output);
  console->savedInput = std::cin.rdbuf(&console->lines);
  std::cin.clear();
  console->open = true;
}

int openConsole() {
  std::optional<TerminalDevice> device = openTerminal();
  if (!device)
    return 1;
  openConsole(std::move(*device));
  static const bool closedAtExit = std::atexit([] { closeConsole(); }) == 0;
  (void)closedAtExit;
  return 0;
}

int closeConsole() {
  if (!console || !console->open)
    return 0;
  console->open = false;
  consoleSuspending();
  if (console->device.release)
    console->device.release();
  std::cout.rdbuf(console->savedOutput);
  std::cin.rdbuf(console->savedInput);
  std::cin.clear();
  return console->lost ? 1 : 0;
}
