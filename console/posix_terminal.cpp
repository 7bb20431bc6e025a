// The real terminal: file descriptors, termios, signals and the window's size. Signal handlers
// only record the signal and wake the wait; the console hears of it as the wait's event.
#include "device.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

// Terminals that cannot place the cursor.
constexpr const char *dumbTerminals[] = {"dumb", "cons25", "emacs"};

// OSC 11: what is the background colour? The answer starts the same, up to BEL or ST.
constexpr std::string_view backgroundQuestion = "\x1b]11;?\x1b\\";
constexpr std::string_view backgroundAnswer = "\x1b]11;";

// The terminal's answer about its background, taken out of the input wherever it comes, even
// after the game stopped waiting for it.
struct BackgroundAnswer {
  // Whether the background is light, from the answer "rgb:R/G/B", each of 1 to 4 hex digits:
  // above one half of relative luminance.
  static bool isLight(const std::string &answer) {
    std::size_t at = answer.find("rgb:");
    if (at == std::string::npos)
      return false;
    at += 4;
    double luminance = 0;
    for (const double weight : {0.2126, 0.7152, 0.0722}) {
      const std::size_t end = answer.find_first_not_of("0123456789abcdefABCDEF", at);
      if (end == std::string::npos || end == at || end - at > 4)
        return false;
      const double share =
          static_cast<double>(std::stoul(answer.substr(at, end - at), nullptr, 16)) /
          (std::pow(16.0, static_cast<double>(end - at)) - 1);
      // sRGB to linear light.
      luminance +=
          weight * (share <= 0.04045 ? share / 12.92 : std::pow((share + 0.055) / 1.055, 2.4));
      at = end + 1;
    }
    return luminance > 0.5;
  }

  bool awaited() const { return asked && !light; }

  // Keeps in `bytes` only what was typed.
  void takeOut(std::string &bytes) {
    std::string typed;
    for (const char c : bytes) {
      if (!awaited()) {
        typed += c;
        continue;
      }
      held += c;
      if (held.size() <= backgroundAnswer.size() && !backgroundAnswer.starts_with(held)) {
        typed += std::exchange(held, {});
      } else if (c == '\a' || held.ends_with("\x1b\\")) {
        light = isLight(std::exchange(held, {}));
      } else if (held.size() > 64) { // no answer after all
        typed += std::exchange(held, {});
        light = false;
      }
    }
    bytes = typed;
  }

  bool asked = false;
  std::string held;
  // Empty until the answer came, or the game gave up on it.
  std::optional<bool> light;
} background;

struct Terminal {
  // The settings as found, put back on every way out and while the game is stopped.
  std::optional<termios> found;
  termios gameModes{};
  // Keys typed while the game waited for the terminal's answer.
  std::string typedAhead;
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

// At once: waiting for output to drain could wait for ever on a terminal nobody reads.
void setModes(bool forTheGame) {
  if (terminal.found)
    ::tcsetattr(STDIN_FILENO, TCSANOW, forTheGame ? &terminal.gameModes : &*terminal.found);
}

// What the signals recorded so far ask for, the most pressing first; done when nothing.
Event recorded() {
  if (endingSignal != 0)
    return Event(Event::Kind::end);
  if (stopAsked != 0) {
    stopAsked = 0;
    return Event(Event::Kind::stop);
  }
  if (continued != 0) {
    continued = 0;
    setModes(true);
    return Event(Event::Kind::resume);
  }
  if (resized != 0) {
    resized = 0;
    return Event(Event::Kind::resize, 0, windowSize());
  }
  return {};
}

// Waits until a signal comes, the time is up (-1: never) or the descriptor, when one is given, is
// ready as asked. Whether it is.
bool waitFor(int descriptor, short ready, int milliseconds) {
  pollfd fds[] = {{terminal.wakeUp[0], POLLIN, 0}, {descriptor, ready, 0}};
  ::poll(fds, descriptor < 0 ? 1 : 2, milliseconds);
  for (char drained[16]; ::read(terminal.wakeUp[0], drained, sizeof drained) > 0;) {
  }
  return fds[1].revents != 0;
}

Event readInput(char *buffer, std::size_t n) {
  while (terminal.typedAhead.empty()) {
    if (const Event event = recorded(); event.kind != Event::Kind::done)
      return event;
    if (!waitFor(STDIN_FILENO, POLLIN, -1))
      continue;
    char bytes[4096];
    const ssize_t got = ::read(STDIN_FILENO, bytes, std::min(n, sizeof bytes));
    if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
      return Event(Event::Kind::ended);
    terminal.typedAhead.assign(bytes, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    background.takeOut(terminal.typedAhead);
  }
  const std::size_t count = terminal.typedAhead.copy(buffer, n);
  terminal.typedAhead.erase(0, count);
  return Event(Event::Kind::bytes, count);
}

Event sleepMilliseconds(std::int32_t &milliseconds) {
  using std::chrono::steady_clock;
  const steady_clock::time_point end =
      steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - steady_clock::now());
    milliseconds = static_cast<std::int32_t>(std::max<std::int64_t>(left.count(), 0));
    if (const Event event = recorded(); event.kind != Event::Kind::done || milliseconds == 0)
      return event;
    waitFor(-1, 0, milliseconds);
  }
}

