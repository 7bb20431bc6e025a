// The real terminal: file descriptors, termios, signals and the window's size. Signal handlers
// only record the signal; everything else happens on the game's own path, in its waits.
#include "terminal_device.hpp"

#include "console.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Terminals that cannot place the cursor.
constexpr const char *dumbTerminals[] = {"dumb", "cons25", "emacs"};

struct Terminal {
  // The settings as found, put back on every way out and while the game is stopped.
  std::optional<termios> found;
  termios gameModes{};
  bool outputIsTerminal = false;
  // The mask as found, which the game waits with.
  sigset_t waitingMask{};
} terminal;

// The signals caught, with their actions as found. They are blocked while the game does not wait.
struct Caught {
  int signal;
  struct sigaction found;
} caught[] = {{SIGINT, {}},  {SIGTERM, {}}, {SIGHUP, {}},  {SIGQUIT, {}},
              {SIGPIPE, {}}, {SIGTSTP, {}}, {SIGCONT, {}}, {SIGWINCH, {}}};

volatile std::sig_atomic_t endingSignal = 0;
volatile std::sig_atomic_t stopAsked = 0;
volatile std::sig_atomic_t continued = 0;
volatile std::sig_atomic_t resized = 0;

extern "C" void recordSignal(int signal) {
  switch (signal) {
  case SIGTSTP:
    stopAsked = 1;
    break;
  case SIGCONT:
    continued = 1;
    break;
  case SIGWINCH:
    resized = 1;
    break;
  default:
    endingSignal = signal;
  }
}

WindowSize windowSize() {
  winsize size{};
  if (!terminal.outputIsTerminal || ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 ||
      size.ws_col == 0 || size.ws_row == 0)
    return {80, 24};
  const auto clamp = [](unsigned short n) {
    return static_cast<std::int16_t>(std::min<unsigned>(n, INT16_MAX));
  };
  return {clamp(size.ws_col), clamp(size.ws_row)};
}

void setModes(bool forTheGame) {
  if (terminal.found)
    ::tcsetattr(STDIN_FILENO, TCSADRAIN, forTheGame ? &terminal.gameModes : &*terminal.found);
}

// Stops the game as Ctrl-Z asks, with the terminal given back meanwhile.
void stop() {
  consoleSuspending();
  setModes(false);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, SIGTSTP);
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  ::sigaction(SIGTSTP, &action, nullptr);
  ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
  std::raise(SIGTSTP);
  ::sigprocmask(SIG_BLOCK, &only, nullptr);
  action.sa_handler = recordSignal;
  ::sigaction(SIGTSTP, &action, nullptr);
  // Going on after the stop is handled here; the SIGCONT that did it is spent.
  sigset_t cont;
  sigemptyset(&cont);
  sigaddset(&cont, SIGCONT);
  const timespec now{};
  ::sigtimedwait(&cont, nullptr, &now);
  continued = 1;
}

// What the signals recorded since the last wait ask for.
void handleSignals() {
  if (const int signal = endingSignal) {
    endingSignal = 0;
    // Closing gives back the handlers and the mask, so the signal now ends the process.
    closeConsole();
    std::raise(signal);
    std::_Exit(128 + signal);
  }
  if (stopAsked) {
    stopAsked = 0;
    stop();
  }
  if (continued) {
    continued = 0;
    setModes(true);
    consoleResumed();
  }
  if (resized) {
    resized = 0;
    consoleWindowChanged(windowSize());
  }
}

// Waits, with the recorded signals let in, until standard input is readable or the time is up.
// False when a signal came first.
bool wait(bool forInput, const timespec *limit) {
  handleSignals();
  fd_set readable;
  FD_ZERO(&readable);
  if (forInput)
    FD_SET(STDIN_FILENO, &readable);
  const int fds = forInput ? STDIN_FILENO + 1 : 0;
  return ::pselect(fds, forInput ? &readable : nullptr, nullptr, nullptr, limit,
                   &terminal.waitingMask) >= 0;
}

