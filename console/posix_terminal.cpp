// The real terminal: file descriptors, termios, signals and the window's size. Signal handlers
// only record the signal and wake the wait; the console hears of it as the wait's event.
#include "device.hpp"
#include "terminfo.hpp"
#include "vt.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Emacs's own shell buffer, which cannot place the cursor, has no terminfo entry: played plain,
// as any terminal whose entry cannot place it is (dumb).
constexpr const char *dumbTerminals[] = {"emacs"};

struct Terminal {
  // The settings as found, put back on every way out and while the game is stopped.
  std::optional<termios> found;
  termios gameModes{};
  // Whether the game's settings are in force: the terminal is the game's, not given back.
  bool held = false;
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
// The end is said once: the console may still drain the terminal's answer before it acts.
bool endSaid = false;

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

// Without SA_RESTART, so that a signal cuts short a write the terminal holds up.
void catchSignal(int signal) {
  struct sigaction action {};
  action.sa_handler = recordSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
}

// A size that cannot be asked (output that is no terminal), or that the terminal does not know,
// leaves 0 x 0: taken as 80 x 24.
WindowSize windowSize() {
  winsize size{};
  ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size);
  if (size.ws_col == 0 || size.ws_row == 0)
    return {80, 24};
  const auto clamp = [](unsigned short n) {
    return static_cast<std::int16_t>(std::min<unsigned>(n, INT16_MAX));
  };
  return {clamp(size.ws_col), clamp(size.ws_row)};
}

// Whether the terminal may be touched: it is the game's, and the game is in the foreground, so
// that a terminal another process group has now is left alone.
bool ours() {
  return terminal.held && ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
}

// At once: waiting for output to drain could wait for ever on a terminal nobody reads.
void giveTerminalBack() {
  if (!ours())
    return;
  while (::tcsetattr(STDIN_FILENO, TCSANOW, &*terminal.found) != 0 && errno == EINTR) {
  }
  terminal.held = false;
}

// The game's settings. From the background the terminal stops the game until it is in the
// foreground again (Stopped (tty output)), and the wake-up from that is tried again. False when
// an ending signal came first.
bool takeTerminal() {
  if (!terminal.found)
    return true;
  while (::tcsetattr(STDIN_FILENO, TCSANOW, &terminal.gameModes) != 0) {
    if (errno != EINTR || endingSignal != 0)
      return endingSignal == 0;
  }
  terminal.held = true;
  return true;
}

Event ending() {
  endSaid = true;
  return Event(Event::Kind::end);
}

// Back from a stop: the window may have changed meanwhile.
Event resumed() {
  continued = 0;
  if (endingSignal != 0 || !takeTerminal())
    return ending();
  return Event(Event::Kind::resume, 0, windowSize());
}

// What the signals recorded so far ask for, the most pressing first; done when nothing.
Event recorded() {
  if (endingSignal != 0 && !endSaid)
    return ending();
  if (stopAsked != 0) {
    stopAsked = 0;
    return Event(Event::Kind::stop);
  }
  if (continued != 0)
    return resumed();
  if (resized != 0) {
    resized = 0;
    return Event(Event::Kind::resize, 0, windowSize());
  }
  return {};
}

// A time counted down from when the wait began; below 0, none.
class Deadline {
public:
  explicit Deadline(std::int32_t milliseconds)
      : end(milliseconds < 0
                ? std::nullopt
                : std::optional(Clock::now() + std::chrono::milliseconds(milliseconds))) {}
  std::int32_t left() const {
    if (!end)
      return -1;
    const auto rest = std::chrono::ceil<std::chrono::milliseconds>(*end - Clock::now()).count();
    return static_cast<std::int32_t>(std::max<std::int64_t>(rest, 0));
  }

private:
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> end;
};

