// The Linux game in a pseudo-terminal: a whole one-player game from the title to the exit status,
// and the terminal given back when the game is left at a question.
#include "game_script.hpp"

#include <csignal>

namespace {

using namespace std::chrono_literals;
constexpr auto deadline = 5s;
constexpr ExitStatus ended{true, 0, false, 0};

TEST(GameInTerminal, OnePlayerGameFromTitleToExit) {
  const std::vector<Step> game = oneGame();
  PtySession session({GAME});
  const std::string before = describe(session.terminalSettings());
  ASSERT_TRUE(showsTitle(session, deadline));
  for (const Step &step : game) {
    ASSERT_TRUE(reach(session, step, false, deadline));
    if (&step == &game.front()) { // nine passes of a second each
      EXPECT_GT(session.elapsed(), 8500ms);
      EXPECT_LT(session.elapsed(), 11s);
    }
    session.type(step.keys);
  }
  ASSERT_EQ(session.waitForExit(deadline), ended) << session.screen().text();
  EXPECT_EQ(describe(session.terminalSettings()), before);
}

struct Leaving {
  const char *name;
  std::size_t atStep; // typed instead of that step's reply
  std::string keys;
  ExitStatus expected;
  int cursorRow; // a fresh line below what was drawn
};

void PrintTo(const Leaving &c, std::ostream *out) {
  *out << c.name;
}

class GameLeft : public testing::TestWithParam<Leaving> {};

TEST_P(GameLeft, TerminalIsGivenBack) {
  const Leaving &c = GetParam();
  const std::vector<Step> game = oneGame();
  PtySession session({GAME});
  const std::string before = describe(session.terminalSettings());
  for (std::size_t i = 0; i <= c.atStep; ++i) {
    ASSERT_TRUE(reach(session, game[i], false, i == 0 ? 12s : deadline));
    session.type(i == c.atStep ? c.keys : game[i].keys);
  }
  ASSERT_EQ(session.waitForExit(deadline), c.expected);
  EXPECT_EQ(describe(session.terminalSettings()), before);
  EXPECT_EQ(session.screen().cursorColumn(), 0);
  EXPECT_EQ(session.screen().cursorRow(), c.cursorRow);
  // The colour is reset last: nothing but line ends after it.
  const std::string &out = session.output();
  const std::size_t reset = out.rfind("\x1b[0m");
  ASSERT_NE(reset, std::string::npos) << testing::PrintToString(out);
  EXPECT_EQ(out.find_first_not_of("\r\n", reset + 4), std::string::npos)
      << testing::PrintToString(out.substr(reset));
}

INSTANTIATE_TEST_SUITE_P(
    , GameLeft,
    testing::Values(Leaving{"EndOfInputAtTheFirstMove", 3, "\x04", ended, 8},
                    Leaving{"CtrlCAtTheGridSize", 0, "\x03", {false, -1, true, SIGINT}, 4},
                    Leaving{"CtrlCInThePause", 2, "\x03", {false, -1, true, SIGINT}, 8}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
