// The console layer in a real pseudo-terminal: its tracked cursor against the terminal's, colours
// on the typed echo, the pause's key mode, and the terminal given back on every way out.
#include "pty_session.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <optional>
#include <regex>
#include <sstream>

namespace {

using namespace std::chrono_literals;
constexpr auto deadline = 3s;
constexpr char markers[] = "#$%&*+";

std::vector<std::string> probe(std::vector<std::string> steps) {
  steps.insert(steps.begin(), CONSOLE_PROBE);
  return steps;
}

struct Report {
  int number = 0;
  int column = 0;
  int row = 0;
};

// What the probe wrote after its k-th read: the number and where it believed the cursor was.
std::optional<Report> report(const Screen &screen, int k) {
  const std::string text = screen.row(k);
  Report r;
  char end = 0;
  if (text.size() > 50 &&
      std::sscanf(text.c_str() + 50, "%d@%d,%d%c", &r.number, &r.column, &r.row, &end) == 4 &&
      end == ';')
    return r;
  return std::nullopt;
}

// Keys typed before the program has drawn its prompt would be echoed ahead of it.
bool waitForRead(PtySession &session, int reportsBefore) {
  return session.waitFor(
             [&](const Screen &screen) {
               return !session.output().empty() &&
                      (reportsBefore == 0 || report(screen, reportsBefore - 1));
             },
             deadline) &&
         session.waitUntilBlocked(deadline);
}

bool lineMode(const termios &t) {
  return (t.c_lflag & ICANON) && (t.c_lflag & ECHO);
}
bool keyMode(const termios &t) {
  return !(t.c_lflag & ICANON) && !(t.c_lflag & ECHO);
}

struct TrackingCase {
  const char *name;
  std::vector<std::string> steps;
  std::vector<std::string> typed; // the i-th once the probe has reported i reads and waits
  std::vector<int> numbers;       // one per read
};

TEST(ConsoleInTerminal, TrackedCursorIsWhereTheTerminalLeftIt) {
  const std::string edge(76, '=');
  const TrackingCase cases[] = {
      {"two replies",
       {"clear", "say:Number? ", "read", "say:Again? ", "read"},
       {"12\r", "34\r"},
       {12, 34}},
      {"empty lines first", {"clear", "say:N? ", "read"}, {"\r\r\r7\r"}, {7}},
      {"leading spaces, two numbers on a line",
       {"clear", "say:N? ", "read", "read"},
       {"   42 17\r"},
       {42, 17}},
      {"reply wraps at the edge", {"clear", "say:" + edge, "read"}, {"0000042\r"}, {42}},
      {"reply fills the last column", {"clear", "say:" + edge + "==", "read"}, {"42\r"}, {42}},
      // Ends at column 0, so the line end at exit does not scroll the report away.
      {"bottom row scrolls", {"clear", "at:10,22", "say:N? ", "read", "at:0,0"}, {"\r\r5\r"}, {5}},
  };
  for (const TrackingCase &c : cases) {
    SCOPED_TRACE(c.name);
    PtySession session(probe(c.steps));
    for (std::size_t i = 0; i < c.typed.size(); ++i) {
      ASSERT_TRUE(waitForRead(session, static_cast<int>(i)));
      session.type(c.typed[i]);
    }
    ASSERT_EQ(session.waitForExit(deadline), (ExitStatus{true, 0, false, 0})) << session.output();
    for (std::size_t k = 0; k < c.numbers.size(); ++k) {
      const auto r = report(session.screen(), static_cast<int>(k));
      ASSERT_TRUE(r) << session.screen().text();
      EXPECT_EQ(r->number, c.numbers[k]);
      EXPECT_EQ(session.screen().at(r->column, r->row), markers[k])
          << "read " << k << " tracked " << r->column << ',' << r->row << '\n'
          << session.screen().text();
    }
  }
}

TEST(ConsoleInTerminal, TypedReplyTakesTheColourSetBeforeTheRead) {
  const struct {
    std::int32_t set;
    std::vector<std::string> environment;
    std::int32_t shown;
  } cases[] = {{15, {}, 15}, {12, {}, 12}, {2, {}, 2}, {15, {"NO_COLOR=1"}, 7}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.set);
    PtySession session(probe({"clear", "say:N? ", "colour:" + std::to_string(c.set), "read"}),
                       c.environment);
    ASSERT_TRUE(waitForRead(session, 0));
    session.type("42\r");
    ASSERT_TRUE(session.waitForExit(deadline));
    EXPECT_EQ(session.screen().row(0).substr(0, 5), "N? 42");
    EXPECT_EQ(session.screen().colourAt(3, 0), c.shown);
    EXPECT_EQ(session.screen().colourAt(4, 0), c.shown);
    // NO_COLOR: no colour sequence at all, not even the reset at exit.
    EXPECT_EQ(std::regex_search(session.output(), std::regex("\x1b\\[[0-9;]*m")),
              c.environment.empty());
  }
}