// A write waits in poll, never in the terminal, so any signal reaches the game at once; an output
// left non-blocking by another program is waited for in the same way.
Event writeOutput(std::string_view &bytes) {
  while (!bytes.empty()) {
    if (const Event event = recorded(); event.kind != Event::Kind::done)
      return event;
    if (!waitFor(STDOUT_FILENO, POLLOUT, -1))
      continue;
    const ssize_t done = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (done >= 0)
      bytes.remove_prefix(static_cast<std::size_t>(done));
    else if (errno != EINTR && errno != EAGAIN)
      return Event(Event::Kind::lost);
  }
  return {};
}

// Stops the game as Ctrl-Z asks, with the terminal's settings given back meanwhile.
void suspend() {
  setModes(false);
  std::signal(SIGTSTP, SIG_DFL);
  std::raise(SIGTSTP);
  catchSignal(SIGTSTP);
  setModes(true);
  // Going on is the same whether SIGCONT came or the stop never happened (an orphaned game).
  continued = 0;
}

// Undone newest first.
void release(std::string_view lastBytes) {
  if (!lastBytes.empty()) {
    const int flags = ::fcntl(STDOUT_FILENO, F_GETFL);
    ::fcntl(STDOUT_FILENO, F_SETFL, flags | O_NONBLOCK);
    [[maybe_unused]] const ssize_t written =
        ::write(STDOUT_FILENO, lastBytes.data(), lastBytes.size());
    ::fcntl(STDOUT_FILENO, F_SETFL, flags);
  }
  setModes(false);
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
// light when it is 7 or 9 to 15. Empty when it says nothing.
std::optional<bool> lightByColorFgBg() {
  const char *value = std::getenv("COLORFGBG");
  if (value == nullptr)
    return std::nullopt;
  const std::string colours = value;
  const std::string last = colours.substr(colours.rfind(';') + 1);
  if (last.empty() || last.size() > 2 || last.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int colour = std::stoi(last);
  return colour == 7 || (colour >= 9 && colour <= 15);
}

// Asks the terminal, once its echo is off, and waits 100 ms at most for the answer; what is
// typed meanwhile is kept for the game.
bool askedLight() {
  background.asked = ::write(STDOUT_FILENO, backgroundQuestion.data(), backgroundQuestion.size()) ==
                     static_cast<ssize_t>(backgroundQuestion.size());
  using std::chrono::steady_clock;
  const steady_clock::time_point end = steady_clock::now() + std::chrono::milliseconds(100);
  while (background.awaited()) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end - steady_clock::now()).count();
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (left <= 0 || ::poll(&input, 1, static_cast<int>(left)) <= 0)
      break;
    char bytes[256];
    const ssize_t got = ::read(STDIN_FILENO, bytes, sizeof bytes);
    if (got <= 0)
      break;
    std::string typed(bytes, static_cast<std::size_t>(got));
    background.takeOut(typed);
    terminal.typedAhead += typed;
  }
  return background.light.value_or(false);
}

} // namespace

std::optional<Device> openDevice() {
  occupyIfClosed(STDIN_FILENO); // as an input that has ended
  const bool outputClosed = occupyIfClosed(STDOUT_FILENO);
  occupyIfClosed(STDERR_FILENO);
  if (outputClosed) {
    std::cerr << "quarvel-zib: standard output is closed, so the game cannot be shown.\n";
    return std::nullopt;
  }
  const bool outputIsTerminal = ::isatty(STDOUT_FILENO) != 0;
  if (outputIsTerminal) {
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

  Device device;
  termios found{};
  // With output that is no terminal, the terminal's own echo and line editing serve the player.
  if (outputIsTerminal && ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &found) == 0) {
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
  device.suspend = suspend;
  device.release = release;
  device.endProcess = endProcess;
  device.size = windowSize();
  device.outputIsTerminal = outputIsTerminal;
  const char *noColour = std::getenv("NO_COLOR");
  device.colourAllowed = noColour == nullptr || noColour[0] == '\0';
  // COLORFGBG, when it says, rules; otherwise the terminal is asked. The Linux console cannot
  // answer, and is dark unless told otherwise.
  const char *name = std::getenv("TERM");
  if (const std::optional<bool> light = lightByColorFgBg())
    device.lightBackground = *light;
  else if (device.inputIsTerminal && device.colourAllowed &&
           std::string_view(name != nullptr ? name : "") != "linux")
    device.lightBackground = askedLight();
  return device;
}
