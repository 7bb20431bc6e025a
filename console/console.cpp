// The console services over a device: the console keeps the screen buffer itself, echoes replies
// where they are read, and sends the device only what changed, in one write per update; or, to
// output that is no terminal, each new screen as plain text.
#include "console.hpp"
#include "console_shared.hpp"
#include "keyboard.hpp"
#include "line_input.hpp"
#include "screen_buffer.hpp"
#include "terminal_view.hpp"
#include "transcript.hpp"
#include "vt.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <utility>

std::int32_t foregroundColour = 7;
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

// Lines said in plain play are broken between words to fit this.
constexpr std::size_t plainWidth = 80;

// How long the terminal's answer about its background is waited for at most.
constexpr std::int32_t backgroundWait = 100;

// Whether the terminal's answer, "11;rgb:R/G/B" with 1 to 4 hex digits each, is a light
// background: above one half of relative luminance.
bool isLight(const std::string &answer) {
  if (!answer.starts_with("11;rgb:"))
    return false;
  std::size_t at = 7;
  double luminance = 0;
  for (const double weight : {0.2126, 0.7152, 0.0722}) {
    const std::size_t end = std::min(answer.find('/', at), answer.size());
    if (end == at || end - at > 4 || answer.find_first_not_of("0123456789abcdefABCDEF", at) < end)
      return false;
    const double share = static_cast<double>(std::stoul(answer.substr(at, end - at), nullptr, 16)) /
                         (std::pow(16.0, static_cast<double>(end - at)) - 1);
    // sRGB to linear light.
    luminance +=
        weight * (share <= 0.04045 ? share / 12.92 : std::pow((share + 0.055) / 1.055, 2.4));
    at = end + 1;
  }
  return at == answer.size() + 1 && luminance > 0.5;
}

// At a pause in plain play: b, or B, with blanks around it at most.
bool asksForBoard(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t");
  return first != std::string_view::npos && (line[first] == 'b' || line[first] == 'B') &&
         line.find_first_not_of(" \t", first + 1) == std::string_view::npos;
}

// The text, broken between words into lines of at most `width` characters, each line but the last
// ended so.
std::string wrapped(std::string_view text, std::size_t width, std::string_view lineEnd) {
  std::string lines, line;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    const std::string_view word = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      (lines += line) += lineEnd;
      line.clear();
    }
    (line += line.empty() ? "" : " ") += word;
  }
  return lines + line;
}

struct Console {
  explicit Console(Device with)
      : device(drawing(std::move(with))),
        view(device.capabilities, device.colourAllowed, device.lightBackground),
        keyboard(screen,
                 [this](char *buffer, std::size_t n, std::int32_t &milliseconds) {
                   return read(buffer, n, milliseconds);
                 },
                 device.inputIsTerminal, !device.plain,
                 {[this] { view.forget(); }, [this] { bell = true; }}),
        lines([this](std::string &line, bool blankCounts) {
          update();
          return keyboard.readLine(line, blankCounts);
        }),
        anchored(!device.outputIsTerminal) {}

  // The bytes that bring the output up to date.
  std::string render() {
    std::string bytes;
    if (device.plain) {
      bytes.swap(said);
    } else if (!device.outputIsTerminal) {
      transcript.update(screen, bytes);
    } else if (!anchored) {
      bytes.swap(unanchored);
    } else if (!tooSmall) {
      // The mouse is reported while a click can take a cell, and only then.
      view.update(screen, keyboard.offers() && device.inputIsTerminal, bytes);
    } else if (!saidTooSmall) {
      // In the terminal's own colour, and as many lines as the window needs, and no mouse.
      view.reportMouse(false, bytes);
      view.useTerminalColour(bytes);
      bytes += view.clearing();
      bytes += wrapped(tooSmallMessage(size), static_cast<std::size_t>(size.columns),
                       view.lineEnd(false));
      saidTooSmall = true;
    }
    if (std::exchange(bell, false) && device.outputIsTerminal)
      bytes += device.capabilities.bell;
    return bytes;
  }

  void update(bool ring = false) {
    bell = bell || ring;
    send(render());
  }

  void send(const std::string &bytes) {
    std::string_view rest = bytes;
    while (!rest.empty() && !lost) {
      const Event event = device.write(rest);
      if (event.kind == Event::Kind::lost) {
        lost = true;
      } else if (event.kind == Event::Kind::stop) {
        // What the terminal shows is not known any more: repainted whole after the stop.
        rest = {};
        view.forget();
      }
      act(event);
    }
  }

