// Every script under tests/e2e, played against the real executable in a pseudo-terminal, as a
// player would: keys typed and signals sent, then waiting until the screen, read back through
// libvterm, shows what the script says. Every script runs twice: in the sanitizers' build folder,
// and in the players' (release) build folder, where ./quarvel-zib is that build's game;
// libfaketime runs its clock fifty times faster, so the title takes a fifth of a second.
//
//   run [WxH] [xN] [raw] [vmin4] [nohup] [<&-] [>&-] [nonblocking] [standin] [NAME=VALUE]...
//       PROGRAM...             WxH: the window, 0 for a size the terminal does not know; xN: the
//                              clock N times faster (x1: real time), fifty by default; nohup:
//                              started with SIGHUP ignored;
//                              raw: the terminal starts raw; vmin4: with VMIN 4, as the slot it
//                              shares with VEOF on some systems leaves it; <&-, >&-: standard
//                              input, output closed; nonblocking: the terminal left so by another
//                              program; standin: poll() and rand() as other platforms have them
//                              (stand_in.cpp); a program that is missing (wine, the Windows build)
//                              skips the script. A script may run one program after another.
//   type KEYS                  as in the screen cases
//   resize WxH                 the window, and the program is told
//   signal INT|TERM|HUP|QUIT
//   row N |TEXT, cursor C,R, bells N, shows TEXT (anywhere), mouse on|off (whether the terminal
//   reports the mouse, as the program last set its mode 1000): waits until the screen shows it
//   exit N | exit signal NAME  the program ends so
//   deadline SECONDS           for each wait from here on, ten at first; a fraction too
//   cpu-under MILLISECONDS     the program that ended took less CPU time: no wait of it spun
//   memory-under KIB           the program held less memory at its peak, as last seen before it
//                              ended (its own, not the harness's that it was forked from)
//   same-terminal              the terminal's settings are those it started with
//   output |TEXT               everything the program wrote, a line end after it; the lines of
//   |TEXT                      a longer text follow, each after a bar
//   wrote KEYS, not-wrote KEYS the program wrote these bytes, written as in `type`, so far, or not
//   input-left KEYS            what the terminal holds, typed but never read, once the program
//                              has ended
//   black-background           every cell of the screen is on black or the terminal's own
//                              background
//   fill-output                nobody reads the terminal any more, and its output is full
//   idle MILLISECONDS          the program runs meanwhile
//   sequences-from TERM        every control sequence the program wrote is one that a
//                              capability of TERM's terminfo entry says (as the program was
//                              started, TERMINFO and TERMINFO_DIRS included), or the question
//                              about the background
//   anything else              fails the script, so a misspelt command cannot pass
// @VERSION@ stands for the project's version, @TERMINFO@ for the folder of the entries the build
// compiled from terminals.ti.
#include "screen.hpp"
#include "terminfo_check.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

extern char **environ;

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::map<std::string, int> signals = {
    {"INT", SIGINT}, {"TERM", SIGTERM}, {"HUP", SIGHUP}, {"QUIT", SIGQUIT}};

// What a program can change of a terminal's settings.
std::string describe(const termios &t) {
  return std::to_string(t.c_iflag) + ' ' + std::to_string(t.c_oflag) + ' ' +
         std::to_string(t.c_lflag) + " keys " + std::string(std::begin(t.c_cc), std::end(t.c_cc));
}

