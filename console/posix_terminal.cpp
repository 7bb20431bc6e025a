// The real terminal: file descriptors, termios, signals and the window's size. Signal handlers
// only record the signal and wake the wait; everything else happens on the game's own path.
#include "terminal_device.hpp"

#include "console.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Terminals that cannot place the cursor.
constexpr const char *dumbTerminals[] = {"dumb", "cons25", "emacs"};

struct Terminal {
  // The settings as found, put back on every way out and while the game is stopped.
  std::optional<termios> found;
  termios gameModes{};
  // The signal handlers write a byte here, so that a wait wakes for a signal whenever it came.
  int wakeUp[2] = {-1, -1};
} terminal;

// The signals caught, with their actions as found.
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
  const int error = errno;
  if (signal == SIGTSTP)
    stopAsked = 1;
  else if (signal == SIGCONT)
    continued = 1;
  else if (signal == SIGWINCH)
    resized = 1;
  else
    endingSignal = signal;
  // A full pipe already holds a wake-up.
  [[maybe_unused]] const ssize_t woken = ::write(terminal.wakeUp[1], "", 1);
  errno = error;
}

void catchSignal(int signal) {
  struct sigaction action {};
  action.sa_handler = recordSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
}

WindowSize windowSize() {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0)
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
  std::signal(SIGTSTP, SIG_DFL);
  std::raise(SIGTSTP);
  catchSignal(SIGTSTP);
  // Going on is the same whether SIGCONT came or the stop never happened (an orphaned game).
  continued = 1;
}

// What the signals recorded since the last wait ask for.
void handleSignals() {
  if (const int signal = endingSignal) {
    endingSignal = 0;
    // Closing gives back the handlers, so the signal now ends the process.
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

// Deals with the signals come so far, then waits until another comes, the time is up (-1 for
// never) or, when asked, standard input can be read: true then.
bool wait(bool forInput, int milliseconds) {
  handleSignals();
  pollfd fds[] = {{terminal.wakeUp[0], POLLIN, {}}, {STDIN_FILENO, POLLIN, {}}};
  ::poll(fds, forInput ? 2 : 1, milliseconds);
  for (char drained[16]; ::read(terminal.wakeUp[0], drained, sizeof drained) > 0;) {
  }
  // What poll did not look at, or cut short by a signal, it leaves as it was: nothing happened.
  return fds[1].revents != 0;
}

std::ptrdiff_t readInput(char *buffer, std::size_t n) {
  for (;;) {
    if (!wait(true, -1))
      continue;
    const ssize_t got = ::read(STDIN_FILENO, buffer, n);
    if (got >= 0 || (errno != EINTR && errno != EAGAIN))
      return got;
  }
}

void sleepMilliseconds(std::int32_t milliseconds) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (auto left = end - Clock::now(); left.count() > 0; left = end - Clock::now())
    wait(false, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
}

// A write that a signal to end cuts short is given up: the game is about to end.
bool writeOutput(std::string_view bytes) {
  while (!bytes.empty() && endingSignal == 0) {
    const ssize_t done = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (done >= 0) {
      bytes.remove_prefix(static_cast<std::size_t>(done));
    } else if (errno == EAGAIN) { // an output left non-blocking by someone else
      pollfd fds[] = {{STDOUT_FILENO, POLLOUT, {}}, {terminal.wakeUp[0], POLLIN, {}}};
      ::poll(fds, 2, -1);
    } else if (errno != EINTR) {
      return false;
    }
  }
  return true;
}

void catchSignals() {
  ::pipe(terminal.wakeUp);
  for (const int end : terminal.wakeUp) {
    ::fcntl(end, F_SETFL, O_NONBLOCK);
    ::fcntl(end, F_SETFD, FD_CLOEXEC);
  }
  for (Caught &signal : caught) {
    ::sigaction(signal.signal, nullptr, &signal.found);
    // A signal ignored by whoever started the game (nohup) stays ignored.
    if (signal.found.sa_handler != SIG_IGN)
      catchSignal(signal.signal);
  }
}

// Undone newest first.
void release() {
  setModes(false);
  for (const Caught &signal : caught)
    ::sigaction(signal.signal, &signal.found, nullptr);
}

} // namespace

std::optional<TerminalDevice> openTerminal() {
  if (::isatty(STDOUT_FILENO)) {
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
    // Keys reach the game as they are typed, unechoed (a read waits in poll first, so VMIN and
    // VTIME do not matter); the signal keys stay; Ctrl-S is a key like any other, so it cannot
    // hold the game's output.
    termios &modes = terminal.gameModes = found;
    // The game's bytes reach the terminal as written: its line ends say carriage return already.
    modes.c_oflag &= static_cast<tcflag_t>(~OPOST);
    modes.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | IEXTEN));
    modes.c_lflag |= ISIG;
    modes.c_iflag &= static_cast<tcflag_t>(~IXON);
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
