// A program running in a pseudo-terminal, driven like a player would: keys typed, the screen read
// back through libvterm, the terminal's settings and the exit status watched. Every wait has a
// deadline and answers false instead of hanging.
#pragma once

#include "../screen.hpp"

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <termios.h>
#include <vector>

// Every setting of a terminal, to compare two of them and show the difference.
std::string describe(const termios &t);

struct ExitStatus {
  bool exited = false; // with code
  int code = -1;
  bool signalled = false; // by signal
  int signal = 0;
  bool operator==(const ExitStatus &) const = default;
};
std::ostream &operator<<(std::ostream &out, const ExitStatus &status);

class PtySession {
public:
  using Timeout = std::chrono::milliseconds;

  // argv[0] is the program's path. The environment is ours without NO_COLOR, with TERM=xterm,
  // and the given "NAME=value" entries on top.
  explicit PtySession(const std::vector<std::string> &argv,
                      const std::vector<std::string> &environment = {}, int columns = 80,
                      int rows = 24);
  ~PtySession();
  PtySession(const PtySession &) = delete;
  PtySession &operator=(const PtySession &) = delete;

  // Cooked mode as a login shell leaves it: line editing, echo, signals, CR/NL mapping.
  static termios saneTermios();

  void type(std::string_view keys);
  void sendSignal(int signal);

  bool waitFor(const std::function<bool(const Screen &)> &condition, Timeout within);
  bool waitForTermios(const std::function<bool(const termios &)> &condition, Timeout within);
  // The program sleeps in the kernel (waiting for input, or in a sleep), as /proc tells, and its
  // output so far is read.
  bool waitUntilBlocked(Timeout within);
  // Empty when the program is still running at the deadline.
  std::optional<ExitStatus> waitForExit(Timeout within);

  const Screen &screen() const { return term; }
  // Every byte the program wrote, as the terminal received it.
  const std::string &output() const { return raw; }
  // The terminal's settings now, as the program sees them.
  termios terminalSettings() const;
  Timeout elapsed() const;

private:
  // Moves what the program wrote to the screen, waiting up to `wait` for some. True when there
  // was some.
  bool pump(Timeout wait);
  template <class Ready> bool pollUntil(Ready ready, Timeout within);

  Screen term;
  std::string raw;
  int master = -1;
  bool outputEnded = false;
  pid_t child = -1;
  std::optional<ExitStatus> status;
  std::chrono::steady_clock::time_point started;
};