TEST(ConsoleInTerminal, PauseTakesOneKeyUnechoedAndOutOfTheInput) {
  for (const std::string key : {"9", "\x1b[A", "\r", " "}) {
    SCOPED_TRACE(testing::PrintToString(key));
    PtySession session(probe({"clear", "say:N? ", "read", "pause", "say:M? ", "read"}));
    const termios before = session.terminalSettings();
    ASSERT_TRUE(waitForRead(session, 0));
    session.type("1\r");
    ASSERT_TRUE(session.waitForTermios(keyMode, deadline)) << describe(session.terminalSettings());
    ASSERT_TRUE(session.waitUntilBlocked(deadline));
    session.type(key);
    ASSERT_TRUE(session.waitForTermios(lineMode, deadline));
    EXPECT_EQ(describe(session.terminalSettings()), describe(before));
    ASSERT_TRUE(waitForRead(session, 1));
    session.type("5\r");
    ASSERT_EQ(session.waitForExit(deadline), (ExitStatus{true, 0, false, 0}));
    std::string unechoed = "#Press any key to continue . . . ";
    unechoed.resize(50, ' '); // the report follows at column 50
    EXPECT_EQ(session.screen().row(1).substr(0, 50), unechoed);
    EXPECT_EQ(session.screen().row(2).substr(0, 4), "M? 5");
    const auto second = report(session.screen(), 1);
    ASSERT_TRUE(second) << session.screen().text();
    EXPECT_EQ(second->number, 5);
    EXPECT_EQ(session.screen().at(second->column, second->row), '$') << session.screen().text();
  }
}

TEST(ConsoleInTerminal, TerminalIsGivenBackOnEveryWayOut) {
  const std::vector<std::string> atRead = {"colour:10", "say:N? ", "read"};
  const std::vector<std::string> atPause = {"colour:10", "pause"};
  const struct {
    const char *name;
    std::vector<std::string> steps;
    std::string keys;
    int signal;
    ExitStatus expected;
  } cases[] = {
      {"normal exit", atRead, "5\r", 0, {true, 0, false, 0}},
      {"end of input", atRead, "\x04", 0, {true, 2, false, 0}},
      {"Ctrl-C at a reply", atRead, "\x03", 0, {false, -1, true, SIGINT}},
      {"Ctrl-C in the pause", atPause, "\x03", 0, {false, -1, true, SIGINT}},
      {"SIGTERM at a reply", atRead, "", SIGTERM, {false, -1, true, SIGTERM}},
      {"SIGTERM in the pause", atPause, "", SIGTERM, {false, -1, true, SIGTERM}},
      {"SIGHUP in the pause", atPause, "", SIGHUP, {false, -1, true, SIGHUP}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    PtySession session(probe(c.steps));
    const termios before = session.terminalSettings();
    ASSERT_TRUE(waitForRead(session, 0));
    session.type(c.keys);
    if (c.signal != 0)
      session.sendSignal(c.signal);
    ASSERT_EQ(session.waitForExit(deadline), c.expected);
    EXPECT_EQ(describe(session.terminalSettings()), describe(before));
    // The colour is reset last: nothing but line ends after it.
    const std::string &out = session.output();
    const std::size_t reset = out.rfind("\x1b[0m");
    ASSERT_NE(reset, std::string::npos) << out;
    EXPECT_EQ(out.find_first_not_of("\r\n", reset + 4), std::string::npos) << out;
  }
}

} // namespace
