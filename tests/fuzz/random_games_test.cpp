// Many whole games with random legal and illegal replies on every size, both modes and both first
// players. The grid is read back from the screen each time the game waits for a reply, and every
// change since the last look must be exactly what the rules allow.
#include "board/board.hpp"
#include "console/console.hpp"
#include "flow/game.hpp"
#include "tests/fake_terminal.hpp"
#include "tests/fresh_run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int gamesPerCase = 12;
// Tall enough that blank replies, each a line further down, never scroll the board away.
constexpr int rows = 60;
const std::string legend = "Col(accros)   Row(down)";

// Cells row by row, index r * n + c. 'X' or 'O' for the owner of a complete line, else 0.
char lineOwner(const std::string &grid, int n) {
  const auto line = [&](int c, int r, int dc, int dr) {
    const char first = grid[r * n + c];
    for (int k = 1; k < n; ++k)
      if (grid[(r + k * dr) * n + c + k * dc] != first)
        return '.';
    return first;
  };
  std::vector<char> owners = {line(0, 0, 1, 1), line(n - 1, 0, -1, 1)};
  for (int i = 0; i < n; ++i)
    owners.insert(owners.end(), {line(0, i, 1, 0), line(i, 0, 0, 1)});
  for (const char owner : owners)
    if (owner != '.')
      return owner;
  return 0;
}

// What the next reply is expected to do.
enum class Effect { mark, refused, nothing };

struct Reply {
  std::string text;
  Effect effect;
  int cell = -1;
};

class RandomGame {
public:
  RandomGame(int n, bool two, int first, std::mt19937 &rng)
      : n(n), two(two), first(first), rng(rng), grid(n * n, '.'), toMove(first) {}

  // Returns the first broken rule, or "" when the whole game kept them all.
  std::string play() {
    startFreshRun(first);
    const std::string players = two ? pick<std::string>({"1", "2", "-7"}) : "0";
    terminal =
        std::make_unique<FakeTerminal>(std::to_string(n) + "\n" + players + "\n\n", 80, rows);
    terminal->onRead = [this] {
      if (failure.empty() && terminal->inputRead == terminal->input.size())
        look();
    };
    const int status = playGame();
    closeConsole();
    if (failure.empty() && (status != 0 || result.empty()))
      failure = "the game ended without a result";
    return failure.empty() ? "" : failure + "\nreplies:\n" + terminal->input;
  }

private:
  template <typename T> T pick(std::vector<T> choices) {
    return choices[std::uniform_int_distribution<std::size_t>(0, choices.size() - 1)(rng)];
  }
  std::string cellText(int cell) {
    return std::to_string(cell % n + 1) + " " + std::to_string(cell / n + 1);
  }

  void fail(const std::string &why) {
    failure = why + " (size " + std::to_string(n) + ", " + (two ? "two" : "one") + " players, " +
              (first == 0 ? "X" : "O") + " first)\n" + terminal->screen.text();
  }

  void look() {
    const Screen &screen = terminal->screen;
    std::string now;
    for (int r = 0; r < n; ++r)
      for (int c = 0; c < n; ++c)
        now += screen.at(4 * c + 1, 2 * r);
    if (now.find_first_not_of("XO.") != std::string::npos)
      return fail("a cell shows something other than X, O or .");
    for (int i = 0; i < n * n; ++i)
      if (grid[i] != '.' && now[i] != grid[i])
        return fail("the mark of " + cellText(i) + " changed");

    // The grid the rules lead to: the reply's mark, then the computer's O, unless the game is over.
    std::string expected = grid;
    if (last.effect == Effect::mark) {
      expected[last.cell] = toMove == 0 ? 'X' : 'O';
      toMove ^= 1;
    }
    const auto over = [&] {
      return lineOwner(expected, n) != 0 || expected.find('.') == std::string::npos;
    };
    if (!two && toMove == 1 && !over()) {
      std::vector<int> added;
      for (int i = 0; i < n * n; ++i)
        if (now[i] == 'O' && expected[i] == '.')
          added.push_back(i);
      if (added.size() != 1)
        return fail("the computer did not put exactly one O into a free cell");
      expected[added[0]] = 'O';
      toMove = 0;
    }
    if (now != expected)
      return fail("the grid is not what the replies and the rules lead to");
    if (screen.bells() - bells != (last.effect == Effect::refused ? 1 : 0))
      return fail("a refused reply rings once, any other reply never");
    bells = screen.bells();
    grid = now;
    const int ahead = static_cast<int>(std::count(now.begin(), now.end(), first == 0 ? 'X' : 'O') -
                                       std::count(now.begin(), now.end(), first == 0 ? 'O' : 'X'));
    if (ahead != 0 && ahead != 1)
      return fail("the turns do not alternate");

    const char owner = lineOwner(now, n);
    const std::string wanted = owner != 0 ? std::string(1, owner) + " wins the game"
                               : over()   ? "Nobody wins the game"
                                          : "";
    if (screen.row(2 * n) == legend) {
      if (!wanted.empty())
        return fail("the game goes on after " + wanted);
      last = nextReply();
      terminal->input += last.text;
    } else if (!wanted.empty() && screen.row(2 * n + 2).rfind(wanted, 0) == 0 && result.empty()) {
      // The pause, then the Enter that the banner waits for.
      result = wanted;
      last = {"\n\n", Effect::nothing};
      terminal->input += last.text;
    } else {
      fail("the screen shows neither the entry row nor the right result");
    }
  }

  // Every kind of reply built, one picked: legal ones weigh most so that games get played out.
  Reply nextReply() {
    std::vector<int> freeCells, takenCells;
    for (int i = 0; i < n * n; ++i)
      (grid[i] == '.' ? freeCells : takenCells).push_back(i);
    const int free = pick(freeCells);
    const std::string column = std::to_string(free % n + 1), row = std::to_string(free / n + 1);
    const std::string off = std::to_string(pick<int>({0, n + 1, -1, 99}));
    const std::vector<Reply> kinds = {
        {column + " " + row + "\n", Effect::mark, free},
        {column + " " + row + "\n", Effect::mark, free},
        {column + "\n" + row + "\n", Effect::mark, free},
        {"  " + column + "\t" + row + " and more\n", Effect::mark, free},
        takenCells.empty() ? Reply{"\n", Effect::nothing}
                           : Reply{cellText(pick(takenCells)) + "\n", Effect::refused},
        {pick<std::string>({off + " " + row, column + " " + off}) + "\n", Effect::refused},
        {pick<std::string>({"abc", "x 1", "1 y", "?", "99999 1", "1 40000"}) + "\n",
         Effect::refused},
        {"\n", Effect::nothing},
    };
    return pick(kinds);
  }

  int n;
  bool two;
  int first;
  std::mt19937 &rng;
  std::unique_ptr<FakeTerminal> terminal;
  std::string grid;
  int toMove;
  Reply last{"", Effect::nothing};
  int bells = 0;
  std::string result;
  std::string failure;
};

class RandomGames : public testing::TestWithParam<int> {};

TEST_P(RandomGames, KeepTheRulesAfterEveryMove) {
  std::mt19937 rng(20240 + GetParam());
  for (int game = 0; game < gamesPerCase; ++game)
    for (const bool two : {false, true})
      for (const int first : {0, 1})
        ASSERT_EQ(RandomGame(GetParam(), two, first, rng).play(), "") << "game " << game;
}

INSTANTIATE_TEST_SUITE_P(EverySize, RandomGames, testing::Range(3, 10));

} // namespace