struct Script {
  explicit Script(const fs::path &path) {
    for (std::string line : linesOf(path)) {
      if (const std::size_t at = line.find("@VERSION@"); at != std::string::npos)
        line.replace(at, 9, QZ_VERSION);
      if (const std::size_t at = line.find("@TERMINFO@"); at != std::string::npos)
        line.replace(at, 10, QZ_TERMINFO);
      if (line.starts_with('|') && lines.back().starts_with("output ")) // one more line of it
        lines.back() += "\r\n" + line.substr(1);
      else if (!line.empty() && line[0] != '#')
        lines.push_back(line);
    }
  }
  ~Script() {
    if (child > 0 && !status) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    }
  }

  void play() {
    for (const std::string &line : lines) {
      const std::string command = line.substr(0, line.find(' '));
      const std::string rest = line.substr(std::min(line.size(), command.size() + 1));
      const std::string text = rest.substr(rest.find('|') + 1);
      SCOPED_TRACE(line);
      if (command == "run") {
        run(rest);
        if (testing::Test::IsSkipped())
          return;
      } else if (command == "type") {
        const std::string typed = keys(rest);
        ASSERT_EQ(::write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
      } else if (int columns = 0, rows = 0;
                 command == "resize" && std::sscanf(rest.c_str(), "%dx%d", &columns, &rows) == 2) {
        const winsize size{static_cast<unsigned short>(rows), static_cast<unsigned short>(columns),
                           0, 0};
        ::ioctl(master, TIOCSWINSZ, &size); // the kernel tells the program with SIGWINCH
        screen->resize(columns, rows);
      } else if (command == "deadline") {
        milliseconds = static_cast<int>(std::stod(rest) * 1000);
      } else if (command == "signal") {
        ::kill(child, signals.at(rest));
      } else if (command == "exit") {
        const int expected =
            rest.starts_with("signal ") ? signals.at(rest.substr(7)) : std::stoi(rest) << 8;
        ASSERT_TRUE(waitUntil([&] { return status.has_value(); })) << screenText();
        EXPECT_EQ(*status, expected);
      } else if (command == "cpu-under") { // milliseconds, of a program that has ended
        EXPECT_LT((usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
                      (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000,
                  std::stoi(rest));
      } else if (command == "memory-under") {
        EXPECT_GT(peakKiB, 0);
        EXPECT_LT(peakKiB, std::stol(rest));
      } else if (command == "same-terminal") {
        termios now{};
        ::tcgetattr(master, &now);
        EXPECT_EQ(describe(now), describe(started));
      } else if (command == "output") {
        EXPECT_EQ(output, text + "\r\n");
      } else if (command == "wrote") {
        ASSERT_TRUE(waitUntil([&] { return output.find(keys(rest)) != std::string::npos; }));
      } else if (command == "not-wrote") {
        EXPECT_EQ(output.find(keys(rest)), std::string::npos);
      } else if (command == "input-left") {
        EXPECT_EQ(inputLeft(), keys(rest));
      } else if (command == "black-background") {
        EXPECT_TRUE(screen->onBlack()) << screenText();
      } else if (command == "fill-output") {
        fillOutput();
      } else if (command == "sequences-from") {
        // The entry is looked up as the program looked it up, and the harness's own places are
        // given back after.
        std::vector<std::pair<const char *, std::optional<std::string>>> before;
        for (const char *name : {"TERMINFO", "TERMINFO_DIRS"}) {
          const char *had = std::getenv(name);
          before.emplace_back(name, had == nullptr ? std::nullopt : std::optional(had));
          const auto given =
              std::find_if(startedWith.begin(), startedWith.end(),
                           [&](const auto &e) { return e.starts_with(name + "="s); });
          if (given == startedWith.end())
            ::unsetenv(name);
          else
            ::setenv(name, given->substr(given->find('=') + 1).c_str(), 1);
        }
        EXPECT_EQ(sequencesNotFrom(rest, output, {std::string("\x1b]11;?\x1b\\")}), "")
            << "written: " << testingName(output);
        for (const auto &[name, had] : before)
          had ? void(::setenv(name, had->c_str(), 1)) : void(::unsetenv(name));
      } else if (command == "idle") {
        ::usleep(static_cast<useconds_t>(std::stoi(rest) * 1000));
      } else if (command == "row" || command == "cursor" || command == "bells" ||
                 command == "shows" || (command == "mouse" && (rest == "on" || rest == "off"))) {
        const auto shows = [&] {
          int n = 0, m = 0;
          std::sscanf(rest.c_str(), "%d,%d", &n, &m);
          return command == "row"      ? screen->row(n) == text
                 : command == "cursor" ? screen->cursorColumn() == n && screen->cursorRow() == m
                 : command == "bells"  ? screen->bells() == n
                 : command == "mouse"  ? reportsMouse() == (rest == "on")
                                       : screenText().find(rest) != std::string::npos;
        };
        ASSERT_TRUE(waitUntil(shows)) << screenText();
      } else {
        FAIL() << "not a command the harness knows, or not written as it wants";
      }
    }
  }

  void run(const std::string &words) {
    std::vector<std::string> argv;
    // One entry for each name: the script's, else the tests' own, else this process's.
    // AddressSanitizer's allocator reads the clock, libfaketime's, while it holds the lock of a
    // size class it fills for the first time. libfaketime sets itself up on that first read and
    // allocates (a failed dlsym's message); when that lands in the class being filled, the
    // allocator waits for itself for ever. Which classes are filled by then turns on argv[0]'s
    // length. An allocator that never hands memory back to the system reads no clock.
    // Only clocks run faster: file times stay true, or wine takes its prefix for out of date.
    std::vector<std::string> environment = {
        "TERM=xterm", "LD_PRELOAD=" QZ_FAKETIME, "FAKETIME=+0 x50", "NO_FAKE_STAT=1",
        "ASAN_OPTIONS=verify_asan_link_order=0:allocator_release_to_os_interval_ms=-1"};
    const auto entryOf = [&](const std::string &entry) {
      return std::find_if(environment.begin(), environment.end(), [&](const std::string &e) {
        return e.starts_with(entry.substr(0, entry.find('=') + 1));
      });
    };
    int columns = 80, rows = 24;
    bool raw = false, nonblocking = false, vmin4 = false, nohup = false;
    std::vector<int> closed;
    std::string input; // a file for standard input, rather than the terminal
    std::istringstream in(words);
    for (std::string word; in >> word;) {
      if (std::sscanf(word.c_str(), "%dx%d", &columns, &rows) == 2)
        continue;
      if (int speed = 0; std::sscanf(word.c_str(), "x%d", &speed) == 1)
        environment[2] = "FAKETIME=+0 x" + std::to_string(speed);
      else if (word == "raw")
        raw = true;
      else if (word == "vmin4")
        vmin4 = true;
      else if (word == "nohup")
        nohup = true;
      else if (word == "standin") // by a path without the build's folders, which may hold spaces
        environment[1] += ' ' + fs::relative(QZ_STAND_IN).string();
      else if (word == "nonblocking")
        nonblocking = true;
      else if (word == "<&-" || word == ">&-")
        closed.push_back(word == "<&-" ? STDIN_FILENO : STDOUT_FILENO);
      else if (word.starts_with('<'))
        input = word.substr(1);
      else if (const auto entry = entryOf(word); word.find('=') != std::string::npos)
        entry == environment.end() ? environment.push_back(word) : void(*entry = word);
      else if (word.find('/') == std::string::npos || ::access(word.c_str(), R_OK) == 0)
        argv.push_back(word);
      else
        GTEST_SKIP() << word << " is missing (wine, or the Windows build?): not played";
    }
    for (char **entry = environ; *entry != nullptr; ++entry)
      if (!std::string(*entry).starts_with("NO_COLOR=") && entryOf(*entry) == environment.end())
        environment.push_back(*entry);
    // A terminal that does not know its width shows 80 columns all the same.
    screen.emplace(columns > 0 ? columns : 80, rows);
    const auto pointers = [](std::vector<std::string> &strings) {
      std::vector<char *> all(strings.size() + 1); // and a null at the end
      std::transform(strings.begin(), strings.end(), all.begin(), [](auto &s) { return s.data(); });
      return all;
    };
    startedWith = environment;
    std::vector<char *> args = pointers(argv), envs = pointers(environment);
    // The terminal starts as the kernel makes it, cooked, or raw as `stty raw -echo` leaves it.
    const winsize size{static_cast<unsigned short>(rows), static_cast<unsigned short>(columns), 0,
                       0};
    // The program before, if any, has ended.
    if (child > 0 && !status) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    }
    status.reset();
    output.clear();
    peakKiB = 0;
    if (master >= 0)
      ::close(master);
    int slave = -1;
    ::openpty(&master, &slave, nullptr, nullptr, &size);
    ::tcgetattr(master, &started);
    if (raw)
      cfmakeraw(&started);
    if (vmin4)
      started.c_cc[VMIN] = 4;
    ::tcsetattr(master, TCSANOW, &started);
    child = ::fork();
    if (child == 0) {
      ::login_tty(slave);
      if (nohup)
        ::signal(SIGHUP, SIG_IGN);
      if (nonblocking)
        ::fcntl(STDOUT_FILENO, F_SETFL, ::fcntl(STDOUT_FILENO, F_GETFL) | O_NONBLOCK);
      for (const int descriptor : closed)
        ::close(descriptor);
      if (const int file = input.empty() ? -1 : ::open(input.c_str(), O_RDONLY); file >= 0) {
        ::dup2(file, STDIN_FILENO);
        ::close(file);
      }
      ::execve(args[0], args.data(), envs.data());
      ::_exit(127);
    }
    ::close(slave);
  }

  // From now on nobody reads the terminal, and its output holds all it can: the program's next
  // write waits.
  void fillOutput() {
    reading = false;
    const int terminal = ::open(::ptsname(master), O_WRONLY | O_NONBLOCK | O_NOCTTY);
    const std::string filler(4096, '.');
    while (::write(terminal, filler.data(), filler.size()) > 0) {
    }
    ::close(terminal);
  }

  // The bytes typed that nobody read, taken from the terminal as a shell would read them.
  std::string inputLeft() {
    const int terminal = ::open(::ptsname(master), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    termios raw = started;
    cfmakeraw(&raw);
    ::tcsetattr(terminal, TCSANOW, &raw);
    std::string left;
    char buffer[256];
    for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;)
      left.append(buffer, static_cast<std::size_t>(got));
    ::tcsetattr(terminal, TCSANOW, &started);
    ::close(terminal);
    return left;
  }

  // The peak of the program's resident memory so far; 0 when it cannot be read, or while the
  // child is still the harness's copy, not yet the program.
  long highWaterKiB() const {
    std::ifstream status("/proc/" + std::to_string(child) + "/status");
    long peak = 0;
    for (std::string line; std::getline(status, line);) {
      if (line.starts_with("Name:") && line.find("qz_tests") != std::string::npos)
        return 0;
      if (line.starts_with("VmHWM:"))
        peak = std::stol(line.substr(6));
    }
    return peak;
  }

  // Reads what the program writes until `ready` holds, for the deadline's time at most, or
  // until the program has ended without it.
  template <class Ready> bool waitUntil(Ready ready) {
    using Clock = std::chrono::steady_clock;
    for (const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);;
         ::usleep(2000)) {
      const bool ended = status.has_value();
      if (!status)
        peakKiB = std::max(peakKiB, highWaterKiB());
      if (int how = 0; !status && ::wait4(child, &how, WNOHANG, &usage) == child)
        status = how;
      char buffer[4096];
      for (pollfd fd{master, POLLIN, 0}; reading && ::poll(&fd, 1, 0) > 0;) {
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got <= 0)
          break;
        output.append(buffer, static_cast<std::size_t>(got));
        screen->feed(std::string_view(buffer, static_cast<std::size_t>(got)), false);
      }
      if (ready())
        return true;
      if (ended || Clock::now() > deadline)
        return false;
    }
  }

  // Whether the program last turned the mouse's reports (mode 1000) on, with CSI ? ... h, rather
  // than off. Read from what it wrote: libvterm takes only the first mode of such a sequence.
  bool reportsMouse() const {
    bool on = false;
    for (std::size_t at = 0; (at = output.find("\x1b[?", at)) != std::string::npos;) {
      const std::size_t end = output.find_first_not_of("0123456789;", at += 3);
      if (end == std::string::npos || (output[end] != 'h' && output[end] != 'l'))
        continue;
      if ((';' + output.substr(at, end - at) + ';').find(";1000;") != std::string::npos)
        on = output[end] == 'h';
    }
    return on;
  }

  std::string screenText() const {
    std::string text;
    for (int r = 0; r < screen->rows(); ++r)
      text += screen->row(r) + '\n';
    return text;
  }

  std::vector<std::string> lines;
  // The environment the program last started with.
  std::vector<std::string> startedWith;
  std::optional<Screen> screen;
  std::string output;
  termios started{};
  int master = -1;
  pid_t child = -1;
  std::optional<int> status;
  rusage usage{};
  long peakKiB = 0;
  int milliseconds = 10000;
  bool reading = true;
};

// In the folder where ./quarvel-zib is the game to play.
class Terminal : public testing::TestWithParam<fs::path> {};
class ReleaseTerminal : public Terminal {};

TEST_P(Terminal, PlaysAsTheScriptSays) {
  fs::current_path(QZ_BUILD);
  Script(GetParam()).play();
}

TEST_P(ReleaseTerminal, PlaysAsTheScriptSays) {
  fs::current_path(QZ_BUILD "/../build");
  Script(GetParam()).play();
}

INSTANTIATE_TEST_SUITE_P(e2e, Terminal, testing::ValuesIn(filesIn(QZ_E2E, ".script")),
                         namedAfterFile);
// The Windows game is the same whichever folder it is played from.
INSTANTIATE_TEST_SUITE_P(release, ReleaseTerminal, testing::ValuesIn([] {
                           std::vector<fs::path> scripts = filesIn(QZ_E2E, ".script");
                           std::erase_if(scripts, [](const fs::path &script) {
                             return script.stem().string().ends_with("_under_wine");
                           });
                           return scripts;
                         }()),
                         namedAfterFile);

} // namespace
