// The console services on a POSIX terminal: VT escape sequences, termios, and a cursor that is
// tracked rather than asked for.
#include "console.hpp"
#include "line_input.hpp"
#include "screen_cursor.hpp"
#include "terminal_device.hpp"
#include "vt.hpp"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

std::int32_t foregroundColour = 7;
std::int32_t backgroundColour = 0;

namespace {

constexpr std::string_view pausePrompt = "Press any key to continue . . . ";
constexpr std::int32_t unknownColour = -1;

// Everything the game writes waits here and reaches the terminal in one write at each flush.
class ScreenOutput : public std::streambuf {
protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char *text, std::streamsize n) override;
  int sync() override;
};

TerminalDevice device;
ScreenCursor cursor;
std::string pending;
std::int32_t colourInForce = unknownColour;
ScreenOutput screenOutput;
std::optional<LineInput> lineInput;
std::streambuf *savedOutput = nullptr;
std::streambuf *savedInput = nullptr;
bool isOpen = false;
bool exitHookRegistered = false;

// The real terminal's settings as found, put back whatever way the game ends.
std::optional<termios> foundTermios;
volatile std::sig_atomic_t pendingSignal = 0;
constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP};

void writeText(std::string_view text) {
  for (const char c : text) {
    pending.push_back(c);
    trackWritten(cursor, c);
  }
}

ScreenOutput::int_type ScreenOutput::overflow(int_type c) {
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    const char ch = traits_type::to_char_type(c);
    writeText(std::string_view(&ch, 1));
  }
  return traits_type::not_eof(c);
}

std::streamsize ScreenOutput::xsputn(const char *text, std::streamsize n) {
  writeText(std::string_view(text, static_cast<std::size_t>(n)));
  return n;
}

int ScreenOutput::sync() {
  flushOutput();
  return 0;
}

// A terminal has already echoed the line the player typed; elsewhere the game shows it, so a
// piped game leaves the same picture as a typed one.
void showReply(std::string_view line) {
  if (device.inputIsTerminal) {
    for (const char c : line)
      trackEchoed(cursor, c);
  } else {
    writeText(line);
  }
}

void refreshScreenSize() {
  if (device.screenSize)
    device.screenSize(cursor.columns, cursor.rows);
}

// --- The real terminal -----------------------------------------------------------------------

extern "C" void recordSignal(int signal) {
  pendingSignal = signal;
}

// The ending signals are blocked except while the game waits in pselect, so one that arrives just
// before a wait still interrupts it: none can slip in between the check and the wait.
sigset_t waitingMask;
std::optional<std::array<struct sigaction, std::size(endingSignals)>> foundActions;

// The game ends by the recorded signal, the terminal given back first.
void endOnPendingSignal() {
  const int signal = pendingSignal;
  if (signal == 0)
    return;
  pendingSignal = 0;
  writeText("\n");
  // Closing gives back the default action and the mask, so the signal now ends the process.
  closeConsole();
  std::raise(signal);
}

// Waits until standard input is readable (fd -1: until the time is up).
int waitOnce(int fd, const timespec *limit) {
  fd_set readable;
  FD_ZERO(&readable);
  if (fd >= 0)
    FD_SET(fd, &readable);
  return ::pselect(fd + 1, fd >= 0 ? &readable : nullptr, nullptr, nullptr, limit, &waitingMask);
}

void writeAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t done = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (done < 0) {
      if (errno != EINTR)
        return;
      continue;
    }
    bytes.remove_prefix(static_cast<std::size_t>(done));
  }
}

std::ptrdiff_t readSome(char *buffer, std::size_t n) {
  for (;;) {
    endOnPendingSignal();
    if (waitOnce(STDIN_FILENO, nullptr) < 0) {
      if (errno == EINTR)
        continue;
      return -1;
    }
    const ssize_t got = ::read(STDIN_FILENO, buffer, n);
    if (got >= 0 || errno != EINTR)
      return got;
  }
}

void setTermios(const termios &settings) {
  ::tcsetattr(STDIN_FILENO, TCSANOW, &settings);
}

int readOneKey() {
  termios keyMode = *foundTermios;
  keyMode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  keyMode.c_cc[VMIN] = 1;
  keyMode.c_cc[VTIME] = 0;
  setTermios(keyMode);
  char key = 0;
  const std::ptrdiff_t got = readSome(&key, 1);
  if (got == 1 && key == '\x1b') {
    // The rest of a function key's sequence belongs to the same key press.
    keyMode.c_cc[VMIN] = 0;
    setTermios(keyMode);
    char rest[16];
    while (::read(STDIN_FILENO, rest, sizeof rest) > 0) {
    }
  }
  setTermios(*foundTermios);
  return got == 1 ? static_cast<unsigned char>(key) : -1;
}

void sleepMilliseconds(std::int32_t milliseconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    endOnPendingSignal();
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(end - Clock::now());
    if (left.count() <= 0)
      return;
    const timespec limit{static_cast<time_t>(left.count() / 1000000000),
                         static_cast<long>(left.count() % 1000000000)};
    waitOnce(-1, &limit);
  }
}