// Waits until a signal has something to say (its event), the time is up, or the descriptor, when
// one is given, is ready to be read or written (`ready`); the time left is counted down.
// select(), not poll(): macOS's poll() does not take terminals.
Event waitFor(int descriptor, bool writing, std::int32_t &milliseconds, bool &ready) {
  const Deadline deadline(milliseconds);
  for (ready = false;;) {
    milliseconds = deadline.left();
    if (const Event event = recorded(); event.kind != Event::Kind::done || milliseconds == 0)
      return event;
    fd_set readable, writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    fd_set &asked = writing ? writable : readable;
    // Without the pipe (no descriptor left), a signal still cuts the wait short, only not every
    // time.
    const int pipe = terminal.wakeUp[0];
    if (pipe >= 0 && pipe < FD_SETSIZE)
      FD_SET(pipe, &readable);
    if (descriptor >= 0)
      FD_SET(descriptor, &asked);
    timeval time{milliseconds / 1000, milliseconds % 1000 * 1000};
    const int count = ::select(std::max(pipe, descriptor) + 1, &readable, &writable, nullptr,
                               milliseconds < 0 ? nullptr : &time);
    for (char drained[16]; ::read(pipe, drained, sizeof drained) > 0;) {
    }
    if (count > 0 && descriptor >= 0 && FD_ISSET(descriptor, &asked)) {
      ready = true;
      milliseconds = deadline.left();
      return {};
    }
  }
}

Event readInput(char *buffer, std::size_t n, std::int32_t &milliseconds) {
  for (bool ready = false;;) {
    if (const Event event = waitFor(STDIN_FILENO, false, milliseconds, ready);
        event.kind != Event::Kind::done || !ready)
      return event;
    const ssize_t got = ::read(STDIN_FILENO, buffer, n);
    if (got > 0)
      return Event(Event::Kind::bytes, static_cast<std::size_t>(got));
    if (got == 0 || (errno != EINTR && errno != EAGAIN))
      return Event(Event::Kind::ended);
  }
}

Event sleepMilliseconds(std::int32_t &milliseconds) {
  bool ready = false;
  return waitFor(-1, false, milliseconds, ready);
}

// A write waits in select, never in the terminal, so any signal reaches the game at once; an
// output left non-blocking by another program is waited for in the same way.
Event writeOutput(std::string_view &bytes) {
  for (bool ready = false; !bytes.empty();) {
    std::int32_t forever = -1;
    if (const Event event = waitFor(STDOUT_FILENO, true, forever, ready);
        event.kind != Event::Kind::done)
      return event;
    const ssize_t done = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (done >= 0)
      bytes.remove_prefix(static_cast<std::size_t>(done));
    else if (errno != EINTR && errno != EAGAIN)
      return Event(Event::Kind::lost);
  }
  return {};
}

// Stops the game as Ctrl-Z asks, with the terminal's settings given back meanwhile. Going on is
// the same whether SIGCONT came or the stop never happened (an orphaned game).
Event suspend() {
  giveTerminalBack();
  std::signal(SIGTSTP, SIG_DFL);
  std::raise(SIGTSTP);
  catchSignal(SIGTSTP);
  return resumed();
}

// Undone newest first. A terminal given back at a stop is not the game's to touch.
void release(std::string_view lastBytes) {
  if (!lastBytes.empty() && (!terminal.found || ours())) {
    const int flags = ::fcntl(STDOUT_FILENO, F_GETFL);
    ::fcntl(STDOUT_FILENO, F_SETFL, flags | O_NONBLOCK);
    [[maybe_unused]] const ssize_t written =
        ::write(STDOUT_FILENO, lastBytes.data(), lastBytes.size());
    ::fcntl(STDOUT_FILENO, F_SETFL, flags);
  }
  giveTerminalBack();
  for (const Caught &signal : caught)
    ::sigaction(signal.signal, &signal.found, nullptr);
}

// With the handlers given back, the signal now ends the process.
void endProcess() {
  const int signal = endingSignal;
  std::raise(signal);
  std::_Exit(128 + signal);
}

void catchSignals() {
  // Without the pipe (no descriptor left), a signal still cuts a wait short, only not every time.
  [[maybe_unused]] const int piped = ::pipe(terminal.wakeUp);
  // Neither end waits: a full pipe holds a wake-up already, and an empty one is drained.
  for (const int end : terminal.wakeUp)
    ::fcntl(end, F_SETFL, O_NONBLOCK);
  for (Caught &signal : caught) {
    ::sigaction(signal.signal, nullptr, &signal.found);
    // A signal ignored by whoever started the game (nohup) stays ignored.
    if (signal.found.sa_handler != SIG_IGN)
      catchSignal(signal.signal);
  }
}

