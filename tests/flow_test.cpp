#include "board/board.hpp"
#include "console/console.hpp"
#include "fake_terminal.hpp"
#include "flow/game.hpp"
#include "fresh_run.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// The screen as the player saw it when the game waited for a line of input.
struct Shown {
  std::vector<std::string> rows;
  int cursorColumn;
  int cursorRow;
};

struct PlayedGame {
  std::unique_ptr<FakeTerminal> terminal;
  std::vector<Shown> atReads;
};

// One whole game in-process, from the start values of a fresh run.
PlayedGame play(const std::string &input, std::uint8_t firstTurn) {
  startFreshRun(firstTurn);
  PlayedGame run{std::make_unique<FakeTerminal>(input), {}};
  FakeTerminal &terminal = *run.terminal;
  terminal.onRead = [&] {
    Shown shown{{}, terminal.screen.cursorColumn(), terminal.screen.cursorRow()};
    for (int r = 0; r < terminal.screen.rows(); ++r)
      shown.rows.push_back(terminal.screen.row(r));
    run.atReads.push_back(shown);
  };
  EXPECT_EQ(playGame(), 0) << input;
  closeConsole();
  return run;
}

const std::string sizeQuestion = "     Between size 3 and 9 what size do you want the grid to be?";
const std::string playersQuestion =
    "     Enter 0 for a one player game or enter 1 for a two player game";
const std::vector<std::string> banner = {
    "   A      L           L              H       H      A      I I I I I   L",
    "  A A     L           L              H       H     A A         I       L",
    " A   A    L           L              H       H    A   A        I       L",
    "A A A A   L           L              H H H H H   A A A A       I       L",
    "A     A   L           L              H       H   A     A       I       L",
    "A     A   L           L              H       H   A     A       I       L",
    "A     A   L L L L L   L L L L L      H       H   A     A   I I I I I   L L L L L"};

} // namespace

TEST(Game, WholeGamesEndOnTheFirstCompleteLineOrAFullGrid) {
  struct Case {
    std::string label;
    std::string moves;
    std::uint8_t firstTurn;
    std::string result;
  };
  const Case cases[] = {
      {"two players, X top row", "3\n1\n\n1 1\n1 2\n2 1\n2 2\n3 1\n", 0, "X wins the game"},
      {"two players, O right column", "3\n1\n\n3 1\n1 1\n3 2\n2 2\n3 3\n", 1, "O wins the game"},
      {"two players, O main diagonal", "3\n1\n\n1 1\n2 1\n2 2\n3 1\n3 3\n", 1, "O wins the game"},
      {"enemy first, O completes its row", "3\n0\n\n1 1\n3 1\n", 1, "O wins the game"},
      {"one player, X anti-diagonal", "3\n0\n\n2 2\n1 3\n3 1\n", 0, "X wins the game"},
      {"one player 4x4, X anti-diagonal", "4\n0\n\n1 4\n4 1\n3 2\n2 3\n", 0, "X wins the game"},
      {"two players 5x5, X column", "5\n1\n\n2 1\n5 1\n2 2\n5 2\n2 3\n5 3\n2 4\n4 4\n2 5\n", 0,
       "X wins the game"},
      {"full grid", "3\n1\n\n1 1\n2 1\n3 1\n2 2\n1 2\n3 2\n2 3\n1 3\n3 3\n", 0,
       "Nobody wins the game"},
  };
  for (const Case &c : cases) {
    const std::string extra = "extra\n";
    const PlayedGame run = play(c.moves + "\n\n" + extra, c.firstTurn);
    const std::size_t n = static_cast<std::size_t>(c.moves[0] - '0');
    const bool won = c.result != "Nobody wins the game";
    // The pause shows the result below the board, in place of the legend and the entry row.
    const Shown &atPause = run.atReads.at(run.atReads.size() - (won ? 2 : 1));
    EXPECT_EQ(atPause.rows[2 * n + 2], c.result) << c.label;
    EXPECT_EQ(atPause.rows[2 * n + 3], "Press any key to continue . . .") << c.label;
    for (std::size_t r = 2 * n - 1; r <= 2 * n + 1; ++r)
      EXPECT_EQ(atPause.rows[r], "") << c.label << " row " << r;
    // The pause takes one line and the final wait a fresh one; nothing after that is read.
    const FakeTerminal &terminal = *run.terminal;
    EXPECT_EQ(terminal.inputRead, terminal.input.size() - (won ? extra.size() : extra.size() + 1))
        << c.label;
    if (won) {
      EXPECT_EQ(terminal.screen.row(0), "") << c.label;
      for (int r = 1; r <= 7; ++r)
        EXPECT_EQ(terminal.screen.row(r), banner[r - 1]) << c.label;
    }
  }
}