  // What the device said happened meanwhile.
  void act(const Event &event) {
    switch (event.kind) {
    case Event::Kind::resize:
      resize(event.size);
      break;
    case Event::Kind::stop:
      send(leave());
      act(device.suspend());
      break;
    case Event::Kind::resume:
      // The window may have changed while the game was stopped, and so may the terminal's colour.
      resize(event.size);
      view.forget(true);
      break;
    case Event::Kind::end:
      open = false;
      device.release(leave());
      device.endProcess();
      break;
    default:
      break;
    }
  }

  static Device drawing(Device device) {
    if (!device.capabilities.canDraw())
      device.capabilities = vt::ansi();
    return device;
  }

  // The terminal's own colour back, the cursor on a line of its own.
  std::string leave() {
    std::string bytes;
    if (device.outputIsTerminal && !device.plain)
      view.leave(screen, bytes);
    return bytes;
  }

  void resize(WindowSize to) {
    size = to;
    tooSmall = device.outputIsTerminal && !device.plain && !fitsTheGame(to);
    saidTooSmall = false;
    if (!tooSmall)
      screen.setWindowRows(to.rows);
    view.forget();
  }

  // Input for the keyboard, the output brought up to date first: how many bytes, 0 when the time
  // is up, -1 when the input has ended. While the picture cannot show, nothing is taken unseen:
  // keys typed meanwhile are dropped with a bell, but for Ctrl-D, and piped input waits.
  std::ptrdiff_t read(char *buffer, std::size_t n, std::int32_t &milliseconds) {
    for (;;) {
      update();
      // Nobody reads on a terminal that takes no more output.
      if (lost)
        return -1;
      if (tooSmall && !device.inputIsTerminal) {
        std::int32_t untilSomethingHappens = -1;
        act(device.sleep(untilSomethingHappens));
        continue;
      }
      const Event event = device.read(buffer, n, milliseconds);
      const auto count = static_cast<std::ptrdiff_t>(event.count);
      switch (event.kind) {
      case Event::Kind::bytes:
        if (!tooSmall)
          return count;
        if (std::find(buffer, buffer + count, endOfInputKey) == buffer + count)
          bell = true;
        else {
          buffer[0] = endOfInputKey;
          return 1;
        }
        break;
      case Event::Kind::ended:
        return -1;
      case Event::Kind::done:
        return 0;
      case Event::Kind::end:
        // The terminal's answer is still taken out of the input, so that it does not reach the
        // shell; the game ends once the wait for it is over.
        if (asking) {
          endAsked = true;
          break;
        }
        [[fallthrough]];
      default:
        act(event);
      }
    }
  }

  // Asks the terminal for its background, and takes the shades for a light one when its answer
  // says so within the time.
  void askBackground() {
    asking = true;
    send(std::string(vt::backgroundQuestion));
    const std::optional<std::string> answer = keyboard.awaitReport(backgroundWait);
    asking = false;
    if (answer && isLight(*answer))
      view = TerminalView(device.capabilities, device.colourAllowed, true);
    if (endAsked)
      act(Event(Event::Kind::end));
  }

  void wait(std::int32_t milliseconds, bool ring = false) {
    update(ring);
    while (milliseconds > 0 && !lost) {
      const Event event = device.sleep(milliseconds);
      if (event.kind == Event::Kind::done)
        break;
      act(event);
      update();
    }
  }

  Device device;
  ScreenBuffer screen;
  TerminalView view;
  Transcript transcript;
  Keyboard keyboard;
  LineInput lines;
  ScreenOutput output;
  std::streambuf *savedOutput = nullptr;
  std::streambuf *savedInput = nullptr;
  WindowSize size;
  // Until the game first clears the screen, its text goes out as written, below whatever the
  // terminal already shows.
  bool anchored;
  std::string unanchored;
  // While the window is too small it shows only what it needs, said once.
  bool tooSmall = false;
  bool saidTooSmall = false;
  // A key had no place in a reply: the next update rings.
  bool bell = false;
  // The output took no more: every read ends the input from then on.
  bool lost = false;
  bool open = false;
  // In plain play, the lines said since the last update.
  std::string said;
  // Waiting for the terminal's answer about its background; the end asked for meanwhile.
  bool asking = false;
  bool endAsked = false;
};