std::ptrdiff_t readInput(char *buffer, std::size_t n) {
  for (;;) {
    if (!wait(true, nullptr)) {
      if (errno == EINTR)
        continue;
      return -1;
    }
    const ssize_t got = ::read(STDIN_FILENO, buffer, n);
    if (got >= 0 || (errno != EINTR && errno != EAGAIN))
      return got;
  }
}

void sleepMilliseconds(std::int32_t milliseconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (auto left = end - Clock::now(); left.count() > 0; left = end - Clock::now()) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec limit{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    wait(false, &limit);
  }
}

// The ending signals are let in while a write is held up (a terminal that stops reading), and a
// write they cut short is given up: the game is about to end.
bool writeOutput(std::string_view bytes) {
  while (!bytes.empty()) {
    sigset_t blocked;
    ::sigprocmask(SIG_SETMASK, &terminal.waitingMask, &blocked);
    const ssize_t done = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    const int error = errno;
    ::sigprocmask(SIG_SETMASK, &blocked, nullptr);
    if (done >= 0) {
      bytes.remove_prefix(static_cast<std::size_t>(done));
    } else if (error == EAGAIN) {
      fd_set writable;
      FD_ZERO(&writable);
      FD_SET(STDOUT_FILENO, &writable);
      ::pselect(STDOUT_FILENO + 1, nullptr, &writable, nullptr, nullptr, &terminal.waitingMask);
    } else if (error != EINTR) {
      return false;
    }
    if (endingSignal)
      return true;
  }
  return true;
}

void catchSignals() {
  struct sigaction action {};
  action.sa_handler = recordSignal;
  sigemptyset(&action.sa_mask);
  sigset_t blocked;
  sigemptyset(&blocked);
  for (Caught &signal : caught) {
    ::sigaction(signal.signal, nullptr, &signal.found);
    // A signal ignored by whoever started the game (nohup) stays ignored.
    if (signal.found.sa_handler == SIG_IGN)
      continue;
    ::sigaction(signal.signal, &action, nullptr);
    sigaddset(&blocked, signal.signal);
  }
  ::sigprocmask(SIG_BLOCK, &blocked, &terminal.waitingMask);
}

// Undone newest first: the handlers go back before the mask lets a pending signal through.
void release() {
  setModes(false);
  for (const Caught &signal : caught)
    ::sigaction(signal.signal, &signal.found, nullptr);
  ::sigprocmask(SIG_SETMASK, &terminal.waitingMask, nullptr);
}

} // namespace

std::optional<TerminalDevice> openTerminal() {
  terminal.outputIsTerminal = ::isatty(STDOUT_FILENO) != 0;
  if (terminal.outputIsTerminal) {
    const char *name = std::getenv("TERM");
    const std::string term = name != nullptr ? name : "";
    if (std::find(std::begin(dumbTerminals), std::end(dumbTerminals), term) !=
        std::end(dumbTerminals)) {
      std::cerr << "quarvel-zib needs a terminal that can place the cursor; TERM=" << term
                << " cannot.\n";
      return std::nullopt;
    }
    if (!fitsTheGame(windowSize())) {
      std::cerr << tooSmallMessage(windowSize()) << '\n';
      return std::nullopt;
    }
  }

  TerminalDevice device;
  termios found{};
  if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &found) == 0) {
    terminal.found = found;
    // Keys reach the game one by one, unechoed; the signal keys stay; Ctrl-S is a key like any
    // other, so it cannot hold the game's output.
    termios &modes = terminal.gameModes = found;
    modes.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | IEXTEN));
    modes.c_lflag |= ISIG;
    modes.c_iflag &= static_cast<tcflag_t>(~IXON);
    modes.c_oflag |= OPOST | ONLCR;
    modes.c_cc[VMIN] = 1;
    modes.c_cc[VTIME] = 0;
    device.inputIsTerminal = true;
  }
  catchSignals();
  setModes(true);

  device.write = writeOutput;
  device.read = readInput;
  device.sleep = sleepMilliseconds;
  device.release = release;
  device.size = windowSize();
  const char *noColour = std::getenv("NO_COLOR");
  device.colourAllowed = noColour == nullptr || noColour[0] == '\0';
  return device;
}