TEST(Game, FinalScreensShowTheWinnersMarkLarge) {
  struct Case {
    std::string moves;
    std::uint8_t firstTurn;
    std::vector<std::string> mark; // from column 25 on
    std::int32_t colour;
  };
  const Case cases[] = {
      {"3\n0\n\n2 2\n1 3\n3 1\n\n\n",
       0,
       {"      X       X", "       X     X", "        X   X", "         X X", "          X",
        "         X X", "        X   X", "       X     X", "      X       X"},
       9},
      {"3\n0\n\n1 1\n3 1\n\n\n",
       1,
       {"      O O", "    O     O", "  O         O", " O           O", "O             O",
        "O             O", "O             O", "O             O", " O           O", "  O         O",
        "    O     O", "      O O"},
       12},
  };
  for (const Case &c : cases) {
    const PlayedGame run = play(c.moves, c.firstTurn);
    const Screen &screen = run.terminal->screen;
    const int last = 8 + static_cast<int>(c.mark.size());
    for (int r = 8; r < last; ++r) {
      EXPECT_EQ(screen.row(r), std::string(25, ' ') + c.mark[r - 8]) << r;
      EXPECT_EQ(screen.colourAt(24 + static_cast<int>(c.mark[r - 8].size()), r), c.colour) << r;
    }
    EXPECT_EQ(screen.colourAt(0, 7), 15) << "the banner is white";
    EXPECT_EQ(screen.row(last), "");
    EXPECT_EQ(run.atReads.back().cursorColumn, 0) << "waiting for Enter";
    EXPECT_EQ(run.atReads.back().cursorRow, last + 1);
  }
}

TEST(Game, SettingsDialogue) {
  struct Case {
    std::string input;
    std::uint8_t firstTurn;
    int sizeQuestions;
    int bells;
    std::int16_t size;
    bool two;
    std::string announcement;
  };
  const Case cases[] = {
      {"2\n10\n5\n0\n\n", 1, 3, 2, 5, false, "     Enemy O will go first"},
      {"9\n1\n\n", 1, 1, 0, 9, true, "     Player O will go first"},
      {"3\n2\n\n", 0, 1, 0, 3, true, "     Player X will go first"},
      {"3\n-1\n\n", 0, 1, 0, 3, true, "     Player X will go first"},
      {"abc\n99999\n\n  4\n0\n\n", 0, 3, 2, 4, false, "     Player X will go first"},
      {"3\nnone\n0\n\n", 0, 1, 1, 3, false, "     Player X will go first"},
  };
  for (const Case &c : cases) {
    const PlayedGame run = play(c.input, c.firstTurn);
    int asked = 0;
    for (const Shown &shown : run.atReads) {
      if (shown.rows[2] != sizeQuestion || shown.cursorColumn != 5)
        continue;
      ++asked;
      EXPECT_EQ(shown.rows[0] + shown.rows[1] + shown.rows[3], "") << "a cleared screen";
    }
    EXPECT_EQ(asked, c.sizeQuestions) << c.input;
    EXPECT_EQ(gridSize, c.size) << c.input;
    EXPECT_EQ(twoPlayers, c.two) << c.input;
    // Board drawn after the announcement: its bells come only from refused replies.
    EXPECT_EQ(run.terminal->screen.bells(), c.bells) << c.input;
    const std::string written = run.terminal->written;
    EXPECT_NE(written.find(c.announcement + "\n\x1b[97m     Press any key"), std::string::npos)
        << c.input;
  }
}

