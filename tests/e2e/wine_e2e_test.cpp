// The Windows executable played under wine in the same pseudo-terminal, from the title to the
// result screen and its exit status.
#include "game_script.hpp"

#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

std::string onPath(const std::string &program) {
  std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "");
  for (std::string dir; std::getline(path, dir, ':');)
    if (!dir.empty() && ::access((dir + '/' + program).c_str(), X_OK) == 0)
      return dir + '/' + program;
  return {};
}

TEST(WindowsGameUnderWine, OnePlayerGameToTheResult) {
  const std::string wine = onPath("wine");
  if (wine.empty() || onPath("wineserver").empty())
    GTEST_SKIP() << "wine is not installed (apt-get install wine wine64): the Windows game is "
                    "not played";
  if (::access(WINDOWS_GAME, R_OK) != 0)
    GTEST_SKIP() << WINDOWS_GAME << " is not built (cmake --build --preset windows)";
  ::setenv("WINEPREFIX", WINE_PREFIX, 1);
  ::setenv("WINEDEBUG", "-all", 1);
  // A server started by the game would hold the pty open and outlive it: one runs beside it,
  // started afresh (a leftover from an interrupted run is stopped) and stopped after.
  ASSERT_EQ(std::system("wineserver -k >/dev/null 2>&1; wineserver -p >/dev/null 2>&1"), 0);
  struct StopServer {
    ~StopServer() { std::system("wineserver -k >/dev/null 2>&1"); }
  } stopServer;

  PtySession session({wine, WINDOWS_GAME});
  const std::string before = describe(session.terminalSettings());
  ASSERT_TRUE(showsTitle(session, 30s)); // wine starts slowly
  for (const Step &step : oneGame()) {
    ASSERT_TRUE(reach(session, step, true, 10s));
    session.type(step.keys);
  }
  ASSERT_EQ(session.waitForExit(10s), (ExitStatus{true, 0, false, 0})) << session.screen().text();
  EXPECT_EQ(describe(session.terminalSettings()), before); // wine's console gives it back
}

} // namespace
