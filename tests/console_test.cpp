#include "console/console.hpp"
#include "console/line_input.hpp"
#include "fake_terminal.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

void expectTrackedCursorMatches(const FakeTerminal &terminal, const std::string &label) {
  EXPECT_EQ(cursorColumn(), terminal.screen.cursorColumn()) << label;
  EXPECT_EQ(cursorRowAbove() + 2, terminal.screen.cursorRow()) << label;
}

} // namespace

TEST(Console, ColoursReachTheScreenAsConsoleAttributes) {
  // Each console colour shows as itself, and a value beyond them as bright white.
  const std::vector<std::int32_t> set = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 128};
  FakeTerminal terminal;
  clearScreen();
  for (const std::int32_t colour : set) {
    setTextColour(colour);
    std::cout << 'A';
    EXPECT_EQ(foregroundColour, std::min(colour, 15)) << colour;
  }
  flushOutput();
  for (std::size_t column = 0; column < set.size(); ++column)
    EXPECT_EQ(terminal.screen.colourAt(static_cast<int>(column), 0), std::min(set[column], 15))
        << set[column];
  EXPECT_NE(terminal.written.find("\x1b[39m"), std::string::npos) << "normal text";
}

TEST(Console, ColourIsSentOnlyWhenItChangesAndNeverUnderNoColor) {
  for (const bool allowed : {true, false}) {
    FakeTerminal terminal({}, 80, 24, allowed);
    setTextColour(9);
    std::cout << "X";
    setTextColour(9);
    std::cout << "X";
    setTextColour(7);
    flushOutput();
    const auto sequences = [&] {
      int count = 0;
      for (std::size_t at = 0; (at = terminal.written.find("\x1b[", at)) != std::string::npos; ++at)
        ++count;
      return count;
    }();
    EXPECT_EQ(sequences, allowed ? 2 : 0);
    EXPECT_EQ(foregroundColour, 7);
    EXPECT_EQ(terminal.screen.row(0), "XX");
  }
}

TEST(Console, TrackedCursorFollowsTheTerminal) {
  struct Case {
    std::string label;
    std::function<void()> draw;
  };
  const Case cases[] = {
      {"cleared", [] { clearScreen(); }},
      {"text", [] { std::cout << "abc"; }},
      {"line end", [] { std::cout << "abc\n"; }},
      {"placed", [] { placeCursor(17, 9); }},
      {"placed then text", [] { placeCursor(3, 4), std::cout << "xy\n  z"; }},
      {"off the screen is ignored",
       [] { placeCursor(5, 5), placeCursor(-1, 3), placeCursor(80, 2); }},
      {"full row waits to wrap", [] { std::cout << std::string(80, '#'); }},
      {"wrap", [] { std::cout << std::string(83, '#'); }},
      {"full row then line end", [] { std::cout << std::string(80, '#') << '\n'; }},
      {"scrolls at the bottom", [] { std::cout << std::string(30, '\n') << "ab"; }},
      {"tab", [] { std::cout << "ab\tc"; }},
  };
  for (const Case &c : cases) {
    FakeTerminal terminal;
    clearScreen();
    c.draw();
    flushOutput();
    expectTrackedCursorMatches(terminal, c.label);
  }
}

TEST(Console, OneWritePerFlushPoint) {
  FakeTerminal terminal("4\n");
  clearScreen();
  for (int i = 0; i < 50; ++i) {
    setTextColour(i % 2 ? 9 : 7);
    std::cout << i << '\n';
  }
  EXPECT_EQ(terminal.writes, 0);
  std::int16_t reply = 0;
  std::cin >> reply;
  EXPECT_EQ(reply, 4);
  EXPECT_EQ(terminal.writes, 1) << "before the read";
  beep();
  EXPECT_EQ(terminal.writes, 2) << "the bell";
  EXPECT_EQ(terminal.screen.bells(), 1);
  sleepFor(1000);
  EXPECT_EQ(terminal.writes, 2) << "nothing left to write";
  EXPECT_EQ(terminal.sleeps, (std::vector<std::int32_t>{400, 1000}));
}

TEST(Console, PipedRepliesAreShownWhereATerminalWouldEchoThem) {
  FakeTerminal terminal("\n  12\n7 8\n");
  clearScreen();
  std::cout << "size? ";
  std::int16_t first = 0, second = 0, third = 0;
  std::cin >> first;
  std::cout << "row? ";
  std::cin >> second >> third;
  flushOutput();
  EXPECT_EQ(first, 12);
  EXPECT_EQ(second, 7);
  EXPECT_EQ(third, 8);
  EXPECT_EQ(terminal.screen.text(), "size?\n  12\nrow? 7 8\n");
  expectTrackedCursorMatches(terminal, "after the replies");
}

TEST(Console, PauseTakesOneKeyTheRepliesNeverSee) {
  struct Case {
    std::string input;
    bool paused;
    std::int16_t next;
  };
  const Case cases[] = {
      {"3 9\nx\n5\n", true, 5}, // the rest of the typed line goes too
      {"3\n\n6\n", true, 6},
      {"3\n", false, 0},
  };
  for (const Case &c : cases) {
    FakeTerminal terminal(c.input);
    clearScreen();
    std::int16_t reply = 0;
    std::cin >> reply;
    EXPECT_EQ(pauseForKey(), c.paused) << c.input;
    std::int16_t next = 0;
    std::cin >> next;
    EXPECT_EQ(next, c.next) << c.input;
    flushOutput();
    EXPECT_EQ(terminal.screen.row(1), "Press any key to continue . . .") << c.input;
  }
}

TEST(Console, WaitForEnterNeedsAFreshLine) {
  FakeTerminal terminal("4\n\n");
  std::int16_t reply = 0;
  std::cin >> reply;
  discardTypedLine();
  EXPECT_TRUE(waitForEnter());
  EXPECT_FALSE(waitForEnter());
}

TEST(Console, InputThatNeverEndsALineComesInPieces) {
  std::size_t left = 1 << 20;
  std::vector<std::size_t> seen;
  LineInput input(
      [&](char *buffer, std::size_t n) {
        n = std::min(n, left);
        std::fill_n(buffer, n, 'x');
        left -= n;
        return static_cast<std::ptrdiff_t>(n);
      },
      [&](std::string_view line) { seen.push_back(line.size()); });
  for (int i = 0; i < 2 * 4096; ++i)
    input.sbumpc();
  EXPECT_EQ(seen, (std::vector<std::size_t>{4096, 4096}));
}
