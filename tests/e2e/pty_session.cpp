#include "pty_session.hpp"

#include <sstream>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <map>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

// Ours, without a NO_COLOR the developer may have set, with the given entries on top.
std::vector<std::string> childEnvironment(const std::vector<std::string> &extra) {
  std::map<std::string, std::string> byName;
  const auto add = [&](const std::string &entry) {
    byName[entry.substr(0, entry.find('='))] = entry;
  };
  for (char **entry = environ; *entry != nullptr; ++entry)
    add(*entry);
  byName.erase("NO_COLOR");
  add("TERM=xterm");
  for (const std::string &entry : extra)
    add(entry);
  std::vector<std::string> entries;
  for (auto &[name, entry] : byName)
    entries.push_back(entry);
  return entries;
}

std::vector<char *> pointers(std::vector<std::string> &strings) {
  std::vector<char *> result;
  for (std::string &s : strings)
    result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

} // namespace

std::ostream &operator<<(std::ostream &out, const ExitStatus &status) {
  if (status.signalled)
    return out << "killed by signal " << status.signal;
  return out << "exit code " << status.code;
}

termios PtySession::saneTermios() {
  termios t{};
  t.c_iflag = ICRNL | IXON | IUTF8 | BRKINT | IMAXBEL;
  t.c_oflag = OPOST | ONLCR;
  t.c_cflag = CS8 | CREAD | HUPCL;
  t.c_lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | ECHOCTL | ECHOKE | IEXTEN;
  const std::pair<int, cc_t> keys[] = {
      {VINTR, 0x03},  {VQUIT, 0x1c}, {VERASE, 0x7f}, {VKILL, 0x15},    {VEOF, 0x04},
      {VSTART, 0x11}, {VSTOP, 0x13}, {VSUSP, 0x1a},  {VREPRINT, 0x12}, {VWERASE, 0x17},
      {VLNEXT, 0x16}, {VMIN, 1},     {VTIME, 0}};
  for (const auto &[index, key] : keys)
    t.c_cc[index] = key;
  cfsetispeed(&t, B38400);
  cfsetospeed(&t, B38400);
  return t;
}

PtySession::PtySession(const std::vector<std::string> &argv,
                       const std::vector<std::string> &environment, int columns, int rows)
    : term(columns, rows), started(Clock::now()) {
  // Everything the child needs is made before the fork: after it, only exec.
  std::vector<std::string> args = argv;
  std::vector<std::string> env = childEnvironment(environment);
  std::vector<char *> argp = pointers(args);
  std::vector<char *> envp = pointers(env);
  termios settings = saneTermios();
  winsize size{static_cast<unsigned short>(rows), static_cast<unsigned short>(columns), 0, 0};
  child = ::forkpty(&master, nullptr, &settings, &size);
  if (child < 0)
    throw std::runtime_error("forkpty failed");
  if (child == 0) {
    // A test runner may have blocked or ignored signals the program is tested with.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
      std::signal(signal, SIG_DFL);
    ::execve(argp[0], argp.data(), envp.data());
    ::_exit(127);
  }
}

PtySession::~PtySession() {
  if (!status) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  ::close(master);
}

void PtySession::type(std::string_view keys) {
  while (!keys.empty()) {
    const ssize_t done = ::write(master, keys.data(), keys.size());
    if (done < 0 && errno != EINTR)
      return;
    keys.remove_prefix(static_cast<std::size_t>(std::max<ssize_t>(done, 0)));
  }
}

void PtySession::sendSignal(int signal) {
  ::kill(child, signal);
}

termios PtySession::terminalSettings() const {
  termios t{};
  ::tcgetattr(master, &t); // on Linux the master answers with the program's side
  return t;
}

PtySession::Timeout PtySession::elapsed() const {
  return std::chrono::duration_cast<Timeout>(Clock::now() - started);
}

bool PtySession::pump(Timeout wait) {
  if (outputEnded) {
    std::this_thread::sleep_for(wait);
    return false;
  }
  pollfd fd{master, POLLIN, 0};
  if (::poll(&fd, 1, static_cast<int>(wait.count())) <= 0)
    return false;
  char buffer[4096];
  const ssize_t got = ::read(master, buffer, sizeof buffer);
  if (got <= 0) {
    // EIO: the program's side is closed for good.
    outputEnded = got == 0 || (errno != EINTR && errno != EAGAIN);
    return false;
  }
  const std::string_view bytes(buffer, static_cast<std::size_t>(got));
  raw.append(bytes);
  term.feed(bytes, false);
  return true;
}

template <class Ready> bool PtySession::pollUntil(Ready ready, Timeout within) {
  const auto deadline = Clock::now() + within;
  for (;;) {
    while (pump(Timeout(0))) {
    }
    if (ready())
      return true;
    const auto left = std::chrono::duration_cast<Timeout>(deadline - Clock::now());
    if (left <= Timeout(0))
      return false;
    // Settings, sleeping and exiting wake no poll: look again every few milliseconds.
    pump(std::min(left, Timeout(5)));
  }
}

bool PtySession::waitFor(const std::function<bool(const Screen &)> &condition, Timeout within) {
  return pollUntil([&] { return condition(term); }, within);
}

bool PtySession::waitForTermios(const std::function<bool(const termios &)> &condition,
                                Timeout within) {
  return pollUntil([&] { return condition(terminalSettings()); }, within);
}

bool PtySession::waitUntilBlocked(Timeout within) {
  return pollUntil(
      [&] {
        std::ifstream stat("/proc/" + std::to_string(child) + "/stat");
        std::string line;
        std::getline(stat, line);
        // "pid (name) S ...": the state follows the last parenthesis.
        const auto close = line.rfind(')');
        return close != std::string::npos && line.size() > close + 2 && line[close + 2] == 'S';
      },
      within);
}

std::optional<ExitStatus> PtySession::waitForExit(Timeout within) {
  const auto reaped = [&] {
    int how = 0;
    if (status || ::waitpid(child, &how, WNOHANG) != child)
      return status.has_value();
    status = ExitStatus{WIFEXITED(how), WIFEXITED(how) ? WEXITSTATUS(how) : -1, WIFSIGNALED(how),
                        WIFSIGNALED(how) ? WTERMSIG(how) : 0};
    return true;
  };
  if (pollUntil(reaped, within))
    while (pump(Timeout(0))) { // what it wrote last is still in the terminal
    }
  return status;
}

std::string describe(const termios &t) {
  std::ostringstream out;
  out << std::hex << "iflag " << t.c_iflag << " oflag " << t.c_oflag << " cflag " << t.c_cflag
      << " lflag " << t.c_lflag << " cc";
  for (const cc_t c : t.c_cc)
    out << ' ' << static_cast<int>(c);
  return out.str();
}