TEST(Game, PromptsAndAnnouncementStandAsDesigned) {
  const PlayedGame run = play("9\n1\n\n", 1);
  const Shown &atPause = run.atReads.at(2);
  const std::vector<std::string> expected = {"",
                                             "",
                                             playersQuestion,
                                             "     1",
                                             "",
                                             "",
                                             "     Player O will go first",
                                             "     Press any key to continue . . ."};
  EXPECT_EQ(std::vector<std::string>(atPause.rows.begin(), atPause.rows.begin() + 8), expected);
  const std::string &written = run.terminal->written;
  const std::string afterSize = written.substr(written.find("9\n"));
  EXPECT_EQ(afterSize.substr(0, 160),
            "9\n\x1b[39m\x1b[H\x1b[2J\x1b[95m\n\n" + playersQuestion +
                "\n\x1b[97m     1\n\x1b[39m" +
                "\x1b[95m\n\n     Player O will go first\n\x1b[97m     Press any")
      << "magenta messages, white replies, normal text between";
}

TEST(Game, TitleShowsNineTimesInItsColours) {
  const PlayedGame run = play("", 0);
  const FakeTerminal &terminal = *run.terminal;
  ASSERT_GE(terminal.sleeps.size(), 9u);
  EXPECT_EQ(std::vector(terminal.sleeps.begin(), terminal.sleeps.begin() + 9),
            std::vector<std::int32_t>(9, 1000));
  std::vector<std::int32_t> colours;
  std::vector<std::string> passes;
  FakeTerminal again("");
  again.onSleep = [&] {
    colours.push_back(again.screen.colourAt(5, 2));
    passes.push_back(again.screen.row(2) + "/" + again.screen.row(3));
  };
  showTitle();
  EXPECT_EQ(colours, (std::vector<std::int32_t>{7, 12, 15, 2, 13, 14, 3, 10, 9}));
  EXPECT_EQ(passes, std::vector<std::string>(9, "     QUARVEL/       ZIB"));
  flushOutput();
  EXPECT_EQ(again.screen.text(), "") << "the title ends on a cleared screen";
}

TEST(Game, RefusedMovesAreAskedAgainOnTheSameRow) {
  // X takes (1,1); O names it again, then a word, then cells off the grid, then a column with a
  // word for the row on one line, then (2,2).
  const PlayedGame run = play("3\n1\n\n1 1\n1 1\nabc\n0 2\n4\n1\n1 y\n2 2\n", 0);
  int entries = 0;
  for (const Shown &shown : run.atReads) {
    if (shown.rows[6] != "Col(accros)   Row(down)" || shown.cursorColumn != 5)
      continue;
    ++entries;
    EXPECT_EQ(shown.cursorRow, 7);
    EXPECT_EQ(shown.rows[7], "") << "the entry row is blanked";
  }
  EXPECT_EQ(entries, 8) << "X once, O six times, then X at the end of input";
  const Screen &screen = run.terminal->screen;
  EXPECT_EQ(screen.bells(), 5);
  EXPECT_EQ(screen.row(0), " X |2.1|3.1");
  EXPECT_EQ(screen.row(2), "1.2| O |3.2");
  EXPECT_EQ(screen.colourAt(5, 2), 12);
}

TEST(Game, EndOfInputAnywhereEndsTheGameCleanly) {
  const std::string whole = "5\n0\n\n1 1\n2 1\n5 5\n\n\n";
  for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
    const PlayedGame run = play(whole.substr(0, cut), 0);
    const FakeTerminal &terminal = *run.terminal;
    EXPECT_LE(run.atReads.size(), 12u) << "no spinning at " << cut;
    EXPECT_EQ(terminal.screen.cursorColumn(), 0) << "a fresh line at " << cut;
    const std::string lastColour = terminal.written.substr(terminal.written.rfind("\x1b["), 4);
    EXPECT_TRUE(lastColour == "\x1b[0m" || lastColour == "\x1b[39") << cut << lastColour;
    EXPECT_EQ(terminal.screen.bells(), 0) << cut;
  }
}