// Standard descriptors that are closed are taken by /dev/null, so that nothing the game opens
// lands there. Whether the descriptor was closed.
bool occupyIfClosed(int descriptor) {
  if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF)
    return false;
  // The lowest free descriptor: the one closed, as all below it are open by now.
  [[maybe_unused]] const int null = ::open("/dev/null", O_RDWR);
  return true;
}

// COLORFGBG, "foreground;background" as some terminals set it, or a player: the background is
// light when its last field is a colour number of 7 or 9 to 15. Empty when it names no colour
// from 0 to 15 (unset, empty, "default"): the terminal is asked then.
std::optional<bool> lightByColorFgBg() {
  const char *value = std::getenv("COLORFGBG");
  if (value == nullptr)
    return std::nullopt;
  std::string last = value;
  last.erase(0, last.rfind(';') + 1);
  if (last.empty() || last.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  last.erase(0, std::min(last.find_first_not_of('0'), last.size() - 1));
  const int colour = last.size() <= 2 ? std::stoi(last) : 16;
  if (colour > 15)
    return std::nullopt;
  return colour == 7 || colour >= 9;
}

} // namespace

std::optional<Device> openDevice(bool plain) {
  occupyIfClosed(STDIN_FILENO); // as an input that has ended
  const bool outputClosed = occupyIfClosed(STDOUT_FILENO);
  occupyIfClosed(STDERR_FILENO);
  if (outputClosed) {
    std::cerr << "quarvel-zib: standard output is closed, so the game cannot be shown.\n";
    return std::nullopt;
  }
  const bool outputIsTerminal = ::isatty(STDOUT_FILENO) != 0;
  const char *name = std::getenv("TERM");
  const std::string term = name != nullptr ? name : "";
  // A terminal that terminfo does not know gets what every ANSI terminal takes.
  Device device;
  if (outputIsTerminal && !plain)
    device.capabilities = terminfoCapabilities(term).value_or(vt::ansi());
  plain =
      plain || (outputIsTerminal && (!device.capabilities.canDraw() ||
                                     std::find(std::begin(dumbTerminals), std::end(dumbTerminals),
                                               term) != std::end(dumbTerminals)));
  if (outputIsTerminal && !plain && !fitsTheGame(windowSize())) {
    std::cerr << tooSmallMessage(windowSize()) << '\n';
    return std::nullopt;
  }

  termios found{};
  // With output that is no terminal, or in plain play, the terminal's own echo and line editing
  // serve the player.
  if (outputIsTerminal && !plain && ::isatty(STDIN_FILENO) &&
      ::tcgetattr(STDIN_FILENO, &found) == 0) {
    terminal.found = found;
    // Keys reach the game as they are typed, unechoed, one byte being enough for a read (VMIN
    // shares its slot with VEOF on some systems, so it is set whatever was found); the signal
    // keys stay; Ctrl-S is a key like any other, so it cannot hold the game's output.
    termios &modes = terminal.gameModes = found;
    // The game's bytes reach the terminal as written: its line ends say carriage return already.
    modes.c_oflag &= static_cast<tcflag_t>(~OPOST);
    modes.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | IEXTEN));
    modes.c_lflag |= ISIG;
    modes.c_iflag &= static_cast<tcflag_t>(~IXON);
    modes.c_cc[VMIN] = 1;
    modes.c_cc[VTIME] = 0;
    device.inputIsTerminal = true;
  }
  catchSignals();
  takeTerminal();

  device.write = writeOutput;
  device.read = readInput;
  device.sleep = sleepMilliseconds;
  device.suspend = suspend;
  device.release = release;
  device.endProcess = endProcess;
  device.size = windowSize();
  device.outputIsTerminal = outputIsTerminal;
  device.plain = plain;
  const char *noColour = std::getenv("NO_COLOR");
  device.colourAllowed = noColour == nullptr || noColour[0] == '\0';
  // COLORFGBG, when it says, rules; otherwise the terminal is asked. The Linux console cannot
  // answer, and is dark unless told otherwise.
  if (const std::optional<bool> light = lightByColorFgBg())
    device.lightBackground = *light;
  else
    device.askBackground = device.inputIsTerminal && device.colourAllowed &&
                           device.capabilities.colours >= 8 && term != "linux";
  return device;
}