void terminalSize(std::int16_t &columns, std::int16_t &rows) {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    columns = static_cast<std::int16_t>(size.ws_col);
    rows = static_cast<std::int16_t>(size.ws_row);
  } else {
    columns = 0;
    rows = 0;
  }
}

TerminalDevice realTerminal() {
  TerminalDevice real;
  real.write = writeAll;
  real.read = readSome;
  real.readKey = readOneKey;
  real.sleep = sleepMilliseconds;
  real.screenSize = terminalSize;
  termios found{};
  if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &found) == 0) {
    foundTermios = found;
    real.inputIsTerminal = true;
  }
  const char *noColour = std::getenv("NO_COLOR");
  real.colourAllowed = noColour == nullptr || noColour[0] == '\0';
  return real;
}

void catchEndingSignals() {
  struct sigaction action {};
  action.sa_handler = recordSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigset_t ending;
  sigemptyset(&ending);
  foundActions.emplace();
  for (std::size_t i = 0; i < std::size(endingSignals); ++i) {
    ::sigaction(endingSignals[i], nullptr, &(*foundActions)[i]);
    // A signal ignored by whoever started the game (nohup) stays ignored.
    if ((*foundActions)[i].sa_handler == SIG_IGN)
      continue;
    ::sigaction(endingSignals[i], &action, nullptr);
    sigaddset(&ending, endingSignals[i]);
  }
  ::sigprocmask(SIG_BLOCK, &ending, &waitingMask);
}

// Undone newest first: the handlers go before the mask lets a pending signal through.
void releaseEndingSignals() {
  if (!foundActions)
    return;
  for (std::size_t i = 0; i < std::size(endingSignals); ++i)
    ::sigaction(endingSignals[i], &(*foundActions)[i], nullptr);
  foundActions.reset();
  ::sigprocmask(SIG_SETMASK, &waitingMask, nullptr);
}

} // namespace

// --- Colour and cursor -----------------------------------------------------------------------

void setTextColour(std::int32_t colour) {
  if (colour == 128)
    colour = 15;
  foregroundColour = colour;
  const std::int32_t attribute = colour | backgroundColour;
  if (!device.colourAllowed || attribute == colourInForce)
    return;
  colourInForce = attribute;
  pending.append(vt::foreground(attribute));
}

std::int16_t cursorColumn() {
  return cursor.column;
}

std::int16_t cursorRowAbove() {
  return static_cast<std::int16_t>(cursor.row - 2);
}

void placeCursor(std::int16_t column, std::int16_t row) {
  const bool offScreen = column < 0 || row < 0 ||
                         (cursor.columns != 0 && column >= cursor.columns) ||
                         (cursor.rows != 0 && row >= cursor.rows);
  if (offScreen)
    return;
  pending.append(vt::cursorTo(column, row));
  trackPlaced(cursor, column, row);
}

void clearScreen() {
  refreshScreenSize();
  pending.append(vt::clearScreen);
  trackPlaced(cursor, 0, 0);
}

// --- Waiting ---------------------------------------------------------------------------------

bool pauseForKey() {
  writeText(pausePrompt);
  discardTypedLine();
  flushOutput();
  const int key = device.inputIsTerminal ? device.readKey() : lineInput->takeQuietly();
  if (key < 0)
    return false;
  writeText("\n");
  return true;
}

void beep() {
  pending.append(vt::bell);
  flushOutput();
  device.sleep(400);
}

void sleepFor(std::int32_t milliseconds) {
  flushOutput();
  device.sleep(milliseconds);
}

void discardTypedLine() {
  lineInput->discardLine();
}

bool waitForEnter() {
  return lineInput->takeLine();
}

void flushOutput() {
  if (pending.empty() || !device.write)
    return;
  std::string bytes;
  bytes.swap(pending);
  device.write(bytes);
}

// --- Opening and closing ---------------------------------------------------------------------

void openConsole(TerminalDevice with) {
  device = std::move(with);
  cursor = ScreenCursor{};
  refreshScreenSize();
  pending.clear();
  colourInForce = unknownColour;
  foregroundColour = 7;
  lineInput.emplace(
      [](char *buffer, std::size_t n) {
        flushOutput();
        return device.read(buffer, n);
      },
      showReply);
  savedOutput = std::cout.rdbuf(&screenOutput);
  savedInput = std::cin.rdbuf(&*lineInput);
  std::cin.clear();
  isOpen = true;
}

void openConsole() {
  openConsole(realTerminal());
  catchEndingSignals();
  if (!exitHookRegistered) {
    exitHookRegistered = true;
    std::atexit(closeConsole);
  }
}

void closeConsole() {
  if (!isOpen)
    return;
  isOpen = false;
  // Normal text is already the terminal's own colour.
  if (colourInForce != unknownColour && colourInForce != colours::normalText)
    pending.append(vt::resetAttributes);
  colourInForce = unknownColour;
  if (cursor.column != 0 || cursor.wrapPending)
    writeText("\n");
  flushOutput();
  if (foundTermios)
    setTermios(*foundTermios);
  releaseEndingSignals();
  std::cout.rdbuf(savedOutput);
  std::cin.rdbuf(savedInput);
  std::cin.clear();
  device = TerminalDevice{};
}