std::optional<Console> console;

void writeByte(char c) {
  console->screen.write(c);
  // A line end says carriage return too, whatever the terminal's own output processing does, and
  // scrolls on the last row.
  if (!console->anchored)
    console->unanchored.append(c == '\n' ? console->view.lineEnd(true) : std::string(1, c));
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
  console->keyboard.forgetEcho();
  console->anchored = true;
}

// --- Waiting ---------------------------------------------------------------------------------

bool pauseForKey(const std::function<void()> &sayBoard) {
  for (const char c : pausePrompt)
    writeByte(c);
  // A pause takes a whole line there.
  const bool offered = sayBoard && plainPlay();
  const std::string_view words = offered ? "Press Enter to continue, or b and Enter for the board."
                                         : "Press Enter to continue.";
  say(words);
  discardTypedLine();
  for (std::string line;;) {
    console->update();
    if (!console->keyboard.readKey(&line))
      return false;
    if (!offered || !asksForBoard(line))
      break;
    sayBoard();
    say(words);
  }
  writeByte('\n');
  return true;
}

void beep() {
  console->wait(400, true);
}

void sleepFor(std::int32_t milliseconds) {
  console->wait(milliseconds);
}

void discardTypedLine() {
  console->keyboard.takeBack(console->lines.taken());
  console->lines.discardLine();
}

void clearEchoOutside(std::int16_t row, std::int16_t columns) {
  console->keyboard.keepEchoWithin(row, columns);
}

void refuseTypedLine() {
  console->keyboard.takeBack(0);
  console->lines.discardLine();
}

void offerCells(const std::vector<std::vector<std::int16_t>> &columns,
                const std::vector<std::vector<std::int16_t>> &rows, bool arrows) {
  Keyboard::Targets targets{{}, arrows};
  for (std::size_t c = 0; c < columns.size(); ++c) {
    targets.marks.emplace_back();
    for (std::size_t r = 0; r < columns[c].size(); ++r)
      targets.marks.back().push_back({columns[c][r], rows[c][r]});
  }
  console->keyboard.offer(std::move(targets));
}

void withdrawCells() {
  console->keyboard.offer(std::nullopt);
}

std::optional<std::pair<std::int16_t, std::int16_t>> pickedCell() {
  if (const std::optional<Position> cell = console->keyboard.pickedCell())
    return std::pair{cell->column, cell->row};
  return std::nullopt;
}

bool typedLineHasMore() {
  return console->lines.hasMore();
}

bool waitForEnter() {
  return console->lines.takeLine();
}

bool plainPlay() {
  return console->device.plain;
}

// Broken between words only when it is too long, so that a line that fits stands as it is.
void say(std::string_view line) {
  if (plainPlay())
    (console->said +=
     line.size() <= plainWidth ? std::string(line) : wrapped(line, plainWidth, "\n")) += '\n';
}

// Empty lines that came together, as a paste or keys typed ahead, ask once.
bool blankLineNext() {
  if (!plainPlay() || !console->lines.blankLineNext())
    return false;
  console->keyboard.skipWaitingLineEnds();
  return true;
}

void flushOutput() {
  console->update();
}

// --- Opening and closing ---------------------------------------------------------------------

void openConsole(Device device) {
  console.emplace(std::move(device));
  foregroundColour = 7;
  console->resize(console->device.size);
  console->savedOutput = std::cout.rdbuf(&console->output);
  console->savedInput = std::cin.rdbuf(&console->lines);
  std::cin.clear();
  console->open = true;
  if (console->device.askBackground)
    console->askBackground();
}

int openConsole(bool plain) {
  std::optional<Device> device = openDevice(plain);
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
  // The last screen, then the terminal's own colour back, in one write.
  std::string bytes = console->render();
  bytes += console->leave();
  console->send(bytes);
  console->device.release({});
  std::cout.rdbuf(console->savedOutput);
  std::cin.rdbuf(console->savedInput);
  std::cin.clear();
  // Nothing of the game's console outlives it.
  const bool lost = console->lost;
  console.reset();
  if (!lost)
    return 0;
  std::cerr << "quarvel-zib: the output takes no more text; the game ends here.\n";
  return 1;
}
